#!/usr/bin/env bash
# Builds and runs every test: once in a normal build, once more under AddressSanitizer and
# UndefinedBehaviorSanitizer. Exits non-zero on any failure.
set -euo pipefail
cd "$(dirname "$0")"

scripts/deps.sh test

jobs=$(nproc)

echo "== build/ (RelWithDebInfo)"
scripts/build.sh build -DRUVO_TESTS=ON -DRUVO_BENCH=ON
(cd build && ctest --output-on-failure -j "$jobs")

echo "== build-asan/ (AddressSanitizer + UndefinedBehaviorSanitizer)"
scripts/build.sh build-asan -DRUVO_SANITIZE=ON -DRUVO_BENCH=OFF
(cd build-asan && ASAN_OPTIONS=detect_leaks=1:abort_on_error=1 UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1 \
   ctest --output-on-failure -j "$jobs")

echo "== package (build, contents, lintian, unpacked programs, systemd units)"
scripts/check-package.sh

if [ -x scripts/fuzz.sh ]; then
  echo "== fuzz"
  scripts/fuzz.sh
fi

echo "All tests passed."
