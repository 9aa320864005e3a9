#!/usr/bin/env bash
# How fast the wizard appears: the time from the start of setup.exe (the
# sample product, full wizard) until its first page is on the screen, against
# the same for bench_empty_window.exe, a program of ours that shows one empty
# window and nothing else. Both come from the same build (same toolchain and
# options) and run in the same Wine prefix and display, alternating,
# WIZARD_BENCH_RUNS times each (default 7, at least 5) after one unmeasured
# start of each. Each is watched from outside, the same way for both, by
# bench_window_watch.exe (bench/tools/WindowWatch.cpp), which runs in the same
# prefix for the whole benchmark and reads the window manager's records of
# the other programs' windows. The clock starts right before Wine is started
# and stops:
#   setup.exe           when its wizard window is visible with the welcome
#                       page's caption ("Добро пожаловать в программу
#                       установки ...") and the "Далее >" button visible in it,
#                       and neither the window nor any visible window inside it
#                       has anything left to paint;
#   bench_empty_window  when its window is visible and has nothing left to
#                       paint.
# The watcher polls every 2 ms and takes the first of two polls in a row that
# see it so. The program is then ended. Since the watcher is connected to
# Wine's desktop, the desktop stays up between the runs, as a Windows session
# always has its desktop. Prints both medians and their ratio; the target is
# at most 2.0.
#
#   wizard_bench.sh <build folder> <arch>
# Runs inside the Wine environment of scripts/bench (wine_env_start).
set -euo pipefail
build=$1
arch=$2
runs=${WIZARD_BENCH_RUNS:-7}
[ "$runs" -ge 5 ] || runs=5
wine=${SETUP_WINE:?run this through scripts/bench}

top=$(cd "$(dirname "$0")/.." && pwd)
setup=$build/setup.exe
empty=$build/bench/tools/bench_empty_window.exe
watcher=$build/bench/tools/bench_window_watch.exe
baseline=${WIZARD_BENCH_BASELINE:-}
baseline_dir=$build/wizard-bench/baseline
setup_title='Установка Учёт заявок'
empty_title='Empty window'
# What the watcher waits for (tab-separated: the title, then texts that must be
# visible in the window).
setup_shown="$setup_title"$'\t''Добро пожаловать в программу установки'$'\t''Далее >'
empty_shown=$empty_title

if [ "$arch" = i686 ]; then
  echo "wizard_bench: i686 build under 32-bit Wine"
else
  echo "wizard_bench: $arch build under 64-bit Wine (this machine cannot run 32-bit programs)"
fi

# The baseline revision's setup.exe, built from its sources with the same
# toolchain and the sample resources.
# The sources are exported again only when the revision names another commit.
build_baseline() {
  local src=$baseline_dir/src commit
  commit=$(git -C "$top" rev-parse --verify "$baseline^{commit}") || return 1
  if [ "$(cat "$baseline_dir/commit" 2>/dev/null)" != "$commit" ]; then
    rm -rf "$src" "$baseline_dir/commit"
    mkdir -p "$src"
    git -C "$top" archive --format=tar "$commit" | tar -x -C "$src" || return 1
    ln -s "$top/third_party" "$src/third_party"
    echo "$commit" >"$baseline_dir/commit"
  fi
  cmake -S "$src" -B "$baseline_dir/build" -DCMAKE_TOOLCHAIN_FILE="$src/cmake/toolchain-$arch-mingw.cmake" \
    >/dev/null &&
    cmake --build "$baseline_dir/build" -j"${SETUP_JOBS:-$(nproc)}" --target setup >/dev/null &&
    cp "$baseline_dir/build/setup.exe" "$baseline_dir/setup.exe"
}
if [ -n "$baseline" ]; then
  echo "wizard_bench: building the baseline $baseline"
  build_baseline || { echo "wizard_bench: the baseline $baseline could not be built" >&2; exit 1; }
fi

# A previous installation of the sample would turn the start into the
# express-update question.
"$wine" reg delete 'HKLM\Software\SampleSoft\RequestDesk' /f </dev/null >/dev/null 2>&1 || true

