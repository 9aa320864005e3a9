#!/usr/bin/env bash
# End to end: every run mode of setup.exe under Wine, driven as a person
# would, with keys and clicks through xdotool, each run checked by its exit
# code, what it left and that Wine saw no exception in it:
#  - a broken configuration: one box "Ошибка инициализации" and exit code 1
#    in the full wizard, no box and 1 in silent mode;
#  - the progress window (-express=2) installs without a question, starts the
#    finish program and closes by itself (0); with a payload that fails it
#    shows the installation's error, starts nothing and ends with 1;
#  - the full wizard over the backdrop, through every page to Finish (0), the
#    wizard staying above the backdrop after a click on the backdrop, in
#    Windows' z-order and on the screen;
#  - the full wizard without a backdrop closed with Esc and Yes on the welcome
#    page: nothing installed (1);
#  - the full wizard with a licence the licence page cannot read (not RTF, cut
#    short, nested 33 groups deep): Next on the welcome page shows one box
#    that says why, then the wizard ends by itself, nothing installed (1);
#  - the express wizard (-express=1) straight to the progress and finish pages (0);
#  - after an installation, the express-update question: Cancel ends (1), No
#    gives the full wizard (a question over it is on top of the screen, and
#    the wizard again once it is answered), Yes the express wizard. (Yes with Shift held, for
#    the progress window, is left to the installer tests: under Wine on a bare
#    X server the program does not see a Shift key pressed through xdotool.)
# Where the X side cannot tell (texts, check boxes, Windows' z-order), the
# window probe looks from inside Windows; what the screen shows on top is the
# X server's stacking (xwininfo).
#
#   modes_e2e.sh OK_SETUP PLAIN_SETUP BROKEN_SETUP PROBE NOT_RTF_SETUP CUT_SETUP DEEP_SETUP
# OK_SETUP has the backdrop on; PLAIN_SETUP has it off and a payload whose
# last entry is damaged; BROKEN_SETUP cannot load its configuration; the last
# three are PLAIN_SETUP with those licences (tests/e2e/modes.cmake). Runs
# inside the environment that scripts/test sets up (SETUP_WINE, WINEPREFIX,
# DISPLAY).
set -euo pipefail
wine=${SETUP_WINE:?run this through scripts/test}
: "${DISPLAY:?run this through scripts/test}"
command -v xdotool >/dev/null || { echo "modes_e2e: xdotool is missing (scripts/bootstrap installs it)"; exit 1; }

work=$(mktemp -d)
pids=()
cleanup() {
  local pid
  for pid in "${pids[@]}"; do kill "$pid" 2>/dev/null || true; done
  rm -rf "$work"
}
trap cleanup EXIT
cp "$1" "$work/ok.exe"
cp "$2" "$work/plain.exe"
cp "$3" "$work/broken.exe"
cp "$4" "$work/probe.exe"
cp "$5" "$work/licence_not_rtf.exe"
cp "$6" "$work/licence_cut.exe"
cp "$7" "$work/licence_deep.exe"

# The test product's folder, keys and texts (tests/e2e/modes-config.x-ini.in).
target="$WINEPREFIX/drive_c/Program Files/Учёт заявок E2E"
install_key='HKLM\Software\SampleSoft\RequestDeskE2E'
uninstall_key='HKLM\Software\Microsoft\Windows\CurrentVersion\Uninstall\SampleSoft.RequestDeskE2E'
title='Установка Учёт заявок E2E'
# String-table texts.
error_caption='Ошибка'
question_caption='Вопрос'
init_error='Ошибка инициализации'
cancel_question='Прервать установку?'
express_question='Обнаружена предыдущая версия Учёт заявок E2E. Произвести экспресс-обновление?'
next_caption='Далее >'
finish_caption='Завершить'
installed_heading='Установка выполнена успешно.'
licence_unreadable='Не удалось прочитать текст лицензионного соглашения'
# Page texts that tell the pages apart.
welcome_heading='Добро пожаловать в программу установки Учёт заявок E2E.'
licence_box='Я принимаю условия лицензионного соглашения'
target_text='Установка будет произведена в указанную папку.'
group_text='Введите имя папки в меню «Пуск», в которую будут установлены ярлыки для запуска Учёт заявок E2E.'
ready_heading='Все готово для установки Учёт заявок E2E.'

