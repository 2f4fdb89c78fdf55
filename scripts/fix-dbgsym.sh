#!/usr/bin/env bash
# Rewrites the md5sums of the debug symbols package CPack makes: it names the files by
# their paths in the build tree, dpkg wants them relative to the root, as in the .deb.
#   scripts/fix-dbgsym.sh build-package/ruvo-drv-dbgsym_*.ddeb
set -euo pipefail
ddeb="$1"
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
dpkg-deb -R "$ddeb" "$work/pkg"
(cd "$work/pkg" && find . -path ./DEBIAN -prune -o -type f -print | sed 's|^\./||' |
   LC_ALL=C sort | xargs -r md5sum) > "$work/md5sums"
install -m 0644 "$work/md5sums" "$work/pkg/DEBIAN/md5sums"
# SOURCE_DATE_EPOCH, when set, keeps the times of the rebuilt archive reproducible.
dpkg-deb --root-owner-group -Zxz --build "$work/pkg" "$ddeb" >/dev/null
