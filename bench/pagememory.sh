#!/usr/bin/env bash
# Browser memory over many loads: one kelvane-run loads a 1 MB listing page
# served on 127.0.0.1 LOADS times (--wait 0 --runs LOADS); the PSS of the
# process and its browser processes is sampled every second. "distinct"
# gives every load an address of its own, as a watcher of many pages sees.
# Usage: bench/pagememory.sh [BUILD_DIR] [LOADS] [same|distinct] [kelvane-run options...]
set -euo pipefail
here=$(cd "$(dirname "$0")" && pwd)
build=${1:-$here/../build}
loads=${2:-200}
addresses=${3:-same}
shift $(( $# > 3 ? 3 : $# ))
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

# Qt WebEngine will not start as root with its sandbox on; the benchmark
# (never the program) turns it off in that case, as the tests do.
if [ "$(id -u)" = 0 ]; then export QTWEBENGINE_DISABLE_SANDBOX=1; fi

"$build/bench/bench_gen_page" 3900 > "$work/list.html"
"$build/bench/bench_pagememory" "$build/src/cli/kelvane-run" "$work/list.html" "$loads" "$addresses" \
  --wait 0 "$@"
