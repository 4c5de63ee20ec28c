#!/bin/sh
# kelvane-run with a history on a PostgreSQL server (run by with-postgres.sh):
# the bundled example recorded three times and exported, four writers at
# once, runs kept in the spool while the server is down and sent once it is
# back, a history copied over and back; the password in no output.
# Usage: server_history.sh KELVANE_RUN EXAMPLES_FOLDER
set -u
program=$1
examples=$2
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
export XDG_STATE_HOME="$work/state"  # the spool of runs without settings
failures=0
fail() { echo "FAIL: $*"; failures=$((failures + 1)); }
expect() { [ "$2" = "$3" ] || fail "$1: expected '$3', got '$2'"; }

password=${PGPASSWORD:-not-needed-here}
unset PGPASSWORD  # the address alone must carry it
url="postgresql://${PGUSER}:${password}@${PGHOST}:${PGPORT:-5432}/postgres"
script=$examples/prices.spt
page=$work/p.html
sed 's/￥298/￥318/' "$examples/prices.html" > "$work/raised.html"
rows() { PGPASSWORD=$password psql -XAtq -d "$url" -c "SELECT count(*) $1" 2>&1; }
run() { "$program" --history "$url" --page "$page" "$@" "$script" >>"$work/out" 2>>"$work/err"; }
run_err() { "$program" --history "$url" --page "$page" "$script" >>"$work/out" 2>"$1"; }

# The example over a changing page, three times, then the export.
for p in prices.html raised.html raised.html; do
  cp "$examples/$p" "$page" 2>/dev/null || cp "$work/$p" "$page"
  run; expect "run over $p" $? 0
done
"$program" --history "$url" --export csv >"$work/csv" 2>>"$work/err"
expect "export" $? 0
column=$(tr -d '\r' <"$work/csv" | awk -F, 'NR == 1 { for (i = 1; i <= NF; i++) if ($i == "みかん（有田）") c = i }
  NR > 1 { printf "%s ", $c }')
expect "みかん column" "$column" "298 318 318 "

# Four writers at once, 25 runs each.
for w in 1 2 3 4; do run --runs 25 & done
wait
expect "rows after four writers" "$(rows 'FROM kelvane.runs')" 103
run; expect "one more run" $? 0

# The server stopped: two runs end normally and say they were kept.
sh -c "$KELVANE_PG_STOP" >/dev/null 2>&1 || fail "cannot stop the server"
for k in 1 2; do
  run_err "$work/kept"; expect "run $k with the server down" $? 0
  grep -q "is kept in" "$work/kept" || fail "run $k does not say it was kept: $(cat "$work/kept")"
  cat "$work/kept" >>"$work/err"
done
sh -c "$KELVANE_PG_START" >/dev/null 2>&1 || fail "cannot start the server"
"$program" --history "$url" --export csv 2>"$work/wait" >/dev/null
grep -q "^kelvane-run: 2 runs wait in " "$work/wait" || fail "export does not count the spool: $(cat "$work/wait")"
cat "$work/wait" >>"$work/err"
run; expect "the run after the server is back" $? 0
expect "rows after the spool was sent" "$(rows 'FROM kelvane.runs')" 107
expect "the kept runs sent in order, before the new one" "$(rows "FROM (SELECT start, lag(start) OVER (ORDER BY id) AS before FROM kelvane.runs ORDER BY id DESC LIMIT 3) AS t WHERE start < before")" 0
expect "runs sent twice" "$(rows 'FROM (SELECT uid FROM kelvane.runs GROUP BY uid HAVING count(*) > 1) AS twice')" 0
"$program" --history "$url" --export csv 2>"$work/wait" >/dev/null
expect "spool after sending" "$(cat "$work/wait")" ""

# Copied into a file and back into a fresh server schema, twice each.
"$program" --history "$url" --copy-to "$work/copy.sqlite" 2>>"$work/err"; expect "copy to a file" $? 0
"$program" --history "$url" --copy-to "$work/copy.sqlite" 2>"$work/again"; expect "copy again" $? 0
expect "second copy" "$(cat "$work/again")" "kelvane-run: 0 runs copied to $work/copy.sqlite"
PGPASSWORD=$password psql -XAtq -d "$url" -c "SET client_min_messages = warning; DROP SCHEMA kelvane CASCADE" >/dev/null
"$program" --history "$work/copy.sqlite" --copy-to "$url" 2>>"$work/err"; expect "copy back" $? 0
expect "rows copied back" "$(rows 'FROM kelvane.runs')" 107
"$program" --history "$url" --export csv >"$work/csv2" 2>>"$work/err"
expect "first rows after the copies" "$(head -4 "$work/csv2")" "$(cat "$work/csv")"

# A watch whose settings name the server without its password, the password
# in Kelvane.secrets beside them: --watch records there; --settings shows the
# line as it is, and the password stays in the secrets file alone.
mkdir "$work/watch"
cnf=$work/watch/Kelvane.cnf
{ printf '%s\r\n' 3915 7410 0 0 "" 10 0 "" 0 0 "" "" "" "" 9 "$script" \
    -2147483643 -2147483640 Sans False False 8 0 fixed \
    "history=postgresql://${PGUSER}@${PGHOST}:${PGPORT:-5432}/postgres"; } >"$cnf"
printf 'history_password=%s\n' "$password" >"$work/watch/Kelvane.secrets"
"$program" --watch "$cnf" --runs 1 --page "$page" >>"$work/out" 2>>"$work/err"
expect "a run of the watch" $? 0
expect "rows after the watch's run" "$(rows "FROM kelvane.runs WHERE watch = 'watch'")" 1
"$program" --settings "$cnf" 2>>"$work/err" | tr -d '\r' >"$work/printed"
grep -qx "history=postgresql://${PGUSER}@${PGHOST}:${PGPORT:-5432}/postgres" "$work/printed" ||
  fail "--settings does not show the history: $(tail -2 "$work/printed")"
cat "$work/printed" >>"$work/out"
if grep -qF -- "$password" "$cnf"; then fail "the password is in Kelvane.cnf"; fi

# An address libpq cannot read is refused, and libpq's echo of it is masked.
"$program" --history "postgresql://${PGUSER}:${password}@[bad/x" --page "$page" "$script" \
  >/dev/null 2>>"$work/err"
expect "an address that cannot be read" $? 2

# The password appears in no output.
if grep -qF -- "$password" "$work/out" "$work/err"; then fail "the password was printed"; fi
grep -q ':\*\*\*@' "$work/err" || fail "no masked address was shown: $(head -3 "$work/err")"

[ $failures -eq 0 ] && echo "server history: all checks passed"
exit $((failures > 0))
