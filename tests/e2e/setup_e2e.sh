#!/usr/bin/env bash
# End to end: the sample setup.exe installs silently, installs again over itself
# (the previous version removed first), then installs in console mode. Each run
# must exit with 0 and leave the payload byte for byte, the install log, the
# installation record and the shortcuts. Runs inside the environment that
# scripts/test sets up (SETUP_WINE, WINEPREFIX).
set -euo pipefail
setup=$1
payload=$2
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

echo "setup_e2e: every check passed"
