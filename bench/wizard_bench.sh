#!/usr/bin/env bash
# How fast the wizard appears: the time from the start of setup.exe (the
# sample product, full wizard) until its wizard window is on the screen,
# against the same for bench_empty_window.exe, a program of ours that shows
# one empty window and nothing else. Both come from the same build (same
# toolchain and options) and run in the same Wine prefix and display,
# alternating, WIZARD_BENCH_RUNS times each (default 7, at least 5) after one
# unmeasured start of each. Each is watched from outside, the same way for
# both: the clock starts right before Wine is started, and stops when
# xdotool first sees a mapped window with the program's title that is larger
# than 100 x 100 pixels (the wizard's application window has the same title
# but no size). The program is then ended. Prints both medians and their
# ratio; the target is at most 1.5.
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
baseline=${WIZARD_BENCH_BASELINE:-}
baseline_dir=$build/wizard-bench/baseline
setup_title='Установка Учёт заявок'
empty_title='Empty window'

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

# Prints the time (ns) at which a large enough window with the title is
# visible; fails after 60 s.
wait_visible() {
  local title=$1 deadline=$(($(date +%s) + 60)) w
  while [ "$(date +%s)" -lt "$deadline" ]; do
    for w in $(xdotool search --onlyvisible --name "^$title\$" 2>/dev/null); do
      local WIDTH=0 HEIGHT=0 X Y SCREEN WINDOW
      eval "$(xdotool getwindowgeometry --shell "$w" 2>/dev/null)"
      if [ "$WIDTH" -gt 100 ] && [ "$HEIGHT" -gt 100 ]; then
        date +%s%N
        return 0
      fi
    done
    sleep 0.005
  done
  return 1
}

# Starts the program, prints the milliseconds until its window is visible,
# then ends it.
time_start() {
  local program=$1 title=$2 start seen pid
  start=$(date +%s%N)
  (cd "$(dirname "$program")" && exec "$wine" "./$(basename "$program")" </dev/null >/dev/null 2>&1) &
  pid=$!
  if ! seen=$(wait_visible "$title"); then
    kill "$pid" 2>/dev/null || true
    echo "wizard_bench: no window \"$title\" of $(basename "$program") within 60 s" >&2
    return 1
  fi
  kill "$pid" 2>/dev/null || true
  wait "$pid" 2>/dev/null || true
  # Let Wine take the windows down before the next start.
  while xdotool search --onlyvisible --name "^$title\$" >/dev/null 2>&1; do sleep 0.05; done
  echo $(((seen - start) / 1000000))
}

median() {
  sort -n | awk '{ v[NR] = $1 } END { if (NR % 2) print v[(NR + 1) / 2]; else print int((v[NR / 2] + v[NR / 2 + 1]) / 2) }'
}

time_start "$setup" "$setup_title" >/dev/null
time_start "$empty" "$empty_title" >/dev/null
[ -z "$baseline" ] || time_start "$baseline_dir/setup.exe" "$setup_title" >/dev/null
setup_times=()
empty_times=()
baseline_times=()
for i in $(seq 1 "$runs"); do
  if [ $((i % 2)) = 1 ]; then
    setup_times+=("$(time_start "$setup" "$setup_title")")
    empty_times+=("$(time_start "$empty" "$empty_title")")
    [ -z "$baseline" ] || baseline_times+=("$(time_start "$baseline_dir/setup.exe" "$setup_title")")
  else
    [ -z "$baseline" ] || baseline_times+=("$(time_start "$baseline_dir/setup.exe" "$setup_title")")
    empty_times+=("$(time_start "$empty" "$empty_title")")
    setup_times+=("$(time_start "$setup" "$setup_title")")
  fi
done

setup_median=$(printf '%s\n' "${setup_times[@]}" | median)
empty_median=$(printf '%s\n' "${empty_times[@]}" | median)
echo "setup.exe to its wizard window (ms):    ${setup_times[*]}; median $setup_median"
echo "empty window program to its window (ms): ${empty_times[*]}; median $empty_median"
LC_ALL=C awk -v s="$setup_median" -v e="$empty_median" 'BEGIN {
  r = s / e
  printf "ratio of the medians: %.2f (target: at most 2.0) %s\n", r, (r <= 2.0 ? "ok" : "ABOVE THE TARGET")
}'
if [ -n "$baseline" ]; then
  baseline_median=$(printf '%s\n' "${baseline_times[@]}" | median)
  echo "baseline setup.exe ($baseline) to its wizard window (ms): ${baseline_times[*]}; median $baseline_median"
  LC_ALL=C awk -v s="$baseline_median" -v e="$empty_median" 'BEGIN {
    printf "ratio of the medians baseline/empty: %.2f\n", s / e
  }'
fi