# The watcher, for the whole benchmark: a request line goes in, an answer
# line comes out (see bench/tools/WindowWatch.cpp).
coproc WATCH { cd "$(dirname "$watcher")" && exec "$wine" "./$(basename "$watcher")" 2>/dev/null; }
stop_watch() {
  kill "$WATCH_PID" 2>/dev/null || true
  wait "$WATCH_PID" 2>/dev/null || true
}
trap stop_watch EXIT

# ask REQUEST: prints the watcher's answer (it waits at most 60 s itself).
ask() {
  local answer
  [ -z "$1" ] || printf '%s\n' "$1" >&"${WATCH[1]}"
  read -r -t 70 -u "${WATCH[0]}" answer || return 1
  echo "${answer%$'\r'}"
}
if [ "$(ask '')" != ready ]; then
  echo "wizard_bench: the window watcher did not start" >&2
  exit 1
fi

# time_start PROGRAM WAIT TITLE: starts the program, prints the milliseconds
# until the watcher sees what WAIT asks for, then ends the program and waits
# until its windows with TITLE are gone.
time_start() {
  local program=$1 wait=$2 title=$3 start seen pid
  # Microseconds since 1970 (the test locale writes a decimal comma).
  start=${EPOCHREALTIME/[.,]/}
  (cd "$(dirname "$program")" && exec "$wine" "./$(basename "$program")" </dev/null >/dev/null 2>&1) &
  pid=$!
  seen=$(ask "shown"$'\t'"$wait") || seen=timeout
  kill "$pid" 2>/dev/null || true
  wait "$pid" 2>/dev/null || true
  if [ "$(ask "gone"$'\t'"$title")" != gone ]; then
    echo "wizard_bench: the windows \"$title\" of $(basename "$program") stay after it ended" >&2
    return 1
  fi
  if ! [[ $seen =~ ^[0-9]+$ ]]; then
    echo "wizard_bench: $(basename "$program") did not show \"${wait//$'\t'/ | }\" within 60 s" >&2
    return 1
  fi
  echo $(((seen / 1000 - start) / 1000))
}

median() {
  sort -n | awk '{ v[NR] = $1 } END { if (NR % 2) print v[(NR + 1) / 2]; else print int((v[NR / 2] + v[NR / 2 + 1]) / 2) }'
}

time_start "$setup" "$setup_shown" "$setup_title" >/dev/null
time_start "$empty" "$empty_shown" "$empty_title" >/dev/null
[ -z "$baseline" ] || time_start "$baseline_dir/setup.exe" "$setup_shown" "$setup_title" >/dev/null
setup_times=()
empty_times=()
baseline_times=()
for i in $(seq 1 "$runs"); do
  if [ $((i % 2)) = 1 ]; then
    setup_times+=("$(time_start "$setup" "$setup_shown" "$setup_title")")
    empty_times+=("$(time_start "$empty" "$empty_shown" "$empty_title")")
    [ -z "$baseline" ] || baseline_times+=("$(time_start "$baseline_dir/setup.exe" "$setup_shown" "$setup_title")")
  else
    [ -z "$baseline" ] || baseline_times+=("$(time_start "$baseline_dir/setup.exe" "$setup_shown" "$setup_title")")
    empty_times+=("$(time_start "$empty" "$empty_shown" "$empty_title")")
    setup_times+=("$(time_start "$setup" "$setup_shown" "$setup_title")")
  fi
done

setup_median=$(printf '%s\n' "${setup_times[@]}" | median)
empty_median=$(printf '%s\n' "${empty_times[@]}" | median)
echo "setup.exe to its first page painted (ms):     ${setup_times[*]}; median $setup_median"
echo "empty window program to its window painted (ms): ${empty_times[*]}; median $empty_median"
LC_ALL=C awk -v s="$setup_median" -v e="$empty_median" 'BEGIN {
  r = s / e
  printf "ratio of the medians: %.2f (target: at most 2.0) %s\n", r, (r <= 2.0 ? "ok" : "ABOVE THE TARGET")
}'
if [ -n "$baseline" ]; then
  baseline_median=$(printf '%s\n' "${baseline_times[@]}" | median)
  echo "baseline setup.exe ($baseline) to its first page painted (ms): ${baseline_times[*]}; median $baseline_median"
  LC_ALL=C awk -v s="$baseline_median" -v e="$empty_median" 'BEGIN {
    printf "ratio of the medians baseline/empty: %.2f\n", s / e
  }'
fi
