#!/usr/bin/env bash
# Fuzzes the number texts, the settings file, the delay and the pitch computations, and a sample's
# tempo, with libFuzzer under AddressSanitizer and UBSan: scripts/fuzz.sh [seconds per target,
# default 30].
# Each target starts from a copy of its committed corpus; what it finds stays in a temporary
# folder, and crashing inputs are kept in build-fuzz/crashes. Fails when any target crashed.
set -euo pipefail
seconds=${1:-30}
[[ "$seconds" =~ ^[0-9]+$ ]] || { echo "usage: $0 [seconds]" >&2; exit 2; }
cd "$(dirname "$0")/.."

# Only the fuzz build needs clang and libFuzzer (in libclang-rt-dev, with the sanitizer runtimes),
# so they are not among the packages every build installs.
KORVO_EXTRA_PACKAGES="clang libclang-rt-dev" scripts/install-deps.sh

# A build directory of its own, configured with clang; only the fuzz executables and the feature
# libraries they link are built in it. A directory left from a configuration of another source
# folder is configured afresh.
build=build-fuzz
targets=(lenient settings delay pitch sampletempo)
if [ -f "$build/CMakeCache.txt" ] && ! grep -qxF "CMAKE_HOME_DIRECTORY:INTERNAL=$PWD" "$build/CMakeCache.txt"; then
    rm -rf "$build/CMakeCache.txt" "$build/CMakeFiles"
fi
CC=clang CXX=clang++ cmake -S . -B "$build" -G Ninja -DKORVO_FUZZ=ON -DKORVO_BENCH=OFF >/dev/null
cmake --build "$build" --target "${targets[@]/#/fuzz_}"

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
mkdir -p "$build/crashes"

failed=()
summary=()
for target in "${targets[@]}"; do
    cp -r "fuzz/corpus/$target" "$work/$target"
    rm -f "$build/crashes/$target-"*
    echo "== fuzz_$target for ${seconds}s"
    # New inputs go into the first folder, the copy; the committed corpus is only read.
    status=0
    UBSAN_OPTIONS=print_stacktrace=1 \
        "$build/fuzz/fuzz_$target" "$work/$target" -max_total_time="$seconds" -max_len=4096 \
        -print_final_stats=1 -artifact_prefix="$build/crashes/$target-" >"$work/$target.log" 2>&1 ||
        status=$?
    runs=$(sed -n 's/^stat::number_of_executed_units: *//p' "$work/$target.log" | tail -n 1)
    [ -n "$runs" ] || runs=$(sed -n 's/^#\([0-9]*\).*DONE.*/\1/p' "$work/$target.log" | tail -n 1)
    corpus=$(find "$work/$target" -type f | wc -l)
    if [ "$status" -ne 0 ]; then
        failed+=("$target")
        summary+=("fuzz_$target: CRASH after ${runs:-?} executions")
        grep -E 'property broken|ERROR: |runtime error|SUMMARY|Test unit written' "$work/$target.log" >&2 || tail -n 30 "$work/$target.log" >&2
        for crash in "$build/crashes/$target-"*; do
            [ -f "$crash" ] && { echo "input $crash:" >&2; od -An -tx1 -v "$crash" | head -n 20 >&2; }
        done
    else
        summary+=("fuzz_$target: ${runs:-?} executions, no crash, corpus grew to $corpus inputs")
    fi
done

printf '%s\n' "${summary[@]}"
[ ${#failed[@]} -eq 0 ] || { echo "fuzzing found crashes in: ${failed[*]}" >&2; exit 1; }
