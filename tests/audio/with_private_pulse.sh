#!/usr/bin/env bash
# Runs a command under a PulseAudio daemon of its own (for a test that kills
# its server), and stops that daemon by PID afterwards, whatever happened.
set -euo pipefail
here=$(cd "$(dirname "$0")" && pwd)
state=$(mktemp -d)
trap 'bash "$here/../../scripts/pulse.sh" stop "$state" >/dev/null 2>&1 || true; rm -rf "$state"' EXIT
bash "$here/../../scripts/pulse.sh" start "$state" >/dev/null
. "$state/pulse.env"
export QUARL_TEST_PULSE_PID=$(<"$state/pulse.pid")
"$@"
