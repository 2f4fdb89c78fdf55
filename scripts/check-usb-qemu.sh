#!/usr/bin/env bash
# The USB path on a real kernel: boots Debian 12's own kernel in qemu (TCG, -cpu max) with
# qemu's emulated FTDI adapter (usb-serial, 0403:6001, ftdi_sio in the guest) wired to the
# simulator through a host pseudo-terminal, with the package installed, and checks that the
# service opens the adapter plugged at power-on and plugged later (the monitor's
# device_add), each without a restart of the service. It takes minutes: not in ./test.sh.
#   scripts/check-usb-qemu.sh [DEB]    DEB: the package (./ruvo-drv_*.deb by default)
#   RUVO_QEMU_NO_MODULES_LOAD=1        without the package's modules-load.d file: shows
#                                      what it mends (the adapter plugged later is refused)
# Needs root. Installs qemu-system-x86 and mmdebstrap; the guest's root file system (with
# the kernel from the mirror apt uses) is made once and kept in build-qemu/.
set -euo pipefail
cd "$(dirname "$0")/.."

fail() { echo "check-usb-qemu: FAILED: $*" >&2; exit 1; }
say() { printf '== %s (%d s)\n' "$*" "$SECONDS"; }

[ "$(id -u)" -eq 0 ] || fail "needs root"
deb="${1:-$(ls ruvo-drv_*_*.deb 2>/dev/null | head -n 1)}"
[ -n "$deb" ] && [ -f "$deb" ] || fail "no package: run scripts/check-package.sh first, or name one"
deb=$(realpath "$deb")

