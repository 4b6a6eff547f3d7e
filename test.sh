#!/usr/bin/env bash
# Installs what is missing, builds, and runs every test: once in a plain build
# and once under AddressSanitizer and UndefinedBehaviorSanitizer.
set -euo pipefail
cd "$(dirname "$0")"

./scripts/install-deps.sh
jobs=$(nproc)
export QT_QPA_PLATFORM=offscreen

cmake -S . -B build -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo
cmake --build build -j "$jobs"
ctest --test-dir build --output-on-failure -j "$jobs"

if [ "${FILAMORPH_SKIP_SANITIZERS:-0}" != 1 ]; then
  cmake -S . -B build-sanitize -G Ninja -DCMAKE_BUILD_TYPE=Debug -DFILAMORPH_SANITIZE=ON \
    -DFILAMORPH_BUILD_APP=OFF -DFILAMORPH_BUILD_BENCH=OFF -DFILAMORPH_BUILD_PYTHON=OFF
  cmake --build build-sanitize -j "$jobs"
  UBSAN_OPTIONS=print_stacktrace=1 ctest --test-dir build-sanitize --output-on-failure -j "$jobs"
fi
