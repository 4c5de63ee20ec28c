#!/bin/sh
# The picker (kelvane-run --suggest): how often its scripts cut pieces of the
# HTML documentation installed under /usr/share/doc, also after the piece's
# value changed, and its time on a 1 MB page against one plain run of the
# script it prints; then the workbench's preview of the bundled example
# after an edit (a build with Qt).   bench/suggest.sh BUILD
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
if [ -x "$build/bench/bench_workbench_preview" ]; then
  echo "== the workbench's preview of the bundled example after an edit"
  cp examples/prices.spt "$tmp/prices.spt"
  QT_QPA_PLATFORM=offscreen "$build/bench/bench_workbench_preview" "$tmp/prices.spt" examples/prices.html
fi
