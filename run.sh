#!/usr/bin/env bash
# Builds the converter (installing only what building and starting it needs;
# ./test.sh installs the rest) and starts it.
set -euo pipefail
cd "$(dirname "$0")"
scripts/setup.sh --run

# A fresh build folder leaves out the tests and benchmarks, whose libraries
# only ./test.sh installs; a folder ./test.sh has set up keeps its choice.
options=()
if [ ! -f build/CMakeCache.txt ]; then options=(-DTLC_TESTS=OFF -DTLC_BENCH=OFF); fi
cmake -S . -B build -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo "${options[@]}"
cmake --build build -j "$(nproc)" --target tillora-converter
exec build/app/tillora-converter
