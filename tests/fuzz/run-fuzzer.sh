#!/usr/bin/env bash
# Builds the PDF layer's libFuzzer target with clang in its own build folder and runs it for
# SECONDS (default 60), seeded with the corpus documents and the generated fixtures.
# Crashes land in build-fuzz/crashes/; turn each into a fixture test.
set -euo pipefail
seconds=${1:-60}
root=$(cd "$(dirname "$0")/../.." && pwd)
build=${QUENLITH_FUZZ_BUILD_DIR:-$root/build-fuzz}
corpus=${QUENLITH_CORPUS_DIR:-$root/../shared/corpus}

CXX=${CXX:-clang++-14} cmake -S "$root" -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo \
  -DQUENLITH_FUZZ=ON -DQUENLITH_BUILD_GUI=OFF -DQUENLITH_BUILD_TESTS=OFF > /dev/null
cmake --build "$build" --target quenlith_pdf_fuzzer quenlith_fuzz_seeds

seeds=$build/fuzz-seeds
work=$build/fuzz-work
mkdir -p "$seeds" "$work" "$build/crashes"
"$build/tests/fuzz/quenlith_fuzz_seeds" "$seeds"
if [ -d "$corpus" ]; then
  cp -f "$corpus"/*.pdf "$seeds"/ 2> /dev/null || true
fi

# The fuzzer's scratch folder goes under TMPDIR; libFuzzer ends without running exit handlers.
export TMPDIR=$build/fuzz-tmp
rm -rf "$TMPDIR" && mkdir -p "$TMPDIR"
trap 'rm -rf "$TMPDIR"' EXIT
export ASAN_OPTIONS=${ASAN_OPTIONS:-detect_leaks=1}:abort_on_error=1
export UBSAN_OPTIONS=${UBSAN_OPTIONS:-print_stacktrace=1}:halt_on_error=1
"$build/tests/fuzz/quenlith_pdf_fuzzer" "$work" "$seeds" \
  -max_total_time="$seconds" -rss_limit_mb=2048 -timeout=30 -max_len=1048576 \
  -artifact_prefix="$build/crashes/" -print_final_stats=1
