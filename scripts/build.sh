#!/usr/bin/env bash
# Configures and builds Quarl (Release) into build/ at the repository root; the program is
# build/quarl. Extra arguments go to the configure step, e.g. scripts/build.sh -DQUARL_BENCH=ON.
# QUARL_BUILD_DIR chooses another build directory.
set -euo pipefail

cd "$(dirname "$0")/.."
build_dir=${QUARL_BUILD_DIR:-build}

cmake -S . -B "$build_dir" -DCMAKE_BUILD_TYPE=Release "$@"
cmake --build "$build_dir" -j"$(nproc)"
