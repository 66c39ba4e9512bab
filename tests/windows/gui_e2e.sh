#!/usr/bin/env bash
# kovrix.exe under Wine with the Windows platform plugin on an Xvfb display, driven with real key
# presses from xdotool as a user drives it with the keyboard. First with --simulate: connect to the
# simulated registrator, print an X report (checked on the simulated tape), open every entry of the
# menus and the about box (each screen checked by its window title, then closed with Alt+F4), close
# the main window with Alt+F4, exit 0; fpinit.ini is written in the working directory and the
# session log in cp1251 with CR LF. Then, given the Linux simulator, over a real Wine COM port: COM7
# is a link to the simulator's pseudo-terminal; connect, an X report on its tape, exit 0.
#
# usage: gui_e2e.sh WINE KOVRIX_EXE WINEPREFIX [LINUX_KOVRIX_SIM]
set -uo pipefail

wine=$1 exe=$2 linux_sim=${4:-}
export WINEPREFIX=$3 WINEDEBUG=-all
wineserver=$(dirname "$(readlink -f "$wine")")/wineserver
work=$(mktemp -d /tmp/kovrix-gui-e2e.XXXXXX)
xvfb_pid="" app_pid="" sim_pid=""
cleanup() {
  [ -n "$app_pid" ] && kill "$app_pid" 2>/dev/null
  [ -n "$sim_pid" ] && kill "$sim_pid" 2>/dev/null
  [ -n "$xvfb_pid" ] && kill "$xvfb_pid" 2>/dev/null
  wait 2>/dev/null
  rm -f "$WINEPREFIX/dosdevices/com7"
  "$wineserver" -k 2>/dev/null
  rm -rf "$work"
}
trap cleanup EXIT
# shellcheck source=tests/windows/checks.sh
. "$(dirname "$0")/checks.sh"

# A display of our own.
for d in $(seq 91 130); do
  [ -e "/tmp/.X11-unix/X$d" ] || [ -e "/tmp/.X$d-lock" ] && continue
  Xvfb ":$d" -screen 0 1280x1024x24 -nolisten tcp > "$work/xvfb.log" 2>&1 &
  xvfb_pid=$!
  for _ in $(seq 50); do [ -e "/tmp/.X11-unix/X$d" ] && break; sleep 0.1; done
  [ -e "/tmp/.X11-unix/X$d" ] && export DISPLAY=":$d" && break
  kill "$xvfb_pid" 2>/dev/null; xvfb_pid=""
done
[ -n "$xvfb_pid" ] || { echo "gui_e2e: no Xvfb display"; exit 1; }
# A Wine of this prefix left from before would show the windows elsewhere.
"$wineserver" -k 2>/dev/null
"$wine" wineboot -i > /dev/null 2>&1
"$wineserver" -w

# The titles of the visible windows other than the main window and the menus (which Wine names
# after the main window), one per line.
others() {
  local w name
  for w in $(xdotool search --onlyvisible --name '.' 2>/dev/null); do
    name=$(xdotool getwindowname "$w" 2>/dev/null) || continue
    [ "$name" != Kovrix ] && [ "$name" != "Default IME" ] && echo "$name"
  done
}
# Waits up to $1 tenths of a second for a window above the main one; prints their titles.
wait_opened() {
  local seen
  for _ in $(seq "$1"); do
    seen=$(others)
    if [ -n "$seen" ]; then sleep 0.5; others | LC_ALL=C sort | paste -sd '|'; return 0; fi
    sleep 0.1
  done
  return 1
}
keys() { xdotool key --delay 60 "$@"; }
# Closes every window above the main one as a user does, with Alt+F4 (Escape stops a transfer on
# some screens rather than closing them), one window at a time.
# A window that closes may leave the one below it unmapped for a moment: none seen twice, 0.7 s
# apart, is none.
none_open() { [ -z "$(others)" ] && sleep 0.7 && [ -z "$(others)" ]; }
close_others() {
  for _ in $(seq 60); do
    none_open && return 0
    keys alt+F4
    for _ in $(seq 40); do [ -z "$(others)" ] && break; sleep 0.1; done
  done
  return 1
}
# Opens entry $2 (from 0) of menu $1 (from 0) with the keyboard: Alt takes the menu bar, Right
# moves along it, Down opens the menu on its first entry (the Windows style stops on disabled
# entries too).
open_entry() {
  keys alt
  for _ in $(seq "$1"); do keys Right; done
  keys Down
  for _ in $(seq "$2"); do keys Down; done
  keys Return
}

