#!/usr/bin/env bash
# Page loading benchmark: a URL command to HT filled for a local 1 MB page
# with wait value 0 against a bare Qt WebEngine load + innerHTML read, then
# what kelvane-run costs at start with and without a URL command.
# Usage: bench/pageload.sh [BUILD_DIR] [REPEATS]   (build first: cmake --build BUILD_DIR)
set -euo pipefail
here=$(cd "$(dirname "$0")" && pwd)
build=${1:-$here/../build}
repeats=${2:-15}
run=$build/src/cli/kelvane-run
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

# Qt WebEngine will not start as root with its sandbox on; the benchmark
# (never the program) turns it off in that case, as the tests do.
if [ "$(id -u)" = 0 ]; then export QTWEBENGINE_DISABLE_SANDBOX=1; fi
export QT_QPA_PLATFORM=${QT_QPA_PLATFORM:-offscreen}

"$build/bench/bench_pageload" "$repeats"

now() { date +%s%N; }
median() { sort -n | awk '{a[NR]=$1} END {print (NR%2) ? a[(NR+1)/2] : (a[NR/2]+a[NR/2+1])/2}'; }
peak_kb() { /usr/bin/time -f %M "$@" 2>&1 >/dev/null | tail -1; }

printf '<html><body><p>page</p></body></html>' > "$work/page.html"
printf 'PUT\t"x"\tD\r\n' > "$work/plain.spt"
printf 'URL\t"%s"\r\nGETA\tHT\tD\t"<p>"\r\n' "file://$work/page.html" > "$work/url.spt"
for script in plain url; do
  : > "$work/t-$script"
  loops=$([ $script = plain ] && echo 200 || echo "$repeats")
  for ((i = 0; i < loops; i++)); do
    t0=$(now); "$run" --wait 0 "$work/$script.spt" > /dev/null; t1=$(now)
    echo $(( (t1 - t0) / 1000 )) >> "$work/t-$script"
  done
done
: > "$work/t-bare"
for ((i = 0; i < 200; i++)); do
  t0=$(now); "$build/bench/bench_bare_main"; t1=$(now); echo $(( (t1 - t0) / 1000 )) >> "$work/t-bare"
done
echo "kelvane-run whole process, median: without a URL command $(median < "$work/t-plain") us" \
  "(bare C++ program $(median < "$work/t-bare") us); with one URL command (local page, wait 0)" \
  "$(median < "$work/t-url") us"
echo "kelvane-run peak RSS: without a URL command $(peak_kb "$run" "$work/plain.spt") kB;" \
  "with one $(peak_kb "$run" --wait 0 "$work/url.spt") kB (main process only)"
