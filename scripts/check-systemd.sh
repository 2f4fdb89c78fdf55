#!/usr/bin/env bash
# Runs the Debian package on a booted Debian 12, as a till meets it: systemd as PID 1 in a
# systemd-nspawn container, cgroup v2, the units' device policy and address rules enforced,
# the ECR simulated on a pseudo-terminal owned root:dialout 0660 like a serial device.
#   scripts/check-systemd.sh [DEB]     DEB: the package (./ruvo-drv_*.deb by default, as
#                                      scripts/check-package.sh leaves it)
# Needs root. The container's root file system is made once with mmdebstrap from the
# mirror apt uses and kept in build-nspawn/ (delete it to start afresh); each run boots it
# with a throw-away overlay, so the kept copy never changes. Leaves no process, mount or
# file outside build-nspawn/.
#   RUVO_NSPAWN_KEEP=1   leave the container running at a failure, to look inside
set -euo pipefail
cd "$(dirname "$0")/.."

fail() { echo "check-systemd: FAILED: $*" >&2; exit 1; }
say() { printf '== %s (%d s)\n' "$*" "$SECONDS"; }

[ "$(id -u)" -eq 0 ] || fail "needs root (systemd-nspawn, mmdebstrap)"
deb="${1:-$(ls ruvo-drv_*_*.deb 2>/dev/null | head -n 1)}"
[ -n "$deb" ] && [ -f "$deb" ] || fail "no package: run scripts/check-package.sh first, or name one"
deb=$(realpath "$deb")
scripts/deps.sh nspawn

cache=build-nspawn
mkdir -p "$cache"
cache=$(realpath "$cache")

# The mirror apt is configured with (one-line or deb822 sources).
mirror=$(grep -hsE '^(deb |URIs:)' /etc/apt/sources.list /etc/apt/sources.list.d/*.list \
           /etc/apt/sources.list.d/*.sources | grep -v -- '-security' | grep -oE 'https?://[^ ]+' |
         grep -E '/debian/?$' | head -n 1) || true
[ -n "$mirror" ] || mirror=http://deb.debian.org/debian

# The package's own dependencies go in too: the container has no network.
needs=$(dpkg-deb -f "$deb" Depends | tr ',' '\n' | sed -E 's/^ *//; s/[ (|].*//; /^$/d')
include=$(printf '%s\n' systemd systemd-sysv dbus curl procps adduser $needs | sort -u | paste -sd, -)
root="$cache/root-$(printf '%s' "$include" | sha256sum | cut -c1-12)"
if [ ! -f "$root/.complete" ]; then
  say "Debian 12 from $mirror (once; kept in $root)"
  rm -rf "$root" "$root.new"
  # mmdebstrap rather than debootstrap: apt fetches the packages side by side (a minute
  # here for all of them), where debootstrap fetches one at a time.
  mmdebstrap --variant=minbase --include="$include" --dpkgopt=force-unsafe-io \
    bookworm "$root.new" "$mirror" > "$cache/mmdebstrap.log" 2>&1 ||
    { tail -n 20 "$cache/mmdebstrap.log"; fail "mmdebstrap"; }
  # No login prompt waiting on a console nobody reads.
  ln -sf /dev/null "$root.new/etc/systemd/system/console-getty.service"
  touch "$root.new/.complete"
  mv "$root.new" "$root"
  # Roots made for another set of dependencies are of no more use.
  for old in "$cache"/root-*; do [ "$old" = "$root" ] || rm -rf "$old"; done
fi

say "boot"
log="$cache/boot.log"
nspawn_pid=""
leader=""
cleanup() {
  local status=$?
  if [ -n "$nspawn_pid" ]; then
    if [ "$status" -ne 0 ] && [ -n "${RUVO_NSPAWN_KEEP:-}" ]; then
      echo "check-systemd: the container runs on: nsenter -t $leader -a; kill $nspawn_pid to end it" >&2
      return
    fi
    # A clean shutdown (SIGRTMIN+4 to its systemd), then the hard way.
    [ -n "$leader" ] && kill -s RTMIN+4 "$leader" 2>/dev/null
    for _ in $(seq 1 100); do kill -0 "$nspawn_pid" 2>/dev/null || break; sleep 0.2; done
    kill -KILL "$nspawn_pid" 2>/dev/null || true
    wait "$nspawn_pid" 2>/dev/null || true
  fi
  if [ "$status" -ne 0 ] && [ -f "$log" ]; then echo "-- the container's console:"; tail -n 30 "$log"; fi
}
trap cleanup EXIT
# Interrupted: the same clean-up.
trap 'exit 130' INT TERM
# SYSTEMD_SECCOMP=0 and all capabilities: else the device policy inside is silently not
# enforced, and a check would pass that fails on a real till. --keep-unit: no systemd on
# the host to register with. The overlay keeps the root as it was made.
SYSTEMD_SECCOMP=0 SYSTEMD_NSPAWN_UNIFIED_HIERARCHY=1 systemd-nspawn -q -b -D "$root" \
  --volatile=overlay --register=no --keep-unit --private-network --capability=all \
  --console=passive --bind-ro="$deb:/root/ruvo-drv.deb" > "$log" 2>&1 &
nspawn_pid=$!
for _ in $(seq 1 100); do
  for child in $(ps -o pid= --ppid "$nspawn_pid" 2>/dev/null); do
    [ "$(cat "/proc/$child/comm" 2>/dev/null)" = systemd ] && leader=$child
  done
  [ -n "$leader" ] && break
  kill -0 "$nspawn_pid" 2>/dev/null || fail "systemd-nspawn ended"
  sleep 0.2
done
[ -n "$leader" ] || fail "no systemd in the container"

# A command in the container, as its root.
ct() {
  nsenter -t "$leader" -m -u -i -n -p -C -r -w \
    /usr/bin/env -i PATH=/usr/sbin:/usr/bin:/sbin:/bin LANG=C.UTF-8 "$@"
}
# Waits up to $1 seconds for a shell condition in the container.
wait_for() {
  local seconds="$1" what="$2"; shift 2
  for _ in $(seq 1 $((seconds * 5))); do
    if ct sh -c "$*" >/dev/null 2>&1; then return 0; fi
    sleep 0.2
  done
  fail "$what (after $seconds s)"
}
show() { ct systemctl show -P "$2" "$1"; }

state=""
for _ in $(seq 1 300); do
  state=$(ct systemctl is-system-running 2>/dev/null) || true
  case "$state" in running|degraded) break ;; esac
  sleep 0.2
done
case "$state" in running|degraded) ;; *) fail "the container did not boot: $state" ;; esac

