#!/usr/bin/env bash
# Installs what is missing, builds Quarl with its tests and runs every test (labels unit, audio
# and e2e) against a private PulseAudio (default input: a 1000 Hz tone) and a private Xvfb,
# started here whatever else is running and stopped again whatever the outcome, and checks the
# Debian package (scripts/check-package.sh) on the same display and sound server. Then the
# audio and e2e labels once more on a private PipeWire with the same tone (the sound server of
# Debian 12's desktops; about 2 minutes more). Then the whole suite once more built with
# AddressSanitizer and UndefinedBehaviorSanitizer (scripts/sanitize.sh), the capture library's
# threads under ThreadSanitizer (scripts/tsan.sh), and every fuzz target for
# QUARL_FUZZ_SECONDS (default 30; 0 skips them) so that the harnesses keep working. The exit
# status is 0 only when all of them pass. QUARL_BUILD_DIR chooses the main build directory.
set -euo pipefail

cd "$(dirname "$0")/.."
build_dir=${QUARL_BUILD_DIR:-build}
fuzz_seconds=${QUARL_FUZZ_SECONDS:-30}

bash scripts/setup.sh
# The benchmarks are built too (not run), so that they keep compiling.
bash scripts/build.sh -DQUARL_TESTS=ON -DQUARL_BENCH=ON

status=0
# The Debian package: built, validated, installed into this machine, run from its installed
# path on the same display and sound server as the tests, and removed again.
bash scripts/with-services.sh bash -c '
    status=0
    ctest --test-dir "$1" --output-on-failure --timeout 300 || status=$?
    bash scripts/check-package.sh || status=$?
    exit "$status"' test.sh "$build_dir" || status=$?
# Users run PipeWire's pulse server more often than PulseAudio itself, and it differs where it
# matters here: the session manager links and moves the streams, data comes in graph cycles.
QUARL_SOUND_SERVER=pipewire bash scripts/with-services.sh \
    ctest --test-dir "$build_dir" -L 'audio|e2e' --output-on-failure --timeout 300 || status=$?
bash scripts/sanitize.sh || status=$?
bash scripts/tsan.sh || status=$?
if ((fuzz_seconds > 0)); then
    bash scripts/fuzz.sh "$fuzz_seconds" || status=$?
fi
exit "$status"
