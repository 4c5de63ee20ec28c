#!/bin/sh
# The history on a PostgreSQL server on 127.0.0.1 against a SQLite file and
# no history: the time a run's recording adds, checks per second per core of
# kelvane-run, and 8 writers x 500 runs at once, none lost. Starts its own
# server (tests/support/with-postgres.sh); NICE="nice -n -20" keeps a busy
# machine from deciding the figures. Usage: bench/server_history.sh BUILD [RUNS]
set -eu
here=$(cd "$(dirname "$0")" && pwd)
if [ -z "${PGHOST:-}" ]; then
  exec sh "$here/../tests/support/with-postgres.sh" sh "$0" "$@"
fi
build=$(cd "${1:?usage: bench/server_history.sh BUILD [RUNS]}" && pwd)
runs=${2:-500}
program=$build/src/cli/kelvane-run
examples=$here/../examples
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
url="postgresql://${PGUSER}@${PGHOST}:${PGPORT:-5432}/postgres"

# With NICE, the server (the postmaster, whose processes inherit it) too.
if [ -n "${NICE:-}" ]; then
  data=$(psql -XAtq -d "$url" -c "SHOW data_directory")
  renice -n -20 -p "$(head -n 1 "$data/postmaster.pid")" >/dev/null || true
fi

# The server's processor time in clock ticks: the postmaster, its children
# that ended (the connection's) and those still there.
pm=$(head -n 1 "$(psql -XAtq -d "$url" -c "SHOW data_directory")/postmaster.pid")
ticks() {
  t=$(awk '{ print $14 + $15 + $16 + $17 }' "/proc/$pm/stat")
  for c in $(pgrep -P "$pm"); do
    t=$((t + $(awk '{ print $14 + $15 }' "/proc/$c/stat" 2>/dev/null || echo 0)))
  done
  echo "$t"
}
# Wall and CPU seconds of one kelvane-run --runs RUNS over the example, and
# the server's CPU seconds meanwhile.
timed() {
  before=$(ticks)
  /usr/bin/time -f "%e %U %S" -o "$work/t" ${NICE:-} "$program" --runs "$runs" --page "$examples/prices.html" \
    "$@" "$examples/prices.spt" >/dev/null
  sleep 0.2  # the connection's process ends
  echo "$(cat "$work/t") $(echo "($(ticks) - $before) / $(getconf CLK_TCK)" | bc -l)"
}
report() {  # name, wall cpu-user cpu-sys server-cpu, wall of the run without history
  echo "$1 $2 $3 $4 $5 $6" | awk -v runs="$runs" '{
    cpu = $3 + $4 + ($1 == "server" ? $5 : 0); per = ($2 - $6) * 1000 / runs
    printf "%-8s %6.2f s wall, %6.3f ms per run added by recording, %7.0f checks per second per core",
      $1, $2, per, runs / (cpu > 0 ? cpu : 1e-9)
    if ($1 == "server") printf " (the server'"'"'s %.2f s counted)", $5
    printf "\n" }'
}
timed >/dev/null  # warm
set -- $(timed); none_wall=$1; report none "$1" "$2" "$3" 0 "$none_wall"
set -- $(timed --history "$work/h.sqlite"); report sqlite "$1" "$2" "$3" 0 "$none_wall"
set -- $(timed --history "$url"); report server "$1" "$2" "$3" "$4" "$none_wall"

# 8 writers x 500 runs at once into the server: none lost.
psql -XAtq -d "$url" -c "SET client_min_messages = warning; DROP SCHEMA kelvane CASCADE"
start=$(date +%s.%N)
for w in 1 2 3 4 5 6 7 8; do
  "$program" --runs 500 --page "$examples/prices.html" --history "$url" "$examples/prices.spt" \
    >/dev/null 2>"$work/err$w" &
done
wait
end=$(date +%s.%N)
rows=$(psql -XAtq -d "$url" -c "SELECT count(*) FROM kelvane.runs")
echo "8 writers x 500 runs: $rows rows (4000 expected) in $(echo "$end - $start" | bc) s"
[ "$rows" = 4000 ]
