#!/usr/bin/env bash
# Installs the Debian packages one job needs, only those that are missing.
#   scripts/deps.sh          what building and running the driver and the simulator need
#   scripts/deps.sh test     that, plus the test, benchmark, sanitizer and fuzzing tools
#   scripts/deps.sh package  that, plus what building and checking the .deb needs
#   scripts/deps.sh nspawn   only what scripts/check-systemd.sh needs to boot Debian 12
set -euo pipefail

run_packages=(cmake g++ make ninja-build qt6-base-dev
              libmicrohttpd-dev nlohmann-json3-dev pkgconf  # the local HTTP server and its JSON
              libgnutls28-dev)  # its HTTPS: the certificate made at the first start
test_packages=(libgtest-dev libgmock-dev libbenchmark-dev clang libclang-rt-14-dev
               xvfb xauth imagemagick x11-utils  # scripts/screenshot.sh: virtual display, capture
               libsystemd-dev pkgconf  # the service's ready and watchdog messages are tested
               strace  # end-to-end tests: kills and failures at chosen system calls
               clang-format  # tools/check-format.sh
               curl  # end-to-end tests of the HTTP server
               ser2net  # end-to-end tests of an ECR behind a serial device server
               chromium python3)  # tests/web: the browser page, headless, served by python3
# file and binutils: dpkg-shlibdeps and the debug-information split; systemd: the unit check;
# libsystemd-dev and pkgconf: the service's ready and watchdog messages; desktop-file-utils:
# the desktop entries' check.
package_packages=(dpkg-dev file binutils lintian systemd libsystemd-dev pkgconf desktop-file-utils)

# scripts/check-systemd.sh: a container booted with systemd, its root made by mmdebstrap.
nspawn_packages=(systemd-container mmdebstrap)

packages=("${run_packages[@]}")
case "${1:-run}" in
  run) ;;
  test) packages+=("${test_packages[@]}") ;;
  package) packages+=("${package_packages[@]}") ;;
  nspawn) packages=("${nspawn_packages[@]}") ;;
  *) echo "usage: scripts/deps.sh [run|test|package|nspawn]" >&2; exit 2 ;;
esac

missing=()
for p in "${packages[@]}"; do
  if ! dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed"; then
    missing+=("$p")
  fi
done

if [ ${#missing[@]} -gt 0 ]; then
  echo "Installing: ${missing[*]}"
  sudo_cmd=()
  if [ "$(id -u)" -ne 0 ]; then sudo_cmd=(sudo); fi
  export DEBIAN_FRONTEND=noninteractive
  "${sudo_cmd[@]}" apt-get update -q
  "${sudo_cmd[@]}" apt-get install -y -q --no-install-recommends "${missing[@]}"
fi