# Also from inside $(...): the message goes to stderr, and the exit code
# ends the script through errexit.
fail() {
  {
    echo "FAILED: $*"
    echo "--- windows on the screen:"
    probe list || true
    echo "--- as the screen stacks them:"
    x_stack || true
  } >&2
  exit 1
}

step() {
  echo "modes_e2e: $*"
}

probe() {
  "$wine" "$work/probe.exe" "$@" </dev/null 2>/dev/null | tr -d '\r'
}

# --- Runs -------------------------------------------------------------------

# start EXE ARGS...: starts the program in the background; program holds its
# name, setup_pid the process. Wine reports the exceptions it sees on the
# program's stderr (err:seh), which ended checks: a run that crashes on its
# way out (code unloaded under a window that is still there) fails although
# its exit code and its windows were right.
start() {
  program=$1
  shift
  (cd "$work" && WINEDEBUG=-all,err+seh exec timeout 120 "$wine" "./$program" "$@" </dev/null >"$work/out.txt" 2>&1) &
  setup_pid=$!
  pids+=("$setup_pid")
}

# ended [SECONDS]: waits for the started program to end (default 60 s); its
# exit code goes to $rc. Fails when the run printed an exception.
ended() {
  local limit=${1:-60} i
  for ((i = 0; i < limit * 10; i++)); do
    if ! kill -0 "$setup_pid" 2>/dev/null; then
      rc=0
      wait "$setup_pid" || rc=$?
      if grep -q 'err:seh' "$work/out.txt"; then
        fail "$program printed an exception: $(grep 'err:seh' "$work/out.txt" | head -n 3)"
      fi
      return 0
    fi
    sleep 0.1
  done
  fail "$program did not end within $limit s"
}

expect_exit() {
  local code=$1 what=$2
  ended
  [ "$rc" = "$code" ] || fail "$what: exit code $rc, expected $code"
}

clean_state() {
  rm -rf "$target"
  "$wine" reg delete "$install_key" /f </dev/null >/dev/null 2>&1 || true
  "$wine" reg delete "$uninstall_key" /f </dev/null >/dev/null 2>&1 || true
}

expect_nothing_installed() {
  [ ! -e "$target" ] || fail "$1: the target folder exists"
  if "$wine" reg query "$install_key" </dev/null >/dev/null 2>&1; then
    fail "$1: the install key was written"
  fi
}

expect_installed() {
  local what=$1
  [ -f "$target/Install.log" ] || fail "$what: no Install.log"
  [ -f "$target/InstData.x-ini" ] || fail "$what: no InstData.x-ini"
  [ -f "$target/ReadMe.txt" ] || fail "$what: the payload is not there"
  "$wine" reg query "$install_key" /v InstallPath </dev/null >/dev/null 2>&1 || fail "$what: no InstallPath"
}

# Whether a finish program (Marker.exe) runs now, as the probe's list of
# processes tells.
finish_program_running() {
  local programs
  programs=$(probe processes) || fail "the probe cannot list the processes"
  [ -n "$programs" ] || fail "the probe lists no process"
  grep -qix 'Marker\.exe' <<<"$programs"
}

# The finish program leaves finished.txt (ticked item) or unticked.txt, then
# ends; the next run starts without it.
expect_finish_program() {
  local i
  for ((i = 0; i < 100; i++)); do
    [ -f "$target/finished.txt" ] && break
    sleep 0.1
  done
  [ -f "$target/finished.txt" ] || fail "$1: the finish program did not run"
  [ ! -e "$target/unticked.txt" ] || fail "$1: the unticked finish program ran"
  for ((i = 0; i < 100; i++)); do
    finish_program_running || return 0
    sleep 0.1
  done
  fail "$1: the finish program did not end"
}

