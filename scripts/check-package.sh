#!/usr/bin/env bash
# Builds the Debian package and checks it as a technician would meet it: its contents and
# dependencies, lintian, the programs run from an unpacked copy, and the systemd units.
#   scripts/check-package.sh       builds the package in a fresh tree first
#   scripts/check-package.sh DIR   packs it from a tree already built (see scripts/package.sh)
set -euo pipefail
cd "$(dirname "$0")/.."

tree="${1:-build-package}"
scripts/package.sh ${1:+"$1"}
deb=$(ls ruvo-drv_*_*.deb)
version=$(dpkg-deb -f "$deb" Version)

fail() { echo "check-package: $*" >&2; exit 1; }

echo "== contents"
contents=$(dpkg-deb -c "$deb" | awk '{print $6}')
for path in ./usr/bin/ruvo_drv ./usr/bin/xruvo_sim \
            ./lib/systemd/system/ruvo-drv.service ./lib/systemd/system/ruvo-drv@.service \
            ./usr/share/applications/ruvo-drv.desktop \
            ./usr/share/ruvo-drv/autostart/ruvo-drv.desktop \
            ./usr/share/icons/hicolor/scalable/apps/ruvo-drv.svg \
            ./usr/share/man/man1/ruvo_drv.1.gz ./usr/share/man/man1/xruvo_sim.1.gz \
            ./usr/share/doc/ruvo-drv/README.md ./usr/share/doc/ruvo-drv/receipt-files.md \
            ./usr/share/doc/ruvo-drv/copyright ./usr/share/doc/ruvo-drv/examples/XRUVODRV.INI \
            ./usr/share/ruvo-drv/XRUVODRV.INI ./usr/lib/modules-load.d/ruvo-drv.conf; do
  grep -qxF "$path" <<<"$contents" || fail "$path is missing from $deb"
done
depends=$(dpkg-deb -f "$deb" Depends)
for dep in libc6 libstdc++6 adduser; do
  grep -q "$dep" <<<"$depends" || fail "Depends lacks $dep: $depends"
done
ls ruvo-drv-dbgsym_"$version"_*.ddeb >/dev/null || fail "no debug symbols package"

# lintian leaves database files of its own in $TMPDIR: give it one that goes away.
scratch=$(mktemp -d)
trap 'rm -rf "$scratch"' EXIT

echo "== lintian"
# --pedantic: no error, warning or pedantic note on either package.
ddeb=$(ls ruvo-drv-dbgsym_"$version"_*.ddeb)
for package in "$deb" "$ddeb"; do
  TMPDIR="$scratch" lintian --pedantic --fail-on error,warning,pedantic "$package"
done

echo "== debug symbols package"
md5sums=$(dpkg-deb -I "$ddeb" md5sums)
if grep -qE "  (/|.*_CPack_Packages|(.*/)?$(basename "$tree")/)" <<<"$md5sums"; then fail "$ddeb md5sums names build paths: $md5sums"; fi
grep -qE '  usr/lib/debug/' <<<"$md5sums" || fail "$ddeb md5sums lists no debug file"

echo "== reproducible times"
epoch=$(dpkg-parsechangelog -l packaging/debian/changelog -STimestamp)
stamp=$(date -u -d "@$epoch" '+%Y-%m-%d %H:%M')
while read -r line; do
  [[ "$line" == *" $stamp "* ]] || fail "not from the changelog's time ($stamp): $line"
done < <(dpkg-deb -c "$deb")

echo "== unpacked programs"
root="$scratch/root"
mkdir "$root"
dpkg -x "$deb" "$root"
for program in ruvo_drv xruvo_sim; do
  file "$root/usr/bin/$program" | grep -q ", stripped" || fail "$program is not stripped"
  # Debian's hardening: RELRO with BIND_NOW, the stack protector, _FORTIFY_SOURCE. (Read
  # whole first: grep -q leaving a pipe early fails the pipe under pipefail.)
  headers=$(readelf -lW "$root/usr/bin/$program")
  dynamic=$(readelf -dW "$root/usr/bin/$program")
  symbols=$(readelf --dyn-syms -W "$root/usr/bin/$program")
  grep -q GNU_RELRO <<<"$headers" || fail "$program has no RELRO"
  grep -qE 'BIND_NOW|FLAGS_1.*NOW' <<<"$dynamic" || fail "$program has no BIND_NOW"
  grep -q __stack_chk_fail <<<"$symbols" || fail "$program is built without the stack protector"
  # The simulator calls no function _FORTIFY_SOURCE guards; lintian says so too.
  if [ "$program" = ruvo_drv ]; then
    grep -q '__[a-z]*_chk@' <<<"$symbols" || fail "$program is built without _FORTIFY_SOURCE"
  fi
  readelf --string-dump=.gnu_debuglink "$root/usr/bin/$program" | grep -q "\.debug" ||
    fail "$program does not point at its debug symbols"
