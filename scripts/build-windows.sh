#!/usr/bin/env bash
# Cross-builds the command line, the core libraries and their tests for 64-bit
# Windows with MinGW-w64, and packs tillora-logo.exe with the README and the
# licence into a zip. Usage: scripts/build-windows.sh [BUILD_FOLDER]
# Then `ctest --test-dir BUILD_FOLDER` runs the tests under Wine.
set -euo pipefail
cd "$(dirname "$0")/.."
build=${1:-build-win}

for tool in x86_64-w64-mingw32-g++-posix zip; do
  command -v "$tool" >/dev/null || { echo "$tool is missing: run scripts/setup.sh as root" >&2; exit 1; }
done

cmake -S . -B "$build" -G Ninja -DCMAKE_TOOLCHAIN_FILE=cmake/mingw-w64-x86_64.cmake \
      -DTLC_CORE_ONLY=ON -DTLC_BENCH=OFF -DCMAKE_BUILD_TYPE=Release
# The first Wine start makes its prefix; once, before tests start in parallel.
if [ -x "$build/wine-run.sh" ] && [ ! -f "$build/wine-prefix/system.reg" ]; then
  "$build/wine-run.sh" wineboot --init >/dev/null 2>&1 || true
fi
cmake --build "$build" -j "$(nproc)"

version=$(sed -n 's/^project([^)]*VERSION \([0-9.]*\).*/\1/p' CMakeLists.txt)
folder=tillora-logo-$version-windows-x64
rm -rf "${build:?}/$folder" "$build/$folder.zip"
mkdir "$build/$folder"
cp "$build/cli/tillora-logo.exe" "$build/$folder/"
# Notepad and friends want CRLF line ends.
sed 's/$/\r/' README.md >"$build/$folder/README.txt"
sed 's/$/\r/' LICENSE >"$build/$folder/LICENSE.txt"
(cd "$build" && zip -q -r -X "$folder.zip" "$folder")
echo "Made $build/$folder.zip"