# After the program ended: a finish program would have been started before
# that, so it would still run now or would have left its mark.
expect_no_finish_program() {
  ! kill -0 "$setup_pid" 2>/dev/null || fail "$1: judged before the program ended"
  ! finish_program_running || fail "$1: a finish program runs"
  [ ! -e "$target/finished.txt" ] || fail "$1: the finish program ran"
  [ ! -e "$target/unticked.txt" ] || fail "$1: the unticked finish program ran"
}

# --- Windows ----------------------------------------------------------------
# Lines of "probe list" of the started program, top of the z-order first:
#   <window> <program> <enabled> <foreground> <x> <y> <width> <height> <title>

windows() {
  probe list | awk -v p="$program" '$2 == p'
}

# The first window whose title is exactly the text and which is larger than a
# point (the application window shares the wizard's title); empty when none.
window_titled() {
  windows | awk -v t="$1" '{ title = $0; for (i = 1; i <= 8; i++) sub(/^[^ ]* /, "", title) }
    title == t && $7 > 1 && $8 > 1 { print $1; exit }'
}

# The backdrop: a window without a title that covers the screen.
backdrop() {
  local size
  size=$(xdotool getdisplaygeometry)
  windows | awk -v size="$size" '{ title = $0; for (i = 1; i <= 8; i++) sub(/^[^ ]* /, "", title) }
    title == "" && $5 <= 0 && $6 <= 0 && $7 " " $8 == size { print $1; exit }'
}

# Whether the window is the foreground window: 1 or 0.
foreground() {
  windows | awk -v w="$1" '$1 == w { print $4 }'
}

# until_true SECONDS WHAT COMMAND...: runs the command four times a second
# until it succeeds; fails after SECONDS, or at once when the program ended.
until_true() {
  local limit=$1 what=$2 i
  shift 2
  for ((i = 0; i < limit * 4; i++)); do
    "$@" && return 0
    kill -0 "$setup_pid" 2>/dev/null || fail "$program ended while $what was awaited"
    sleep 0.25
  done
  fail "no $what within $limit s"
}

window_there() {
  [ -n "$(window_titled "$1")" ]
}

# wait_window TITLE [SECONDS]: prints the window once it is there.
wait_window() {
  until_true "${2:-30}" "window \"$1\"" window_there "$1"
  window_titled "$1"
}

# The window's visible texts, one line each:
#   <window> <class> <checked> <enabled> <x> <y> <width> <height> <text>
texts() {
  probe texts "$1"
}

text_of() {
  awk '{ text = $0; for (i = 1; i <= 8; i++) sub(/^[^ ]* /, "", text); print text }'
}

# The message of a dialog.
dialog_text() {
  texts "$1" | awk '$2 == "Edit"' | text_of | sed 's/^\(\\n\)*//'
}

shows_text() {
  texts "$1" | text_of | grep -qxF -- "$2"
}

# wait_text WINDOW TEXT [SECONDS]: waits until the window shows the text.
wait_text() {
  until_true "${3:-60}" "\"$2\" in the window" shows_text "$1" "$2"
}

# A control of the window by its class and text (a mnemonic's "&" aside):
# "<x> <y> <enabled> <checked>" with x, y its centre.
control() {
  texts "$1" | awk -v c="$2" '$2 == c' | while read -r line; do
    local text
    text=$(text_of <<<"$line")
    if [ "${text//&/}" = "$3" ]; then
      awk '{ print $5 + int($7 / 2), $6 + int($8 / 2), $4, $3 }' <<<"$line"
      return 0
    fi
  done
}

