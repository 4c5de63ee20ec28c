#!/bin/sh
# tools/check-tree.sh on a small tree of its own: a tree that breaks each rule
# once is refused with every break named, and the same tree put right passes.
set -eu
check=$(cd "$(dirname "$0")/../.." && pwd)/tools/check-tree.sh
tree=$(mktemp -d)
trap 'rm -rf "$tree"' EXIT
cd "$tree"
mkdir -p src/low src/mid src/top src/extra
cat > README.md <<'END'
The layers, from the bottom:

```
src/low          the bottom
src/mid, src/top side by side
```
END
printf '#include "mid/m.h"\n' > src/low/up.h         # points up
printf '#include "top/t.h"\n' > src/mid/sideways.h   # points sideways
printf '#include "low/ok.h"\n' > src/top/t.h         # points down: fine
printf '#include <QString>\n' > src/mid/m.h          # Qt below the window
printf 'int x;\n' > src/extra/e.h                    # a folder the layout lacks
git init -q . && git add -A

out=$(CLANG_FORMAT=/nonexistent/clang-format sh "$check" . 2>&1) && {
  echo "a broken tree passed"; exit 1; }
for expected in 'src/extra is missing' 'src/low/up.h:1 (low includes mid)' \
  'src/mid/sideways.h:1 (mid includes top)' 'not allowed: src/mid/m.h' \
  'clang-format is not installed'; do
  case $out in *"$expected"*) ;; *) echo "not reported: $expected"; echo "$out"; exit 1 ;; esac
done
case $out in *'src/top/t.h'*) echo "a downward include was refused"; echo "$out"; exit 1 ;; esac

rm -r src/extra src/low/up.h src/mid/sideways.h
printf 'int m;\n' > src/mid/m.h
git add -A
CLANG_FORMAT=true sh "$check" . || { echo "a sound tree was refused"; exit 1; }
