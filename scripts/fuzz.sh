#!/usr/bin/env bash
# Builds the libFuzzer targets with clang in build-fuzz/ and runs each for FUZZ_SECONDS
# (20 by default; ./test.sh runs 5) on a copy of its seed corpus. Fails on any crash, leak
# or undefined behaviour; the input that caused it is left in build-fuzz/artifacts/.
#   fuzz_validation         the receipt command language (validation pass)
#   fuzz_legacy_conversion  the conversion of files written for the older driver
#   fuzz_link_answers       the ECR link reading answers in any pieces, at any pace
#   fuzz_ini_file           the INI reader and writer (a load and save keeps every byte)
#   fuzz_http_request       the HTTP API on a request: checks, keys, body, records, answers
#   fuzz_control_request    a control socket request and an HTTP operation's body, run by
#                           the control commands (a clear refusal or a valid operation)
#   fuzz_journal            the journal reader: read whole or damaged, never fewer records
#   fuzz_key_record         the HTTP key record reader: whole as written or refused
# FUZZ_TARGETS="fuzz_ini_file ..." runs only those.
# FUZZ_OPTIMIZE="-O2 -g" (the default) compiles for long runs; ./test.sh's short smoke run
# compiles with "-O0 -g1", a third faster to build, for a few seconds that need no speed.
set -euo pipefail
cd "$(dirname "$0")/.."

seconds="${FUZZ_SECONDS:-20}"
targets=(${FUZZ_TARGETS:-fuzz_validation fuzz_legacy_conversion fuzz_link_answers fuzz_ini_file
  fuzz_http_request fuzz_control_request fuzz_journal fuzz_key_record})

# Only the fuzz targets and the layers they link are built; tests, benchmarks and the window
# are left out of the tree.
CC=clang CXX=clang++ RUVO_BUILD_TARGETS="${targets[*]}" scripts/build.sh build-fuzz \
  -DRUVO_FUZZ=ON -DRUVO_TESTS=OFF -DRUVO_BENCH=OFF -DRUVO_GUI=OFF \
  -DCMAKE_CXX_FLAGS_RELWITHDEBINFO="${FUZZ_OPTIMIZE:--O2 -g} -DNDEBUG"

seeds_of() {
  case "$1" in
    fuzz_link_answers) echo tests/fuzz/corpus_link ;;
    fuzz_ini_file) echo tests/fuzz/corpus_ini ;;
    fuzz_http_request) echo tests/fuzz/corpus_http ;;
    fuzz_control_request) echo tests/fuzz/corpus_control ;;
    fuzz_journal) echo tests/fuzz/corpus_journal ;;
    fuzz_key_record) echo tests/fuzz/corpus_key_record ;;
    *) echo tests/fuzz/corpus ;;  # receipt files
  esac
}

mkdir -p build-fuzz/artifacts build-fuzz/tmp
# A target's scratch files go into the build tree, even those a crash leaves.
export TMPDIR="$PWD/build-fuzz/tmp"
for target in "${targets[@]}"; do
  corpus=build-fuzz/corpus_$target
  mkdir -p "$corpus"
  cp -n "$(seeds_of "$target")"/* "$corpus"/
  echo "== $target, $seconds s"
  ASAN_OPTIONS=detect_leaks=1:abort_on_error=1 \
  UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1 \
    "build-fuzz/tests/fuzz/$target" "$corpus" \
      -max_total_time="$seconds" -max_len=4096 -timeout=10 -rss_limit_mb=2048 \
      -artifact_prefix="build-fuzz/artifacts/$target-" -print_final_stats=1
done
