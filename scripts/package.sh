#!/usr/bin/env bash
# Builds the Debian package ruvo-drv_<version>_<arch>.deb (and its debug symbols,
# ruvo-drv-dbgsym_<version>_<arch>.ddeb) in the top folder of the checkout:
#   scripts/package.sh && sudo apt install ./ruvo-drv_*.deb
set -euo pipefail
cd "$(dirname "$0")/.."

scripts/deps.sh package
# Only the programs go into the package; the tests are ./test.sh's business.
scripts/build.sh build-package -DRUVO_TESTS=OFF -DRUVO_BENCH=OFF -DCMAKE_INSTALL_PREFIX=/usr
rm -f build-package/ruvo-drv_*.deb build-package/ruvo-drv-dbgsym_*.ddeb
(cd build-package && cpack -G DEB >/dev/null)
rm -f ruvo-drv_*.deb ruvo-drv-dbgsym_*.ddeb
cp build-package/ruvo-drv_*.deb build-package/ruvo-drv-dbgsym_*.ddeb .
ls -1 ruvo-drv_*.deb ruvo-drv-dbgsym_*.ddeb
