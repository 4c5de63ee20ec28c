#!/bin/sh
# Checks of the source tree's shape that a compiler does not make: the layers
# below the window stay free of Qt and of the window's handler names, no
# source file grows past 450 lines, and clang-format finds nothing to change.
set -u
cd "$(dirname "$0")/.."
status=0
fail() { echo "check-tree: $*"; status=1; }

qt=$(grep -rlE '#include *<Q|#include *"Q' src/engine src/workbench src/textfile src/language src/numbers src/settings src/logging src/history 2>/dev/null)
[ -z "$qt" ] || fail "Qt included below the window: $qt"

# Handler names (Exec_Click, Timer1_Timer, Text4_Change, Form_Load...) in code,
# comments left aside, outside the window and the program's main().
handlers=$(find src -name '*.cpp' -o -name '*.h' | grep -v -E '^src/(ui|app)/' |
  xargs awk '{ sub(/\/\/.*$/, "") }
    /[A-Za-z]+[0-9]*_(Click|DblClick|Timer|Change|Load|Unload|Resize|MouseUp)([^A-Za-z0-9_]|$)/ {
      print FILENAME ":" FNR }')
[ -z "$handlers" ] || fail "window handler names below the window: $handlers"

long=$(find src tests bench fuzz tools -name '*.cpp' -o -name '*.h' | xargs wc -l |
  awk '$2 != "total" && $1 > 450 {print $2 " (" $1 " lines)"}')
[ -z "$long" ] || fail "source files over 450 lines: $long"

unformatted=$(git ls-files '*.cpp' '*.h' | xargs clang-format --dry-run 2>&1 | grep -c 'warning:')
[ "$unformatted" -eq 0 ] || fail "clang-format finds $unformatted places to reformat"

exit $status
