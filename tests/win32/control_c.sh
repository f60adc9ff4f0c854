#!/bin/sh
# Control-C delivered from outside to a Windows program under Wine: Wine turns
# SIGINT of its process into CTRL_C_EVENT, on a thread of its own, as a
# console would. (GenerateConsoleCtrlEvent does nothing under Wine.)
#
#   control_c.sh <wine wrapper> helper <platform helper .exe>
#     the backend's console handler runs and the process ends with
#     STATUS_CONTROL_C_EXIT
#   control_c.sh <wine wrapper> crt <crt .exe>
#     control-C during the sweeps: report 200 with its traceback, the point
#     file closed with whole records only, STATUS_CONTROL_C_EXIT
set -u
wine_run=$1 kind=$2 program=$3

# The status Linux sees is the low byte of the Windows exit code:
# STATUS_CONTROL_C_EXIT = 0xC000013A gives 0x3A.
CONTROL_C_STATUS=58

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
cd "$work" || exit 1

fail() { echo "FAIL: $*" >&2; echo "--- standard error:" >&2; cat err >&2; exit 1; }

# Waits up to $1 seconds for the command in $2 to succeed.
wait_for() {
  tries=$(($1 * 10))
  while [ $tries -gt 0 ]; do
    eval "$2" && return 0
    sleep 0.1
    tries=$((tries - 1))
  done
  return 1
}

case $kind in
  helper)
    "$wine_run" "$program" console 60000 >out 2>err &
    pid=$!
    wait_for 60 'grep -q ready err' || fail "the helper never got ready"
    ;;
  crt)
    "$wine_run" "$program" >out 2>err &
    pid=$!
    # Interrupt once records are being written, in the middle of the sweeps.
    wait_for 600 '[ -f ispis.dat ] && [ "$(wc -c <ispis.dat)" -ge 64 ]' ||
      fail "no records appeared"
    ;;
  *) echo "unknown kind $kind" >&2; exit 2 ;;
esac

kill -INT "$pid"
wait "$pid"
status=$?
[ "$status" -eq "$CONTROL_C_STATUS" ] || fail "exit status $status, expected $CONTROL_C_STATUS"

case $kind in
  helper)
    printf 'ready\r\nevent 0\r\n' | cmp -s - err || fail "unexpected standard error"
    ;;
  crt)
    first_line=$(head -n 1 err)
    expected=$(printf 'forrtl: error (200): program aborting due to control-C event\r\r')
    [ "$first_line" = "$expected" ] || fail "first line of the report is wrong"
    grep -q '^Image  ' err || fail "no traceback"
    size=$(wc -c <ispis.dat)
    [ $((size % 32)) -eq 0 ] || fail "ispis.dat holds a cut record ($size bytes)"
    # Every record ends with CR LF exactly where a record ends.
    records=$(od -An -v -tx1 -w32 ispis.dat | grep -c ' 0d 0a$')
    [ "$records" -eq $((size / 32)) ] || fail "ispis.dat holds a damaged record"
    [ -s out ] && fail "standard output is not empty"
    ;;
esac
echo "ok: $kind ended by control-C with status $status"
