#!/usr/bin/env bash
# Engine benchmark: kelvane-run against a plain C++ program doing the same
# job, interleaved, on generated listing pages of 16,000 and 32,000 items.
# Usage: bench/run.sh [BUILD_DIR] [REPEATS]   (build first: cmake --build BUILD_DIR)
set -euo pipefail
here=$(cd "$(dirname "$0")" && pwd)
build=${1:-$here/../build}
repeats=${2:-9}
run=$build/src/cli/kelvane-run
plain=$build/bench/bench_plain_extract
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

now() { date +%s%N; }
median() { sort -n | awk '{a[NR]=$1} END {print (NR%2) ? a[(NR+1)/2] : (a[NR/2]+a[NR/2+1])/2}'; }
instructions() { valgrind --tool=callgrind --callgrind-out-file=/dev/null "$@" 2>&1 >/dev/null |
  sed -n 's/.*Collected : \([0-9]*\).*/\1/p'; }
peak_kb() { /usr/bin/time -f %M "$@" 2>&1 >/dev/null | tail -1; }

for items in 16000 32000; do
  "$build/bench/bench_gen_page" $items > "$work/page$items.html"
  for job in a b; do
    sed "s/ITEMS/$items/" "$here/job-$job.spt" > "$work/job-$job-$items.spt"
  done
done

echo "page sizes: $(stat -c %s "$work/page16000.html") and $(stat -c %s "$work/page32000.html") bytes"
for job in a b; do
  for items in 16000 32000; do
    page=$work/page$items.html script=$work/job-$job-$items.spt
    "$run" --page "$page" "$script" > "$work/engine.out"
    "$plain" $job "$page" > "$work/plain.out"
    cmp -s "$work/engine.out" "$work/plain.out" || { echo "job $job: outputs differ"; exit 1; }
    : > "$work/t-engine"; : > "$work/t-plain"
    for ((i = 0; i < repeats; i++)); do
      t0=$(now); "$run" --page "$page" "$script" > /dev/null; t1=$(now)
      "$plain" $job "$page" > /dev/null; t2=$(now)
      echo $(( (t1 - t0) / 1000 )) >> "$work/t-engine"
      echo $(( (t2 - t1) / 1000 )) >> "$work/t-plain"
    done
    te=$(median < "$work/t-engine"); tp=$(median < "$work/t-plain")
    echo "$te" > "$work/median-$job-$items"
    line="job $job, $items items: kelvane-run ${te} us, plain ${tp} us, time ratio $(awk "BEGIN{printf \"%.2f\", $te/$tp}")"
    if [ "$items" = 32000 ]; then
      ie=$(instructions "$run" --page "$page" "$script"); ip=$(instructions "$plain" $job "$page")
      me=$(peak_kb "$run" --page "$page" "$script"); mp=$(peak_kb "$plain" $job "$page")
      utf16=$(( $(iconv -f utf-8 -t utf-16le "$page" | wc -c) / 1024 ))
      line="$line; instructions $ie vs $ip, ratio $(awk "BEGIN{printf \"%.2f\", $ie/$ip}")"
      line="$line; peak memory ${me} kB vs ${mp} kB, page as UTF-16 ${utf16} kB, ratio $(awk "BEGIN{printf \"%.2f\", $me/$utf16}")"
    fi
    echo "$line"
  done
  echo "job $job scaling 16,000 -> 32,000 items: time x$(awk "BEGIN{printf \"%.2f\", $(cat "$work/median-$job-32000")/$(cat "$work/median-$job-16000")}")"
done

# Start-up: a script with no URL command against a program that does nothing.
printf 'REM\r\n' > "$work/empty.spt"
loops=200
t0=$(now); for ((i = 0; i < loops; i++)); do "$run" "$work/empty.spt"; done; t1=$(now)
for ((i = 0; i < loops; i++)); do "$build/bench/bench_bare_main"; done; t2=$(now)
echo "start-up: kelvane-run $(( (t1 - t0) / loops / 1000 )) us, bare program $(( (t2 - t1) / loops / 1000 )) us per run"
