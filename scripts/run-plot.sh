#!/bin/sh
# Runs crt in run/ beside the project's plotting script crt.dem, so that the
# traced curve ends up as the picture run/ispis.png.
#   scripts/run-plot.sh build/default/crt
# Installs the plotting program first when it is missing (as root), or says
# what to install. Fails when crt fails (with its exit status) or no
# picture was made.
set -eu

if [ $# -ne 1 ]; then
  echo "usage: $0 PATH-TO-CRT" >&2
  exit 64
fi

root=$(cd "$(dirname "$0")/.." && pwd)
crt=$(cd "$(dirname "$1")" && pwd)/$(basename "$1")
run_dir=$root/run

# The plotting program comes from the system's packages.
"$root/scripts/install-missing.sh" gnuplot-nox=gnuplot

mkdir -p "$run_dir"
cp "$root/crt.dem" "$run_dir/crt.dem"
# A picture left from an earlier run must not pass for this one's.
rm -f "$run_dir/ispis.png"

status=0
(cd "$run_dir" && "$crt") || status=$?

if [ "$status" -ne 0 ]; then
  echo "crt ended with status $status; no plot was made" >&2
  exit "$status"
fi
if [ ! -s "$run_dir/ispis.png" ]; then
  echo "gnuplot made no picture from run/ispis.dat (see its messages above)" >&2
  exit 1
fi
echo "The plot is in run/ispis.png; open it with: xdg-open run/ispis.png"
