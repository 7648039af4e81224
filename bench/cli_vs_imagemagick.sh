#!/usr/bin/env bash
# Whole-process time of `tillora-logo convert` on a 600 x 600 24-bit bitmap,
# side by side with ImageMagick's threshold on the same file (ImageMagick is
# needed for this measurement only: apt-get install imagemagick hyperfine).
set -euo pipefail
build=${1:-build}
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
convert -size 600x600 plasma:fractal -depth 8 -type TrueColor "BMP3:$work/picture.bmp"
hyperfine --warmup 5 --runs 50 --export-json "$work/result.json" \
  "$build/cli/tillora-logo convert $work/picture.bmp -o $work/logo.rsc" \
  "convert $work/picture.bmp -threshold 50% $work/out.pbm"
python3 - "$work/result.json" <<'PY'
import json, statistics, sys
runs = json.load(open(sys.argv[1]))["results"]
ours, theirs = (statistics.median(r["times"]) * 1000 for r in runs)
print(f"median tillora-logo convert: {ours:.1f} ms")
print(f"median ImageMagick threshold: {theirs:.1f} ms")
print(f"ratio: {theirs / ours:.1f} x")
PY
