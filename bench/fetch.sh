#!/usr/bin/env bash
# Direct fetch benchmark: a 1 MB listing page served over HTTP on 127.0.0.1,
# walked by a LOOP/GHC script, loaded with --fetch direct, --fetch browser
# and --fetch auto (remembered in a history as a page without scripts), and
# read from disk with --page; interleaved runs, medians of the whole process
# time and peak RSS. The direct fetch and auto must print what the browser
# path prints.
# Usage: bench/fetch.sh [BUILD_DIR] [REPEATS] [ITEMS]   (build first)
set -euo pipefail
here=$(cd "$(dirname "$0")" && pwd)
build=${1:-$here/../build}
repeats=${2:-11}
items=${3:-4000}
run=$build/src/cli/kelvane-run
work=$(mktemp -d)
server=
trap '[ -n "$server" ] && kill "$server" 2>/dev/null; rm -rf "$work"' EXIT

if [ "$(id -u)" = 0 ]; then export QTWEBENGINE_DISABLE_SANDBOX=1; fi
export QT_QPA_PLATFORM=${QT_QPA_PLATFORM:-offscreen}

"$build/bench/bench_gen_page" "$items" > "$work/page.html"
mkfifo "$work/keep"
"$build/bench/bench_serve_file" "$work/page.html" "text/html" < "$work/keep" > "$work/port" &
server=$!
exec 3> "$work/keep"  # the server runs while this stays open
for _ in $(seq 50); do [ -s "$work/port" ] && break; sleep 0.1; done
port=$(cat "$work/port")
sed "s/ITEMS/$items/" "$here/job-a.spt" > "$work/walk.spt"
{ printf 'URL\t"http://127.0.0.1:%s/page.html"\r\n' "$port"; cat "$work/walk.spt"; } > "$work/url.spt"

median() { sort -n | awk '{a[NR]=$1} END {print (NR%2) ? a[(NR+1)/2] : (a[NR/2]+a[NR/2+1])/2}'; }
measure() {  # name, then the command; appends seconds and peak kB
  local name=$1; shift
  /usr/bin/time -f "%e %M %U %S" -o "$work/tm" "$@" > "$work/out-$name" 2> /dev/null || true
  read -r s kb user sys < "$work/tm"
  echo "$s" >> "$work/s-$name"; echo "$kb" >> "$work/kb-$name"
  echo "$user $sys" | awk '{print $1 + $2}' >> "$work/cpu-$name"
}
load_before=$(cut -d' ' -f1 /proc/loadavg)
"$run" --fetch auto --history "$work/h.sqlite" --wait 0 "$work/url.spt" > /dev/null
for ((i = 0; i < repeats; i++)); do
  measure direct "$run" --fetch direct --wait 0 "$work/url.spt"
  measure browser "$run" --fetch browser --wait 0 "$work/url.spt"
  measure page "$run" --page "$work/page.html" "$work/walk.spt"
  # After its first run (in the warm-up below), the page is remembered as
  # one without scripts.
  measure auto "$run" --fetch auto --history "$work/h.sqlite" --wait 0 "$work/url.spt"
done
bytes=$(stat -c %s "$work/page.html")
echo "page: $bytes bytes, $items items; $repeats interleaved runs each, medians;" \
  "load average before and after: $load_before / $(cut -d' ' -f1 /proc/loadavg)"
for name in direct browser page auto; do
  echo "  $name: $(median < "$work/s-$name") s whole process ($(median < "$work/cpu-$name") s CPU)," \
    "peak RSS $(median < "$work/kb-$name") kB, $(wc -c < "$work/out-$name") bytes printed"
done
if cmp -s "$work/out-direct" "$work/out-browser"; then
  echo "  --fetch direct prints the same as --fetch browser"
else
  echo "  --fetch direct and --fetch browser print DIFFERENT output"; exit 1
fi
cmp -s "$work/out-direct" "$work/out-auto" || { echo "  --fetch auto prints DIFFERENT output"; exit 1; }
echo "  --fetch auto / --fetch direct: $(awk -v a="$(median < "$work/s-auto")" \
  -v d="$(median < "$work/s-direct")" 'BEGIN{printf "%.2f", a / d}')x whole process time"
