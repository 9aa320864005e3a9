#!/usr/bin/env bash
# How fast setup.exe installs: the whole setup.exe -express=4 against the RAR
# library's own command-line extractor (unrar.exe x, built from the same UnRAR
# source with the same compiler and optimisation, without our code), as whole
# processes in the same Wine prefix, each into the same folder made fresh (the
# sample configuration's target), alternating, SETUP_BENCH_RUNS runs each
# (default 7, at least 5) after one unmeasured run of each whose files must be
# the same. Two payloads: bench_payload.rar of the shared test data, and a
# generated solid archive of about 2,000 small and medium files in nested
# Cyrillic folders (scripts/benchpayload.py, packed with Debian's rar tool;
# kept in the build folder, never committed). Each setup.exe is built in
# <build>/setup-bench/build with the sample resources and that payload.
# Prints the minimum and median of each side and the ratio of the medians
# (target: at most 1.05).
#
#   setup_bench.sh <build folder> <arch>
# Runs inside the Wine environment of scripts/bench (wine_env_start).
set -uo pipefail
top=$(cd "$(dirname "$0")/.." && pwd)
build=$1
arch=$2
SETUP_WINE=${SETUP_WINE:?run this through scripts/bench}

bench_dir=$build/setup-bench
bench_build=$bench_dir/build
# The shared test data lies beside the repository (SETUP_TESTDATA_DIR: elsewhere).
testdata_rar=${SETUP_TESTDATA_DIR:-$top/../shared/testdata}/rar
runs=${SETUP_BENCH_RUNS:-7}
[ "$runs" -ge 5 ] || runs=5

# The generated payload, made again only when its generator changed.
make_small_files_payload() {
  local archive=$bench_dir/small_files.rar tree=$bench_dir/small_files
  if [ -f "$archive" ] && [ "$archive" -nt "$top/scripts/benchpayload.py" ]; then
    return
  fi
  echo "setup_bench: generating $archive"
  rm -rf "$tree" "$archive"
  python3 "$top/scripts/benchpayload.py" "$tree" || return 1
  # Solid, normal compression; names are read as UTF-8 and stored as Unicode.
  (cd "$tree" && LC_ALL=C.UTF-8 rar a -r -s -m3 -idq "$archive" '*' >/dev/null) || return 1
  rm -rf "$tree"
}

# build_setup NAME ARCHIVE: <bench_dir>/NAME/setup.exe with the sample
# resources and ARCHIVE as the payload.
build_setup() {
  local name=$1 archive=$2 res=$bench_dir/res-$1
  rm -rf "$res"
  mkdir -p "$res" "$bench_dir/$name"
  cp "$top/resources/config.x-ini" "$top/resources/licence.rtf" "$top/resources/background.jpg" \
    "$top/resources/left.bmp" "$res/"
  cp "$archive" "$res/payload.rar" &&
    cmake -S "$top" -B "$bench_build" -DCMAKE_TOOLCHAIN_FILE="$top/cmake/toolchain-$arch-mingw.cmake" \
      -DSETUP_RESOURCE_DIR="$res" >/dev/null &&
    cmake --build "$bench_build" -j"$(nproc)" --target setup >/dev/null &&
    cp "$bench_build/setup.exe" "$bench_dir/$name/setup.exe"
}

# The time now, in seconds (the test locale writes a decimal comma).
now() {
  echo "${EPOCHREALTIME/,/.}"
}

seconds_since() {
  python3 -c 'import sys; print("%.3f" % (float(sys.argv[2]) - float(sys.argv[1])))' "$1" "$(now)"
}

# The target folder removed, and the disk given the data still waiting to be
# written, so that a run does not pay for the one before it.
fresh_target() {
  rm -rf "$setup_target"
  sync
}

# time_setup NAME: one run of setup.exe -express=4 into its fresh target folder.
time_setup() {
  fresh_target
  local start
  start=$(now)
  if ! "$SETUP_WINE" "$bench_dir/$1/setup.exe" -express=4 </dev/null >/dev/null 2>&1; then
    echo "setup_bench: setup.exe -express=4 failed ($1)" >&2
    return 1
  fi
  seconds_since "$start"
}

# time_unrar ARCHIVE: one run of unrar.exe x of the archive (a Windows path)
# into the same folder, fresh.
time_unrar() {
  fresh_target
  local start
  start=$(now)
  if ! "$SETUP_WINE" "$unrar_exe" x -idq -y "$1" "$install_path\\" </dev/null >/dev/null 2>&1; then
    echo "setup_bench: unrar.exe x failed ($1)" >&2
    return 1
  fi
  seconds_since "$start"
}

# Minimum and median of the numbers given.
stats() {
  python3 -c 'import statistics, sys; t = [float(a) for a in sys.argv[1:]]; print("%.3f %.3f" % (min(t), statistics.median(t)))' "$@"
}

