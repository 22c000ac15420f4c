#!/usr/bin/env bash
# Runs a command under a pulse server of its own (for a test that stops or kills its server):
# PulseAudio or PipeWire as QUARL_SOUND_SERVER says (scripts/sound.sh), stopped by its PIDs
# afterwards, whatever happened. QUARL_TEST_PULSE_PID is the process that the command's
# libpulse clients talk to: the PulseAudio daemon, or PipeWire's pipewire-pulse.
set -euo pipefail
sound=$(cd "$(dirname "$0")/../../scripts" && pwd)/sound.sh
state=$(mktemp -d)
trap 'bash "$sound" stop "$state" >/dev/null 2>&1 || true; rm -rf "$state"' EXIT
bash "$sound" start "$state" >/dev/null
. "$state/sound.env"
QUARL_TEST_PULSE_PID=$(bash "$sound" server-pid)
export QUARL_TEST_PULSE_PID
"$@"
