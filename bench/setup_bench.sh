#!/usr/bin/env bash
# How fast setup.exe installs: the whole setup.exe -express=4 against the RAR
# library's own command-line extractor (unrar.exe x, built from the same UnRAR
# source with the same compiler and optimisation, without our code), as whole
# processes in the same Wine prefix, each into the same folder made fresh (the
# sample configuration's target), alternating, SETUP_BENCH_RUNS runs each
# (default 7, at least 5) after one unmeasured run of each whose files must be
# the same. Two payloads: the generated bench_payload.rar of the extraction
# benchmark (bench/bench_payload.py, made by the build in <build>/bench), and a
# generated solid archive of about 2,000 small and medium files in nested
# Cyrillic folders (bench/small_files_payload.py, packed with Debian's rar tool;
# kept in the build folder, never committed). Each setup.exe is built in
# <build>/setup-bench/build with the sample resources and that payload.
# Prints the minimum and median of each side and the ratio of the medians
# (target: at most 1.05).
#
# SETUP_BENCH_BASELINE=<git revision> times, in the same rounds, a setup.exe
# built from that revision of this repository too (in
# <build>/setup-bench/baseline), for a before-and-after comparison.
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
runs=${SETUP_BENCH_RUNS:-7}
[ "$runs" -ge 5 ] || runs=5
baseline=${SETUP_BENCH_BASELINE:-}
baseline_dir=$bench_dir/baseline

# The generated payload, made again only when its generator changed.
make_small_files_payload() {
  local archive=$bench_dir/small_files.rar tree=$bench_dir/small_files
  local generator=$top/bench/small_files_payload.py
  if [ -f "$archive" ] && [ "$archive" -nt "$generator" ]; then
    return
  fi
  echo "setup_bench: generating $archive"
  rm -rf "$tree" "$archive"
  python3 "$generator" "$tree" || return 1
  # Solid, normal compression; names are read as UTF-8 and stored as Unicode.
  (cd "$tree" && LC_ALL=C.UTF-8 rar a -r -s -m3 -idq "$archive" '*' >/dev/null) || return 1
  rm -rf "$tree"
}

# The baseline revision's sources in <baseline_dir>/src, made anew.
export_baseline() {
  local src=$baseline_dir/src
  rm -rf "$src"
  mkdir -p "$src"
  git -C "$top" archive --format=tar "$baseline" | tar -x -C "$src" || return 1
  ln -s "$top/third_party" "$src/third_party"
}