# Starts kovrix.exe in the working directory $1 with the arguments after it and waits for its main
# window (the start-up sequence checks the ports first).
start_app() {
  local dir=$1
  shift
  cd "$dir" || exit 1
  "$wine" "$exe" "$@" > "$dir/app.out" 2>&1 &
  app_pid=$!
  win=""
  for _ in $(seq 600); do
    win=$(xdotool search --name '^Kovrix$' 2>/dev/null | head -n 1)
    [ -n "$win" ] && break
    sleep 0.1
  done
  [ -n "$win" ] || { echo "gui_e2e: no main window"; cat "$dir/app.out"; exit 1; }
  # The start-up sequence names the window after each port it checks and pauses up to a second
  # between steps, taking no input: the window is the user's once its own name has stayed 3 s.
  local steady=0
  for _ in $(seq 600); do
    if [ "$(xdotool getwindowname "$win" 2>/dev/null)" = Kovrix ]; then steady=$((steady + 1)); else steady=0; fi
    [ "$steady" -ge 30 ] && break
    sleep 0.1
  done
  xdotool windowfocus --sync "$win" 2>/dev/null
  sleep 1
}
# Connects: the port box has the focus; Tab reaches the speed list, then "Подключить". A connection
# the registrator answered keeps its port and speed in fpinit.ini (which holds no speed before).
connect() {  # the port fpinit.ini must name afterwards (a grep pattern)
  keys Tab Tab space
  for _ in $(seq 100); do
    grep -q "^Port=$1" fpinit.ini && grep -q '^Speed=9600' fpinit.ini && return 0
    sleep 0.1
  done
  return 1
}
# The X report from "Отчеты" / "Печать дневных отчетов": the password box has the focus, Tab
# reaches "X-отчет". Checked on the printed tape in $1 (cp1251).
x_report() {
  open_entry 2 2
  check "the daily reports screen opened" [ "$(wait_opened 50)" = "Печать дневных отчетов" ]
  keys Tab space
  local printed=1
  for _ in $(seq 100); do iconv -f cp1251 -t utf-8 "$1" 2>/dev/null | grep -q 'X-ЗВІТ' && { printed=0; break; }; sleep 0.1; done
  check "the X report on the tape" [ "$printed" = 0 ]
  check "no Z report on the tape" bash -c "! iconv -f cp1251 -t utf-8 '$1' | grep -q 'Z-ЗВІТ'"
  close_others
}
# Closes the main window with Alt+F4: the program ends and answers 0.
quit_app() {
  keys alt+F4
  for _ in $(seq 150); do kill -0 "$app_pid" 2>/dev/null || break; sleep 0.1; done
  if kill -0 "$app_pid" 2>/dev/null; then
    check "kovrix.exe ends after Alt+F4" false
    kill "$app_pid"
  else
    wait "$app_pid"
    local status=$?
    check "kovrix.exe exits 0 (answered $status)" [ "$status" = 0 ]
  fi
  app_pid=""
}

# A working directory of the user's: an initialisation file with the session log on.
mkdir -p "$work/simulated"
printf '[CountryMode]\r\nCountry code=0\r\n\r\n[Fiscal Printer]\r\nExtendedTax=1\r\n\r\n[LogFile]\r\nLog=1\r\nLogName=kovrix.log\r\n' \
  > "$work/simulated/fpinit.ini"
start_app "$work/simulated" --simulate --tape "Z:$work/simulated/tape.txt"
check "connected to the simulated registrator" connect 'tcp://127.0.0.1:'
x_report tape.txt

# Every menu entry, in order, by the titles of the windows it opens ("-": an entry disabled for
# the simulated model, which opens nothing; the fiscal receipt asks for the articles file at once).
menus=(
  "Загрузка артикулов в регистратор;Открыть файл товаров|Фискальный чек;Нефискальный чек;Служебное внесение и изъятие денег;Аннулирование и закрытие чека"
  "Тест команд;Монитор для фискального регистратора + запуск скриптов"
  "Информация о свободных ресурсах и статусе;-;Печать дневных отчетов;Печать периодического отчета ;Отчет по реализованным товарам;Печать дополнительных дневных отчетов;Копия чека"
  "Заголовок и рекламный текст;Параметры операторов;Параметры оплаты;Пароли;Программирования логотипа;Чтение ПО;Чтение/запись/обнуление фискальной памяти;Дата и время;Техническое обслуживание;Служебные счетчики"
  "Установить заводской номер;Программирование фискальных параметров;Параметры регистратора;Параметры связи;Позиция десятичной точки (\"гривны-копейки\");Фискализация;Установить и прочитать ID_DEV;Состояние модема;Последний успешный сеанс связи с эквайером"
)
opened=0
for m in "${!menus[@]}"; do
  IFS=';' read -r -a titles <<< "${menus[$m]}"
  for e in "${!titles[@]}"; do
    open_entry "$m" "$e"
    seen=$(wait_opened 30) || seen="-"
    # A disabled entry leaves its menu open: Escape closes the menu, then leaves the menu bar.
    [ "$seen" = "-" ] && keys Escape Escape
    check "menu $m entry $e opens \"${titles[$e]}\" (seen \"$seen\")" [ "$seen" = "${titles[$e]}" ]
    [ "$seen" != "-" ] && opened=$((opened + 1))
    check "menu $m entry $e: its windows close" close_others
  done
done
# The menu bar's own entry.
keys alt Right Right Right Right Right Return
check "the about box opens" [ "$(wait_opened 30)" = "О программе Kovrix" ]
opened=$((opened + 1))
check "the about box closes" close_others

quit_app
check "the session log is written in cp1251" bash -c "iconv -f cp1251 -t utf-8 kovrix.log | grep -q '^;Начало сеанса'"
check "the session log lines end in CR LF" grep -q $'\r$' kovrix.log

# A real COM port: Wine's COM7 leads to the Linux simulator's pseudo-terminal, named in fpinit.ini.
if [ -n "$linux_sim" ]; then
  mkdir -p "$work/com7"
  "$linux_sim" --link "$work/com7/sim.link" --tape "$work/com7/tape.txt" > "$work/com7/sim.out" 2>&1 &
  sim_pid=$!
  for _ in $(seq 100); do [ -e "$work/com7/sim.link" ] && break; sleep 0.1; done
  mkdir -p "$WINEPREFIX/dosdevices"
  ln -sfn "$(readlink -f "$work/com7/sim.link")" "$WINEPREFIX/dosdevices/com7"
  printf '[CountryMode]\r\nCountry code=0\r\n\r\n[Communication]\r\nPort=COM7\r\n' > "$work/com7/fpinit.ini"
  start_app "$work/com7"
  check "COM7 preselected and connected" connect 'COM7'
  x_report "$work/com7/tape.txt"
  quit_app
fi

checks_summary "$opened screens opened"
