#!/usr/bin/env bash
# The packed payload follows the vendor's payload folder through every kind of
# change an incremental build can miss: a file deleted, a file renamed (its
# time unchanged), a file added with an older time than the archive (as cp -p,
# tar and unzip leave it). After each change the build packs again and the
# archive lists exactly the folder; a build without a change does not pack.
#
#   payload_repack.sh SOURCE_DIR TOOLCHAIN_FILE WORK_DIR
#
# WORK_DIR keeps its build folder between runs (so that a later run configures
# quickly); the resource folder in it is made anew from the sample's.
set -euo pipefail
src=$1
toolchain=$2
work=$3
build=$work/build
res=$work/resources
archive=$build/setup/payload.rar

fail() {
  echo "FAILED: $*"
  exit 1
}

rm -rf "$res"
mkdir -p "$res"
cp -p "$src"/resources/{config.x-ini,licence.rtf,background.jpg,left.bmp} "$res/"
cp -a "$src/resources/payload" "$res/payload"

build_payload() {
  cmake --build "$build" --target setup_payload >"$work/build.log" 2>&1 ||
    fail "$1: the build failed: $(tail -20 "$work/build.log")"
}

# expect_listing WHAT: the archive lists the payload folder's files and folders.
expect_listing() {
  local expected actual
  expected=$(cd "$res/payload" && find . -mindepth 1 ! -name .gitkeep -printf '%P\n' | LC_ALL=C sort)
  actual=$(rar lb "$archive" | LC_ALL=C sort)
  [ "$actual" = "$expected" ] || fail "$1: the packed payload lists
$actual
instead of
$expected"
}

cmake -S "$src" -B "$build" -DCMAKE_TOOLCHAIN_FILE="$toolchain" -DSETUP_RESOURCE_DIR="$res" \
  >"$work/configure.log" 2>&1 || fail "configure: $(tail -20 "$work/configure.log")"
build_payload "first build"
expect_listing "first build"

before=$(stat -c %y "$archive")
sleep 1
build_payload "build without a change"
[ "$(stat -c %y "$archive")" = "$before" ] || fail "a build without a change packed the payload again"

rm "$res/payload/Help/Руководство.txt"
build_payload "deleted file"
expect_listing "deleted file"

mv "$res/payload/ReadMe.txt" "$res/payload/Changes.txt"
build_payload "renamed file"
expect_listing "renamed file"

printf 'old\r\n' >"$res/payload/Templates/old.x-ini"
touch -d 2001-01-01 "$res/payload/Templates/old.x-ini" "$res/payload/Templates"
build_payload "added old-dated file"
expect_listing "added old-dated file"

echo "payload_repack: every check passed"
