#!/usr/bin/env bash
# End to end, under Wine, with the product that setup.exe was built with (the
# sample, or the vendor's resource folder), whose folder, registry keys,
# shortcuts and programs are read from its configuration:
#  - a setup.exe whose configuration is broken ends with exit code 1 and
#    installs nothing (silent and console mode);
#  - setup.exe installs silently: the payload byte for byte, the programs that
#    its finish items, autorun record and uninstall entry name, the install
#    log, the installation record byte for byte, the registry values with
#    their types and the shortcuts;
#  - it updates silently over itself, while the program it started after the
#    installation still runs: the previous version's leftovers go, the
#    payload is whole again, and the user's data stays: the constants file and
#    the preserved files that the payload does not carry (the sample's
#    database);
#  - it installs again in console mode, which shows its state lines;
#  - a setup.exe whose payload is damaged ends with exit code 1 after its
#    error box (which the dialog answerer closes) and installs nothing.
# Runs inside the environment that scripts/test sets up (SETUP_WINE,
# WINEPREFIX).
#
#   setup_e2e.sh SETUP_EXE CONFIG PAYLOAD_FOLDER [--payload-overlay=FOLDER]
#                [--broken-config=SETUP_EXE]
#                [--damaged-payload=SETUP_EXE --dialog-answerer=EXE]
#
# CONFIG is the configuration document that SETUP_EXE carries;
# --payload-overlay names the folder that the build packs over the payload
# folder (the sample's programs, which the build makes).
#
# A further variant that must fail is checked with clean_state followed by
# expect_failed_install EXE WHAT (see there).
set -euo pipefail
setup=$1
config=$2
payload=$3
shift 3
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
. "$scripts/wine-env"

fail() {
  echo "FAILED: $*"
  exit 1
}

# The product's folder as setup.exe expands it, and what the configuration
# names (setup_e2e_names.py): install_key, uninstall_key, programs, shortcuts
# and the rest.
target_win=$(wine_env_expand "$(python3 "$scripts/setup_config.py" "$config" general/tgt_folder | tr -d '\0')")
[ -n "$target_win" ] || fail "no target folder in $config"
target=$("$wine" winepath -u "$target_win" </dev/null 2>/dev/null)
[ -n "$target" ] || fail "winepath cannot name $target_win"
names=$(python3 "$(dirname "$0")/setup_e2e_names.py" "$config" "$target_win" "$payload" "$overlay") ||
  fail "cannot read $config"
eval "$names"
run_key='HKLM\Software\Microsoft\Windows\CurrentVersion\Run'

work=$(mktemp -d)
# The programs that the installations started are still running; the
# installation goes too, so that nothing of it reaches later runs (wineboot
# starts the programs of an autorun value at every start of the prefix).
end_programs() {
  local program
  for program in "${programs[@]}"; do
    "$wine" taskkill /f /im "${program##*\\}" </dev/null >/dev/null 2>&1 || true
  done
  ! declare -F clean_state >/dev/null || clean_state
  rm -rf "$work"
}
trap end_programs EXIT
cp "$setup" "$work/setup.exe"

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

# from_oem: what a Windows console program printed, in UTF-8.
from_oem() {
  iconv -f CP866 -t UTF-8 | tr -d '\r'
}

