#!/usr/bin/env bash
# Builds the libFuzzer target of the receipt command language with clang in build-fuzz/
# and runs it for 60 seconds on a copy of the seed corpus. Fails on any crash, leak or
# undefined behaviour.
set -euo pipefail
cd "$(dirname "$0")/.."

seconds="${FUZZ_SECONDS:-60}"

CC=clang CXX=clang++ cmake -S . -B build-fuzz -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo \
  -DRUVO_FUZZ=ON -DRUVO_BENCH=OFF >/dev/null
cmake --build build-fuzz -j2 --target fuzz_validation

corpus=build-fuzz/corpus_validation
mkdir -p "$corpus" build-fuzz/artifacts
cp -n tests/fuzz/corpus/* "$corpus"/

ASAN_OPTIONS=detect_leaks=1:abort_on_error=1 \
UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1 \
  build-fuzz/tests/fuzz/fuzz_validation "$corpus" \
    -max_total_time="$seconds" -max_len=4096 -timeout=10 -rss_limit_mb=2048 \
    -artifact_prefix=build-fuzz/artifacts/ -print_final_stats=1
