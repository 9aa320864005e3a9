#!/usr/bin/env bash
# The test prefix is a sandbox: no profile folder of any user in it may be a
# link (a new prefix links Desktop, Documents and others to the host's home
# folder; scripts/wine-env replaces them). Runs inside the environment that
# scripts/test sets up (WINEPREFIX).
set -euo pipefail
users="${WINEPREFIX:?run this through scripts/test}/drive_c/users"
[ -d "$users" ] || { echo "FAILED: no folder $users"; exit 1; }
links=$(find "$users" -maxdepth 2 -type l)
if [ -n "$links" ]; then
  echo "FAILED: links in the test prefix's user profiles:"
  echo "$links"
  exit 1
fi
echo "prefix_sandbox: no links in $users"