# click WINDOW CAPTION [CLASS]: clicks the control with the mouse.
click() {
  local where
  where=$(control "$1" "${3:-Button}" "$2")
  [ -n "$where" ] || fail "no control \"$2\" in the window"
  read -r x y enabled _ <<<"$where"
  [ "$enabled" = 1 ] || fail "\"$2\" is disabled"
  xdotool mousemove "$x" "$y" click 1
}

# click_at X Y: a click somewhere on the screen.
click_at() {
  xdotool mousemove "$1" "$2" click 1
}

# key WINDOW X Y KEYS...: clicks the window at X, Y (a spot without a
# control) so that it is active, then types the keys with the pointer there
# (the bare X server gives the keyboard to the window under the pointer).
key() {
  local w=$1 x=$2 y=$3
  shift 3
  click_at "$x" "$y"
  sleep 0.3
  [ "$(foreground "$w")" = 1 ] || fail "the window is not in front after a click on it"
  xdotool key "$@"
}

# x_window_seen TITLE: waits, polling the display itself (much faster than the
# probe, for windows that do not stay long), for a mapped window with the
# title larger than a point; prints its size as "<width> <height>".
x_window_seen() {
  local i w
  for ((i = 0; i < 3000; i++)); do
    for w in $(xdotool search --onlyvisible --name "^$1\$" 2>/dev/null); do
      local WIDTH=0 HEIGHT=0 X Y SCREEN WINDOW
      eval "$(xdotool getwindowgeometry --shell "$w" 2>/dev/null)"
      if [ "$WIDTH" -gt 1 ] && [ "$HEIGHT" -gt 1 ]; then
        echo "$WIDTH $HEIGHT"
        return 0
      fi
    done
    kill -0 "$setup_pid" 2>/dev/null || fail "$program ended before a window \"$1\" was seen"
    sleep 0.01
  done
  fail "no window \"$1\" within 30 s"
}

# wait_dialog CAPTION [SECONDS]: the message dialog of the started program.
wait_dialog() {
  wait_window "$1" "${2:-30}"
}

# answer_dialog CAPTION TEXT BUTTON: checks the dialog's message and presses
# the button.
answer_dialog() {
  local w message
  w=$(wait_dialog "$1")
  message=$(dialog_text "$w")
  [ "$message" = "$2" ] || fail "the dialog says \"$message\", expected \"$2\""
  click "$w" "$3"
}

# expect_wizard_above_backdrop WIZARD BACKDROP WHAT: the wizard lies above
# the backdrop in the z-order.
expect_wizard_above_backdrop() {
  local order
  order=$(windows | awk -v w="$1" -v b="$2" '$1 == w { print "wizard" } $1 == b { print "backdrop" }' | head -n1)
  [ "$order" = wizard ] || fail "$3: the wizard is not above the backdrop"
}

# The windows that the screen shows, top first, as the X server stacks them:
#   <width> <height> <title>
# (mapped windows larger than a point; "" for a window without a title).
# Windows' z-order may say otherwise: without a window manager, Wine raises a
# window on the screen only when the window itself comes to the top.
x_stack() {
  local id info
  for id in $(xwininfo -root -children | awk '$1 ~ /^0x/ { print $1 }'); do
    info=$(xwininfo -id "$id" 2>/dev/null) || continue
    grep -q 'Map State: IsViewable' <<<"$info" || continue
    awk '/^ *Width:/ { w = $2 } /^ *Height:/ { h = $2 }
      /^xwininfo: Window id:/ { t = $0; sub(/^xwininfo: Window id: 0x[0-9a-f]* /, "", t)
        if (t == "(has no name)") t = "\"\"" }
      END { if (w > 1 && h > 1) print w, h, t }' <<<"$info"
  done
}

# The title of the window on top of the screen.
x_top() {
  x_stack | head -n 1 | sed 's/^[0-9]* [0-9]* "\(.*\)"$/\1/'
}

x_top_is() {
  [ "$(x_top)" = "$1" ]
}

