#!/usr/bin/env bash
# kovrix-cli.exe under Wine against the simulated registrator: Wine's COM7 is a dosdevices link
# to the simulator's pseudo-terminal. A diagnostic exchange, a command with a Cyrillic error text
# and a script run; then the same runs of the Linux kovrix-cli on a fresh simulator, whose console
# output and session log (time stamps aside) must be the same bytes.
#
# usage: cli_e2e.sh WINE KOVRIX_CLI_EXE KOVRIX_SIM LINUX_KOVRIX_CLI WINEPREFIX
set -uo pipefail

wine=$1 exe=$2 sim=$3 linux_cli=$4
export WINEPREFIX=$5 WINEDEBUG=-all
work=$(mktemp -d /tmp/kovrix-win-e2e.XXXXXX)
sim_pid=""
stop_sim() {
  if [ -n "$sim_pid" ]; then kill "$sim_pid" 2>/dev/null; wait "$sim_pid" 2>/dev/null; sim_pid=""; fi
}
trap 'stop_sim; rm -f "$WINEPREFIX/dosdevices/com7"; rm -rf "$work"' EXIT
fail() { echo "cli_e2e: FAIL: $*"; failed=$((failed + 1)); }
failed=0

# Starts a simulator of its own state on $work/<name>.link and waits for it to serve.
start_sim() {
  rm -f "$work/$1.link"
  "$sim" --link "$work/$1.link" --state "$work/$1.state" > "$work/$1.sim.out" 2>&1 &
  sim_pid=$!
  for _ in $(seq 100); do
    grep -q '^registrator:' "$work/$1.sim.out" 2>/dev/null && [ -e "$work/$1.link" ] && return 0
    sleep 0.1
  done
  echo "cli_e2e: the simulator did not start"; cat "$work/$1.sim.out"; exit 1
}

printf '%%DeclareBeg\n%%DeclareEnd\n80482916;\n21482916;\n' > "$work/check.txt"

# The runs, the same on both systems: name, then the arguments after the port and log options.
runs=(
  "diag|--json call GetDiagnosticInfo 482916"
  "ident|exec 80 482916;"
  "refused|exec 99 482916;"
  "script|script SCRIPT"
)

run_all() {  # system, command prefix..., port, log, script path
  local system=$1 port=$2 log=$3 script=$4
  shift 4
  for r in "${runs[@]}"; do
    local name=${r%%|*} args=${r#*|}
    args=${args//SCRIPT/$script}
    # shellcheck disable=SC2086
    "$@" -p "$port" -b 115200 --log "$log" $args > "$work/$system.$name.out" 2> "$work/$system.$name.err"
    echo $? > "$work/$system.$name.status"
  done
}

# Windows, from a first run's frame sequence as the Linux runs below.
wine_state=("$WINEPREFIX"/drive_c/users/*/AppData/Local)
rm -rf "${wine_state[@]/%//kovrix}"
start_sim windows
mkdir -p "$WINEPREFIX/dosdevices"
ln -sfn "$(readlink -f "$work/windows.link")" "$WINEPREFIX/dosdevices/com7"
run_all windows COM7 "Z:$work/windows.log" "Z:$work/check.txt" "$wine" "$exe"
stop_sim

# Linux, on a fresh simulator.
start_sim linux
XDG_STATE_HOME=$work/xdg run_all linux "$work/linux.link" "$work/linux.log" "$work/check.txt" "$linux_cli"
stop_sim

grep -q '"statusBytes":\[0,0,0,0,33,0\]' "$work/windows.diag.out" || fail "no diagnostic reply: $(cat "$work/windows.diag.out" "$work/windows.diag.err")"
grep -q 'Нет команды с таким кодом!' "$work/windows.refused.out" || fail "no UTF-8 error text: $(cat "$work/windows.refused.out")"
ls "$WINEPREFIX"/drive_c/users/*/AppData/Local/kovrix/%5C%5C.%5CCOM7.seq > /dev/null 2>&1 || fail "no kept frame sequence for COM7"
[ "$(cat "$work/windows.script.status")" = 0 ] || fail "script run ended $(cat "$work/windows.script.status"): $(cat "$work/windows.script.err")"
for r in "${runs[@]}"; do
  name=${r%%|*}
  cmp -s "$work/windows.$name.status" "$work/linux.$name.status" || fail "$name: exit status differs"
  cmp -s "$work/windows.$name.out" "$work/linux.$name.out" || fail "$name: output differs: $(diff "$work/windows.$name.out" "$work/linux.$name.out" | head -5)"
done
# The logs: cp1251 with CR LF, the same bytes once the time stamps are masked.
mask() { LC_ALL=C sed -E 's/[ 0-9][0-9]-[0-9]{2}-[0-9]{4} [ 0-9][0-9]:[0-9]{2}:[0-9]{2}/STAMP/' "$1"; }
[ -s "$work/windows.log" ] || fail "no session log"
grep -q $'\r$' "$work/windows.log" || fail "session log lines do not end in CR LF"
cmp -s <(mask "$work/windows.log") <(mask "$work/linux.log") || fail "session logs differ: $(diff <(mask "$work/windows.log" | cat -v) <(mask "$work/linux.log" | cat -v) | head -6)"

total=$(( 7 + 2 * ${#runs[@]} ))
echo "$((total - failed)) passed, $failed failed"
[ "$failed" -eq 0 ]
