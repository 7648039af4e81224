#!/usr/bin/env bash
# Whole-process time of `tillora-logo convert` on a 600 x 600 24-bit bitmap,
# side by side with ImageMagick's threshold on the same file (ImageMagick is
# needed for this measurement only: apt-get install imagemagick hyperfine).
set -euo pipefail
build=${1:-build}
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
convert -size 600x600 plasma:fractal -depth 8 -type TrueColor "BMP3:$work/picture.bmp"
hyperfine --warmup 5 --runs 50 --export-markdown "$work/result.md" \
  "$build/cli/tillora-logo convert $work/picture.bmp -o $work/logo.rsc" \
  "convert $work/picture.bmp -threshold 50% $work/out.pbm"
cat "$work/result.md"
