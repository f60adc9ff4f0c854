#!/bin/sh
# Installs what the Windows cross-build and its tests under Wine need.
set -eu

missing=""
command -v x86_64-w64-mingw32-g++-posix >/dev/null 2>&1 || missing="$missing g++-mingw-w64-x86-64-posix"
[ -x /usr/lib/wine/wine64 ] || missing="$missing wine64"
[ -d /usr/src/googletest ] || missing="$missing googletest"

[ -z "$missing" ] && exit 0
if [ "$(id -u)" != 0 ]; then
  echo "please install:$missing" >&2
  exit 1
fi
apt-get update -q
DEBIAN_FRONTEND=noninteractive apt-get install -y -q --no-install-recommends $missing