# key_exists KEY: whether the registry key is there, as its parent lists it
# (reg fails alike on a missing key and on any other fault). Fails the test
# when the registry cannot be read, with what reg answered for the key it
# could not list (Wine's reg writes its errors to standard output: both
# outputs are kept, in this call's own variable, since the check of the
# parent's parent calls reg again).
key_exists() {
  local key=$1 parent=${1%\\*} name=${1##*\\} answer
  [ "$parent" != "$key" ] || fail "cannot read the registry: $key"
  if answer=$("$wine" reg query "$parent" </dev/null 2>&1); then
    # The subkeys come as full paths, in the OEM code page.
    from_oem <<<"$answer" |
      awk -F'\\' -v name="$name" 'tolower($NF) == tolower(name) { found = 1 } END { exit !found }'
    return
  fi
  ! key_exists "$parent" || fail "cannot list the registry key $parent: reg answered: $(from_oem <<<"$answer")"
  return 1
}

# registry_values KEY: into $values, the key's values as the registry editor
# exports them ("name"=data, one a line, the type in the data's form; @= the
# default value), sorted; nothing when the key is missing. Fails the test when
# the export fails for a key that is there. (Not from inside $(...), where a
# failure would end only the subshell.)
registry_values() {
  local file="$work/export.reg" output
  rm -f "$file"
  values=
  if ! output=$("$wine" reg export "$1" "$(windows_path "$file")" /y </dev/null 2>&1); then
    ! key_exists "$1" || fail "cannot export the registry key $1: $(from_oem <<<"$output")"
    return 0
  fi
  [ -s "$file" ] || fail "the export of the registry key $1 is empty"
  values=$(iconv -f UTF-16 -t UTF-8 "$file" | tr -d '\r' | { grep '^["@]' || true; } | LC_ALL=C sort) ||
    fail "cannot read the export of the registry key $1"
}

# find_shortcuts: the product's shortcuts anywhere in the prefix, one a line.
find_shortcuts() {
  local name
  for name in "${shortcuts[@]}"; do
    find "$WINEPREFIX/drive_c" -name "$name"
  done
}

# clean_state: no installation of the product: no folder, no registry
# records, no shortcuts.
clean_state() {
  rm -rf "$target"
  local key
  for key in "$install_key" "$uninstall_key"; do
    [ -z "$key" ] || "$wine" reg delete "$key" /f </dev/null >/dev/null 2>&1 || true
  done
  find_shortcuts | while IFS= read -r f; do rm -f -- "$f"; done
  if [ -n "$has_autorun" ]; then
    local value=(/ve)
    [ -z "$autorun_name" ] || value=(/v "$autorun_name")
    "$wine" reg delete "$run_key" "${value[@]}" /f </dev/null >/dev/null 2>&1 || true
  fi
}

# autorun_value: into $autorun, the product's autorun value as a line of
# registry_values; empty when there is none.
autorun_value() {
  autorun=
  [ -n "$has_autorun" ] || return 0
  registry_values "$run_key"
  autorun=$(P=$autorun_prefix awk 'index($0, ENVIRON["P"]) == 1' <<<"$values")
}

# expect_no_records WHAT: no registry value and no shortcut of the product.
expect_no_records() {
  local what=$1
  autorun_value
  [ -z "$autorun" ] || fail "$what: the autorun value was written"
  if [ -n "$install_key" ]; then
    registry_values "$install_key"
    [ -z "$values" ] || fail "$what: InstallPath was written"
  fi
  if [ -n "$uninstall_key" ]; then
    registry_values "$uninstall_key"
    [ -z "$values" ] || fail "$what: the uninstall entry was written"
  fi
  [ -z "$(find_shortcuts)" ] || fail "$what: a shortcut was made"
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
  expect_no_records "$what"
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
  if [ -n "$install_key" ]; then
    registry_values "$install_key"
    [ "$values" = "$install_path_line" ] || fail "$what: InstallPath: $values"
  fi
  if [ -n "$uninstall_key" ]; then
    registry_values "$uninstall_key"
    [ "$values" = "$uninstall_lines" ] || fail "$what: the uninstall entry differs:
$values"
  fi
  # The autorun value is written only when the configuration has it on.
  autorun_value
  [ "$autorun" = "$autorun_line" ] || fail "$what: the autorun value is \"$autorun\", expected \"$autorun_line\""
}

# The installation record byte for byte; the attachment to a main system,
# which depends on the prefix, aside.
check_record() {
  local what=$1
  printf '%s\n' "$record_lines" >"$work/InstData.expected"
  local actual="$target/InstData.x-ini"
  if [ -n "$has_par_proc" ]; then
    actual="$work/InstData.actual"
    sed '/^  <x n="par_proc">$/,/^  <\/x>$/d' "$target/InstData.x-ini" >"$actual"
  fi
  echo '</vxini>' >>"$work/InstData.expected"
  cmp -s "$work/InstData.expected" "$actual" || fail "$what: InstData.x-ini differs"
}

check_installed() {
  local what=$1
  [ -d "$target" ] || fail "$what: no target folder $target"
  local f source
  while IFS=$'\t' read -r f source; do
    cmp -s "$source" "$target/${f//\\//}" || fail "$what: $f differs from the payload"
  done < <(payload_files --paths)
  for f in "${folders[@]}"; do
    [ -d "$target/${f//\\//}" ] || fail "$what: the payload's folder $f is missing"
  done
  # The finish programs, the autorun program and the uninstaller.
  for f in "${programs[@]}"; do
    [ -f "$target/${f//\\//}" ] || fail "$what: $f, which the configuration names, is not installed"
  done
  check_record "$what"
  local log="$target/Install.log"
  [ -f "$log" ] || fail "$what: no Install.log"
  [ "$(head -c 3 "$log" | od -An -tx1 | tr -d ' ')" = efbbbf ] || fail "$what: Install.log has no byte-order mark"
  tr -d '\r' <"$log" | sed '1s/^\xEF\xBB\xBF//' >"$work/log.txt"
  while IFS= read -r f; do
    grep -qxF -- "+File: $target_win\\$f" "$work/log.txt" || fail "$what: $f is not logged"
  done < <(payload_files)
  grep -q '^+End: ' "$work/log.txt" || fail "$what: Install.log has no end line"
  for f in "${made_shortcuts[@]}"; do
    [ -n "$(find "$WINEPREFIX/drive_c" -name "$f" -print -quit)" ] || fail "$what: no shortcut $f"
  done
  check_registry "$what"
}

# The user's data: the constants file that the user edited and the preserved
# files that the product made (the sample's database), each with its own text.
user_text() {
  printf 'user data in %s\r\n' "$1"
}

user_data() {
  local f
  for f in "${user_files[@]}"; do
    mkdir -p "$(dirname "$target/${f//\\//}")"
    user_text "$f" >"$target/${f//\\//}"
  done
}

check_user_data() {
  local what=$1 f
  for f in "${user_files[@]}"; do
    [ "$(cat "$target/${f//\\//}" 2>/dev/null)" = "$(user_text "$f")" ] || fail "$what: the user's $f was replaced"
  done
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
# (The leftover lies in a folder of its own, which goes whether or not the
# first level of the target folder is kept.)
user_data
mkdir -p "$target/leftover"
echo stale >"$target/leftover/stale.txt"
[ -z "$removed_file" ] || rm -f "$target/${removed_file//\\//}"
[ -z "$changed_file" ] || echo changed >>"$target/${changed_file//\\//}"
run_setup -express=4
check_installed "silent update"
check_user_data "silent update"
[ ! -e "$target/leftover/stale.txt" ] || fail "silent update: the previous version's leftover is still there"

run_console "$work/setup.exe"
[ "$rc" = 0 ] || fail "console install exited with $rc"
{
  echo "$console_head"
  payload_files | while read -r f; do echo "Копируется: ${f##*\\}"; done
  [ -z "$console_tail" ] || echo "$console_tail"
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
  expect_no_records "damaged payload"
fi

echo "setup_e2e: every check passed"
