#!/usr/bin/env bash
# What each of the browser's memory measures saves: the memory benchmark with
# every measure on, then with each one switched off in turn (the page left
# between runs, the capped in-memory HTTP cache, one renderer process, what
# is only shown never asked for),
# interleaved round by round. Needs a measurement build, the only one that
# reads the switches:
#   cmake -S . -B build-measure -DKELVANE_MEASUREMENT_KNOBS=ON
#   cmake --build build-measure --target kelvane-run kelvane_pageloader bench_pagememory bench_gen_page
# Usage: bench/pagememory-measures.sh MEASUREMENT_BUILD_DIR [LOADS] [ROUNDS]
set -euo pipefail
here=$(cd "$(dirname "$0")" && pwd)
build=${1:?usage: bench/pagememory-measures.sh MEASUREMENT_BUILD_DIR [LOADS] [ROUNDS]}
loads=${2:-60}
rounds=${3:-1}
if ! grep -q '^KELVANE_MEASUREMENT_KNOBS:BOOL=ON' "$build/CMakeCache.txt"; then
  echo "$build is not a measurement build (-DKELVANE_MEASUREMENT_KNOBS=ON)" >&2
  exit 2
fi
for ((r = 1; r <= rounds; r++)); do
  for off in none KELVANE_WITHOUT_LEAVING_PAGE KELVANE_WITHOUT_CACHE_CAP KELVANE_WITHOUT_ONE_RENDERER \
    KELVANE_WITHOUT_SKIPPED_PARTS KELVANE_WITHOUT_ONE_TEMPLATE KELVANE_WITHOUT_HEAP_TRIM \
    KELVANE_WITHOUT_UNPAINTED_VIEW; do
    echo "== round $r, switched off: $off"
    env "$off=1" "$here/pagememory.sh" "$build" "$loads" same || echo "(exit status $?)"
  done
done
