#!/usr/bin/env bash
# Runs the fuzz targets of a build made with -DKELVANE_FUZZ=ON (clang).
#
#   tools/fuzz.sh run [SECONDS] [TARGET...]   fuzz each target from its kept
#       corpus (fuzz/corpus/<target>/), SECONDS in all (default 280) shared
#       equally, with fuzz/<target>.dict when there is one; new inputs go to
#       $BUILD/corpus/<target>/, findings to $BUILD/.
#   tools/fuzz.sh merge [TARGET...]   minimise fuzz/corpus/<target>/ together
#       with what the runs added, in place (then commit it). Entries with a
#       name of their own (sample inputs, past findings) are always kept.
#
# Targets are the folders of fuzz/corpus; the program for target T is
# $BUILD/fuzz/T_fuzz. BUILD defaults to build-fuzz.
set -euo pipefail
cd "$(dirname "$0")/.."
build=${BUILD:-build-fuzz}
mode=${1:-run}
shift || true

limits=(-max_len=4096 -timeout=10 -rss_limit_mb=1024 -malloc_limit_mb=256)

case "$mode" in
  run)
    seconds=${1:-280}
    shift || true
    ;;
  merge) ;;
  *)
    echo "usage: tools/fuzz.sh run [SECONDS] [TARGET...] | merge [TARGET...]" >&2
    exit 2
    ;;
esac

targets=("$@")
if [ ${#targets[@]} -eq 0 ]; then
  for dir in fuzz/corpus/*/; do targets+=("$(basename "$dir")"); done
fi

for t in "${targets[@]}"; do
  program="$build/fuzz/${t}_fuzz"
  [ -x "$program" ] || { echo "fuzz.sh: $program is not built" >&2; exit 2; }
  mkdir -p "$build/corpus/$t"
  dict=()
  [ -f "fuzz/$t.dict" ] && dict=(-dict="fuzz/$t.dict")
  if [ "$mode" = run ]; then
    log="$build/fuzz-$t.log"
    echo "== $t: $((seconds / ${#targets[@]})) s"
    status=0
    "$program" "${limits[@]}" "${dict[@]}" -max_total_time=$((seconds / ${#targets[@]})) \
      -print_final_stats=1 -artifact_prefix="$build/" "$build/corpus/$t" "fuzz/corpus/$t" \
      >"$log" 2>&1 || status=$?
    grep -E '^(#[0-9]+[[:space:]]+DONE|stat::(number_of|average|new_units|peak))' "$log" || true
    if [ $status -ne 0 ]; then
      tail -n 60 "$log"
      echo "fuzz.sh: $t found a fault (exit status $status); the input is in $build/" >&2
      exit 1
    fi
  else
    # Named entries (sample inputs, past findings) stay; the rest, named by
    # their hash, is minimised to what adds coverage beyond them.
    merged=$(mktemp -d)
    find "fuzz/corpus/$t" -type f ! -regex '.*/[0-9a-f]\{40\}' -exec cp {} "$merged"/ \;
    "$program" "${limits[@]}" -merge=1 "$merged" "fuzz/corpus/$t" "$build/corpus/$t" 2>&1 |
      grep -E 'MERGE-OUTER: [0-9]+ new files' || true
    rm -f "fuzz/corpus/$t"/*
    cp "$merged"/* "fuzz/corpus/$t"/
    rm -rf "$merged"
    echo "$t: $(ls "fuzz/corpus/$t" | wc -l) files"
  fi
done
