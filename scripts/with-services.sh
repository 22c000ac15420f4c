#!/usr/bin/env bash
# Runs a command with a private sound server (default input: a 1000 Hz tone) and a private
# Xvfb, started here and stopped again by their PIDs whatever the outcome. The exit status is
# the command's. QUARL_SOUND_SERVER chooses the server: pulseaudio (the default) or pipewire
# (see scripts/sound.sh, which also adds inputs with other tones).
#
#   bash scripts/with-services.sh COMMAND [ARG...]
set -euo pipefail

scripts=$(cd "$(dirname "$0")" && pwd)
state_dir=$(mktemp -d)
cleanup() {
    bash "$scripts/xvfb.sh" stop "$state_dir" || true
    bash "$scripts/sound.sh" stop "$state_dir" || true
    rm -rf "$state_dir"
}
trap cleanup EXIT
export QUARL_SERVICES_DIR=$state_dir

bash "$scripts/sound.sh" start "$state_dir"
bash "$scripts/xvfb.sh" start "$state_dir"
. "$state_dir/sound.env"
. "$state_dir/xvfb.env"
# The tests choose their own Qt platform (offscreen for widget tests, X11 for the end-to-end
# ones); a desktop's Wayland settings must not leak into them.
unset WAYLAND_DISPLAY QT_QPA_PLATFORM

status=0
"$@" || status=$?
exit "$status"
