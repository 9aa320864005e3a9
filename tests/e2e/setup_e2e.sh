#!/usr/bin/env bash
# End to end: the sample setup.exe installs silently, installs again over itself
# (the previous version removed first), then installs in console mode. Each run
# must exit with 0 and leave the payload byte for byte, the install log, the
# installation record and the shortcuts. Runs inside the environment that
# scripts/test sets up (SETUP_WINE, WINEPREFIX).
#   setup_e2e.sh SETUP_EXE PAYLOAD_FOLDER [--damaged-payload=SETUP_EXE --dialog-answerer=EXE]
# With the last two, a setup.exe whose payload is damaged must fail with exit
# code 1 after its error box (which the dialog answerer closes), and install
# nothing.
set -euo pipefail
setup=$1
payload=$2
shift 2
damaged=
answerer=
for arg in "$@"; do
  case $arg in
    --damaged-payload=*) damaged=${arg#*=} ;;
    --dialog-answerer=*) answerer=${arg#*=} ;;
    *) echo "setup_e2e: unknown argument $arg" >&2; exit 2 ;;
  esac
done
wine=${SETUP_WINE:?run this through scripts/test}

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
cp "$setup" "$work/setup.exe"
target="$WINEPREFIX/drive_c/Program Files/Учёт заявок"

fail() {
  echo "FAILED: $*"
  exit 1
}

run_setup() {
  local rc=0
  (cd "$work" && timeout 300 "$wine" ./setup.exe "$@" </dev/null >"$work/out.txt" 2>&1) || rc=$?
  [ "$rc" = 0 ] || fail "setup.exe $* exited with $rc"
}

check_installed() {
  local what=$1
  [ -d "$target" ] || fail "$what: no target folder $target"
  (cd "$payload" && find . -type f) | while read -r f; do
    cmp -s "$payload/$f" "$target/$f" || fail "$what: $f differs from the payload"
  done
  [ -f "$target/InstData.x-ini" ] || fail "$what: no InstData.x-ini"
  local log="$target/Install.log"
  [ -f "$log" ] || fail "$what: no Install.log"
  [ "$(head -c 3 "$log" | od -An -tx1 | tr -d ' ')" = efbbbf ] || fail "$what: Install.log has no byte-order mark"
  tr -d '\r' <"$log" | grep -q '^+File: .*ReadMe.txt$' || fail "$what: ReadMe.txt is not logged"
  tr -d '\r' <"$log" | grep -q '^+End: ' || fail "$what: Install.log has no end line"
  [ -n "$(find "$WINEPREFIX/drive_c" -name 'Учёт заявок.lnk' -print -quit)" ] || fail "$what: no shortcut"
}

rm -rf "$target"
run_setup -express=4
check_installed "silent install"

# A leftover of the previous version must go; the new tree is complete again.
echo stale >"$target/leftover.txt"
rm -f "$target/ReadMe.txt"
run_setup -express=4
check_installed "silent update"
[ ! -e "$target/leftover.txt" ] || fail "silent update: the previous version's leftover is still there"

run_setup -express=3
check_installed "console install"

if [ -n "$damaged" ]; then
  reg_key='HKLM\Software\SampleSoft\RequestDesk'
  uninstall_key='HKLM\Software\Microsoft\Windows\CurrentVersion\Uninstall\SampleSoft.RequestDesk'
  rm -rf "$target"
  find "$WINEPREFIX/drive_c" -name 'Учёт заявок.lnk' -delete
  for key in "$reg_key" "$uninstall_key"; do
    "$wine" reg delete "$key" /f </dev/null >/dev/null 2>&1 || true
  done
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
  [ -z "$(find "$WINEPREFIX/drive_c" -name 'Учёт заявок.lnk' -print -quit)" ] ||
    fail "damaged payload: a shortcut was made"
  for key in "$reg_key" "$uninstall_key"; do
    if "$wine" reg query "$key" </dev/null >/dev/null 2>&1; then
      fail "damaged payload: the registry key $key was written"
    fi
  done
fi

echo "setup_e2e: every check passed"