# expect_on_screen_top TITLE WHAT: the screen shows that window on top, within
# a few seconds (the z-order manager arranges from its queue).
expect_on_screen_top() {
  local i
  for ((i = 0; i < 20; i++)); do
    x_top_is "$1" && return 0
    sleep 0.25
  done
  fail "$2: the screen shows \"$(x_top)\" on top, not \"$1\""
}

# --- The wizard -------------------------------------------------------------------

# The wizard of the started program once its first page is up; the global
# wizard holds it.
wait_wizard() {
  wizard=$(wait_window "$title")
  wait_text "$wizard" "$1"
}

# next_page TEXT: Next, then the page that shows the text.
next_page() {
  click "$wizard" "$next_caption"
  wait_text "$wizard" "$1"
}

# A spot of the wizard without a control: the side picture.
side_picture() {
  texts "$wizard" | awk '$2 == "ClassLibImage" { print $5 + int($7 / 2), $6 + int($8 / 2); exit }'
}

# The finish page after the installation; Finish, then the program ends with 0.
finish_wizard() {
  wait_text "$wizard" "$installed_heading" 120
  click "$wizard" "$finish_caption"
  expect_exit 0 "$1"
}

# Esc and Yes to the question: the wizard closes, exit code 1.
cancel_wizard() {
  read -r x y <<<"$(side_picture)"
  key "$wizard" "$x" "$y" Escape
  answer_dialog "$question_caption" "$cancel_question" "Да"
  expect_exit 1 "$1"
}

# The program's window that shows the text (the box that reports an
# exception bears the program's title, as the wizard does); empty when none.
window_showing() {
  local w
  for w in $(windows | awk '{ print $1 }'); do
    if texts "$w" | text_of | grep -qxF -- "$1"; then
      echo "$w"
      return 0
    fi
  done
}

box_there() {
  [ -n "$(window_showing "$1")" ]
}

# licence_unreadable PROGRAM REASON: Next on the welcome page shows the box
# with the reason; after OK the wizard ends by itself (a second box would keep
# it waiting) with exit code 1, nothing installed.
licence_unreadable() {
  local text="$licence_unreadable ($2)" box
  clean_state
  start "$1"
  wait_wizard "$welcome_heading"
  click "$wizard" "$next_caption"
  until_true 30 "the box \"$text\"" box_there "$text"
  box=$(window_showing "$text")
  # Its one button (OK, in the system's language).
  read -r x y <<<"$(texts "$box" | awk '$2 == "Button" { print $5 + int($7 / 2), $6 + int($8 / 2); exit }')"
  [ -n "$y" ] || fail "no button in the box \"$text\""
  click_at "$x" "$y"
  expect_exit 1 "$1"
  expect_nothing_installed "$1"
}

# --- A configuration that does not load --------------------------------------

step "broken configuration, full wizard: one box, exit code 1"
clean_state
start broken.exe
answer_dialog "$error_caption" "$init_error" OK
expect_exit 1 "broken configuration in the full wizard"
expect_nothing_installed "broken configuration in the full wizard"

step "broken configuration, silent: no box, exit code 1"
start broken.exe -express=4
ended 30 # a box would wait for an answer
[ "$rc" = 1 ] || fail "broken configuration in silent mode: exit code $rc, expected 1"
expect_nothing_installed "broken configuration in silent mode"

# --- The progress window ----------------------------------------------------------

step "progress window: installs without a question and closes by itself"
clean_state
start ok.exe -express=2
read -r width _ <<<"$(x_window_seen "$title")"
# Wine's windows are unmanaged here, so the X window is the whole window: the
# client area of 460 pixels and the fixed frame of 3 pixels on either side.
[ "$width" = 466 ] || fail "the progress window is $width pixels wide, not 460 inside its frame"
expect_exit 0 "progress window" # a question would wait for an answer
expect_installed "progress window"
expect_finish_program "progress window"

