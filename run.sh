#!/usr/bin/env bash
# Installs what is missing, builds in Release and runs the codec's round trip
# on the sample photograph: encode to .flm, decode, and measure the result.
#   ./run.sh          the round trip on samples/coffee.bmp (results in out/)
#   ./run.sh --gui    builds and opens the desktop program
set -euo pipefail
cd "$(dirname "$0")"

./scripts/install-deps.sh
cmake -S . -B build-release -G Ninja -DCMAKE_BUILD_TYPE=Release -DFILAMORPH_BUILD_TESTS=OFF \
  -DFILAMORPH_BUILD_BENCH=OFF >/dev/null
if [ "${1:-}" = "--gui" ]; then
  cmake --build build-release -j "$(nproc)" --target filamorph-gui
  exec ./build-release/app/filamorph-gui
fi
cmake --build build-release -j "$(nproc)" --target filamorph

tool=./build-release/cli/filamorph
sample=samples/coffee.bmp
mkdir -p out
echo "== encode $sample"
"$tool" encode "$sample" out/coffee.flm
echo "== decode out/coffee.flm"
"$tool" decode out/coffee.flm out/coffee-decoded.pgm
echo "== reconstruction against the original gray plane"
"$tool" dump gray "$sample" out/coffee-gray.pgm
"$tool" compare out/coffee-gray.pgm out/coffee-decoded.pgm
echo "Results are in out/."
