#!/bin/sh
# Installs every Debian 12 package the build, the tests and the demo need.
# Safe to run again: packages already present are skipped.
set -e
PKGS="build-essential cmake libgtest-dev libgmock-dev libbenchmark-dev libsqlite3-dev
      qt6-base-dev libgl1-mesa-dev fonts-dejavu-core fonts-liberation2
      libdbd-xbase-perl python3 python3-dbfread poppler-utils xvfb xauth imagemagick
      qt6-translations-l10n strace pkg-config libxlsxwriter-dev zlib1g-dev python3-openpyxl libzip-dev libexpat1-dev
      libpodofo-dev libssl-dev libcurl4-openssl-dev python3-aiosmtpd
      mingw-w64 g++-mingw-w64-x86-64-posix googletest wine wine64 nsis"
missing=""
for p in $PKGS; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing="$missing $p"
done
if [ -n "$missing" ]; then
  SUDO=""
  [ "$(id -u)" -ne 0 ] && SUDO=sudo
  $SUDO apt-get update -qq
  DEBIAN_FRONTEND=noninteractive $SUDO apt-get install -y -qq $missing
fi
