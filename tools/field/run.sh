#!/usr/bin/env bash
# The field harness: the real kelvane under Xvfb with openbox, against a local
# web server that misbehaves (see harness.py for what it checks).
#   tools/field/run.sh [path/to/kelvane] [output folder] [scenario...]
# Scenarios named run alone (harness.py --only), e.g. cache.
# The window test run under weston (Wayland) is taken from the same build
# tree. Screenshots, settings files, logs and the program's output stay in the
# output folder. Qt WebEngine runs without its sandbox, as tests do as root.
set -euo pipefail
here="$(cd "$(dirname "$0")" && pwd)"
kelvane="$(realpath "${1:-build/src/app/kelvane}")"
places_test="$(realpath -m "$(dirname "$kelvane")/../../tests/ui/form1_places_test")"
out="$(realpath -m "${2:-build/field}")"
shift 2 || shift $#
[ -x "$kelvane" ] || { echo "run.sh: no program at $kelvane" >&2; exit 2; }
for tool in Xvfb xvfb-run openbox weston xdotool xwininfo xprop import convert python3; do
  command -v "$tool" >/dev/null || { echo "run.sh: $tool is missing (tools/install-deps.sh)" >&2; exit 2; }
done
rm -rf "$out"
mkdir -p "$out"
export QTWEBENGINE_DISABLE_SANDBOX=1
unset QT_QPA_PLATFORM

python3 "$here/server.py" --ports-file "$out/ports" --lifetime 560 &
server=$!
trap 'kill $server 2>/dev/null || true' EXIT
for _ in $(seq 50); do [ -s "$out/ports" ] && break; sleep 0.1; done

# One X server with a real window manager; the whole run is bounded in time.
timeout 520 xvfb-run -a -s "-screen 0 1280x1024x24 -nolisten tcp" \
  bash -c 'openbox >"$1/openbox.log" 2>&1 & sleep 1; python3 "$2/harness.py" --kelvane "$3" --out "$1" --ports-file "$1/ports" --places-test "$4" ${5:+--only $5}' \
  field "$out" "$here" "$kelvane" "$places_test" "$*"
