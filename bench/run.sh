#!/usr/bin/env bash
# Engine benchmark: kelvane-run against a plain C++ program doing the same
# job, on generated listing pages of 4,000 items (about 1 MB) and 32,000
# items (about 8 MB). Job a walks the list (GHC in a loop), job b extracts
# name and price of every item. Times are interleaved medians; instruction
# counts (callgrind) are taken on the 1 MB page, peak memory on the 8 MB one.
# Then a marker search at its worst: one line over 1 MiB with a marker of
# 20,001 characters that almost matches everywhere.
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
ratio() { awk "BEGIN{printf \"%.2f\", $1/$2}"; }

sizes=(4000 32000)
for items in "${sizes[@]}"; do
  "$build/bench/bench_gen_page" $items > "$work/page$items.html"
  for job in a b; do
    sed "s/ITEMS/$items/" "$here/job-$job.spt" > "$work/job-$job-$items.spt"
  done
done

echo "page sizes: $(stat -c %s "$work/page4000.html") and $(stat -c %s "$work/page32000.html") bytes"
for job in a b; do
  for items in "${sizes[@]}"; do
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
    line="job $job, $items items: kelvane-run ${te} us, plain ${tp} us, time ratio $(ratio $te $tp)"
    if [ "$items" = 4000 ]; then
      ie=$(instructions "$run" --page "$page" "$script"); ip=$(instructions "$plain" $job "$page")
      line="$line; instructions $ie vs $ip, ratio $(ratio $ie $ip)"
    else
      me=$(peak_kb "$run" --page "$page" "$script"); mp=$(peak_kb "$plain" $job "$page")
      utf16=$(( $(iconv -f utf-8 -t utf-16le "$page" | wc -c) / 1024 ))
      line="$line; peak memory ${me} kB vs ${mp} kB, page as UTF-16 ${utf16} kB, ratio $(ratio $me $utf16)"
    fi
    echo "$line"
  done
  echo "job $job scaling 4,000 -> 32,000 items: time x$(ratio "$(cat "$work/median-$job-32000")" "$(cat "$work/median-$job-4000")")"
done

# The worst case of a marker search, against the same run with a marker that
# is found at once.
head -c 1048576 /dev/zero | tr '\0' a > "$work/aaa.html"
marker=$(head -c 20000 /dev/zero | tr '\0' a)
printf 'GETA\tHT\tV1\t"%sb"\r\n' "$marker" > "$work/near.spt"
printf 'GETA\tHT\tV1\t"%s"\r\n' "$marker" > "$work/found.spt"
: > "$work/t-near"; : > "$work/t-found"
for ((i = 0; i < repeats; i++)); do
  t0=$(now); "$run" --page "$work/aaa.html" "$work/near.spt"; t1=$(now)
  "$run" --page "$work/aaa.html" "$work/found.spt"; t2=$(now)
  echo $(( (t1 - t0) / 1000 )) >> "$work/t-near"
  echo $(( (t2 - t1) / 1000 )) >> "$work/t-found"
done
tn=$(median < "$work/t-near"); tf=$(median < "$work/t-found")
echo "near-miss marker of 20,001 characters over 1 MiB: ${tn} us, same run with the marker found: ${tf} us, search alone about $(( tn - tf )) us"

# Start-up: a script with no URL command against a program that does nothing.
printf 'REM\r\n' > "$work/empty.spt"
loops=200
t0=$(now); for ((i = 0; i < loops; i++)); do "$run" "$work/empty.spt"; done; t1=$(now)
for ((i = 0; i < loops; i++)); do "$build/bench/bench_bare_main"; done; t2=$(now)
echo "start-up: kelvane-run $(( (t1 - t0) / loops / 1000 )) us, bare program $(( (t2 - t1) / loops / 1000 )) us per run"
