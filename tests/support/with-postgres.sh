#!/bin/sh
# Runs a command beside a throwaway PostgreSQL server, named to it by PGHOST,
# PGPORT, PGUSER and PGPASSWORD as libpq reads them; KELVANE_PG_STOP and
# KELVANE_PG_START stop and start the server again. pg_virtualenv (from
# postgresql-common) when there, its cluster in a temporary folder even as
# root and on a port of its own, so that test runs side by side (or one
# killed half way) never meet; else initdb into a temporary folder (not as
# root). Without either, one line says so and the status is 77 (skipped).
set -u
port=$((50000 + $$ % 10000))
if command -v pg_virtualenv >/dev/null 2>&1; then
  exec pg_virtualenv -t -c "-p $port" -- sh -c '
    export KELVANE_PG_STOP="pg_ctlcluster $PGVERSION regress stop"
    export KELVANE_PG_START="pg_ctlcluster $PGVERSION regress start"
    exec "$@"' with-postgres "$@"
fi
bin=$(ls -d /usr/lib/postgresql/*/bin 2>/dev/null | sort -V | tail -n 1)
if [ -n "$bin" ] && [ -x "$bin/initdb" ] && [ "$(id -u)" -ne 0 ]; then
  dir=$(mktemp -d)
  trap '"$bin/pg_ctl" -D "$dir/data" -m immediate stop >/dev/null 2>&1; rm -rf "$dir"' EXIT
  "$bin/initdb" -D "$dir/data" -U postgres --auth=trust >/dev/null || exit 1
  export PGHOST=127.0.0.1 PGPORT=$port PGUSER=postgres
  export KELVANE_PG_START="$bin/pg_ctl -D $dir/data -o '-p $port -k $dir' -w -l $dir/log start"
  export KELVANE_PG_STOP="$bin/pg_ctl -D $dir/data -m fast -w stop"
  sh -c "$KELVANE_PG_START" >/dev/null || exit 1
  "$@"
  exit $?
fi
echo "skipped: no PostgreSQL server can be started here (neither pg_virtualenv nor initdb as a user)"
exit 77