folder=/var/lib/ruvo-drv
say "install"
out=$(ct apt-get install -y -q /root/ruvo-drv.deb 2>&1) ||
  { echo "$out"; fail "apt-get install"; }
# The only words of warning apt may say: it is run as root on a file (no sandbox user).
if grep -iE 'warn|cannot|error' <<<"$out" | grep -v 'N: Download is performed unsandboxed' | grep -q .; then
  echo "$out"; fail "the install warned"
fi
[ "$(ct stat -c '%U:%G %a' "$folder")" = "ruvo-drv:ruvo-drv 2770" ] || fail "$folder: $(ct stat -c '%U:%G %a' "$folder")"
ct id -nG ruvo-drv | grep -qw dialout || fail "ruvo-drv is not in dialout"
[ "$(show ruvo-drv UnitFileState)" = enabled ] || fail "the service is not enabled"
# Started by the install and skipped (not failed): the settings name no port.
[ "$(show ruvo-drv ActiveState)" = inactive ] || fail "the service runs without a port: $(show ruvo-drv ActiveState)"
[ "$(show ruvo-drv Result)" = exec-condition ] ||
  fail "the start before a port is named was not skipped: $(show ruvo-drv Result)"

exposure=$(ct systemd-analyze security ruvo-drv.service | tail -n 1)
echo "$exposure"
level=$(grep -oE '[0-9]+\.[0-9]' <<<"$exposure" | head -n 1)
awk -v l="$level" 'BEGIN { exit !(l <= 2.0) }' || fail "exposure $level is above 2.0"

say "the simulated ECR on a pseudo-terminal root:dialout 0660"
# The simulator runs under the container's systemd, as a till's ECR would be there all along.
sim() {  # sim NAME: the simulator at /dev/NAME, its paper in /root/NAME.paper
  ct systemd-run -q --unit="sim-$1" /usr/bin/xruvo_sim --link "/dev/$1" --paper "/root/$1.paper"
  wait_for 10 "the simulator $1 made no terminal" test -L "/dev/$1"
  ct sh -c "chown root:dialout \$(readlink -f /dev/$1) && chmod 0660 \$(readlink -f /dev/$1)"
}
sim xruvo
ct sed -i 's|^;COM1=/dev/ttyS0\r$|COM1=/dev/xruvo\r|; s|^;ServerHttp=NU\r$|ServerHttp=DA\r|' "$folder/XRUVODRV.INI"
ct ruvo_drv --dir "$folder" --check-port >/dev/null || fail "--check-port misses the port"
ct systemctl start ruvo-drv || fail "systemctl start ruvo-drv"
# Type=notify: active only once the driver said READY.
[ "$(show ruvo-drv ActiveState)" = active ] || fail "not active after the start"
wait_for 20 "the status never said the ECR answers" \
  "systemctl show -P StatusText ruvo-drv | grep -q 'START PROCESARE, Conectat la casa'"
