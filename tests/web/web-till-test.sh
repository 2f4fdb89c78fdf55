#!/usr/bin/env bash
# The browser page of examples/web-till in a real browser (headless Chromium) against the
# driver and the simulator: a sale sent from the page is answered and printed once; the
# same key sent twice still prints once; a refused receipt shows its problem; a page from an origin not in OriginiHttp gets the
# CORS refusal and prints nothing; the same page against a driver beyond 127.0.0.1, which
# speaks HTTPS only, with the browser trusting its self-signed certificate by its pin.
#   tests/web/web-till-test.sh RUVO_DRV XRUVO_SIM PAGE_FOLDER
# Exit 0 passed, 1 failed, 77 skipped (no chromium or no python3).
set -uo pipefail

drv=${1:?usage: web-till-test.sh RUVO_DRV XRUVO_SIM PAGE_FOLDER}
sim=${2:?usage: web-till-test.sh RUVO_DRV XRUVO_SIM PAGE_FOLDER}
pages=${3:?usage: web-till-test.sh RUVO_DRV XRUVO_SIM PAGE_FOLDER}

chromium=$(command -v chromium || true)
if [ -z "$chromium" ]; then
  echo "SKIP: chromium is not installed (scripts/deps.sh test installs it)"
  exit 77
fi
# Debian's python3, not a user's shim that another user cannot run.
python=/usr/bin/python3
[ -x "$python" ] || python=$(command -v python3 || true)
if [ -z "$python" ]; then
  echo "SKIP: python3 is not installed (it serves the page)"
  exit 77
fi

work=$(mktemp -d /tmp/ruvo-web-till-XXXXXX)
pids=()
cleanup() {
  local pid
  for pid in "${pids[@]}"; do kill "$pid" 2>/dev/null; done
  for pid in "${pids[@]}"; do wait "$pid" 2>/dev/null; done
  rm -rf "$work"
}
trap cleanup EXIT
trap 'exit 1' INT TERM

failures=0
fail() {
  echo "FAIL: $*"
  failures=$((failures + 1))
}

# Waits until the command succeeds, at most $1 seconds.
wait_for() {
  local deadline=$((SECONDS + $1))
  shift
  until "$@"; do
    [ "$SECONDS" -lt "$deadline" ] || return 1
    sleep 0.1
  done
}

# A loopback port nothing listens on now (the kernel's choice).
free_port() {
  "$python" -c 'import socket; s = socket.socket(); s.bind(("127.0.0.1", 0)); print(s.getsockname()[1])'
}

# Serves the page on a loopback port of the kernel's choice and sets $served to its origin.
# (Not run in $(...): its server's pid must reach the cleanup.)
serve_pages() {
  local log=$work/pages-$1.log
  "$python" -u -m http.server 0 --bind 127.0.0.1 --directory "$pages" >"$log" 2>&1 &
  pids+=($!)
  wait_for 10 grep -q "port [0-9]" "$log" || { echo "FAIL: the page server did not start"; exit 1; }
  served=http://127.0.0.1:$(sed -n 's/.* port \([0-9]*\).*/\1/p' "$log" | head -n 1)
}

# The fiscal receipts on the simulator's paper (each has one line with its number).
receipts_printed() {
  grep -c "^BON FISCAL NR\." "$work/ecr.paper.txt" 2>/dev/null || true
}

# The driver of folder $1 (default drv) processes and is connected.
driver_ready() {
  local folder=$work/${1:-drv}
  grep -q "^Stare=START PROCESARE" "$folder/RUVODRV.INFO" 2>/dev/null &&
    grep -q "^ConectatLaCasa=DA" "$folder/RUVODRV.INFO" 2>/dev/null
}

# Loads the page in headless Chromium and writes the DOM, once the page says it is done,
# to $work/$1.html; more browser options may follow the address. The virtual time budget
# only bounds the page's timers; the fetches run in real time and the dump waits for them.
load_page() {
  local name=$1 url=$2
  shift 2
  mkdir -p "$work/browser-$name"
  HOME=$work/browser-$name TMPDIR=$work/browser-$name XDG_CONFIG_HOME=$work/browser-$name \
    XDG_CACHE_HOME=$work/browser-$name \
    timeout 90 "$chromium" --headless=new --no-sandbox --disable-gpu --no-first-run \
    --disable-breakpad --disable-crash-reporter --disable-extensions --disable-sync \
    --enable-logging=stderr --log-level=0 \
    --user-data-dir="$work/browser-$name/profile" --virtual-time-budget=60000 "$@" \
    --dump-dom "$url" >"$work/$name.html" 2>"$work/$name.err" &
  local browser=$!
  pids+=("$browser")
  wait "$browser"
  if ! grep -q 'data-done="yes"' "$work/$name.html"; then
    fail "$name: the page did not finish (dom: $(head -c 300 "$work/$name.html"))"
    grep -v dbus "$work/$name.err" | tail -n 20
    return 1
  fi
}

