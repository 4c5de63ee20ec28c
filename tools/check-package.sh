#!/bin/sh
# Builds the Debian package from a configured build folder and checks it: the
# menu entry, the AppStream metadata, lintian, and the unpacked programs
# (--version, the bundled example over its saved page and through a URL
# command, which needs the page loader module found beside the program).
# Usage: tools/check-package.sh BUILD_DIR   (the tree configured with
# -DCMAKE_INSTALL_PREFIX=/usr and built)
set -eu
build=$(cd "${1:?usage: check-package.sh BUILD_DIR}" && pwd)
top=$(cd "$(dirname "$0")/.." && pwd)
rm -f "$build"/kelvane_*.deb
(cd "$build" && cpack -G DEB >/dev/null)
deb=$(ls "$build"/kelvane_*.deb)
echo "package: $deb"

unpacked=$(mktemp -d)
trap 'rm -rf "$unpacked"' EXIT
dpkg-deb -x "$deb" "$unpacked"

fail() { echo "check-package: $*" >&2; exit 1; }

desktop-file-validate "$unpacked"/usr/share/applications/*.desktop
appstreamcli validate --no-net --pedantic "$unpacked"/usr/share/metainfo/*.metainfo.xml
lintian --fail-on error,warning --display-info "$deb"

# Both programs answer --version, the window without a display.
version=$(sed -n 's/^project(Kelvane VERSION \([0-9.]*\).*/\1/p' "$top"/CMakeLists.txt)
[ "$(env -u DISPLAY -u WAYLAND_DISPLAY "$unpacked"/usr/bin/kelvane --version)" = \
  "kelvane $version" ] || fail "kelvane --version"
[ "$("$unpacked"/usr/bin/kelvane-run --version)" = "kelvane-run $version" ] ||
  fail "kelvane-run --version"

# The bundled example from the documentation folder, as the manual shows it.
examples="$unpacked"/usr/share/doc/kelvane/examples
out="$unpacked/out.txt"
(cd "$examples" && "$unpacked"/usr/bin/kelvane-run --page prices.html prices.spt >"$out") ||
  fail "the example over its saved page"
cmp "$out" "$examples"/prices.expected.txt || fail "the example's display differs"
(cd "$examples" && QTWEBENGINE_DISABLE_SANDBOX=1 "$unpacked"/usr/bin/kelvane-run --wait 0 \
  prices-live.spt >"$out") || fail "the example's URL command"
cmp "$out" "$examples"/prices.expected.txt || fail "the page loaded by the URL command differs"
echo "check-package: all checks passed"
