#!/usr/bin/env bash
# Window benchmarks: process start to the first paint of the window, and a
# URL + LOOP/GHC walk over a local 32,000-item page run in the window (更新
# pressed by the benchmark) against the same script run by kelvane-run, in
# the same session. Needs an X display (run it under xvfb-run) or uses the
# offscreen platform.
# Usage: bench/window.sh [BUILD_DIR] [REPEATS]   (build first: cmake --build BUILD_DIR)
set -euo pipefail
here=$(cd "$(dirname "$0")" && pwd)
build=${1:-$here/../build}
repeats=${2:-5}
run=$build/src/cli/kelvane-run
window=$build/bench/bench_window
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

# Qt WebEngine will not start as root with its sandbox on; the benchmark
# (never the program) turns it off in that case, as the tests do.
if [ "$(id -u)" = 0 ]; then export QTWEBENGINE_DISABLE_SANDBOX=1; fi
if [ -z "${DISPLAY:-}" ]; then export QT_QPA_PLATFORM=${QT_QPA_PLATFORM:-offscreen}; fi

now() { date +%s%N; }
median() { sort -n | awk '{a[NR]=$1} END {print (NR%2) ? a[(NR+1)/2] : (a[NR/2]+a[NR/2+1])/2}'; }

: > "$work/t-paint"
for ((i = 0; i < repeats * 2; i++)); do
  t0=$(now); painted=$("$window" first-paint 2>/dev/null)
  echo $(( (painted - t0) / 1000000 )) >> "$work/t-paint"
done
echo "process start to first paint of the window, median of $((repeats * 2)): $(median < "$work/t-paint") ms"

items=32000
"$build/bench/bench_gen_page" $items > "$work/page.html"
printf 'URL\t"file://%s"\r\nCLEAR\tD\r\nLOOP\t"%s"\r\nGHC\tD\t"<li class="item">"\t"</li>"\r\nCR\tD\r\nLOOPEND\r\n' \
  "$work/page.html" $items > "$work/walk.spt"
echo "page: $(stat -c %s "$work/page.html") bytes, $items items, wait value 0"

: > "$work/t-window"; : > "$work/t-window2"; : > "$work/t-run"; : > "$work/t-run2"
for ((i = 0; i < repeats; i++)); do
  # Two presses in one window: the first creates the browser inside the run,
  # the second loads the page again over the one shown.
  "$window" run "$work/walk.spt" 2 2>/dev/null > "$work/window.out"
  sed -n 's/^run 1: \([0-9]*\) ms/\1/p' "$work/window.out" >> "$work/t-window"
  sed -n 's/^run [12]: \([0-9]*\) ms/\1/p' "$work/window.out" | awk '{s += $1} END {print s}' >> "$work/t-window2"
  t0=$(now); "$run" --wait 0 "$work/walk.spt" > "$work/run.out" 2>/dev/null; t1=$(now)
  "$run" --wait 0 --runs 2 "$work/walk.spt" > /dev/null 2>&1; t2=$(now)
  echo $(( (t1 - t0) / 1000000 )) >> "$work/t-run"
  echo $(( (t2 - t1) / 1000000 )) >> "$work/t-run2"
done
chars=$(sed -n 's/^display: \([0-9]*\) characters/\1/p' "$work/window.out")
runchars=$(iconv -f utf-8 -t utf-16le "$work/run.out" | wc -c)
[ "$chars" = $((runchars / 2)) ] || { echo "the window and kelvane-run displays differ: $chars vs $((runchars / 2)) characters"; exit 1; }
tw=$(median < "$work/t-window"); tw2=$(median < "$work/t-window2")
tr=$(median < "$work/t-run"); tr2=$(median < "$work/t-run2")
echo "URL + walk over $items items, median of $repeats:" \
  "one press ${tw} ms vs kelvane-run ${tr} ms (whole process), ratio $(awk "BEGIN{printf \"%.2f\", $tw/$tr}");" \
  "two presses ${tw2} ms vs kelvane-run --runs 2 ${tr2} ms, ratio $(awk "BEGIN{printf \"%.2f\", $tw2/$tr2}")"

# The same walk without the page load: HT set from the file before the run.
printf 'CLEAR\tD\r\nLOOP\t"%s"\r\nGHC\tD\t"<li class="item">"\t"</li>"\r\nCR\tD\r\nLOOPEND\r\n' $items > "$work/walk-only.spt"
: > "$work/t-window"; : > "$work/t-run"
for ((i = 0; i < repeats; i++)); do
  "$window" run "$work/walk-only.spt" 1 "$work/page.html" 2>/dev/null > "$work/window.out"
  sed -n 's/^run 1: \([0-9]*\) ms/\1/p' "$work/window.out" >> "$work/t-window"
  t0=$(now); "$run" --page "$work/page.html" "$work/walk-only.spt" > /dev/null 2>&1; t1=$(now)
  echo $(( (t1 - t0) / 1000000 )) >> "$work/t-run"
done
tw=$(median < "$work/t-window"); tr=$(median < "$work/t-run")
echo "walk only (HT set from the file), median of $repeats: window ${tw} ms (the press);" \
  "kelvane-run --page ${tr} ms (whole process, reading the page included)"
