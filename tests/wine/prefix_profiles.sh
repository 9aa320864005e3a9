#!/usr/bin/env bash
# No profile folder of any user in the test prefix may be a link (a new prefix
# links Desktop, Documents and others to the host's home folder, where a test
# that deletes in them would delete the host's files; scripts/wine-env makes
# them plain folders). The prefix is no sandbox all the same: its drive Z:
# maps the host's root. Runs inside the environment that scripts/test sets up
# (WINEPREFIX).
set -euo pipefail
users="${WINEPREFIX:?run this through scripts/test}/drive_c/users"
[ -d "$users" ] || { echo "FAILED: no folder $users"; exit 1; }
links=$(find "$users" -maxdepth 2 -type l)
if [ -n "$links" ]; then
  echo "FAILED: links in the test prefix's user profiles:"
  echo "$links"
  exit 1
fi
echo "prefix_profiles: no links in $users"