# bench_payload NAME ARCHIVE
bench_payload() {
  local name=$1 archive=$2 i t ours=() theirs=()
  local winarchive check=$bench_dir/check
  winarchive=$("$SETUP_WINE" winepath -w "$archive" 2>/dev/null </dev/null)
  # A first run of each, not counted (Wine's and the disk's caches warm up),
  # which must produce the same files; setup.exe adds its two records and the
  # folder of the constants file.
  rm -rf "$check"
  time_setup "$name" >/dev/null && mv "$setup_target" "$check" || return 1
  time_unrar "$winarchive" >/dev/null || return 1
  if ! diff -rq -x Install.log -x InstData.x-ini -x "$consts_folder" "$check" "$setup_target" >/dev/null; then
    echo "setup_bench: setup.exe and unrar.exe produced different files from $archive" >&2
    return 1
  fi
  local files bytes
  files=$(find "$setup_target" -type f | wc -l)
  bytes=$(du -sb "$setup_target" | cut -f1)
  rm -rf "$check"
  for i in $(seq 1 "$runs"); do
    # Who goes first changes every round.
    if [ $((i % 2)) = 1 ]; then
      t=$(time_setup "$name") || return 1; ours+=("$t")
      t=$(time_unrar "$winarchive") || return 1; theirs+=("$t")
    else
      t=$(time_unrar "$winarchive") || return 1; theirs+=("$t")
      t=$(time_setup "$name") || return 1; ours+=("$t")
    fi
  done
  read -r our_min our_median < <(stats "${ours[@]}")
  read -r their_min their_median < <(stats "${theirs[@]}")
  local ratio verdict
  ratio=$(python3 -c 'import sys; print("%.3f" % (float(sys.argv[1]) / float(sys.argv[2])))' "$our_median" "$their_median")
  verdict=$(python3 -c 'import sys; print("OK" if float(sys.argv[1]) <= 1.05 else "SLOWER")' "$ratio")
  echo "payload $(basename "$archive"): $files files, $bytes bytes unpacked"
  echo "  setup.exe -express=4: min $our_min s, median $our_median s  (${ours[*]})"
  echo "  unrar.exe x:          min $their_min s, median $their_median s  (${theirs[*]})"
  echo "  ratio of medians setup/unrar: $ratio (target <= 1.05) $verdict"
}

# A string value of the sample configuration.
config_value() {
  sed -n 's/.*n="'"$1"'" v="\([^"]*\)".*/\1/p' "$top/resources/config.x-ini"
}

run_setup_bench() {
  if [ "$arch" = i686 ]; then
    echo "setup_bench: i686 builds of setup.exe and unrar.exe under 32-bit Wine"
  else
    echo "setup_bench: $arch builds of setup.exe and unrar.exe under 64-bit Wine (this machine cannot run 32-bit programs)"
  fi
  mkdir -p "$bench_dir"
  make_small_files_payload || return 1
  cmake -S "$top" -B "$bench_build" -DCMAKE_TOOLCHAIN_FILE="$top/cmake/toolchain-$arch-mingw.cmake" >/dev/null &&
    cmake --build "$bench_build" -j"$(nproc)" --target unrar_cli >/dev/null || return 1
  unrar_exe=$bench_build/unrar-cli/unrar.exe
  local payloads=("bench_payload:$testdata_rar/bench_payload.rar" "small_files:$bench_dir/small_files.rar")
  local entry
  for entry in "${payloads[@]}"; do
    build_setup "${entry%%:*}" "${entry#*:}" || return 1
  done

  # The sample configuration installs into the folder its registry record
  # names once it exists; a first run tells which folder that is.
  "$SETUP_WINE" "$bench_dir/small_files/setup.exe" -express=4 </dev/null >/dev/null 2>&1 || true
  local key
  key=$(config_value reg_install_key)
  consts_folder=$(config_value vx_consts_path)
  install_path=$("$SETUP_WINE" reg query "HKLM\\Software\\$key" /v InstallPath 2>/dev/null </dev/null |
    iconv -f CP866 -t UTF-8 | tr -d '\r' | sed -n 's/^ *InstallPath *REG_SZ *//p')
  if [ -z "$install_path" ]; then
    echo "setup_bench: setup.exe wrote no install path" >&2
    return 1
  fi
  setup_target=$("$SETUP_WINE" winepath -u "$install_path" 2>/dev/null </dev/null)
  setup_target=${setup_target%/}

  # A Windows session always has its desktop. Under Wine the desktop process
  # starts with a program's first window and ends a second after the last
  # one has gone, so a GUI program timed alone would pay Wine's desktop
  # start-up (about half a second) on every run. A window held open for the
  # whole benchmark keeps the desktop up, as the session would.
  "$SETUP_WINE" notepad </dev/null >/dev/null 2>&1 &
  local keeper=$! status=0
  echo "(the Wine desktop is kept running by a notepad window during the runs)"
  for entry in "${payloads[@]}"; do
    bench_payload "${entry%%:*}" "${entry#*:}" || { status=1; break; }
  done
  kill "$keeper" 2>/dev/null || true
  wait "$keeper" 2>/dev/null || true
  rm -rf "$setup_target"
  return $status
}

run_setup_bench
