#!/usr/bin/env bash
# Builds the converter (installing what is missing, as test.sh does) and starts it.
set -euo pipefail
cd "$(dirname "$0")"
scripts/setup.sh

cmake -S . -B build -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo
cmake --build build -j "$(nproc)" --target tillora-converter
exec build/app/tillora-converter
