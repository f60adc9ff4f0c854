#!/bin/sh
# Installs what building and testing need and a fresh machine may lack.
exec "$(dirname "$0")/install-missing.sh" \
  cmake=cmake ninja-build=ninja g++=g++ \
  libgtest-dev=/usr/include/gtest libbenchmark-dev=/usr/include/benchmark
