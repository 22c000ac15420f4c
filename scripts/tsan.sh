#!/usr/bin/env bash
# Builds the real sound input's threads (the capture library: the block ring and the client of
# the sound server, no Qt) and their tests with ThreadSanitizer into build-tsan/, and runs them,
# the server tests against a private sound server. Any report fails the run.
# QUARL_TSAN_BUILD_DIR chooses another build directory.
set -euo pipefail

cd "$(dirname "$0")/.."
build_dir=${QUARL_TSAN_BUILD_DIR:-build-tsan}

export TSAN_OPTIONS="halt_on_error=1:second_deadlock_stack=1:suppressions=$PWD/scripts/tsan.supp"

bash scripts/setup.sh
QUARL_BUILD_DIR=$build_dir bash scripts/build.sh -DCMAKE_BUILD_TYPE=RelWithDebInfo -DQUARL_TSAN=ON
bash scripts/with-services.sh ctest --test-dir "$build_dir" --output-on-failure --timeout 300
