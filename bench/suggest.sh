#!/bin/sh
# The picker (kelvane-run --suggest): how often its scripts cut pieces of the
# HTML documentation installed under /usr/share/doc, also after the piece's
# value changed, and its time on a 1 MB page against one plain run of the
# script it prints; the list picker on a 1 MB shop page, in the process and
# as kelvane-run --suggest NAME --list; then the workbench's preview of the
# bundled example after an edit (a build with Qt).   bench/suggest.sh BUILD
set -eu
build=${1:-build}
tmp=$(mktemp -d)
trap 'rm -rf "$tmp"' EXIT
find /usr/share/doc -name '*.html' -size +2k -size -3M | sort > "$tmp/pages"
echo "== pieces of $(wc -l < "$tmp/pages") documentation pages"
xargs "$build/bench/bench_suggest_corpus" --per-page 20 < "$tmp/pages"
"$build/bench/bench_gen_page" 4200 > "$tmp/page.html"
echo "== a $(wc -c < "$tmp/page.html")-byte page"
# The first item, a price near the end, and an item that occurs many times.
"$build/bench/bench_suggest_speed" "$tmp/page.html" "北海道産 じゃがいも 第0便"
"$build/bench/bench_suggest_speed" "$tmp/page.html" "￥8395"
"$build/bench/bench_suggest_speed" "$tmp/page.html" "在庫あり・本日発送" 4000
echo "== the list picker on a 1 MB shop page (a sidebar repeating a product, generated ids)"
"$build/bench/bench_list_pick_speed"
"$build/bench/bench_list_pick_speed" --write-page "$tmp/shop.html"
# kelvane-run --suggest NAME --list as a whole process: medians of 9 runs.
for run in 1 2 3 4 5 6 7 8 9; do
  /usr/bin/time -a -o "$tmp/times" -f '%e %U %S' "$build/src/cli/kelvane-run" \
    --page "$tmp/shop.html" --suggest '商品 5 号 5kg' --list > /dev/null 2>&1
done
median() { sort -n | sed -n 5p; }
echo "  kelvane-run --suggest NAME --list: $(cut -d' ' -f1 < "$tmp/times" | median) s," \
  "processor time $(awk '{ print $2 + $3 }' "$tmp/times" | median) s (medians of 9)"
if [ -x "$build/bench/bench_workbench_preview" ]; then
  echo "== the workbench's preview of the bundled example after an edit"
  cp examples/prices.spt "$tmp/prices.spt"
  QT_QPA_PLATFORM=offscreen "$build/bench/bench_workbench_preview" "$tmp/prices.spt" examples/prices.html
fi
