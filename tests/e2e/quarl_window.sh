#!/usr/bin/env bash
# End-to-end check of the real program on a real (virtual) display and sound server:
# the main window appears, the program records from the default input, and closing the window
# the way a window manager does ends the program cleanly with its settings saved.
#
#   quarl_window.sh QUARL_EXECUTABLE QUARL_XCLOSE [SETTINGS_FILE]
#
# Without SETTINGS_FILE a copy of the program runs in a scratch folder and must leave quarl.cfg
# beside itself. With it, the program runs where it is (an installed copy) and must leave its
# settings in SETTINGS_FILE, and nothing beside itself.
# Needs DISPLAY and a PulseAudio server (scripts/test.sh exports both for its private ones).
set -uo pipefail

title="Quarl V2.01"
window_timeout_s=15   # covers the 4-second splash before the main window is shown
stream_timeout_s=5
exit_timeout_s=10
settings_file_size=56

fail() {
    echo "FAIL: $*" >&2
    if [[ -n "${log:-}" && -s "$log" ]]; then
        echo "--- program output ---" >&2
        cat "$log" >&2
    fi
    exit 1
}

[[ $# -eq 2 || $# -eq 3 ]] || fail "usage: $0 QUARL_EXECUTABLE QUARL_XCLOSE [SETTINGS_FILE]"
quarl=$1
xclose=$2
settings=${3:-}
[[ -x "$quarl" ]] || fail "program not found: $quarl"
[[ -x "$xclose" ]] || fail "helper not found: $xclose"
[[ -n "${DISPLAY:-}" ]] ||
    fail "DISPLAY is not set: this test needs an X display (scripts/test.sh starts a private Xvfb)"
pactl info >/dev/null 2>&1 ||
    fail "no PulseAudio server answers (PULSE_SERVER='${PULSE_SERVER:-}'): scripts/test.sh starts a private one"

work=$(mktemp -d)
pid=
cleanup() {
    if [[ -n "$pid" ]] && kill -0 "$pid" 2>/dev/null; then
        kill -KILL "$pid" 2>/dev/null
        wait "$pid" 2>/dev/null
    fi
    rm -rf "$work"
}
trap cleanup EXIT
# A program run from anywhere keeps its settings file beside itself: run a copy in a scratch
# folder so that the test neither reads nor overwrites the settings of the build tree's program.
if [[ -z "$settings" ]]; then
    cp "$quarl" "$work/quarl"
    quarl=$work/quarl
    settings=$work/quarl.cfg
fi
beside=$(dirname "$quarl")/quarl.cfg
[[ -e "$settings" ]] && fail "a settings file is there before the run: $settings"
log=$work/output.log

# An inherited offscreen platform would keep the window off the display.
QT_QPA_PLATFORM=xcb "$quarl" </dev/null >"$log" 2>&1 &
pid=$!

# Our own child: a zombie is not "running" any more, so look at its state, not just kill -0.
running() {
    local state
    state=$(awk '{print $3}' "/proc/$pid/stat" 2>/dev/null) || return 1
    [[ -n "$state" && "$state" != Z ]]
}

window=$("$xclose" --wait "$title" "$window_timeout_s") ||
    fail "no window titled \"$title\" within ${window_timeout_s} s$(running || echo ' (the program has exited)')"
echo "window $window is up"

# Window managers show _NET_WM_NAME where it is set, so that must be the exact caption too
# (Qt appends " — <application display name>" to it when one is set).
shown=$(xprop -id "$window" _NET_WM_NAME 2>/dev/null)
if [[ "$shown" == _NET_WM_NAME\(UTF8_STRING\)* && "$shown" != *"= \"$title\"" ]]; then
    fail "the title bar would show ${shown#*= }, not \"$title\""
fi

# The program must hold a recording stream on the default source.
default_source=$(pactl get-default-source 2>/dev/null)
default_index=$(pactl list short sources | awk -v name="$default_source" '$2 == name {print $1}')
# Prints "<source index> <corked>" for each stream that the program records.
stream_of_program() {
    pactl list source-outputs 2>/dev/null | awk -v pid="$pid" '
        /^Source Output #/ { source = ""; corked = "" }
        /^[ \t]*Source: / { source = $2 }
        /^[ \t]*Corked: / { corked = $2 }
        /application\.process\.id = / { gsub(/"/, "", $3); if ($3 == pid) print source, corked }'
}
# A corked (paused) stream delivers nothing, so only a running one counts.
wanted="$default_index no"
deadline=$((SECONDS + stream_timeout_s))
stream=$(stream_of_program)
while [[ "$stream" != "$wanted" ]] && ((SECONDS < deadline)); do
    sleep 0.2
    stream=$(stream_of_program)
done
[[ -n "$stream" ]] || fail "the program holds no recording stream within ${stream_timeout_s} s"
[[ "$stream" == "$wanted" ]] ||
    fail "expected one running stream from the default source $default_source (#$default_index), found (source, corked): $stream"
echo "recording from $default_source"

"$xclose" "$title" 5 || fail "could not send WM_DELETE_WINDOW to \"$title\""

deadline=$((SECONDS + exit_timeout_s))
while running && ((SECONDS < deadline)); do
    sleep 0.1
done
if running; then
    fail "the program did not exit within ${exit_timeout_s} s of the close request"
fi
wait "$pid"
status=$?
pid=
((status == 0)) || fail "the program exited with status $status"

# Closing the window runs the close handlers, the last of which saves the settings.
[[ -f "$settings" ]] || fail "no settings file was written at close ($settings)"
size=$(stat -c %s "$settings")
((size == settings_file_size)) ||
    fail "the settings file has $size bytes, not $settings_file_size"
if [[ "$beside" != "$settings" && -e "$beside" ]]; then
    fail "the program wrote $beside although it keeps its settings in $settings"
fi
echo "closed cleanly, settings saved in $settings"
