#!/usr/bin/env bash
# Builds the Debian package from the build folder (default: build, the one
# ./test.sh uses) and checks it: control data, file list, lintian.
# Ends with status 1 when lintian reports an error; warnings are listed only
# (the README's packaging section says why each remains).
set -euo pipefail
cd "$(dirname "$0")/.."
build=${1:-build}

cmake -S . -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
cmake --build "$build" -j "$(nproc)" --target tillora-converter tillora-logo tlc_install_files
rm -f "$build"/tillora-logo-converter_*.deb
(cd "$build" && cpack -G DEB >/dev/null)
deb=$(ls "$build"/tillora-logo-converter_*.deb)
echo "== $deb"
dpkg-deb --info "$deb"
echo "== contents"
dpkg-deb --contents "$deb"

if ! command -v lintian >/dev/null; then
  echo "lintian not installed: package not checked" >&2
  exit 0
fi
echo "== lintian"
# lintian's own notes about running as root are not about the package.
report=$(lintian --tag-display-limit 0 "$deb" 2>&1 | grep -v '^running with root privileges' || true)
printf '%s\n' "$report"
errors=$(printf '%s\n' "$report" | grep -c '^E:' || true)
warnings=$(printf '%s\n' "$report" | grep -c '^W:' || true)
echo "lintian: $errors errors, $warnings warnings"
[ "$errors" = 0 ]
