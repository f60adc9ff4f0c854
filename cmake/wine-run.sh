#!/bin/sh
# Runs a Windows program under wine64; the emulator for ctest.
# - quiet:    WINEDEBUG=-all unless the caller set WINEDEBUG; winedbg is
#             disabled, so a crash neither dumps a report on standard output
#             nor delays or changes the exit status.
# - isolated: WINEPREFIX defaults to a per-user prefix under /tmp.
# - fast:     one persistent wineserver. The helper processes it starts
#             (services.exe, explorer.exe, ...) get their standard streams on
#             /dev/null, so they never hold a test's output pipe open: that
#             would make every test wait ~3 s for them, or forever.
# Stop the server at the end with: cmake/wine-run.sh --stop-server
: "${WINEDEBUG:=-all}"
: "${WINEDLLOVERRIDES:=winedbg.exe=d}"
: "${WINEPREFIX:=/tmp/wineprefix-$(id -u)}"
export WINEDEBUG WINEDLLOVERRIDES WINEPREFIX
WINE=/usr/lib/wine/wine64
WINESERVER=/usr/lib/wine/wineserver

if [ "${1-}" = --stop-server ]; then
  exec "$WINESERVER" -k
fi

mkdir -p "$WINEPREFIX"
# The lock serialises the "is a server up?" check; -o keeps its descriptor
# out of the daemonised server, which would otherwise deadlock the next run.
flock -o "$WINEPREFIX/.wine-run.lock" sh -c '
  exec </dev/null >/dev/null 2>&1 3>&- 4>&- 5>&- 6>&- 7>&- 8>&- 9>&-
  if "$1" -p; then      # 0: a new persistent server was started; 2: one runs
    "$2" wineboot -i    # create or update the prefix, start its services now
  fi' sh "$WINESERVER" "$WINE"
exec "$WINE" "$@"
