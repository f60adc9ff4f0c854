#!/bin/sh
# Installs what the Windows cross-build and its tests under Wine need.
exec "$(dirname "$0")/install-missing.sh" \
  g++-mingw-w64-x86-64-posix=x86_64-w64-mingw32-g++-posix \
  wine64=/usr/lib/wine/wine64 googletest=/usr/src/googletest
