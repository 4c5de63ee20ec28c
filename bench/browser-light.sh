#!/usr/bin/env bash
# What a listing page's images and prefetch links cost kelvane-run's browser:
# one `--fetch browser --wait 0` load of a 1 MB listing page with an image
# and a <link rel=prefetch> after most items, against the same page with
# them taken out, in turns (A B A B ...), each served by Python's HTTP server
# on 127.0.0.1 (which answers the images and links with 404, as a slow
# server would have to answer them at all). Prints the medians of the whole
# process time and of the peak RSS of kelvane-run's own process, and their
# ratio; both variants must print the same display.
# Usage: bench/browser-light.sh [BUILD_DIR|KELVANE_RUN] [REPEATS] [PAGE]
#   PAGE: a page of your own (its <img> and <link> tags make the bare
#   variant), walked over its first 4000 <li> items
set -euo pipefail
here=$(cd "$(dirname "$0")" && pwd)
given=${1:-$here/../build}
repeats=${2:-7}
page=${3:-}
run=$given
[ -d "$given" ] && run=$given/src/cli/kelvane-run
gen=$here/../build/bench/bench_gen_page
[ -d "$given" ] && gen=$given/bench/bench_gen_page
work=$(mktemp -d)
server=
trap '[ -n "$server" ] && kill "$server" 2>/dev/null; rm -rf "$work"' EXIT

if [ "$(id -u)" = 0 ]; then export QTWEBENGINE_DISABLE_SANDBOX=1; fi
export QT_QPA_PLATFORM=${QT_QPA_PLATFORM:-offscreen}

if [ -n "$page" ]; then
  cp "$page" "$work/heavy.html"
else
  # Two items in three get an image, and as many a prefetch link.
  "$gen" 4000 | awk '{print} tolower($0) ~ /<li class="item">/ && NR % 3 {
    printf "<img src=\"/img/%d.jpg\" alt=\"\"><link rel=\"prefetch\" href=\"/item/%d\">\n", NR, NR}' \
    > "$work/heavy.html"
fi
sed -E 's/<(img|link)( [^>]*)?>//gI' "$work/heavy.html" > "$work/bare.html"
echo "page: $(grep -oi '<img' "$work/heavy.html" | wc -l) images," \
  "$(grep -oi '<link' "$work/heavy.html" | wc -l) links, $(wc -c < "$work/heavy.html") bytes"

port=$(python3 -c 'import socket;s=socket.socket();s.bind(("127.0.0.1",0));print(s.getsockname()[1])')
(cd "$work" && exec python3 -m http.server "$port" --bind 127.0.0.1 > /dev/null 2>&1) &
server=$!
for _ in $(seq 50); do
  python3 -c "import socket;socket.create_connection(('127.0.0.1',$port))" 2>/dev/null && break
  sleep 0.1
done
# Every item's text, one a line (the walk of the benchmark listing; a page
# of your own is walked from "<li>" to "</li>", as the shared listing's
# items are written).
item='<li class="item">'
[ -n "$page" ] && item='<li>'
walk() {
  printf 'URL\t"http://127.0.0.1:%s/%s.html"\r\nCLEAR\tD\r\nLOOP\t"4000"\r\n' "$port" "$1"
  printf 'GHC\tD\t"%s"\t"</li>"\r\nCR\tD\r\nLOOPEND\r\n' "$item"
}
walk heavy > "$work/heavy.spt"
walk bare > "$work/bare.spt"

median() { sort -n | awk '{a[NR]=$1} END {print (NR%2) ? a[(NR+1)/2] : (a[NR/2]+a[NR/2+1])/2}'; }
measure() {  # variant
  /usr/bin/time -f "%e %M" -o "$work/tm" "$run" --fetch browser --wait 0 "$work/$1.spt" \
    > "$work/out-$1" 2> /dev/null || echo "kelvane-run failed on the $1 page" >&2
  read -r s kb < "$work/tm"
  echo "$s" >> "$work/s-$1"
  echo "$kb" >> "$work/kb-$1"
}
measure bare  # warm-up
rm -f "$work"/s-* "$work"/kb-*
for ((i = 0; i < repeats; i++)); do
  measure heavy
  measure bare
done
cmp -s "$work/out-heavy" "$work/out-bare" || echo "THE TWO DISPLAYS DIFFER" >&2
echo "displays: $(wc -l < "$work/out-heavy") lines"
h=$(median < "$work/s-heavy") b=$(median < "$work/s-bare")
echo "browser load, median of $repeats: with images and links ${h} s, without ${b} s," \
  "ratio $(awk -v h="$h" -v b="$b" 'BEGIN{printf "%.2f", h / b}')"
echo "peak RSS of kelvane-run's process, median: with $(median < "$work/kb-heavy") kB," \
  "without $(median < "$work/kb-bare") kB"