done
[ "$("$root/usr/bin/ruvo_drv" --version)" = "Ruvo_Drv 2.3.3.0" ] || fail "ruvo_drv --version"
# The example settings as the repository has them, CR LF and all; the service's starting
# settings are the same but for the port, which they leave unnamed.
cmp examples/XRUVODRV.INI "$root/usr/share/doc/ruvo-drv/examples/XRUVODRV.INI" ||
  fail "the packaged example settings differ from examples/XRUVODRV.INI"
diff <(sed 's|^;COM1=/dev/ttyS0\r$|COM1=/dev/ttyS0\r|' "$root/usr/share/ruvo-drv/XRUVODRV.INI") \
  examples/XRUVODRV.INI >/dev/null || fail "the service's starting settings differ from the example"
for page in ruvo_drv xruvo_sim; do
  out=$(LC_ALL=C.UTF-8 MANROFFSEQ='' MANWIDTH=80 man --warnings -E UTF-8 -l \
    "$root/usr/share/man/man1/$page.1.gz" 2>&1 >/dev/null) || fail "man $page: $out"
  [ -z "$out" ] || fail "man $page: $out"
done
"$root/usr/bin/ruvo_drv" --help | grep -q -- "--headless" || fail "ruvo_drv --help"
"$root/usr/bin/xruvo_sim" --help | grep -q -- "--link" || fail "xruvo_sim --help"
# The settings a service folder starts from name no port: the service waits for one.
folder="$root/till"
mkdir "$folder"
cp "$root/usr/share/ruvo-drv/XRUVODRV.INI" "$folder/"
if "$root/usr/bin/ruvo_drv" --dir "$folder" --check-port 2>/dev/null; then
  fail "the shipped settings already name a port"
fi
printf '[Porturi]\r\nCOM1=/dev/serial/by-id/usb-test\r\n' >> "$folder/XRUVODRV.INI"
"$root/usr/bin/ruvo_drv" --dir "$folder" --check-port >/dev/null || fail "--check-port misses the port"

echo "== systemd units"
# verify wants the programs where the units name them: point the units at the unpacked copy.
mkdir "$root/units"
for unit in "$root"/lib/systemd/system/*.service; do
  sed "s|/usr/bin/ruvo_drv|$root/usr/bin/ruvo_drv|g" "$unit" > "$root/units/$(basename "$unit")"
done
cp "$root/units/ruvo-drv@.service" "$root/units/ruvo-drv@till2.service"
for unit in ruvo-drv.service ruvo-drv@till2.service; do
  # It warns and still exits 0 on an unknown key: any word from it is a failure.
  out=$(systemd-analyze verify --man=no "$root/units/$unit" 2>&1) || fail "$unit: $out"
  [ -z "$out" ] || fail "$unit: $out"
done
for unit in ruvo-drv.service ruvo-drv@till2.service; do
  # Exposure on systemd's scale of 0 to 10; --threshold takes tenths.
  line=$(systemd-analyze security --offline=true --threshold=20 "$root/units/$unit" 2>&1 | tail -1) ||
    fail "$unit is exposed above 2.0: $line"
  echo "$line"
done

echo "== desktop entries"
for entry in "$root"/usr/share/applications/ruvo-drv.desktop "$root"/usr/share/ruvo-drv/autostart/ruvo-drv.desktop; do
  out=$(desktop-file-validate "$entry" 2>&1) || fail "$entry: $out"
  [ -z "$out" ] || fail "$entry: $out"
done

echo "check-package: $deb is fine"
