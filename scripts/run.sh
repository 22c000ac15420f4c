#!/usr/bin/env bash
# Installs what is missing, builds Quarl and starts it.
# With no sound server around (no card, a bare machine), it starts a private PulseAudio whose
# default input plays a 1000 Hz tone for the time the program runs.
# The program's exit status is the script's. QUARL_BUILD_DIR chooses another build directory.
set -euo pipefail

cd "$(dirname "$0")/.."
build_dir=${QUARL_BUILD_DIR:-build}

bash scripts/setup.sh
bash scripts/build.sh

if [[ -z "${DISPLAY:-}" && -z "${WAYLAND_DISPLAY:-}" ]]; then
    echo "run.sh: Quarl is a desktop program and needs a display, but neither DISPLAY nor" >&2
    echo "WAYLAND_DISPLAY is set. Run it from a desktop session (or under Xvfb: scripts/xvfb.sh)." >&2
    exit 1
fi

program=$build_dir/quarl
if pactl info >/dev/null 2>&1; then
    status=0
    "$program" || status=$?
    exit "$status"
fi

echo "run.sh: no sound server answers; starting a private PulseAudio with a 1000 Hz test tone"
state_dir=$(mktemp -d)
cleanup() {
    bash scripts/pulse.sh stop "$state_dir" || true
    rm -rf "$state_dir"
}
trap cleanup EXIT
bash scripts/pulse.sh start "$state_dir"
status=0
(
    . "$state_dir/pulse.env"
    exec "$program"
) || status=$?
exit "$status"
