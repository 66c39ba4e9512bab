#!/usr/bin/env bash
# kovrix-server's stop on Windows, under Wine: a program waiting through the same stop seam gets
# Ctrl+C (Wine turns a SIGINT to the program's process into the console's CTRL_C_EVENT), returns
# from its wait outside the handler and exits 0, within a few seconds.
#
# usage: stop_signal_e2e.sh WINE PROBE_EXE WINEPREFIX
set -uo pipefail

wine=$1 probe=$2
export WINEPREFIX=$3 WINEDEBUG=-all
work=$(mktemp -d /tmp/kovrix-win-stop.XXXXXX)
pid=""
trap '[ -n "$pid" ] && kill -9 "$pid" 2>/dev/null; rm -rf "$work"' EXIT

"$wine" "$probe" > "$work/out" 2>&1 &
pid=$!
for _ in $(seq 600); do grep -q '^waiting' "$work/out" && break; sleep 0.1; done
grep -q '^waiting' "$work/out" || { echo "stop_signal_e2e: the probe did not start: $(cat "$work/out")"; exit 1; }

kill -INT "$pid"
for _ in $(seq 50); do kill -0 "$pid" 2>/dev/null || break; sleep 0.1; done
if kill -0 "$pid" 2>/dev/null; then
  echo "stop_signal_e2e: FAIL: still running 5 s after Ctrl+C: $(cat "$work/out")"
  exit 1
fi
wait "$pid"
status=$?
pid=""
failed=0
grep -q '^stopped' "$work/out" || { echo "stop_signal_e2e: FAIL: the wait did not return: $(cat "$work/out")"; failed=$((failed + 1)); }
[ "$status" = 0 ] || { echo "stop_signal_e2e: FAIL: exit status $status"; failed=$((failed + 1)); }
echo "$((2 - failed)) passed, $failed failed"
[ "$failed" -eq 0 ]
