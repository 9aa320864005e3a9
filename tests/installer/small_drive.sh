#!/usr/bin/env bash
# The tests of one test executable that need a disk that fills up (suites named
# SmallDrive...; the foundation's and the installer's):
# a size-limited tmpfs is mounted for them, reached from Wine through Z: and
# named in SETUP_SMALL_DRIVE, and goes when they end.
#
# The tmpfs is mounted in a user and mount namespace of this script's own,
# which needs no root where the system allows user namespaces. Only what runs
# in the namespace sees the tmpfs, and the wineserver opens files for its
# clients, so the tests run under a wineserver of their own, on the prefix
# seen through an overlay whose changes stay in the namespace: the prefix is
# the other tests' too, and is neither written nor served twice. Where no
# namespace can be made, root mounts the tmpfs for everyone, and the tests run
# under the shared wineserver. Where neither works, the tests are skipped, and
# this says so and why (exit code 77, which ctest shows as skipped).
# Runs inside the environment that scripts/test sets up (SETUP_WINE, WINEPREFIX).
#
#   small_drive.sh TESTS_EXECUTABLE
set -euo pipefail
tests=$1
wine=${SETUP_WINE:?run this through scripts/test}
prefix=${WINEPREFIX:?run this through scripts/test}

skip() {
  echo "small_drive: SKIPPED, the full-disk tests did not run: $*"
  exit 77
}

# run_tests HOST_FOLDER: the tests with the drive at that folder.
run_tests() {
  SETUP_SMALL_DRIVE="Z:${1//\//\\}" "$wine" "$tests" --gtest_filter='SmallDrive*'
}

# In the namespace, on the empty folder $2 that the script made: a scratch
# tmpfs there holds the drive and the overlay's own files.
if [ "${SMALL_DRIVE_NAMESPACE:-}" = 1 ]; then
  scratch=$2/scratch
  mount -t tmpfs -o size=64m,mode=0700 setup-small-drive-scratch "$scratch" ||
    skip "a tmpfs cannot be mounted in the namespace"
  mkdir "$scratch/drive" "$scratch/upper" "$scratch/work"
  mount -t tmpfs -o size=256k setup-small-drive "$scratch/drive" ||
    skip "the small tmpfs cannot be mounted in the namespace"
  mount -t overlay -o "lowerdir=$prefix,upperdir=$scratch/upper,workdir=$scratch/work,userxattr" \
    setup-small-drive-prefix "$prefix" || skip "the prefix cannot be overlaid in the namespace"
  # The sockets of the wineservers outside stay out of reach too.
  sockets=/tmp/.wine-$(id -u)
  if [ -d "$sockets" ]; then
    mount -t tmpfs -o size=1m,mode=0700 setup-small-drive-sockets "$sockets" ||
      skip "the wineserver folder cannot be made private in the namespace"
  fi
  status=0
  run_tests "$scratch/drive" || status=$?
  wineserver -k >/dev/null 2>&1 || true
  wineserver -w >/dev/null 2>&1 || true
  exit "$status"
fi

tests=$(realpath "$tests")
place=$(mktemp -d)
trap 'rmdir "$place/scratch" "$place" 2>/dev/null || true' EXIT
mkdir "$place/scratch"
if reason=$(unshare --user --map-current-user --keep-caps --mount true 2>&1); then
  status=0
  SMALL_DRIVE_NAMESPACE=1 unshare --user --map-current-user --keep-caps --mount --propagation private \
    bash "$0" "$tests" "$place" || status=$?
  exit "$status"
fi
drive=$place/scratch
if ! mounted=$(mount -t tmpfs -o size=256k setup-small-drive "$drive" 2>&1); then
  skip "no user namespace can be made here ($reason) and a small tmpfs cannot be mounted ($mounted)"
fi
trap 'umount "$drive" && rmdir "$drive" "$place"' EXIT
run_tests "$drive"