step "progress window with a damaged payload: the error, nothing started, exit code 1"
clean_state
start plain.exe -express=2
w=$(wait_dialog "$error_caption")
message=$(dialog_text "$w")
case $message in
  "Ошибка установки (Инсталлятор поврежден ("*) ;;
  *) fail "the failed installation says \"$message\"" ;;
esac
click "$w" OK
expect_exit 1 "progress window with a damaged payload"
[ -f "$target/Marker.exe" ] || fail "the damaged payload was not extracted up to its last entry"
expect_no_finish_program "progress window with a damaged payload"

# --- The wizard ----------------------------------------------------------------------

step "full wizard over the backdrop, every page to Finish"
clean_state
start ok.exe
wait_wizard "$welcome_heading"
back=$(backdrop)
[ -n "$back" ] || fail "no backdrop with show_background"
expect_wizard_above_backdrop "$wizard" "$back" "at the start"
expect_on_screen_top "$title" "at the start"
click_at 10 10 # the backdrop's corner
sleep 0.3
[ "$(foreground "$back")" = 1 ] || fail "the click did not reach the backdrop"
probe raise "$back" # what Windows does on that click
sleep 0.5
expect_wizard_above_backdrop "$wizard" "$back" "after a click on the backdrop"
expect_on_screen_top "$title" "after a click on the backdrop"
next_page "$licence_box"
read -r _ _ enabled _ <<<"$(control "$wizard" Button "$next_caption")"
[ "$enabled" = 0 ] || fail "Next works before the licence is accepted"
click "$wizard" "$licence_box"
next_page "$target_text"
next_page "$group_text"
next_page "$ready_heading"
click "$wizard" "$next_caption"
finish_wizard "full wizard"
expect_installed "full wizard"
expect_finish_program "full wizard"

step "express-update question: Cancel ends the run"
start ok.exe
answer_dialog "$question_caption" "$express_question" "Отмена"
expect_exit 1 "express-update question cancelled"
[ -z "$(window_titled "$title")" ] || fail "a wizard after a cancelled question"

step "express-update question: No gives the full wizard; a question over it and the wizard after it on the screen"
start ok.exe
answer_dialog "$question_caption" "$express_question" "Нет"
wait_wizard "$welcome_heading"
expect_on_screen_top "$title" "the full wizard after No"
read -r x y <<<"$(side_picture)"
key "$wizard" "$x" "$y" Escape
w=$(wait_dialog "$question_caption")
expect_on_screen_top "$question_caption" "the question over the wizard"
click "$w" "Нет"
expect_on_screen_top "$title" "the wizard after the question"
cancel_wizard "full wizard after No"

step "express-update question: Yes gives the express wizard"
rm -f "$target/finished.txt"
start ok.exe
answer_dialog "$question_caption" "$express_question" "Да"
wizard=$(wait_window "$title")
finish_wizard "express update"
expect_installed "express update"
expect_finish_program "express update"

step "full wizard without a backdrop, Esc and Yes on the welcome page: nothing installed"
clean_state
start plain.exe
wait_wizard "$welcome_heading"
[ -z "$(backdrop)" ] || fail "a backdrop without show_background"
cancel_wizard "full wizard cancelled on the welcome page"
expect_nothing_installed "full wizard cancelled on the welcome page"

step "full wizard, a licence that cannot be read: one box, then the end"
licence_unreadable licence_not_rtf.exe 'текст не является документом RTF'
licence_unreadable licence_cut.exe 'документ поврежден'
licence_unreadable licence_deep.exe 'слишком глубокая вложенность групп документа'

step "express wizard (-express=1): straight to the progress and finish pages"
clean_state
start ok.exe -express=1
wizard=$(wait_window "$title")
[ -n "$(backdrop)" ] || fail "no backdrop in the express wizard with show_background"
finish_wizard "express wizard"
expect_installed "express wizard"
expect_finish_program "express wizard"
clean_state

echo "modes_e2e: every check passed"
