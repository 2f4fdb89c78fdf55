#!/usr/bin/env bash
# Builds Ruvo_Drv and the ECR simulator, then runs the driver headless on the folder demo/
# with the simulated ECR on COM1. Ctrl-C (SIGINT) or SIGTERM stops both.
set -euo pipefail
# A script that starts run.sh in the background hands it SIGINT ignored, and bash cannot
# trap a signal that was ignored when it started: start once more with the default
# actions back, so that SIGINT stops the demo as SIGTERM does.
if [ -z "${RUVO_RUN_SIGNALS_RESET:-}" ]; then
  RUVO_RUN_SIGNALS_RESET=1 exec env --default-signal=INT,TERM "$BASH" "$0" "$@"
fi
cd "$(dirname "$0")"
root=$PWD
demo=$root/demo
link=$demo/ttyXRUVO
paper=$demo/paper.txt
settings=$demo/XRUVODRV.INI

scripts/deps.sh run
# Only the two programs: the tests and benchmarks are ./test.sh's business.
RUVO_BUILD_TARGETS="ruvo_drv xruvo_sim" scripts/build.sh build

mkdir -p "$demo"
# The demo's settings: the sample file with COM1 on the simulator. An existing file keeps
# its other edits; only its COM1 line is pointed at this checkout's simulator.
if [ ! -f "$settings" ]; then
  sed "s|^COM1=/dev/ttyS0|COM1=$link|" examples/XRUVODRV.INI > "$settings"
elif grep -q '^COM1=' "$settings"; then
  sed -i "s|^COM1=.*|COM1=$link\r|" "$settings"
else
  printf '\r\n[Porturi]\r\nCOM1=%s\r\n' "$link" >> "$settings"
fi

# The demo takes a receipt file the moment it is dropped (an older demo folder gets the key).
if ! grep -q '^PreluareImediata=' "$settings"; then
  sed -i 's|^\[Configurari\]\r\?$|&\nPreluareImediata=DA|' "$settings"
fi

sim=""
drv=""
stop_all() {
  trap - EXIT INT TERM
  if [ -n "$drv" ] && kill -0 "$drv" 2>/dev/null; then kill -INT "$drv" 2>/dev/null || true; fi
  if [ -n "$drv" ]; then wait "$drv" 2>/dev/null || true; fi
  if [ -n "$sim" ] && kill -0 "$sim" 2>/dev/null; then kill -TERM "$sim" 2>/dev/null || true; fi
  if [ -n "$sim" ]; then wait "$sim" 2>/dev/null || true; fi
  echo "run.sh: driver and simulator stopped."
}
trap stop_all EXIT
trap 'exit 130' INT
trap 'exit 143' TERM

build/xruvo_sim --link "$link" --paper "$paper" > "$demo/xruvo_sim.out" 2> "$demo/xruvo_sim.err" &
sim=$!
# Ready when the link points at the pseudo-terminal the simulator announced.
for _ in $(seq 50); do
  slave=$(head -n 1 "$demo/xruvo_sim.out" 2>/dev/null || true)
  if [ -n "$slave" ] && [ "$(readlink "$link" 2>/dev/null)" = "$slave" ]; then break; fi
  if ! kill -0 "$sim" 2>/dev/null; then cat "$demo/xruvo_sim.err" >&2; exit 1; fi
  sleep 0.1
done

cat <<INFO
run.sh: simulated ECR on $link (COM1), its paper goes to $paper
run.sh: drop a receipt file as $demo/ONLINE.TXT; the answer comes in $demo/ERROR.TXT,
        the driver's state in $demo/RUVODRV.INFO, its settings are $settings
run.sh: Ctrl-C stops the driver and the simulator.
INFO

build/ruvo_drv --headless --dir "$demo" &
drv=$!
status=0
wait "$drv" || status=$?
drv=""
exit "$status"
