#!/usr/bin/env bash
# Pictures of the main window for the README: starts the simulated ECR and the driver with
# its window on a virtual X display (Xvfb), shows each page in turn and saves it as
# docs/window-<page>.png. Needs a built build/ (scripts/build.sh build).
set -euo pipefail
cd "$(dirname "$0")/.."
root=$PWD
out=$root/docs
mkdir -p "$out"

work=$(mktemp -d /tmp/ruvo-screenshot-XXXXXX)
xvfb=""
sim=""
drv=""
cleanup() {
  for pid in "$drv" "$sim" "$xvfb"; do
    if [ -n "$pid" ] && kill -0 "$pid" 2>/dev/null; then kill -TERM "$pid" 2>/dev/null || true; fi
    if [ -n "$pid" ]; then wait "$pid" 2>/dev/null || true; fi
  done
  rm -rf "$work"
}
trap cleanup EXIT

# A display of our own; Xvfb tells its number once it is ready.
# -noreset: by default the server resets once its last client has gone, and a driver
# started in that moment finds no display.
Xvfb -displayfd 3 -screen 0 1024x768x24 -nolisten tcp -noreset 3> "$work/display" 2> "$work/xvfb.err" &
xvfb=$!
for _ in $(seq 50); do [ -s "$work/display" ] && break; sleep 0.1; done
export DISPLAY=":$(head -n 1 "$work/display")"
export QT_QPA_PLATFORM=xcb
mkdir -m 700 "$work/runtime"
export XDG_RUNTIME_DIR=$work/runtime

link=$work/ttyXRUVO
build/xruvo_sim --link "$link" --paper "$work/paper.txt" > "$work/sim.out" 2> "$work/sim.err" &
sim=$!
for _ in $(seq 50); do [ -L "$link" ] && break; sleep 0.1; done
sed "s|^COM1=/dev/ttyS0|COM1=$link|" examples/XRUVODRV.INI > "$work/XRUVODRV.INI"

title="Ruvo_Drv vers.2.3.3"
# The dialogs: the page that opens each and its caption.
declare -A dialog=([Numerar]="Intrare / iesire numerar sertar" [Logo]="Deschide imagine")
for page in Comenzi Rapoarte Setari Erori Numerar Logo; do
  RUVO_DRV_SHOW_PAGE=$page build/ruvo_drv --dir "$work" --instance "ruvo-screenshot-$$" \
    > "$work/drv.out" 2> "$work/drv.err" &
  drv=$!
  # Up once the window is mapped and the driver has stopped processing for the picture.
  for _ in $(seq 100); do
    if xwininfo -name "$title" 2>/dev/null | grep -q "IsViewable" &&
       grep -q "STOP PROCESARE" "$work/RUVODRV.INFO" 2>/dev/null; then break; fi
    sleep 0.1
  done
  shown=$title
  prefix=window
  if [ -n "${dialog[$page]:-}" ]; then
    shown=${dialog[$page]}
    prefix=dialog
    for _ in $(seq 100); do
      xwininfo -name "$shown" 2>/dev/null | grep -q "IsViewable" && break
      sleep 0.1
    done
  fi
  sleep 1
  id=$(xwininfo -name "$shown" | awk '/Window id:/ {print $4}')
  name=$(echo "$page" | tr '[:upper:]' '[:lower:]')
  import -window "$id" "$out/$prefix-$name.png"
  echo "screenshot.sh: docs/$prefix-$name.png"
  kill -TERM "$drv"
  wait "$drv" || { cat "$work/drv.err" >&2; exit 1; }
  drv=""
done
