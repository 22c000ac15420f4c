#!/usr/bin/env bash
# Installs what is missing, builds Quarl with its tests and runs every test (labels unit, audio
# and e2e) against a private PulseAudio (default input: a 1000 Hz tone) and a private Xvfb,
# started here whatever else is running and stopped again whatever the outcome.
# Then it checks the Debian package (scripts/check-package.sh).
# The exit status is ctest's, or the package check's when that fails. QUARL_BUILD_DIR chooses
# another build directory.
set -euo pipefail

cd "$(dirname "$0")/.."
build_dir=${QUARL_BUILD_DIR:-build}

bash scripts/setup.sh
# The benchmarks are built too (not run), so that they keep compiling.
bash scripts/build.sh -DQUARL_TESTS=ON -DQUARL_BENCH=ON

state_dir=$(mktemp -d)
cleanup() {
    bash scripts/xvfb.sh stop "$state_dir" || true
    bash scripts/pulse.sh stop "$state_dir" || true
    rm -rf "$state_dir"
}
trap cleanup EXIT

bash scripts/pulse.sh start "$state_dir"
bash scripts/xvfb.sh start "$state_dir"
. "$state_dir/pulse.env"
. "$state_dir/xvfb.env"
# The tests choose their own Qt platform (offscreen for widget tests, X11 for the end-to-end
# ones); a desktop's Wayland settings must not leak into them.
unset WAYLAND_DISPLAY QT_QPA_PLATFORM

status=0
ctest --test-dir "$build_dir" --output-on-failure --timeout 300 || status=$?
# The Debian package: built, validated, installed into this machine, run from its installed
# path on the same display and sound server, and removed again.
bash scripts/check-package.sh || status=$?
exit "$status"
