#!/bin/sh
# Checks of the source tree's shape that a compiler does not make:
# - every folder of src/ has its place in the README's layout, and an include
#   from one folder to another points down that stack, never up or sideways;
# - Qt is included only where it is allowed (the list below);
# - the history store opened only by history/, run/ and the History window;
# - no window handler names below the window;
# - no source file grows past 450 lines;
# - clang-format finds nothing to change (and is there to ask).
# Usage: tools/check-tree.sh [TREE]   (TREE: the repository, by default this
# one; CLANG_FORMAT names another clang-format)
set -u
cd "${1:-$(dirname "$0")/..}" || exit 1
status=0
fail() { echo "check-tree: $*"; status=1; }

# The layers as the README's layout lists them, from the bottom: one line per
# row of the block that follows "The layers, from the bottom", "RANK FOLDER";
# folders named on one row ("src/app, src/cli") share a rank.
layers=$(awk '
  /^The layers, from the bottom/ { want = 1; next }
  want && /^```/ { if (inside) exit; inside = 1; next }
  inside && /^src\// {
    rank++
    row = $0
    while (match(row, /^src\/[a-z_]+(, *)?/)) {
      name = substr(row, 5, RLENGTH - 4); sub(/,.*/, "", name)
      print rank, name
      row = substr(row, RLENGTH + 1)
    }
  }' README.md)
[ -n "$layers" ] || fail "README.md has no layout block after \"The layers, from the bottom\""
rank_of() { echo "$layers" | awk -v f="$1" '$2 == f { print $1 }'; }

for dir in src/*/; do
  folder=$(basename "$dir")
  [ -n "$(rank_of "$folder")" ] || fail "src/$folder is missing from the README's layout"
done

# Every quoted include of another src/ folder, as "FILE:LINE FROM TO".
includes=$(find src -name '*.cpp' -o -name '*.h' | sort | xargs awk '
  match($0, /^#include *"[a-z_]+\//) {
    split(FILENAME, path, "/"); target = substr($0, RSTART, RLENGTH)
    sub(/^#include *"/, "", target); sub(/\/$/, "", target)
    if (target != path[2]) print FILENAME ":" FNR, path[2], target
  }')
wrong=$(echo "$includes" | while read -r where from to; do
  [ -n "$where" ] || continue
  rf=$(rank_of "$from"); rt=$(rank_of "$to")
  [ -n "$rf" ] && [ -n "$rt" ] || continue  # reported above
  [ "$rt" -lt "$rf" ] || echo "$where ($from includes $to)"
done)
[ -z "$wrong" ] || fail "includes pointing up or sideways in the layout: $wrong"

# Qt is allowed in the folders of the window and its browser, and in exactly
# these files of acquisition (kelvane_acquisition_qt): the waits that keep
# the event loop turning while a page loads, and Timer1 of the automatic
# update (a QTimer driving the Qt-free Scheduler). kelvane-run (src/cli)
# reaches Qt only through the page loader module it loads at run time.
qt_folders='src/platform/ src/pageloader/ src/ui/ src/app/'
qt_files='src/acquisition/qt_waits.h
src/acquisition/qt_waits.cpp
src/acquisition/update_timer.h
src/acquisition/update_timer.cpp'
qt=$(grep -rlE '^#include *[<"](Q|qt)' src | sort | while read -r file; do
  for folder in $qt_folders; do
    case $file in "$folder"*) continue 2 ;; esac
  done
  echo "$qt_files" | grep -qxF "$file" || echo "$file"
done)
[ -z "$qt" ] || fail "Qt included where it is not allowed: $qt"

# The history store is opened by the history itself, by the run layer (the
# one recorder of runs) and by the History window (which reads it); every
# other part goes through them (history::exportHistory, run::RunRecorder).
stores=$(grep -rlwE 'HistoryStore' src | grep -vE '^src/(history|run|ui/history)/' | sort)
[ -z "$stores" ] || fail "the history store opened outside history/, run/ and ui/history/: $stores"

# Handler names (Exec_Click, Timer1_Timer, Text4_Change, Form_Load...) in code,
# comments left aside, outside the window and the program's main().
handlers=$(find src -name '*.cpp' -o -name '*.h' | grep -v -E '^src/(ui|app)/' |
  xargs awk '{ sub(/\/\/.*$/, "") }
    /[A-Za-z]+[0-9]*_(Click|DblClick|Timer|Change|Load|Unload|Resize|MouseUp)([^A-Za-z0-9_]|$)/ {
      print FILENAME ":" FNR }')
[ -z "$handlers" ] || fail "window handler names below the window: $handlers"

long=$(find src tests bench fuzz tools -name '*.cpp' -o -name '*.h' 2>/dev/null | xargs wc -l |
  awk '$2 != "total" && $1 > 450 {print $2 " (" $1 " lines)"}')
[ -z "$long" ] || fail "source files over 450 lines: $long"

clang_format=${CLANG_FORMAT:-clang-format}
if command -v "$clang_format" > /dev/null 2>&1; then
  unformatted=$(git ls-files '*.cpp' '*.h' | xargs "$clang_format" --dry-run 2>&1 | grep -c 'warning:')
  [ "$unformatted" -eq 0 ] || fail "clang-format finds $unformatted places to reformat"
else
  fail "clang-format is not installed, so the formatting was not checked (tools/install-deps.sh installs it)"
fi

exit $status
