#!/bin/sh
# One whole run of the Windows program under Wine, with the command
# interpreter unavailable (Wine is told not to load cmd.exe), so that the
# run ends with the stop text and the status of a plot that failed, 1:
#   full_run.sh <wine wrapper> <crt .exe> [<POSIX crt>]
# The point file must hold the run's 1,704 records; when the POSIX build is
# given and present, byte for byte what that build writes.
set -u
wine_run=$1 program=$2 posix_program=${3-}

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
mkdir "$work/windows" "$work/posix"
cd "$work/windows" || exit 1

fail() { echo "FAIL: $*" >&2; exit 1; }

start=$(date +%s)
WINEDLLOVERRIDES="winedbg.exe=d;cmd.exe=d" "$wine_run" "$program" >out 2>err
status=$?
echo "full run under Wine: $(($(date +%s) - start)) s"

[ "$status" -eq 1 ] || fail "exit status $status, expected 1"
[ -s out ] && fail "standard output is not empty"
printf 'Could not spawn gnuplot program\r\n' | cmp -s - err || {
  od -c err | head >&2
  fail "standard error is not the 33-byte stop text"
}

[ "$(wc -c <ispis.dat)" -eq 54528 ] || fail "ispis.dat is $(wc -c <ispis.dat) bytes, not 54528"
first=$(head -c 32 ispis.dat | od -An -c | tr -s ' ')
expected_first=$(printf ' -0.3520000      0.6480001    \r\n' | od -An -c | tr -s ' ')
[ "$first" = "$expected_first" ] || fail "first record: $first"
last=$(tail -c 32 ispis.dat | od -An -c | tr -s ' ')
expected_last=$(printf ' -5.1999956E-02  0.9960001    \r\n' | od -An -c | tr -s ' ')
[ "$last" = "$expected_last" ] || fail "last record: $last"

if [ -n "$posix_program" ] && [ -x "$posix_program" ]; then
  (cd "$work/posix" && "$posix_program" >/dev/null 2>&1)
  cmp "$work/posix/ispis.dat" ispis.dat || fail "ispis.dat differs from the POSIX build's"
  echo "ok: same bytes as $posix_program"
else
  echo "ok: records checked (no POSIX build at '$posix_program' to compare with)"
fi
