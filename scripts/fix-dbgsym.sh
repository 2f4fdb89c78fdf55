#!/usr/bin/env bash
# Finishes the debug symbols package CPack makes as Debian's own are: md5sums names the
# files relative to the root, as dpkg wants them (CPack names them by their paths in the
# build tree), and the package's documentation is the main package's, through a link.
#   scripts/fix-dbgsym.sh build-package/ruvo-drv-dbgsym_*.ddeb
set -euo pipefail
ddeb="$1"
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
dpkg-deb -R "$ddeb" "$work/pkg"
package=$(dpkg-deb -f "$ddeb" Package)
mkdir -p "$work/pkg/usr/share/doc"
ln -sfn "${package%-dbgsym}" "$work/pkg/usr/share/doc/$package"
(cd "$work/pkg" && find . -path ./DEBIAN -prune -o -type f -print | sed 's|^\./||' |
   LC_ALL=C sort | xargs -r md5sum) > "$work/md5sums"
install -m 0644 "$work/md5sums" "$work/pkg/DEBIAN/md5sums"
# SOURCE_DATE_EPOCH, when set, keeps the times of the rebuilt archive reproducible.
dpkg-deb --root-owner-group -Zxz --build "$work/pkg" "$ddeb" >/dev/null
