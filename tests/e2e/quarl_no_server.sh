#!/usr/bin/env bash
# End-to-end: the real program with no sound server at all. It shows one device error box,
# saves its settings as at any close, and exits with a failure status so that scripts and
# desktop launchers see that it could not run.
#
#   quarl_no_server.sh QUARL_EXECUTABLE QUARL_XCLOSE
set -uo pipefail

box_title="Error"
box_timeout_s=20   # covers the start-up before the capture is opened
second_box_s=3
exit_timeout_s=10

fail() {
    echo "FAIL: $*" >&2
    [[ -s "${work:-}/output.log" ]] && cat "$work/output.log" >&2
    exit 1
}

[[ $# -eq 2 ]] || fail "usage: $0 QUARL_EXECUTABLE QUARL_XCLOSE"
quarl=$1
xclose=$2
[[ -n "${DISPLAY:-}" ]] || fail "DISPLAY is not set (scripts/test.sh starts a private Xvfb)"

work=$(mktemp -d)
pid=
cleanup() {
    [[ -n "$pid" ]] && kill -KILL "$pid" 2>/dev/null
    rm -rf "$work"
}
trap cleanup EXIT
cp "$quarl" "$work/quarl"
printf 'autospawn = no\n' >"$work/client.conf"

running() {
    local state
    state=$(awk '{print $3}' "/proc/$pid/stat" 2>/dev/null) || return 1
    [[ -n "$state" && "$state" != Z ]]
}

# A server address where nothing listens, and no daemon started on demand.
PULSE_SERVER="unix:$work/no-server" PULSE_CLIENTCONFIG="$work/client.conf" \
    QT_QPA_PLATFORM=xcb "$work/quarl" </dev/null >"$work/output.log" 2>&1 &
pid=$!

"$xclose" --wait "$box_title" "$box_timeout_s" >/dev/null ||
    fail "no box titled \"$box_title\" within ${box_timeout_s} s"
"$xclose" "$box_title" 5 || fail "could not close the box"

# The first box is the only one: the program goes on to exit.
deadline=$((SECONDS + exit_timeout_s))
while running && ((SECONDS < deadline)); do
    if "$xclose" --wait "$box_title" 0.2 >/dev/null 2>&1; then
        sleep "$second_box_s" # let a lingering unmap finish before calling it a second box
        "$xclose" --wait "$box_title" 0.2 >/dev/null 2>&1 && fail "a second error box appeared"
    fi
    sleep 0.1
done
running && fail "the program did not exit within ${exit_timeout_s} s of the box"
wait "$pid"
status=$?
pid=
((status != 0)) || fail "exit status 0 after a device error"
[[ -f "$work/quarl.cfg" ]] || fail "the settings were not written at the close"
echo "one box, settings saved, exit status $status"
