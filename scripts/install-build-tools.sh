#!/bin/sh
# Installs what building and testing need and a fresh machine may lack.
set -eu

missing=""
command -v cmake >/dev/null 2>&1 || missing="$missing cmake"
command -v ninja >/dev/null 2>&1 || missing="$missing ninja-build"
command -v g++ >/dev/null 2>&1 || missing="$missing g++"
[ -d /usr/include/gtest ] || missing="$missing libgtest-dev"
[ -d /usr/include/benchmark ] || missing="$missing libbenchmark-dev"

[ -z "$missing" ] && exit 0
if [ "$(id -u)" != 0 ]; then
  echo "please install:$missing" >&2
  exit 1
fi
apt-get update -q
DEBIAN_FRONTEND=noninteractive apt-get install -y -q --no-install-recommends $missing
