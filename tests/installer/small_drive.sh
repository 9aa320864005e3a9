#!/usr/bin/env bash
# The installer tests that need a disk that fills up (suites named SmallDrive...):
# a size-limited tmpfs is mounted for them, reached from Wine through Z: and
# named in SETUP_SMALL_DRIVE, and unmounted after them. Mounting needs the
# right to mount (root): where it is refused, the tests are skipped, and this
# says so and why (exit code 77, which ctest shows as skipped).
# Runs inside the environment that scripts/test sets up (SETUP_WINE).
#
#   small_drive.sh INSTALLER_TESTS
set -euo pipefail
tests=$1
wine=${SETUP_WINE:?run this through scripts/test}

drive=$(mktemp -d)
if ! reason=$(mount -t tmpfs -o size=256k setup-small-drive "$drive" 2>&1); then
  rmdir "$drive"
  echo "small_drive: SKIPPED, the full-disk tests did not run: a small tmpfs cannot be mounted here: $reason"
  exit 77
fi
trap 'umount "$drive" && rmdir "$drive"' EXIT

SETUP_SMALL_DRIVE="Z:${drive//\//\\}" "$wine" "$tests" --gtest_filter='SmallDrive*'
