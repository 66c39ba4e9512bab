#!/usr/bin/env bash
# The setup file under Wine, in a Wine prefix of its own made afresh: a silent install (/S), the
# installed files (and none of the test-only ones), the Start menu entries, the entry in the list
# of installed programs, the installed kovrix-cli.exe's version, a receipt sold through the
# installed kovrix-server.exe to the installed kovrix-sim.exe, then a silent uninstall that leaves
# no installed file, entry or registry key behind and the user's own Kovrix folder as it was.
#
# usage: installer_test.sh WINE SETUP_EXE VERSION PREFIX_DIR
set -uo pipefail

wine=$1 setup=$2 version=$3
export WINEPREFIX=$4 WINEDEBUG=-all
wineserver=$(dirname "$(readlink -f "$wine")")/wineserver
sim_pid="" server_pid=""
cleanup() {
  [ -n "$server_pid" ] && kill "$server_pid" 2>/dev/null
  [ -n "$sim_pid" ] && kill "$sim_pid" 2>/dev/null
  "$wineserver" -k 2>/dev/null
  wait 2>/dev/null
}
trap cleanup EXIT
# shellcheck source=tests/windows/checks.sh
. "$(dirname "$0")/checks.sh"

# The Windows name of a folder of the prefix's drive C.
winepath_of() { local rel=${1#"$WINEPREFIX/drive_c/"}; echo "C:\\${rel//\//\\}"; }

rm -rf "$WINEPREFIX"
"$wine" wineboot -i > /dev/null 2>&1
"$wineserver" -w

"$wine" "$setup" /S > /dev/null 2>&1
status=$?
"$wineserver" -w
check "the silent install answers 0 (answered $status)" [ "$status" = 0 ]

dir="$WINEPREFIX/drive_c/Program Files/Kovrix"
windir='C:\Program Files\Kovrix'
for f in kovrix.exe kovrix-cli.exe kovrix-server.exe kovrix-sim.exe uninstall.exe Qt6Core.dll Qt6Gui.dll \
         Qt6Widgets.dll libstdc++-6.dll libgcc_s_seh-1.dll libwinpthread-1.dll qt.conf platforms/qwindows.dll \
         styles/qwindowsvistastyle.dll translations/qtbase_ru.qm README.md LICENSE.txt; do
  check "installed: $f" [ -f "$dir/$f" ]
done
for f in Qt6Test.dll platforms/qoffscreen.dll; do
  check "not installed (for the tests only): $f" [ ! -e "$dir/$f" ]
done

menu="$WINEPREFIX/drive_c/ProgramData/Microsoft/Windows/Start Menu/Programs"
for entry in "Kovrix" "Kovrix (simulated registrator)"; do
  check "Start menu entry \"$entry\"" [ -f "$menu/$entry.lnk" ]
done
lnk_args() { strings -el "$menu/$1.lnk" | grep -x -- "$2" > /dev/null; }
check "\"Kovrix\" starts in the user's folder" lnk_args "Kovrix" "--user-folder"
check "\"Kovrix (simulated registrator)\" simulates in the user's folder" \
  lnk_args "Kovrix (simulated registrator)" "--simulate --user-folder"

key='HKLM\Software\Microsoft\Windows\CurrentVersion\Uninstall\Kovrix'
uninstall_entry() { "$wine" reg query "$key" /v "$1" 2>/dev/null | tr -d '\r' | grep -q -- "$2"; }
check "listed as installed: name" uninstall_entry DisplayName "REG_SZ *Kovrix$"
check "listed as installed: version" uninstall_entry DisplayVersion "REG_SZ *$version$"
check "listed as installed: publisher" uninstall_entry Publisher "REG_SZ *Kovrix developers$"
check "listed as installed: icon" uninstall_entry DisplayIcon 'kovrix.exe,0$'
check "listed as installed: size" uninstall_entry EstimatedSize "REG_DWORD *0x[0-9a-f]*[1-9a-f]"
check "listed as installed: uninstaller" uninstall_entry UninstallString 'uninstall.exe'

cli_version=$("$wine" "$windir\\kovrix-cli.exe" --version 2>/dev/null | tr -d '\r')
check "the installed kovrix-cli.exe says its version (said \"$cli_version\")" [ "$cli_version" = "kovrix-cli $version" ]

# A receipt through the installed service to the installed simulator, both on loopback ports.
work=$(mktemp -d /tmp/kovrix-setup-test.XXXXXX)
"$wine" "$windir\\kovrix-sim.exe" > "$work/sim.out" 2>&1 &
sim_pid=$!
sim_port=""
for _ in $(seq 200); do
  sim_port=$(tr -d '\r' < "$work/sim.out" | sed -n 's/^registrator: //p')
  [ -n "$sim_port" ] && break
  sleep 0.1
done
check "the installed simulator serves (said: $(tr -d '\r' < "$work/sim.out" | head -n 2))" [ -n "$sim_port" ]
listen=$(( 20000 + RANDOM % 20000 ))
"$wine" "$windir\\kovrix-server.exe" -p "$sim_port" --listen "127.0.0.1:$listen" > "$work/server.out" 2>&1 &
server_pid=$!
for _ in $(seq 200); do grep -q '^listening' "$work/server.out" 2>/dev/null && break; sleep 0.1; done
answer=$(curl -s -m 30 "http://127.0.0.1:$listen/v1/receipts" -H 'Content-Type: application/json' \
  -H 'Idempotency-Key: setup-test-1' \
  -d '{"items":[{"code":7,"name":"Хліб","price":"10.00","taxGroup":0,"department":1,"quantity":"2.000"}],
       "payments":[{"type":0,"amount":"20.00"}]}')
check "the installed service sells a receipt (answered: $answer)" grep -q '"total":"20.00"' <<< "$answer"
kill "$server_pid" "$sim_pid" 2>/dev/null
wait "$server_pid" "$sim_pid" 2>/dev/null
server_pid="" sim_pid=""
rm -rf "$work"

# The user's own folder, made by the tool, outlives the uninstall.
user_dir=$(ls -d "$WINEPREFIX"/drive_c/users/*/Documents 2>/dev/null | head -n 1)/Kovrix
mkdir -p "$user_dir"
printf '[Communication]\r\nPort=COM3\r\n' > "$user_dir/fpinit.ini"

"$wine" "$windir\\uninstall.exe" /S > /dev/null 2>&1
"$wineserver" -w
check "no installed file left (left: $(find "$dir" 2>/dev/null | head -n 3 | tr '\n' ' '))" [ ! -e "$dir" ]
for entry in "Kovrix" "Kovrix (simulated registrator)"; do
  check "Start menu entry \"$entry\" removed" [ ! -e "$menu/$entry.lnk" ]
done
check "no uninstall registry key left" bash -c "! '$wine' reg query '$key' > /dev/null 2>&1"
check "the user's fpinit.ini kept" grep -q 'Port=COM3' "$user_dir/fpinit.ini"

# Per user, as for a user who is not an administrator: into the user's own programs folder, the
# user's Start menu and list of programs, and out again by the list's quiet uninstall command.
"$wine" "$setup" /S /CurrentUser > /dev/null 2>&1
"$wineserver" -w
user_root=$(ls -d "$WINEPREFIX"/drive_c/users/*/AppData | head -n 1)
user_dir="$user_root/Local/Programs/Kovrix"
user_menu="$user_root/Roaming/Microsoft/Windows/Start Menu/Programs"
user_key='HKCU\Software\Microsoft\Windows\CurrentVersion\Uninstall\Kovrix'
check "per user: installed in the user's programs folder" [ -f "$user_dir/kovrix.exe" ]
check "per user: nothing in Program Files" [ ! -e "$dir" ]
check "per user: the user's Start menu entry" [ -f "$user_menu/Kovrix.lnk" ]
quiet=$("$wine" reg query "$user_key" /v QuietUninstallString 2>/dev/null | tr -d '\r' | sed -n 's/.*REG_SZ *//p')
check "per user: listed with a quiet uninstall command (\"$quiet\")" grep -q 'uninstall.exe" /CurrentUser /S$' <<< "$quiet"
"$wine" "$(winepath_of "$user_dir")\\uninstall.exe" /CurrentUser /S > /dev/null 2>&1
"$wineserver" -w
check "per user: no installed file left" [ ! -e "$user_dir" ]
check "per user: Start menu entry removed" [ ! -e "$user_menu/Kovrix.lnk" ]
check "per user: no uninstall registry key left" bash -c "! '$wine' reg query '$user_key' > /dev/null 2>&1"

checks_summary
