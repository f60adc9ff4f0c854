#!/bin/sh
# Installs the Debian packages of which a piece is missing.
#   scripts/install-missing.sh PACKAGE=WHAT ...
# WHAT is a command the package provides, or an absolute path it installs.
# As root the missing packages are installed with apt-get; otherwise they
# are named and the script fails.
set -eu

missing=""
for pair in "$@"; do
  package=${pair%%=*}
  what=${pair#*=}
  case "$what" in
    /*) [ -e "$what" ] || missing="$missing $package" ;;
    *) command -v "$what" >/dev/null 2>&1 || missing="$missing $package" ;;
  esac
done

[ -z "$missing" ] && exit 0
if [ "$(id -u)" != 0 ]; then
  echo "please install:$missing" >&2
  exit 1
fi
apt-get update -q
DEBIAN_FRONTEND=noninteractive apt-get install -y -q --no-install-recommends $missing