missing=()
for p in qemu-system-x86 mmdebstrap e2fsprogs systemd-container; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing+=("$p")
done
if [ ${#missing[@]} -gt 0 ]; then
  DEBIAN_FRONTEND=noninteractive apt-get install -y -q --no-install-recommends "${missing[@]}"
fi

work=$(realpath -m build-qemu)
mkdir -p "$work"
mirror=$(grep -hsE '^(deb |URIs:)' /etc/apt/sources.list /etc/apt/sources.list.d/*.list \
           /etc/apt/sources.list.d/*.sources | grep -v -- '-security' | grep -oE 'https?://[^ ]+' |
         grep -E '/debian/?$' | head -n 1) || true
[ -n "$mirror" ] || mirror=http://deb.debian.org/debian

# The package's own dependencies go in too: the guest has no network.
needs=$(dpkg-deb -f "$deb" Depends | tr ',' '\n' | sed -E 's/^ *//; s/[ (|].*//; /^$/d')
include=$(printf '%s\n' systemd systemd-sysv udev kmod linux-image-amd64 initramfs-tools procps adduser $needs | sort -u | paste -sd, -)
base="$work/base-$(printf '%s' "$include" | sha256sum | cut -c1-12)"
if [ ! -f "$base/.complete" ]; then
  say "Debian 12 with its kernel from $mirror (once; kept in $base)"
  rm -rf "$base" "$base.new"
  mmdebstrap --variant=minbase --include="$include" --dpkgopt=force-unsafe-io \
    bookworm "$base.new" "$mirror" > "$work/mmdebstrap.log" 2>&1 ||
    { tail -n 20 "$work/mmdebstrap.log"; fail "mmdebstrap"; }
  touch "$base.new/.complete"
  mv "$base.new" "$base"
fi
kernel=$(ls "$base"/boot/vmlinuz-* | head -n 1)
initrd=$(ls "$base"/boot/initrd.img-* | head -n 1)

say "the guest's disk: the package installed, COM1=/dev/ttyUSB0"
root="$work/root"
rm -rf "$root"
cp -a "$base" "$root"
cp "$deb" "$root/root/ruvo-drv.deb"
chroot "$root" dpkg -i /root/ruvo-drv.deb > "$work/install.log" 2>&1 ||
  { cat "$work/install.log"; fail "dpkg -i in the guest's root"; }
sed -i 's|^;COM1=/dev/ttyS0\r$|COM1=/dev/ttyUSB0\r|' "$root/var/lib/ruvo-drv/XRUVODRV.INI"
if [ -n "${RUVO_QEMU_NO_MODULES_LOAD:-}" ]; then rm "$root/usr/lib/modules-load.d/ruvo-drv.conf"; fi
echo "/dev/vda / ext4 rw 0 1" > "$root/etc/fstab"
echo xruvo-till > "$root/etc/hostname"
ln -sf /dev/null "$root/etc/systemd/system/serial-getty@ttyS0.service"
ln -sf /dev/null "$root/etc/systemd/system/getty@tty1.service"
# What the service says, every second, on the guest's second serial port.
cat > "$root/etc/systemd/system/ruvo-report.service" <<'EOF'
[Unit]
Description=Tells the host what ruvo-drv says
After=ruvo-drv.service
[Service]
ExecStart=/bin/sh -c 'while :; do printf "REPORT %%s %%s pid=%%s restarts=%%s usb=%%s status=%%s\\n" "$(cut -d" " -f1 /proc/uptime)" "$(systemctl is-active ruvo-drv)" "$(systemctl show -P MainPID ruvo-drv)" "$(systemctl show -P NRestarts ruvo-drv)" "$(ls /dev/ttyUSB0 2>/dev/null)" "$(systemctl show -P StatusText ruvo-drv) last-warning=$(journalctl -q -u ruvo-drv -p warning -n 1 -o cat | cut -c1-120)" > /dev/ttyS1; sleep 1; done'
[Install]
WantedBy=multi-user.target
EOF
ln -sf /etc/systemd/system/ruvo-report.service "$root/etc/systemd/system/multi-user.target.wants/ruvo-report.service"
image="$work/disk.img"
rm -f "$image"
truncate -s 3G "$image"
mkfs.ext4 -q -F -d "$root" "$image"
rm -rf "$root"

sim_pid=""
qemu_pid=""
cleanup() {
  [ -n "$qemu_pid" ] && kill "$qemu_pid" 2>/dev/null && wait "$qemu_pid" 2>/dev/null
  [ -n "$sim_pid" ] && kill "$sim_pid" 2>/dev/null && wait "$sim_pid" 2>/dev/null
  rm -f "$work/monitor.sock" "$work/ttyXRUVO" "$image"
  true
}
trap cleanup EXIT
# Interrupted: the same clean-up.
trap 'exit 130' INT TERM

sim_program="$work/xruvo_sim"
dpkg-deb --fsys-tarfile "$deb" | tar -xO ./usr/bin/xruvo_sim > "$sim_program"
chmod +x "$sim_program"

# boot NAME PLUGGED: boots the guest, the adapter plugged at power-on when PLUGGED is yes.
boot() {
  local name="$1" plugged="$2"
  rm -f "$work/ttyXRUVO" "$work/$name.paper"
  "$sim_program" --link "$work/ttyXRUVO" --paper "$work/$name.paper" > /dev/null &
  sim_pid=$!
  for _ in $(seq 1 50); do [ -L "$work/ttyXRUVO" ] && break; sleep 0.1; done
  local adapter=()
  if [ "$plugged" = yes ]; then adapter=(-device usb-serial,chardev=ecr,id=ftdi,bus=xhci.0); fi
  : > "$work/$name.report"
  qemu-system-x86_64 -accel tcg -cpu max -m 1024 -smp 2 -display none -nic none \
    -kernel "$kernel" -initrd "$initrd" -append "root=/dev/vda rw console=ttyS0 quiet" \
    -drive "file=$image,format=raw,if=virtio" \
    -serial "file:$work/$name.console" -serial "file:$work/$name.report" \
    -monitor "unix:$work/monitor.sock,server,nowait" \
    -chardev "serial,id=ecr,path=$(readlink -f "$work/ttyXRUVO")" \
    -device qemu-xhci,id=xhci "${adapter[@]}" &
  qemu_pid=$!
}
# Waits up to $2 s for a report line matching $1; prints it.
wait_report() {
  local name="$1" pattern="$2" seconds="$3"
  for _ in $(seq 1 "$seconds"); do
    line=$(grep -a -E "$pattern" "$work/$name.report" | head -n 1) || true
    if [ -n "$line" ]; then echo "$line"; return 0; fi
    kill -0 "$qemu_pid" 2>/dev/null || fail "qemu ended"
    sleep 1
  done
  tail -n 3 "$work/$name.report"
  fail "$name: no report matching $pattern in $seconds s"
}
halt() {
  echo quit | python3 -c 'import socket,sys; s=socket.socket(socket.AF_UNIX); s.connect(sys.argv[1]); s.sendall(b"quit\n"); s.recv(100)' "$work/monitor.sock" 2>/dev/null || true
  wait "$qemu_pid" 2>/dev/null || true
  qemu_pid=""
  kill "$sim_pid" 2>/dev/null; wait "$sim_pid" 2>/dev/null || true
  sim_pid=""
}
monitor() {
  python3 -c 'import socket,sys,time; s=socket.socket(socket.AF_UNIX); s.connect(sys.argv[1]); time.sleep(0.5); s.recv(4096); s.sendall(sys.argv[2].encode()+b"\n"); time.sleep(1); print(s.recv(4096).decode(errors="replace"))' "$work/monitor.sock" "$1"
}

say "plugged at power-on"
start=$SECONDS
boot poweron yes
first=$(wait_report poweron 'REPORT .* active .*Conectat la casa' 900)
echo "$first"
echo "connected $((SECONDS - start)) s after qemu started"
grep -q 'restarts=0' <<<"$first" || fail "the service was restarted: $first"
halt

say "plugged later, the service running"
start=$SECONDS
boot later no
waiting=$(wait_report later 'REPORT .* active .*Neconectat la casa' 900)
echo "$waiting"
pid=$(sed -E 's/.* pid=([0-9]+) .*/\1/' <<<"$waiting")
sleep 5
plugged_at=$SECONDS
monitor "device_add usb-serial,chardev=ecr,id=ftdi,bus=xhci.0" > "$work/monitor.log"
connected=$(wait_report later "REPORT .* active pid=$pid restarts=0 usb=/dev/ttyUSB0 status=.*Conectat la casa" 120)
echo "$connected"
echo "connected $((SECONDS - plugged_at)) s after the adapter was plugged, same process, no restart"
halt

say "check-usb-qemu: both plug-in moments connected without a restart"
