#!/usr/bin/env bash
# Builds the whole suite with AddressSanitizer and UndefinedBehaviorSanitizer into build-asan/
# and runs every test (unit, audio, e2e) against a private PulseAudio and Xvfb. Any report from
# our code fails the run; leaks that only the system's libraries keep are listed, with their
# reasons, in scripts/lsan.supp. QUARL_ASAN_BUILD_DIR chooses another build directory.
set -euo pipefail

cd "$(dirname "$0")/.."
build_dir=${QUARL_ASAN_BUILD_DIR:-build-asan}

# The same options for the test discovery at build time and for the runs.
export ASAN_OPTIONS=detect_leaks=1:detect_stack_use_after_return=1
export LSAN_OPTIONS="suppressions=$PWD/scripts/lsan.supp:print_suppressions=0"
export UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1

bash scripts/setup.sh
QUARL_BUILD_DIR=$build_dir bash scripts/build.sh -DCMAKE_BUILD_TYPE=RelWithDebInfo \
    -DQUARL_SANITIZE=ON -DQUARL_TESTS=ON -DQUARL_BENCH=OFF
bash scripts/with-services.sh ctest --test-dir "$build_dir" --output-on-failure --timeout 600