# The text of the element with this id in a dumped page.
element_text() {
  sed -n "s/.*id=\"$2\"[^>]*>\\([^<]*\\)<.*/\\1/p" "$work/$1.html" | head -n 1
}

# --- the driver and the simulator ---------------------------------------------------------
mkdir -p "$work/drv" "$work/run"
chmod 700 "$work/run"
"$sim" --link "$work/ecr.tty" --paper "$work/ecr.paper.txt" >"$work/sim.out" 2>"$work/sim.err" &
pids+=($!)
wait_for 10 test -e "$work/ecr.tty" || { echo "FAIL: the simulator did not start"; exit 1; }

serve_pages allowed
allowed=$served
serve_pages other
other=$served
port=$(free_port)
base=http://127.0.0.1:$port

printf '%s\r\n' "[Porturi]" "COM1=$work/ecr.tty" "[Configurari]" "Port=1" "PreluareImediata=DA" \
  "ServerHttp=DA" "AdresaHttp=127.0.0.1:$port" "OriginiHttp=$allowed" >"$work/drv/XRUVODRV.INI"
XDG_RUNTIME_DIR=$work/run "$drv" --headless --dir "$work/drv" --instance "ruvo-web-till-$$" \
  >"$work/drv.out" 2>"$work/drv.err" &
plain_driver=$!
pids+=($!)
if ! wait_for 20 driver_ready || ! wait_for 10 test -s "$work/drv/ruvo-http.token"; then
  echo "FAIL: the driver did not start"
  cat "$work/drv.err"
  exit 1
fi
token=$(head -n 1 "$work/drv/ruvo-http.token")

# --- a sale from the page: answered with code 0, printed once -----------------------------
if load_page sale "$allowed/index.html?base=$base&token=$token&autosend=1"; then
  [ "$(element_text sale code)" = "0" ] || fail "sale: code '$(element_text sale code)', not 0"
  [ "$(element_text sale http)" = "200" ] || fail "sale: HTTP '$(element_text sale http)'"
  grep -q "0 OK" "$work/sale.html" || fail "sale: no 0 OK among the answer's lines"
  grep -q "BON FISCAL NR. 0001" "$work/sale.html" || fail "sale: no receipt number"
  if grep -q "blocked by CORS policy" "$work/sale.err"; then fail "sale: CORS refused"; fi
  [ "$(element_text sale error)" = "" ] || fail "sale: error '$(element_text sale error)'"
  grep -q 'data-loaded="yes"' "$work/sale.html" || fail "sale: the status panel is empty"
fi
[ "$(receipts_printed)" = "1" ] || fail "sale: $(receipts_printed) receipts printed, not 1"

# --- one key sent twice: the second answer is the first one's, nothing more printed -------
if load_page twice "$allowed/index.html?base=$base&token=$token&autosend=2&key=web-till-twice"; then
  [ "$(element_text twice code)" = "0" ] || fail "twice: code '$(element_text twice code)'"
  [ "$(element_text twice replayed)" = "da" ] || fail "twice: the answer was not replayed"
  grep -q "BON FISCAL NR. 0002" "$work/twice.html" || fail "twice: not the second receipt's answer"
fi
[ "$(receipts_printed)" = "2" ] || fail "twice: $(receipts_printed) receipts printed, not 2"

# --- a receipt the driver refuses: its code and the problem's title and detail, no paper ----
refused_lines=$("$python" -c 'import urllib.parse; print(urllib.parse.quote("1;PAINE ALBA;BUC;1;1;2.50;100000\n5;250;1"))')
if load_page refused "$allowed/index.html?base=$base&token=$token&autosend=1&lines=$refused_lines"; then
  [ "$(element_text refused code)" = "8011" ] || fail "refused: code '$(element_text refused code)'"
  [ "$(element_text refused http)" = "422" ] || fail "refused: HTTP '$(element_text refused http)'"
  grep -q 'role="alert">HTTP 422 - Bon refuzat: ' "$work/refused.html" ||
    fail "refused: the problem is not shown ($(element_text refused error))"
