#!/usr/bin/env bash
# Cross-builds the command line, the core libraries and their tests for 64-bit
# Windows with MinGW-w64, and packs tillora-logo.exe (stripped) with the
# Windows README, the licence and the notices of the runtime linked into it
# into a zip. Usage: scripts/build-windows.sh [BUILD_FOLDER]
# Then `ctest --test-dir BUILD_FOLDER` runs the tests under Wine.
set -euo pipefail
cd "$(dirname "$0")/.."
build=${1:-build-win}

for tool in x86_64-w64-mingw32-g++-posix x86_64-w64-mingw32-strip zip; do
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
x86_64-w64-mingw32-strip -o "$build/$folder/tillora-logo.exe" "$build/cli/tillora-logo.exe"
# Notepad and friends want CRLF line ends.
crlf() { sed 's/$/\r/' "$1" >"$2"; }
crlf packaging/windows/README.txt "$build/$folder/README.txt"
crlf LICENSE "$build/$folder/LICENSE.txt"
# The notices of the MinGW-w64 runtime, winpthreads and the GCC runtime
# libraries, all linked in, from the packages that built them.
mkdir "$build/$folder/licenses"
crlf packaging/windows/THIRD-PARTY.txt "$build/$folder/licenses/README.txt"
for notice in /usr/share/doc/mingw-w64-x86-64-dev/copyright:mingw-w64.txt \
              /usr/share/doc/gcc-mingw-w64-x86-64-posix-runtime/copyright:gcc-runtime.txt \
              /usr/share/common-licenses/GPL-3:GPL-3.txt; do
  [ -f "${notice%%:*}" ] || { echo "${notice%%:*} is missing: its licence must go into the zip" >&2; exit 1; }
  crlf "${notice%%:*}" "$build/$folder/licenses/${notice#*:}"
done
(cd "$build" && zip -q -r -X "$folder.zip" "$folder")
echo "Made $build/$folder.zip"

# The installer: the same files into Program Files, the folder on the PATH.
if command -v wixl >/dev/null && command -v msibuild >/dev/null; then
  msi=$build/$folder.msi
  rm -f "$msi"
  wixl -a x64 -D Version="$version" -D Staged="$build/$folder" -D Icon=resources/icons/tillora-logo.ico \
       -o "$msi" packaging/windows/tillora-logo.wxs
  msibuild "$msi" -i packaging/windows/Environment.idt
  msibuild "$msi" \
    -q "INSERT INTO \`InstallExecuteSequence\` (\`Action\`, \`Sequence\`) VALUES ('RemoveEnvironmentStrings', 3300)" \
    -q "INSERT INTO \`InstallExecuteSequence\` (\`Action\`, \`Sequence\`) VALUES ('WriteEnvironmentStrings', 5200)"
  echo "Made $msi"
else
  echo "No installer: wixl or msibuild (msitools) is missing" >&2
fi
