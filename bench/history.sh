#!/bin/sh
# The run history at 100,000 runs of the bundled example (figures against a
# run of the example). Usage: bench/history.sh BUILD [RUNS [SERIES]]
# (SERIES: a list of that many products instead of the example's display)
set -eu
build=${1:?usage: bench/history.sh BUILD [RUNS]}
here=$(cd "$(dirname "$0")" && pwd)
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
QT_QPA_PLATFORM=${QT_QPA_PLATFORM:-offscreen} "$build/bench/bench_history" "$here/../examples" "$work" "${2:-100000}" "${3:-0}"
