#!/usr/bin/env bash
# kovrix-server.exe under Wine against the simulated registrator on a loopback tcp:// port: one
# receipt sold over HTTP with an Idempotency-Key, its answer checked, and its state (the kept
# answer, the receipt journal, the frame sequence) found under the Wine prefix's
# AppData/Local/kovrix. Then the stop: Wine turns a SIGINT to the program's process into the
# console's CTRL_C_EVENT, as Ctrl+C in its console would; the program must exit 0.
#
# usage: server_e2e.sh WINE KOVRIX_SERVER_EXE KOVRIX_SIM WINEPREFIX
set -uo pipefail

wine=$1 exe=$2 sim=$3
export WINEPREFIX=$4 WINEDEBUG=-all
work=$(mktemp -d /tmp/kovrix-win-server.XXXXXX)
sim_pid="" server_pid=""
stop() {  # pid variable name
  local pid=${!1}
  if [ -n "$pid" ]; then kill "$pid" 2>/dev/null; wait "$pid" 2>/dev/null; eval "$1="; fi
}
trap 'stop server_pid; stop sim_pid; rm -rf "$work"' EXIT
failed=0 total=0
check() {  # description, then the test command
  local what=$1
  shift
  total=$((total + 1))
  if ! "$@"; then echo "server_e2e: FAIL: $what"; failed=$((failed + 1)); fi
}
give_up() { echo "server_e2e: $*"; cat "$work"/*.out "$work"/*.err 2>/dev/null; exit 1; }

# Waits up to $2 tenths of a second for a line matching $3 in file $1 and prints its match.
await() {
  for _ in $(seq "$2"); do
    if grep -qE "$3" "$1" 2>/dev/null; then grep -oE "$3" "$1" | head -1; return 0; fi
    sleep 0.1
  done
  return 1
}

"$sim" --tcp 0 --state "$work/sim.state" > "$work/sim.out" 2>&1 &
sim_pid=$!
line=$(await "$work/sim.out" 100 '^registrator: tcp://127\.0\.0\.1:[0-9]+') || give_up "the simulator did not start"
port=${line#registrator: }

state_dirs=("$WINEPREFIX"/drive_c/users/*/AppData/Local)
rm -rf "${state_dirs[@]/%//kovrix}"
"$wine" "$exe" -p "$port" -b 115200 --listen 127.0.0.1:0 > "$work/server.out" 2> "$work/server.err" &
server_pid=$!
line=$(await "$work/server.out" 600 'listening on http://127\.0\.0\.1:[0-9]+') || give_up "the service did not start"
url=${line#listening on }

receipt='{"items":[
  {"code":101,"name":"Хліб","price":"10.00","taxGroup":0,"department":1,"quantity":"2.000","discountPercent":"-5.00"},
  {"code":102,"name":"Сіль","price":3.5,"taxGroup":1,"quantity":"1.000"}],
  "comments":["Дякуємо!"],
  "payments":[{"type":1,"amount":"10.00"},{"type":0,"amount":"20.00"}]}'
sell() {
  curl -s -o "$work/$1.json" -w '%{http_code}' --max-time 60 -H 'Content-Type: application/json' \
       -H 'Idempotency-Key: e2e-receipt-1' --data-binary "$receipt" "$url/v1/receipts"
}
code=$(sell receipt)
check "the sale answered $code: $(cat "$work/receipt.json" 2>/dev/null)" [ "$code" = 200 ]
check "the sale's answer: $(cat "$work/receipt.json" 2>/dev/null)" grep -q '"total":"22.50","error":"0000"' "$work/receipt.json"
# The retry with the same key gets the kept answer, not a second receipt.
code=$(sell retry)
check "the retry answered $code" [ "$code" = 200 ]
check "the retry's answer differs" cmp -s "$work/receipt.json" "$work/retry.json"

kovrix=$(echo "$WINEPREFIX"/drive_c/users/*/AppData/Local/kovrix)
key=${port//:/%3A}
key=${key//\//%2F}
check "no kept answer under $kovrix/server-answers" compgen -G "$kovrix/server-answers/*.json" > /dev/null
check "no receipt journal $kovrix/server-receipt-$key.json" [ -f "$kovrix/server-receipt-$key.json" ]
check "no frame sequence $kovrix/$key.seq" [ -f "$kovrix/$key.seq" ]

kill -INT "$server_pid"
for _ in $(seq 100); do kill -0 "$server_pid" 2>/dev/null || break; sleep 0.1; done
check "the service did not stop within 10 s of Ctrl+C" bash -c "! kill -0 $server_pid 2>/dev/null"
wait "$server_pid"
status=$?
server_pid=""
check "the service ended with status $status: $(cat "$work/server.err")" [ "$status" = 0 ]

echo "$((total - failed)) passed, $failed failed"
[ "$failed" -eq 0 ]