fi
[ "$(receipts_printed)" = "2" ] || fail "refused: $(receipts_printed) receipts printed, not 2"

# --- a page from an origin not in OriginiHttp: CORS refuses, nothing printed --------------
if load_page foreign "$other/index.html?base=$base&token=$token&autosend=1"; then
  grep -q "Eroare de retea" "$work/foreign.html" || fail "foreign: no network error shown"
  [ "$(element_text foreign code)" = "-" ] || fail "foreign: code '$(element_text foreign code)'"
  grep -q 'data-loaded="no"' "$work/foreign.html" || fail "foreign: the status was read"
  # The browser's console says why: the driver's refusal carries no CORS headers.
  grep -q "blocked by CORS policy" "$work/foreign.err" || fail "foreign: no CORS refusal logged"
fi
[ "$(receipts_printed)" = "2" ] || fail "foreign: $(receipts_printed) receipts printed, not 2"
if ls "$work/drv"/ONLINE*.TXT >/dev/null 2>&1; then fail "foreign: a receipt file waits"; fi

# --- HTTPS: the driver bound to 127.0.0.2 speaks HTTPS only; the page sells through it ---
# The browser trusts the self-signed certificate by its public key's pin, as a shop's
# browser policy would; the driver on 127.0.0.1 gives the simulator up first.
kill "$plain_driver"
wait "$plain_driver" 2>/dev/null
mkdir -p "$work/tls"
tls_port=$("$python" -c 'import socket; s = socket.socket(); s.bind(("127.0.0.2", 0)); print(s.getsockname()[1])')
printf '%s\r\n' "[Porturi]" "COM1=$work/ecr.tty" "[Configurari]" "Port=1" "PreluareImediata=DA" \
  "ServerHttp=DA" "AdresaHttp=127.0.0.2:$tls_port" "OriginiHttp=$allowed" >"$work/tls/XRUVODRV.INI"
XDG_RUNTIME_DIR=$work/run "$drv" --headless --dir "$work/tls" --instance "ruvo-web-till-tls-$$" \
  >"$work/tls.out" 2>"$work/tls.err" &
pids+=($!)
if wait_for 20 driver_ready tls && wait_for 10 grep -q "public key pin" "$work/tls.err"; then
  pin=$(sed -n 's/.*public key pin sha256\/\/\([A-Za-z0-9+\/=]*\).*/\1/p' "$work/tls.err" | head -n 1)
  tls_token=$(head -n 1 "$work/tls/ruvo-http.token")
  if load_page tls "$allowed/index.html?base=https://127.0.0.2:$tls_port&token=$tls_token&autosend=1" \
      --ignore-certificate-errors-spki-list="$pin"; then
    [ "$(element_text tls code)" = "0" ] || fail "tls: code '$(element_text tls code)', not 0"
    [ "$(element_text tls http)" = "200" ] || fail "tls: HTTP '$(element_text tls http)'"
    grep -q 'data-loaded="yes"' "$work/tls.html" || fail "tls: the status panel is empty"
  fi
  [ "$(receipts_printed)" = "3" ] || fail "tls: $(receipts_printed) receipts printed, not 3"
  # Without the pin the browser does not trust the certificate: nothing reaches the driver.
  if load_page untrusted "$allowed/index.html?base=https://127.0.0.2:$tls_port&token=$tls_token&autosend=1"; then
    grep -q "Eroare de retea" "$work/untrusted.html" || fail "untrusted: no network error shown"
  fi
  [ "$(receipts_printed)" = "3" ] || fail "untrusted: $(receipts_printed) receipts printed, not 3"
else
  fail "the HTTPS driver did not start ($(tail -n 5 "$work/tls.err"))"
fi

if [ "$failures" -ne 0 ]; then
  echo "--- driver messages"
  tail -n 30 "$work/drv.err"
  tail -n 30 "$work/tls.err" 2>/dev/null
  exit 1
fi
echo "PASS: the page's sale, its repeat, a refused receipt, a foreign origin, and a sale over HTTPS"
