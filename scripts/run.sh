#!/usr/bin/env bash
# Installs what is missing, builds Quarl and starts it.
# With no sound server around (no card, a bare machine), it starts a private PulseAudio whose
# default input plays a 1000 Hz tone for the time the program runs.
# With no display either (neither DISPLAY nor WAYLAND_DISPLAY set: a server without a desktop),
# it also starts a private Xvfb, runs Quarl there for a few seconds, saves a screenshot of its
# window as quarl-screenshot.png in the build folder, closes the window and says where the
# picture is.
# The program's exit status is the script's. QUARL_BUILD_DIR chooses another build directory.
set -euo pipefail

cd "$(dirname "$0")/.."
build_dir=${QUARL_BUILD_DIR:-build}

bash scripts/setup.sh
bash scripts/build.sh

program=$build_dir/quarl
title="Quarl V2.01"
window_timeout_s=15 # the splash shows before the main window
show_s=4            # long enough for the spectrum of the tone to be drawn

state_dir=$(mktemp -d)
cleanup() {
    bash scripts/xvfb.sh stop "$state_dir" || true
    bash scripts/pulse.sh stop "$state_dir" || true
    rm -rf "$state_dir"
}
trap cleanup EXIT

start_private_pulse() {
    echo "run.sh: no sound server answers; starting a private PulseAudio with a 1000 Hz test tone"
    bash scripts/pulse.sh start "$state_dir"
    . "$state_dir/pulse.env"
}

if [[ -n "${DISPLAY:-}" || -n "${WAYLAND_DISPLAY:-}" ]]; then
    pactl info >/dev/null 2>&1 || start_private_pulse
    status=0
    "$program" || status=$?
    exit "$status"
fi

# No display: a short run on a private one, to see that everything works.
xclose=$build_dir/tests/tools/quarl_xclose
if [[ ! -x "$xclose" ]]; then
    echo "run.sh: $xclose is missing; it is built with the tests (QUARL_TESTS=ON)" >&2
    exit 1
fi
echo "run.sh: no display (neither DISPLAY nor WAYLAND_DISPLAY is set); running Quarl for a few" \
    "seconds on a private Xvfb"
bash scripts/xvfb.sh start "$state_dir"
. "$state_dir/xvfb.env"
pactl info >/dev/null 2>&1 || start_private_pulse

QT_QPA_PLATFORM=xcb "$program" </dev/null &
pid=$!
if ! window=$("$xclose" --wait "$title" "$window_timeout_s"); then
    echo "run.sh: no window titled \"$title\" appeared within ${window_timeout_s} s" >&2
    kill -KILL "$pid" 2>/dev/null || true
    wait "$pid" 2>/dev/null || true
    exit 1
fi
sleep "$show_s"
screenshot=$(realpath "$build_dir")/quarl-screenshot.png
import -window "$window" "$screenshot"

# Closed through the window's close, as a window manager does, so the settings are saved.
. scripts/program-lib.sh
QUARL_PID=$pid
QUARL_XCLOSE=$xclose
status=0
quarl_stop || status=$?

echo "run.sh: Quarl ran; a screenshot of its window is in $screenshot"
echo "run.sh: to use it, run 'bash scripts/run.sh' (or $program) in a desktop session, where"
echo "        DISPLAY or WAYLAND_DISPLAY is set."
exit "$status"