echo "STATUS: $(show ruvo-drv StatusText)"

say "a sale from a user of the group ruvo-drv"
ct useradd -m -G ruvo-drv sales
ct runuser -u sales -- sh -c "cat /usr/share/doc/ruvo-drv/examples/ONLINE.TXT > $folder/ONLINE.TMP && mv $folder/ONLINE.TMP $folder/ONLINE.TXT"
wait_for 30 "no answer to the sale" "grep -q 'BON FISCAL NR. 0001' $folder/ERROR.TXT"
ct grep -q '^0 OK' "$folder/ERROR.TXT" || fail "the sale was refused: $(ct cat "$folder/ERROR.TXT")"
ct test ! -e "$folder/ONLINE.TXT" || fail "the receipt file stayed"
sleep 2
[ "$(ct grep -c 'BON FISCAL NR. 0001' /root/xruvo.paper)" = 1 ] || fail "the sale was not printed once"
ct runuser -u sales -- test -r "$folder/ERROR.TXT" || fail "the sales user cannot read the answer"

say "ruvo_drv ctl as root, as the service's user, as a sales user"
ct ruvo_drv ctl status | grep -q 'START PROCESARE' || fail "ctl status as root"
ct runuser -u ruvo-drv -- ruvo_drv ctl status | grep -q 'START PROCESARE' || fail "ctl status as ruvo-drv"
out=$(ct runuser -u sales -- ruvo_drv ctl status 2>&1) && fail "ctl status as sales reached the driver"
grep -q "which belongs to ruvo-drv and which this user may not look into" <<<"$out" ||
  fail "ctl as a sales user does not say why: $out"
echo "as sales: $out"

say "the README's HTTP sale and its repeat"
wait_for 10 "no token" test -s "$folder/ruvo-http.token"
cat > "$cache/sale.sh" <<'EOF'
TOKEN=$(head -n 1 /var/lib/ruvo-drv/ruvo-http.token)
curl -s -X POST "http://127.0.0.1:8765/v1/receipts?wait=5" \
     -H "Authorization: Bearer $TOKEN" -H "Idempotency-Key: sale-0001" \
     -H "Content-Type: application/json" \
     --data '{"lines": ["1;PAINE ALBA;BUC;1;1;250;200000", "5;500;1"]}'
EOF
first=$(ct sh -c "$(cat "$cache/sale.sh")") || fail "curl"
rm -f "$cache/sale.sh"
grep -q '"lines":\["0 OK","BON FISCAL NR. 0002"\]' <<<"$first" || fail "the HTTP sale: $first"
again=$(ct sh -c "TOKEN=\$(head -n 1 $folder/ruvo-http.token); curl -s -X POST 'http://127.0.0.1:8765/v1/receipts?wait=5' -H \"Authorization: Bearer \$TOKEN\" -H 'Idempotency-Key: sale-0001' -H 'Content-Type: application/json' --data '{\"lines\": [\"1;PAINE ALBA;BUC;1;1;250;200000\", \"5;500;1\"]}'")
[ "$again" = "$first" ] || fail "the repeat differs: $again"
[ "$(ct grep -c 'BON FISCAL NR. 0002' /root/xruvo.paper)" = 1 ] || fail "the HTTP sale was not printed once"

say "SIGSTOP: the watchdog restarts the driver (WatchdogSec=5 for the check)"
ct mkdir -p /run/systemd/system/ruvo-drv.service.d
ct sh -c 'printf "[Service]\nWatchdogSec=5\n" > /run/systemd/system/ruvo-drv.service.d/watchdog.conf'
ct systemctl daemon-reload
ct systemctl restart ruvo-drv
pid=$(show ruvo-drv MainPID)
restarts=$(show ruvo-drv NRestarts)
ct kill -STOP "$pid"
stopped=$SECONDS
wait_for 30 "no restart after the watchdog" "[ \$(systemctl show -P NRestarts ruvo-drv) -gt $restarts ] && systemctl is-active -q ruvo-drv"
[ "$(show ruvo-drv MainPID)" != "$pid" ] || fail "the same process runs"
echo "restarted $((SECONDS - stopped)) s after SIGSTOP"
ct journalctl -q -u ruvo-drv | grep -q 'Watchdog timeout' || fail "the journal tells no watchdog timeout"
ct rm -rf /run/systemd/system/ruvo-drv.service.d
ct systemctl daemon-reload

say "systemctl stop writes DRIVER INCHIS"
wait_for 20 "the restarted driver does not answer" "ruvo_drv ctl status | grep -q 'Conectat la casa'"
ct systemctl stop ruvo-drv
ct grep -q 'DRIVER INCHIS' "$folder/RUVODRV.INFO" || fail "no DRIVER INCHIS in RUVODRV.INFO"

