#!/usr/bin/env bash
# Builds the libFuzzer targets (clang, AddressSanitizer, UndefinedBehaviorSanitizer) into
# build-fuzz/ and runs each for SECONDS (default 60), starting from its seed corpus in
# fuzz/corpus/<target>/. New inputs go to build-fuzz/corpus/<target>/, never into the
# repository; a crashing input is kept as build-fuzz/artifacts/<target>-crash-* and fails the
# run. Prints one line per target: executions, coverage, corpus size, findings.
# QUARL_FUZZ_RUNS=N stops a target after N executions if that comes before SECONDS.
#
#   bash scripts/fuzz.sh [SECONDS] [TARGET...]
set -euo pipefail

cd "$(dirname "$0")/.."
seconds=${1:-60}
shift || true
build_dir=${QUARL_FUZZ_BUILD_DIR:-build-fuzz}

bash scripts/setup.sh
CC=clang CXX=clang++ cmake -S . -B "$build_dir" -DCMAKE_BUILD_TYPE=RelWithDebInfo \
    -DQUARL_FUZZ=ON -DQUARL_TESTS=OFF -DQUARL_BENCH=OFF >/dev/null
targets=("$@")
if ((${#targets[@]} == 0)); then
    for dir in fuzz/corpus/*/; do
        targets+=("$(basename "$dir")")
    done
fi
cmake --build "$build_dir" -j"$(nproc)" --target "${targets[@]}"

# The Qt targets draw nothing on a screen.
export QT_QPA_PLATFORM=offscreen
# Leaks in the system's libraries are not ours (see scripts/lsan.supp).
export LSAN_OPTIONS="suppressions=$PWD/scripts/lsan.supp:print_suppressions=0"
export UBSAN_OPTIONS="print_stacktrace=1:halt_on_error=1"

mkdir -p "$build_dir/artifacts"
status=0
for target in "${targets[@]}"; do
    corpus=$build_dir/corpus/$target
    mkdir -p "$corpus"
    log=$build_dir/$target.log
    rc=0
    "$build_dir/fuzz/$target" -max_total_time="$seconds" -runs="${QUARL_FUZZ_RUNS:--1}" \
        -print_final_stats=1 \
        -artifact_prefix="$build_dir/artifacts/$target-" "$corpus" "fuzz/corpus/$target" \
        >"$log" 2>&1 || rc=$?
    runs=$(sed -n 's/^stat::number_of_executed_units: *//p' "$log" | tail -n 1)
    cov=$(grep -o 'cov: [0-9]*' "$log" | tail -n 1 | cut -d' ' -f2)
    ft=$(grep -o 'ft: [0-9]*' "$log" | tail -n 1 | cut -d' ' -f2)
    files=$(find "$corpus" -type f | wc -l)
    if ((rc == 0)); then
        finding=none
    else
        finding="CRASH (exit $rc), see $log"
        status=1
    fi
    printf '%-28s %12s runs  cov %6s  ft %6s  corpus %5s  findings: %s\n' \
        "$target" "${runs:-?}" "${cov:-?}" "${ft:-?}" "$files" "$finding"
    if ((rc != 0)); then
        grep -E 'ERROR|runtime error|SUMMARY|FormatGeneral|Test unit written' "$log" | head -n 20 >&2 || true
    fi
done
exit "$status"