# build_setup SOURCE BUILD OUTPUT ARCHIVE: OUTPUT/setup.exe built from the
# source tree SOURCE in the build folder BUILD, with the sample resources and
# ARCHIVE as the payload.
build_setup() {
  local src=$1 build_folder=$2 out=$3 archive=$4 res=$3/res
  rm -rf "$res"
  mkdir -p "$res"
  cp "$top/resources/config.x-ini" "$top/resources/licence.rtf" "$top/resources/background.jpg" \
    "$top/resources/left.bmp" "$res/"
  cp "$archive" "$res/payload.rar" &&
    cmake -S "$src" -B "$build_folder" -DCMAKE_TOOLCHAIN_FILE="$src/cmake/toolchain-$arch-mingw.cmake" \
      -DSETUP_RESOURCE_DIR="$res" >/dev/null &&
    cmake --build "$build_folder" -j"${SETUP_JOBS:-$(nproc)}" --target setup >/dev/null &&
    cp "$build_folder/setup.exe" "$out/setup.exe"
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

# time_run PROGRAM ARCHIVE: one run into the fresh target folder; PROGRAM is
# a setup.exe (run with -express=4) or unrar.exe (run as x of ARCHIVE, a
# Windows path). Prints the seconds.
time_run() {
  local program=$1 archive=$2 start
  local command=("$SETUP_WINE" "$program" -express=4)
  [ "$program" != "$unrar_exe" ] || command=("$SETUP_WINE" "$program" x -idq -y "$archive" "$install_path\\")
  fresh_target
  start=$(now)
  if ! "${command[@]}" </dev/null >/dev/null 2>&1; then
    echo "setup_bench: $program failed" >&2
    return 1
  fi
  seconds_since "$start"
}

# Minimum and median of the numbers given.
stats() {
  python3 -c 'import statistics, sys; t = [float(a) for a in sys.argv[1:]]; print("%.3f %.3f" % (min(t), statistics.median(t)))' "$@"
}

ratio() {
  python3 -c 'import sys; print("%.3f" % (float(sys.argv[1]) / float(sys.argv[2])))' "$1" "$2"
}

# bench_payload NAME ARCHIVE
bench_payload() {
  local name=$1 archive=$2 winarchive check=$bench_dir/check
  winarchive=$("$SETUP_WINE" winepath -w "$archive" 2>/dev/null </dev/null)
  local labels=("setup.exe -express=4") programs=("$bench_dir/$name/setup.exe")
  if [ -n "$baseline" ]; then
    labels+=("baseline setup.exe") programs+=("$baseline_dir/$name/setup.exe")
  fi
  labels+=("unrar.exe x") programs+=("$unrar_exe")
  local count=${#programs[@]} unrar_index=$((${#programs[@]} - 1))

  # A first run of each, not counted (Wine's and the disk's caches warm up):
  # every setup.exe must leave the files unrar.exe leaves, and its two
  # records and the folder of the constants file besides.
  local k
  time_run "$unrar_exe" "$winarchive" >/dev/null || return 1
  rm -rf "$check"
  mv "$setup_target" "$check"
  for ((k = 0; k < unrar_index; k++)); do
    time_run "${programs[$k]}" "$winarchive" >/dev/null || return 1
    if ! diff -rq -x Install.log -x InstData.x-ini -x "$consts_folder" "$check" "$setup_target" >/dev/null; then
      echo "setup_bench: ${labels[$k]} and unrar.exe produced different files from $archive" >&2
      return 1
    fi
  done
  local files bytes
  files=$(find "$check" -type f | wc -l)
  bytes=$(du -sb "$check" | cut -f1)
  rm -rf "$check"

  # Each round runs every program once; who goes first changes every round.
  local -a times
  local i j t
  for ((i = 0; i < runs; i++)); do
    for ((j = 0; j < count; j++)); do
      k=$(((i + j) % count))
      t=$(time_run "${programs[$k]}" "$winarchive") || return 1
      times[$k]="${times[$k]:-} $t"
    done
  done

  echo "payload $(basename "$archive"): $files files, $bytes bytes unpacked"
  local -a medians
  local min median
  for ((k = 0; k < count; k++)); do
    # shellcheck disable=SC2086
    read -r min median < <(stats ${times[$k]})
    medians[$k]=$median
    printf '  %-22s min %s s, median %s s  (%s)\n' "${labels[$k]}:" "$min" "$median" "${times[$k]# }"
  done
  local r verdict
  r=$(ratio "${medians[0]}" "${medians[$unrar_index]}")
  verdict=$(python3 -c 'import sys; print("OK" if float(sys.argv[1]) <= 1.05 else "SLOWER")' "$r")
  echo "  ratio of medians setup/unrar: $r (target <= 1.05) $verdict"
  if [ -n "$baseline" ]; then
    echo "  ratio of medians baseline/unrar: $(ratio "${medians[1]}" "${medians[$unrar_index]}") ($baseline)"
  fi
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
    cmake --build "$bench_build" -j"${SETUP_JOBS:-$(nproc)}" --target unrar_cli >/dev/null || return 1
  cmake --build "$build" --target bench_payload >/dev/null || return 1
  unrar_exe=$bench_build/unrar-cli/unrar.exe
  local payloads=("bench_payload:$build/bench/bench_payload.rar" "small_files:$bench_dir/small_files.rar")
  local entry name
  [ -z "$baseline" ] || export_baseline || return 1
  for entry in "${payloads[@]}"; do
    name=${entry%%:*}
    mkdir -p "$bench_dir/$name"
    build_setup "$top" "$bench_build" "$bench_dir/$name" "${entry#*:}" || return 1
    if [ -n "$baseline" ]; then
      mkdir -p "$baseline_dir/$name"
      build_setup "$baseline_dir/src" "$baseline_dir/build" "$baseline_dir/$name" "${entry#*:}" || return 1
    fi
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