say "the till till2, an HTTP address it cannot have, the device policy"
sim till2
till=$folder/till2
ct install -d -o ruvo-drv -g ruvo-drv -m 2770 "$till"
ct install -o ruvo-drv -g ruvo-drv -m 0660 /usr/share/ruvo-drv/XRUVODRV.INI "$till/"
# Beyond loopback: refused by the unit; the status says so.
ct sed -i 's|^;COM1=/dev/ttyS0\r$|COM1=/dev/till2\r|; s|^;ServerHttp=NU\r$|ServerHttp=DA\r|; s|^;AdresaHttp=127.0.0.1:8765\r$|AdresaHttp=192.0.2.1:8765\r|' "$till/XRUVODRV.INI"
ct systemctl enable -q --now ruvo-drv@till2 || fail "ruvo-drv@till2 does not start"
ct systemctl start ruvo-drv
wait_for 20 "till2 does not answer" "ruvo_drv ctl --instance ruvo-drv-till2 status | grep -q 'Conectat la casa'"
show ruvo-drv@till2 StatusText | grep -q 'Server HTTP oprit: ' || fail "the STATUS line hides the HTTP failure: $(show ruvo-drv@till2 StatusText)"
ct ruvo_drv ctl --instance ruvo-drv-till2 status | grep -q 'Server HTTP oprit: ' || fail "ctl status hides the HTTP failure"
echo "STATUS of till2: $(show ruvo-drv@till2 StatusText)"
# A device the policy does not name: refused with EPERM, told as such by the start's check.
ct sh -c "mknod $till/kmsg c 1 11 && chmod 0666 $till/kmsg"
ct sed -i 's|^COM1=/dev/till2\r$|COM1=/var/lib/ruvo-drv/till2/kmsg\r|' "$till/XRUVODRV.INI"
ct systemctl restart ruvo-drv@till2
refused=$(ct journalctl -q -o cat -u ruvo-drv@till2 | grep -m 1 "is refused by the service's device policy (EPERM)") ||
  fail "EPERM is not told as the device policy: $(ct journalctl -q -u ruvo-drv@till2 | tail -n 5)"
echo "$refused"
ct rm -f "$till/kmsg"
# Back to its ECR, with the HTTP server on a socket path.
ct sed -i 's|^COM1=/var/lib/ruvo-drv/till2/kmsg\r$|COM1=/dev/till2\r|; s|^AdresaHttp=192.0.2.1:8765\r$|AdresaHttp=/var/lib/ruvo-drv/till2/http.sock\r|' "$till/XRUVODRV.INI"
ct systemctl restart ruvo-drv@till2
wait_for 20 "till2's HTTP server does not answer on its socket" \
  "curl -sf --unix-socket $till/http.sock http://localhost/v1/status"
show ruvo-drv@till2 StatusText | grep -q 'Server HTTP oprit' && fail "till2's HTTP server on a socket failed"

say "an administrator's statoverride, a reinstall restarts every instance"
ct dpkg-statoverride --update --add root ruvo-drv 2770 "$folder"
ct chown sales:ruvo-drv "$folder/ERROR.TXT"
ct systemctl restart ruvo-drv
main_pid=$(show ruvo-drv MainPID)
till_pid=$(show ruvo-drv@till2 MainPID)
ct apt-get install -y -q --reinstall /root/ruvo-drv.deb >/dev/null 2>&1 || fail "reinstall"
[ "$(show ruvo-drv MainPID)" != "$main_pid" ] && [ "$(show ruvo-drv ActiveState)" = active ] ||
  fail "the reinstall did not restart ruvo-drv"
[ "$(show ruvo-drv@till2 MainPID)" != "$till_pid" ] && [ "$(show ruvo-drv@till2 ActiveState)" = active ] ||
  fail "the reinstall did not restart ruvo-drv@till2"
[ "$(ct stat -c '%U:%G %a' "$folder")" = "root:ruvo-drv 2770" ] || fail "the statoverride was undone: $(ct stat -c '%U:%G %a' "$folder")"
[ "$(ct stat -c '%U' "$folder/ERROR.TXT")" = sales ] || fail "a start changed the owner of a sales user's file"

say "remove stops every instance, purge keeps the folder"
ct dpkg -r ruvo-drv >/dev/null
for unit in ruvo-drv ruvo-drv@till2; do
  [ "$(show "$unit" ActiveState)" = inactive ] || fail "$unit runs after the remove"
done
ct dpkg -P ruvo-drv >/dev/null
ct test -f "$folder/ERROR.TXT" -a -f "$till/XRUVODRV.INI" || fail "the purge took the folder"

say "check-systemd: the package held on a booted Debian 12"
