#!/usr/bin/env bash
# End to end, under Wine, with the sample product:
#  - a setup.exe whose configuration is broken ends with exit code 1 and
#    installs nothing (silent and console mode);
#  - the sample setup.exe installs silently: the payload byte for byte, the
#    programs that its finish items, autorun record and uninstall entry name,
#    the install log, the installation record byte for byte, the registry
#    values with their types and the shortcuts;
#  - it updates silently over itself, while the program it started after the
#    installation still runs: the previous version's leftovers go, the
#    payload is whole again, and the user's data stays: the preserved files and
#    the files that the payload does not carry (the product's own database);
#  - it installs again in console mode, which shows its state lines;
#  - a setup.exe whose payload is damaged ends with exit code 1 after its
#    error box (which the dialog answerer closes) and installs nothing.
# Runs inside the environment that scripts/test sets up (SETUP_WINE,
# WINEPREFIX).
#
#   setup_e2e.sh SETUP_EXE PAYLOAD_FOLDER [--payload-overlay=FOLDER]
#                [--broken-config=SETUP_EXE]
#                [--damaged-payload=SETUP_EXE --dialog-answerer=EXE]
#
# --payload-overlay names the folder that the build packs over the payload
# folder (the sample's programs, which the build makes).
#
# A further variant that must fail is checked with clean_state followed by
# expect_failed_install EXE WHAT (see there).
set -euo pipefail
setup=$1
payload=$2
shift 2
overlay=
broken_config=
damaged=
answerer=
for arg in "$@"; do
  case $arg in
    --payload-overlay=*) overlay=${arg#*=} ;;
    --broken-config=*) broken_config=${arg#*=} ;;
    --damaged-payload=*) damaged=${arg#*=} ;;
    --dialog-answerer=*) answerer=${arg#*=} ;;
    *) echo "setup_e2e: unknown argument $arg" >&2; exit 2 ;;
  esac
done
wine=${SETUP_WINE:?run this through scripts/test}
scripts=$(cd "$(dirname "$0")/../../scripts" && pwd)

work=$(mktemp -d)
# The sample's programs that the installations started are still running.
end_programs() {
  local program
  for program in RequestDesk.exe RequestDeskAgent.exe Uninstall.exe; do
    "$wine" taskkill /f /im "$program" </dev/null >/dev/null 2>&1 || true
  done
  rm -rf "$work"
}
trap end_programs EXIT
cp "$setup" "$work/setup.exe"

# The sample product's folder and registry keys (resources/config.x-ini).
target="$WINEPREFIX/drive_c/Program Files/Учёт заявок"
target_win='C:\Program Files\Учёт заявок'
install_key='HKLM\Software\SampleSoft\RequestDesk'
uninstall_key='HKLM\Software\Microsoft\Windows\CurrentVersion\Uninstall\SampleSoft.RequestDesk'
run_key='HKLM\Software\Microsoft\Windows\CurrentVersion\Run'
shortcut='Учёт заявок.lnk'

fail() {
  echo "FAILED: $*"
  exit 1
}

