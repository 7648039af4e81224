#!/usr/bin/env bash
# Builds everything and runs every test, then the core tests again under the
# address and undefined-behaviour sanitizers.
set -euo pipefail
cd "$(dirname "$0")"
scripts/setup.sh

jobs=$(nproc)
export QT_QPA_PLATFORM=offscreen
export CTEST_OUTPUT_ON_FAILURE=1

# Tests and benchmarks on, also in a folder that ./run.sh set up without them.
cmake -S . -B build -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo -DTLC_TESTS=ON -DTLC_BENCH=ON
cmake --build build -j "$jobs"
ctest --test-dir build --output-on-failure -j "$jobs"

cmake -S . -B build-sanitize -G Ninja -DCMAKE_BUILD_TYPE=Debug \
      -DTLC_SANITIZE=ON -DTLC_CORE_ONLY=ON -DTLC_BENCH=OFF
cmake --build build-sanitize -j "$jobs"
ctest --test-dir build-sanitize --output-on-failure -j "$jobs"

# The fuzz targets built once and each run briefly, so that their build
# cannot break unnoticed; fuzzing for real is in the README.
if command -v clang++-14 >/dev/null; then
  cmake -S . -B build-fuzz -G Ninja -DCMAKE_CXX_COMPILER=clang++-14 \
        -DTLC_CORE_ONLY=ON -DTLC_FUZZ=ON -DTLC_BENCH=OFF
  readers=(bitmap icon metafile png jpeg gif webp tiff)
  cmake --build build-fuzz -j "$jobs" --target "${readers[@]/#/tlc_fuzz_}"
  for r in "${readers[@]}"; do
    build-fuzz/fuzz/tlc_fuzz_$r -runs=500 -rss_limit_mb=2048 -timeout=5 2>&1 | tail -1
  done
  # The drawing targets: fontconfig keeps its configuration to the end,
  # which the leak check would count.
  drawings=(metafile_draw gdi_canvas gdi_text)
  cmake --build build-fuzz -j "$jobs" --target "${drawings[@]/#/tlc_fuzz_}"
  for d in "${drawings[@]}"; do
    ASAN_OPTIONS=detect_leaks=0 build-fuzz/fuzz/tlc_fuzz_$d -runs=300 -rss_limit_mb=2048 -timeout=5 2>&1 | tail -1
  done
else
  echo "Fuzz targets skipped: clang-14 is not installed"
fi

# The command line and the core for Windows, tested under Wine.
if command -v x86_64-w64-mingw32-g++-posix >/dev/null && command -v wine >/dev/null; then
  scripts/build-windows.sh build-win
  ctest --test-dir build-win --output-on-failure -j "$jobs"
else
  echo "Windows build skipped: the MinGW-w64 cross compiler or Wine is not installed"
fi
