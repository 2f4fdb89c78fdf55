#!/usr/bin/env bash
# Checks the C++ sources' format (tools/check-format.sh), then builds and runs every test:
# the unit tests under AddressSanitizer and UndefinedBehaviorSanitizer, the end-to-end tests
# both there and in the normal build, the window's in the normal build;
# packs the Debian package from the normal build and checks it, also on a booted Debian 12
# (as root); runs each fuzz target for a few seconds. Exits non-zero on any failure, and says at its end which step failed and
# which tests.
#   RUVO_KILL_LOOP=50        the long random kill loop (10 kills by default; RUVO_KILL_SEED
#                            repeats a run, the log shows its seed)
#   RUVO_KILL_SWEEP=full     every kill point of the kill sweep, not a few chosen at random
#   FUZZ_SECONDS=60          longer fuzz runs (5 s a target by default here)
#   RUVO_E2E_JOBS=6          how many real-time tests run side by side
set -euo pipefail
cd "$(dirname "$0")"

jobs=$(nproc)
# The end-to-end tests mostly wait on the driver and the simulator: more of them at once
# than there are cores overlaps the waiting.
e2e_jobs="${RUVO_E2E_JOBS:-$((jobs * 3))}"

step_name=""
step_start=0
step_times=()
failed_tests=()

finish() {
  local status=$?
  if [ -n "$step_name" ]; then step_times+=("$(printf '%6d s  %s (failed)' $((SECONDS - step_start)) "$step_name")"); fi
  echo
  echo "== time per step"
  printf '%s\n' "${step_times[@]}"
  printf '%6d s  in all\n' "$SECONDS"
  if [ "$status" -ne 0 ]; then
    echo
    echo "FAILED (exit $status) in step: ${step_name:-setup}"
    if [ ${#failed_tests[@]} -gt 0 ]; then
      echo "Failed tests:"
      printf '  %s\n' "${failed_tests[@]}"
    fi
  fi
}
trap finish EXIT

step() {
  step_name="$1"
  step_start=$SECONDS
  echo "== $step_name"
}

step_done() {
  step_times+=("$(printf '%6d s  %s' $((SECONDS - step_start)) "$step_name")")
  step_name=""
}

# ctest in build tree $1 with the rest as its options; the names of failed tests are kept
# for the summary. Returns ctest's status.
run_ctest() {
  local tree="$1"; shift
  local status=0
  (cd "$tree" && ctest --output-on-failure "$@") || status=$?
  if [ "$status" -ne 0 ] && [ -f "$tree/Testing/Temporary/LastTestsFailed.log" ]; then
    while IFS= read -r line; do failed_tests+=("$tree: ${line#*:}"); done \
      < "$tree/Testing/Temporary/LastTestsFailed.log"
  fi
  return "$status"
}

# The CPU-bound tests at one job a core, then the real-time ones with more jobs; both run
# even when the first fails, and the step fails if either did.
run_suite() {
  local tree="$1"
  local status=0
  run_ctest "$tree" -LE e2e -j "$jobs" || status=1
  run_ctest "$tree" -L e2e -j "$e2e_jobs" || status=1
  return "$status"
}

step "dependencies"
scripts/deps.sh test
scripts/deps.sh package
step_done

step "format of the C++ sources"
tools/check-format.sh
step_done

# The normal build is configured as the package's build is (scripts/package-options.sh:
# Debian's hardening flags, /usr, systemd), so the package is packed from it below instead
# of a third compile. -Werror stays on here: the suite is where a new warning must fail;
# scripts/package.sh alone, for other machines, builds a fresh tree without it.
# Its tests are those that run the built programs as they ship (the end-to-end tests, the
# window's, the checks of the references and layers); the unit tests are compiled once, in
# the sanitizer build below, which runs every test but the window's.
step "build/ (RelWithDebInfo, the package's options)"
source scripts/package-options.sh
scripts/build.sh build -DRUVO_TESTS=ON -DRUVO_BENCH=ON -DRUVO_TEST_AREAS=e2e \
  "${package_options[@]}"
step_done

step "tests in build/"
run_suite build
step_done

step "package from build/ (contents, lintian, unpacked programs, systemd units, desktop entries)"
scripts/check-package.sh build
step_done

# The package on a booted Debian 12 (systemd as PID 1 in a container): the service, its
# device policy, the HTTP recipe, the tills' instances, upgrade and removal. The container
# needs root; its root file system is made once and kept in build-nspawn/.
step "package on a booted Debian 12 (systemd-nspawn)"
if [ "$(id -u)" -eq 0 ]; then
  scripts/check-systemd.sh
else
  echo "skipped: systemd-nspawn needs root (sudo scripts/check-systemd.sh)"
fi
step_done

# The sanitizers watch the driver's own code below the window: every unit and end-to-end
# test. The benchmarks and the operator window (the Qt layer, its 49 tests, which run in
# build/) are not built here: Qt's headers made them a tenth of this compile. -Og -g1: with
# the sanitizers' checks, GCC's -O1 took three times as long as -Og to compile the driver's
# files, and -Og still optimises what keeps the reports true; the line tables of -g1 are all
# the reports need.
step "build-asan/ (AddressSanitizer + UndefinedBehaviorSanitizer)"
scripts/build.sh build-asan -DRUVO_SANITIZE=ON -DRUVO_BENCH=OFF -DRUVO_GUI=OFF \
  -DRUVO_TEST_AREAS="sim;platform;ecr;app;receipt;console;e2e;http" \
  -DCMAKE_CXX_FLAGS_RELWITHDEBINFO="-Og -g1 -DNDEBUG"
step_done

step "tests in build-asan/"
ASAN_OPTIONS=detect_leaks=1:abort_on_error=1 UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1 \
  run_suite build-asan
step_done

# A smoke run: the targets build and survive their seeds and a few seconds of new inputs.
# Unoptimised, it builds a third faster; longer runs (FUZZ_SECONDS) build optimised.
step "fuzz (${FUZZ_SECONDS:-5} s a target)"
if [ -n "${FUZZ_SECONDS:-}" ]; then
  scripts/fuzz.sh
else
  FUZZ_SECONDS=5 FUZZ_OPTIMIZE="-O0 -g1" scripts/fuzz.sh
fi
step_done

echo "All tests passed."
