#!/usr/bin/env bash
# End-to-end: the real program with no sound server at all shows one device error box, saves
# its settings as at any close and exits with a failure status, for scripts and launchers.
#
#   quarl_no_server.sh QUARL_EXECUTABLE QUARL_XCLOSE
set -uo pipefail
quarl=$1
xclose=$2
fail() {
    echo "FAIL: $*" >&2
    cat "$work/output.log" >&2
    exit 1
}
[[ -n "${DISPLAY:-}" ]] || { echo "FAIL: no DISPLAY (scripts/test.sh starts Xvfb)" >&2; exit 1; }
work=$(mktemp -d)
pid=
trap '[[ -n "$pid" ]] && kill -KILL "$pid" 2>/dev/null; rm -rf "$work"' EXIT
cp "$quarl" "$work/quarl"
printf 'autospawn = no\n' >"$work/client.conf"
# A server address where nothing listens, and no daemon started on demand.
PULSE_SERVER="unix:$work/no-server" PULSE_CLIENTCONFIG="$work/client.conf" \
    QT_QPA_PLATFORM=xcb "$work/quarl" </dev/null >"$work/output.log" 2>&1 &
pid=$!

"$xclose" "Error" 20 || fail "no box titled \"Error\" within 20 s"
running() {
    local state
    state=$(awk '{print $3}' "/proc/$pid/stat" 2>/dev/null) && [[ "$state" != Z ]]
}
for _ in $(seq 1 100); do running && sleep 0.1 || break; done
if running; then
    "$xclose" --wait "Error" 0 >/dev/null 2>&1 && fail "a second error box appeared"
    fail "the program did not exit after the box"
fi
wait "$pid"
status=$?
pid=
((status != 0)) || fail "exit status 0 after a device error"
[[ -f "$work/quarl.cfg" ]] || fail "the settings were not written at the close"
echo "one box, settings saved, exit status $status"
