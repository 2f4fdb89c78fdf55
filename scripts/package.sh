#!/usr/bin/env bash
# Builds the Debian package ruvo-drv_<version>_<arch>.deb (and its debug symbols,
# ruvo-drv-dbgsym_<version>_<arch>.ddeb) in the top folder of the checkout:
#   scripts/package.sh && sudo apt install ./ruvo-drv_*.deb
set -euo pipefail
cd "$(dirname "$0")/.."

scripts/deps.sh package
# Debian's hardening (stack protector, _FORTIFY_SOURCE, RELRO and BIND_NOW) and its other
# flags; the preprocessor's go in with the compiler's, since CMake reads no CPPFLAGS.
export DEB_BUILD_MAINT_OPTIONS=hardening=+all
cflags="$(dpkg-buildflags --get CPPFLAGS) $(dpkg-buildflags --get CXXFLAGS)"
ldflags="$(dpkg-buildflags --get LDFLAGS)"
# File times in the package are the changelog's, so two builds of one source are equal.
SOURCE_DATE_EPOCH=$(dpkg-parsechangelog -l packaging/debian/changelog -STimestamp)
export SOURCE_DATE_EPOCH
# A fresh tree each time: flags handed to an existing one would not replace its cache.
rm -rf build-package
# Only the programs go into the package; the tests are ./test.sh's business.
scripts/build.sh build-package -DRUVO_TESTS=OFF -DRUVO_BENCH=OFF -DCMAKE_INSTALL_PREFIX=/usr \
  -DRUVO_WERROR=OFF -DRUVO_SYSTEMD=ON \
  -DCMAKE_CXX_FLAGS="$cflags" -DCMAKE_EXE_LINKER_FLAGS="$ldflags"
(cd build-package && cpack -G DEB >/dev/null)
scripts/fix-dbgsym.sh build-package/ruvo-drv-dbgsym_*.ddeb
rm -f ruvo-drv_*.deb ruvo-drv-dbgsym_*.ddeb
cp build-package/ruvo-drv_*.deb build-package/ruvo-drv-dbgsym_*.ddeb .
ls -1 ruvo-drv_*.deb ruvo-drv-dbgsym_*.ddeb
