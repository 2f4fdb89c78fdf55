#!/usr/bin/env bash
# Builds the Debian package ruvo-drv_<version>_<arch>.deb (and its debug symbols,
# ruvo-drv-dbgsym_<version>_<arch>.ddeb) in the top folder of the checkout:
#   scripts/package.sh && sudo apt install ./ruvo-drv_*.deb
# scripts/package.sh DIR packs a tree already built with the package's options
# (scripts/package-options.sh), as ./test.sh's build/ is, instead of compiling anew.
set -euo pipefail
cd "$(dirname "$0")/.."

scripts/deps.sh package
source scripts/package-options.sh
# File times in the package are the changelog's, so two builds of one source are equal.
SOURCE_DATE_EPOCH=$(dpkg-parsechangelog -l packaging/debian/changelog -STimestamp)
export SOURCE_DATE_EPOCH
tree="${1:-}"
if [ -z "$tree" ]; then
  tree=build-package
  # A fresh tree each time: flags handed to an existing one would not replace its cache.
  rm -rf "$tree"
  # Only the programs go into the package; the tests are ./test.sh's business. -Werror is
  # off: a newer compiler's new warning must not stop a build on a machine we never saw.
  scripts/build.sh "$tree" -DRUVO_TESTS=OFF -DRUVO_BENCH=OFF -DRUVO_WERROR=OFF "${package_options[@]}"
else
  # The given tree must have been configured with the package's options: packing one
  # built otherwise would ship programs without the hardening.
  for option in "${package_options[@]}"; do
    name="${option%%=*}"; name="${name#-D}"
    have=$(grep -m1 "^$name:" "$tree/CMakeCache.txt" | cut -d= -f2-) || true
    [ "$have" = "${option#*=}" ] ||
      { echo "package: $tree has $name=$have, not ${option#*=}" >&2; exit 1; }
  done
  # Nothing left to compile, but the staged files and anything stale are brought up to date.
  cmake --build "$tree" -j "$(nproc)" --target ruvo_drv xruvo_sim ruvo_staged_files
fi
rm -f "$tree"/ruvo-drv_*.deb "$tree"/ruvo-drv-dbgsym_*.ddeb
(cd "$tree" && cpack -G DEB >/dev/null)
scripts/fix-dbgsym.sh "$tree"/ruvo-drv-dbgsym_*.ddeb
rm -f ruvo-drv_*.deb ruvo-drv-dbgsym_*.ddeb
cp "$tree"/ruvo-drv_*.deb "$tree"/ruvo-drv-dbgsym_*.ddeb .
ls -1 ruvo-drv_*.deb ruvo-drv-dbgsym_*.ddeb
