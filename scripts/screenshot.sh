#!/usr/bin/env bash
# Takes docs/screenshot.png: the converter under Xvfb with a sample picture
# loaded and converted. Needs the build (./run.sh or ./test.sh) first.
set -euo pipefail
cd "$(dirname "$0")/.."
program=build/app/tillora-converter-scripted
[ -x "$program" ] || { echo "Build first: cmake --build build --target tillora-converter-scripted" >&2; exit 1; }

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
python3 scripts/make_sample.py "$work/sample.bmp"
mkdir -p docs
TLC_SCREENSHOT_PICTURE="$work/sample.bmp" TLC_SCREENSHOT_FILE="$PWD/docs/screenshot.png" \
  xvfb-run -a -s "-screen 0 1024x768x24" "$program"
echo "Wrote docs/screenshot.png"