windows_path() {
  local path=${1//\//\\}
  printf 'Z:%s' "$path"
}

# run_program EXE ARGS...: runs a copy of the program from the work folder;
# the exit code goes to $rc.
run_program() {
  local exe=$1
  shift
  local name
  name=$(basename "$exe")
  [ -f "$work/$name" ] || cp "$exe" "$work/$name"
  rc=0
  (cd "$work" && timeout 300 "$wine" "./$name" "$@" </dev/null >"$work/out.txt" 2>&1) || rc=$?
}

run_setup() {
  run_program "$work/setup.exe" "$@"
  [ "$rc" = 0 ] || fail "setup.exe $* exited with $rc"
}

# run_console EXE: runs the program in console mode from a console program on
# a terminal, so that its console lines can be read; they go, one a line,
# without the terminal's control sequences and empty lines, to
# $work/console.txt. The exit code goes to $rc.
run_console() {
  local name
  name=$(basename "$1")
  [ -f "$work/$name" ] || cp "$1" "$work/$name"
  rc=0
  (cd "$work" && timeout 300 script -qec "'$wine' cmd /c $name -express=3" /dev/null \
    </dev/null >"$work/terminal.txt" 2>&1) || rc=$?
  perl -pe 's/\e\[\?25[lh]//g; s/\e\[K//g; s/\e\[(\d*)C/" " x ($1 || 1)/ge; s/\r//g' "$work/terminal.txt" |
    grep -v '^ *$' >"$work/console.txt" || true
}

# registry_values KEY: the key's values as the registry editor exports them
# ("name"=data, one a line, the type in the data's form), sorted; nothing
# when the key is missing.
registry_values() {
  local file="$work/export.reg"
  rm -f "$file"
  "$wine" reg export "$1" "$(windows_path "$file")" /y >/dev/null 2>&1 || return 0
  iconv -f UTF-16 -t UTF-8 "$file" | tr -d '\r' | grep '^"' | LC_ALL=C sort
}

# clean_state: no installation of the sample product: no folder, no registry
# records, no shortcuts.
clean_state() {
  rm -rf "$target"
  local key
  for key in "$install_key" "$uninstall_key"; do
    "$wine" reg delete "$key" /f >/dev/null 2>&1 || true
  done
  find "$WINEPREFIX/drive_c" -name "$shortcut" -delete
}

# expect_failed_install EXE WHAT: from a clean state, the variant EXE ends
# with exit code 1 and leaves no record of an installation: no install log,
# no installation record, no registry value, no shortcut.
expect_failed_install() {
  local exe=$1 what=$2
  run_program "$exe" -express=4
  [ "$rc" = 1 ] || fail "$what: exited with $rc instead of 1"
  [ ! -e "$target/Install.log" ] || fail "$what: Install.log was written"
  [ ! -e "$target/InstData.x-ini" ] || fail "$what: InstData.x-ini was written"
  [ -z "$(registry_values "$install_key")" ] || fail "$what: InstallPath was written"
  [ -z "$(registry_values "$uninstall_key")" ] || fail "$what: the uninstall entry was written"
  [ -z "$(find "$WINEPREFIX/drive_c" -name "$shortcut" -print -quit)" ] || fail "$what: a shortcut was made"
}

# The files of the payload in the archive's order (rar4pack), relative, with
# backslashes; with --paths each followed by a tab and the file it is packed from.
payload_files() {
  python3 -c 'import sys; sys.path.insert(0, sys.argv[1]); import rar4pack
for rel, path, folder in rar4pack.walk_all([f for f in sys.argv[3:] if f]):
    if not folder: print(rel + ("\t" + path if sys.argv[2] == "--paths" else ""))' \
    "$scripts" "${1:-}" "$payload" "$overlay"
}

check_registry() {
  local what=$1
  [ "$(registry_values "$install_key")" = "\"InstallPath\"=\"${target_win//\\/\\\\}\"" ] ||
    fail "$what: InstallPath: $(registry_values "$install_key")"
  local expected
  expected=$(LC_ALL=C sort <<EOF
"Contact"="support@example.org"
"DisplayIcon"="${target_win//\\/\\\\}\\\\RequestDesk.exe,-0"
"DisplayName"="Учёт заявок 2.4"
"DisplayVersion"="2.4.118"
"HelpTelephone"="+7 (000) 000-00-00"
"NoModify"=dword:00000001
"NoRepair"=dword:00000001
"Publisher"="ООО «Образец»"
"URLInfoAbout"="https://example.org/requestdesk"
"UninstallString"="\\"${target_win//\\/\\\\}\\\\Uninstall.exe\\""
EOF
)
  local actual
  actual=$(registry_values "$uninstall_key")
  [ "$actual" = "$expected" ] || fail "$what: the uninstall entry differs:
$actual"
  # The autorun record is off in the sample.
  if "$wine" reg query "$run_key" /v 'RequestDesk Agent' >/dev/null 2>&1; then
    fail "$what: an autorun value was written"
  fi
}

check_record() {
  local what=$1
  printf '%s\n' \
    '<?xml version="1.0" encoding="utf-8"?>' \
    '<!DOCTYPE vxini SYSTEM "vxini4.dtd">' \
    '<vxini>' \
    '  <s n="app_sign" v="Sample.RequestDesk.2"/>' \
    '  <x n="start_menu">' \
    '    <s n="start_menu_group" v="Учёт заявок"/>' \
    '  </x>' \
    '  <x n="desktop_links">' \
    '    <i n="create_desktop_links" v="1"/>' \
    '  </x>' \
    '  <x n="autorun">' \
    '    <i n="create_autorun_record" v="0"/>' \
    '  </x>' \
    '</vxini>' >"$work/InstData.expected"
  cmp -s "$work/InstData.expected" "$target/InstData.x-ini" || fail "$what: InstData.x-ini differs"
}

check_installed() {
  local what=$1
  [ -d "$target" ] || fail "$what: no target folder $target"
  local f source
  while IFS=$'\t' read -r f source; do
    f=${f//\\//}
    cmp -s "$source" "$target/$f" || fail "$what: $f differs from the payload"
  done < <(payload_files --paths)
  # The finish programs, the autorun program and the uninstaller.
  for f in RequestDesk.exe RequestDeskAgent.exe Uninstall.exe; do
    [ -f "$target/$f" ] || fail "$what: $f, which the configuration names, is not installed"
  done
  [ -d "$target/Data" ] || fail "$what: the payload's empty Data folder is missing"
  check_record "$what"
  local log="$target/Install.log"
  [ -f "$log" ] || fail "$what: no Install.log"
  [ "$(head -c 3 "$log" | od -An -tx1 | tr -d ' ')" = efbbbf ] || fail "$what: Install.log has no byte-order mark"
  tr -d '\r' <"$log" | grep -q '^+File: .*ReadMe.txt$' || fail "$what: ReadMe.txt is not logged"
  tr -d '\r' <"$log" | grep -q '^+End: ' || fail "$what: Install.log has no end line"
  [ -n "$(find "$WINEPREFIX/drive_c" -name "$shortcut" -print -quit)" ] || fail "$what: no shortcut"
  check_registry "$what"
}

# The user's data: the database that the product creates and the preserved
# constants file that the user edited.
user_data() {
  printf 'user database\r\n' >"$target/Data/requests.db"
  mkdir -p "$target/Config"
  printf '<vxini><s n="user" v="edited"/></vxini>\n' >"$target/Config/consts.x-ini"
}

check_user_data() {
  local what=$1
  [ "$(cat "$target/Data/requests.db")" = $'user database\r' ] || fail "$what: the user's database was replaced"
  [ "$(cat "$target/Config/consts.x-ini")" = '<vxini><s n="user" v="edited"/></vxini>' ] ||
    fail "$what: the user's constants file was replaced"
}

[ -n "$(payload_files)" ] || fail "no files in the payload $payload"
clean_state
if [ -n "$broken_config" ]; then
  expect_failed_install "$broken_config" "broken configuration"
  [ ! -e "$target" ] || fail "broken configuration: the target folder was made"
  run_console "$broken_config"
  [ "$rc" = 1 ] || fail "broken configuration, console mode: exited with $rc instead of 1"
  [ ! -e "$target" ] || fail "broken configuration, console mode: the target folder was made"
fi

run_setup -express=4
check_installed "silent install"

# A leftover of the previous version goes, a changed or missing payload file is
# whole again; the user's data stays as the user left it.
user_data
echo stale >"$target/leftover.txt"
rm -f "$target/ReadMe.txt"
echo changed >>"$target/Templates/default.x-ini"
run_setup -express=4
check_installed "silent update"
check_user_data "silent update"
[ ! -e "$target/leftover.txt" ] || fail "silent update: the previous version's leftover is still there"

run_console "$work/setup.exe"
[ "$rc" = 0 ] || fail "console install exited with $rc"
{
  echo 'Завершение запущенных программ...'
  echo 'Удаление предыдущей версии...'
  echo 'Установка...'
  payload_files | while read -r f; do echo "Копируется: ${f##*\\}"; done
} >"$work/console.expected"
diff "$work/console.expected" "$work/console.txt" >/dev/null ||
  fail "console install: the console lines differ:
$(cat "$work/console.txt")"
check_installed "console install"
check_user_data "console install"

if [ -n "$damaged" ]; then
  clean_state
  cp "$damaged" "$work/damaged.exe"
  rc=0
  (cd "$work" && timeout 300 "$wine" "$answerer" boxes.txt damaged.exe -express=4 </dev/null >"$work/out.txt" 2>&1) ||
    rc=$?
  [ "$rc" = 1 ] || fail "damaged payload: setup.exe exited with $rc"
  grep -qx 'Ошибка: Ошибка установки (Инсталлятор поврежден (2))' "$work/boxes.txt" ||
    fail "damaged payload: the error shown was: $(cat "$work/boxes.txt" 2>/dev/null)"
  # The steps before the payload make their folders (the target, the
  # constants folder); no file comes into them.
  [ -z "$(find "$target" -type f -print -quit 2>/dev/null)" ] || fail "damaged payload: files were installed"
  [ -z "$(find "$WINEPREFIX/drive_c" -name "$shortcut" -print -quit)" ] || fail "damaged payload: a shortcut was made"
  [ -z "$(registry_values "$install_key")" ] || fail "damaged payload: InstallPath was written"
  [ -z "$(registry_values "$uninstall_key")" ] || fail "damaged payload: the uninstall entry was written"
fi

echo "setup_e2e: every check passed"
