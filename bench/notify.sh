#!/bin/sh
# What follows a run on a 100,000-run history: deciding the rules, and
# starting a delivery through apprise. Usage: bench/notify.sh BUILD [RUNS]
set -eu
build=${1:?usage: bench/notify.sh BUILD [RUNS]}
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
"$build/bench/bench_notify" "$work" "${2:-100000}"
