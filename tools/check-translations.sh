#!/bin/sh
# Fails when a translation file lacks a text of the sources or leaves one
# unfinished: a copy of the .ts is brought up to date with the sources, then
# compiled; no text may be left unfinished.
# Usage: check-translations.sh LUPDATE LRELEASE FILE.ts SOURCE_DIR...
set -eu
lupdate=$1 lrelease=$2 ts=$3
shift 3
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
cp "$ts" "$work/check.ts"
"$lupdate" -silent -source-language ja -no-obsolete -locations none -extensions cpp,h \
  "$@" -ts "$work/check.ts"
"$lrelease" "$work/check.ts" -qm "$work/check.qm"
# lrelease counts an unfinished text with a translation as "unfinished" and
# one without as "untranslated"; lupdate marks both.
unfinished=$(grep -c 'type="unfinished"' "$work/check.ts" || true)
if [ "$unfinished" -ne 0 ]; then
  echo "check-translations: $unfinished texts of $(basename "$ts") are not translated:" >&2
  grep -B2 'type="unfinished"' "$work/check.ts" | sed -n 's/.*<source>\(.*\)<\/source>.*/  \1/p' >&2
  exit 1
fi
