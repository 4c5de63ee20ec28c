#!/bin/sh
# Installs what Kelvane needs to build, test and run on Debian 12.
set -eu
packages="cmake ninja-build g++ clang clang-format libclang-rt-14-dev pkg-config
  libicu-dev libcli11-dev nlohmann-json3-dev libgtest-dev libgmock-dev libbenchmark-dev
  libcurl4-openssl-dev libgumbo-dev zlib1g-dev
  qt6-base-dev qt6-webengine-dev libgl-dev libxcb1-dev
  fonts-ipaexfont-gothic xvfb xauth
  qt6-svg-dev dpkg-dev file desktop-file-utils appstream lintian man-db
  openbox xdotool imagemagick x11-utils python3 dbus-daemon
  libsqlite3-dev sqlite3 postgresql postgresql-common libpq-dev python3-yaml
  qt6-charts-dev libdtl-dev cmark libcmark-dev qt6-l10n-tools qt6-tools-dev
  weston qt6-wayland qt6-translations-l10n apprise"
missing=""
for p in $packages; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing="$missing $p"
done
[ -z "$missing" ] && exit 0
if [ "$(id -u)" -eq 0 ]; then sudo=""; else sudo="sudo"; fi
$sudo apt-get update -q
DEBIAN_FRONTEND=noninteractive $sudo apt-get install -y -q --no-install-recommends $missing
