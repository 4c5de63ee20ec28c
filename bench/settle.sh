#!/usr/bin/env bash
# kelvane-run --settle auto against the fixed settle wait: the bundled example
# served over HTTP at wait 8, and pages that add content after their load or
# never stop changing.
# Usage: bench/settle.sh [BUILD_DIR] [REPEATS]   (build first: cmake --build BUILD_DIR)
set -euo pipefail
here=$(cd "$(dirname "$0")" && pwd)
build=${1:-$here/../build}
# Qt WebEngine will not start as root with its sandbox on; the benchmark
# (never the program) turns it off in that case, as the tests do.
if [ "$(id -u)" = 0 ]; then export QTWEBENGINE_DISABLE_SANDBOX=1; fi
"$build/bench/bench_settle" "$build/src/cli/kelvane-run" "$here/../examples" "${2:-5}"
