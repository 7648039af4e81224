#!/usr/bin/env bash
# Makes the reference drawings the metafile comparison test
# (tests/prepare/MetafileReferenceTest.cpp) measures our drawing against:
# each public sample metafile drawn by an independent renderer, LibreOffice
# (soffice --headless), cut to the drawing's inked bounds and made at most
# 256 pixels on its longer side, as tests/data/metafile-reference/
# <folder>-<file name>.png. Run once by hand; the PNGs are checked in, so the
# tests need no office suite. Needs soffice (libreoffice-draw-nogui) and
# ImageMagick's convert.
#   scripts/make_metafile_references.sh [TESTDATA]
set -euo pipefail

here=$(cd "$(dirname "$0")/.." && pwd)
testdata=${1:-${TLC_TESTDATA:-$here/../shared/testdata}}
out=$here/tests/data/metafile-reference
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

mkdir -p "$out" "$work/in/emf" "$work/in/wmf" "$work/png/emf" "$work/png/wmf"
# Damaged files (corrupted/, hostile/) have no right drawing to compare with.
while IFS= read -r file; do
  folder=$(basename "$(dirname "$file")")
  # A Windows metafile without the placeable header is refused on loading.
  if [ "${file##*.}" = wmf ] && [ "$(od -An -tx1 -N4 "$file" | tr -d ' ')" != d7cdc69a ]; then
    [ "$(od -An -tx1 -j40 -N4 "$file" | tr -d ' ')" = 20454d46 ] || continue
  fi
  cp "$file" "$work/in/${file##*.}/$folder-$(basename "$file")"
done < <(find "$testdata/metafile" -type f \( -name '*.wmf' -o -name '*.emf' \) \
           -not -path '*/corrupted/*' -not -path '*/hostile/*' | sort)

# One office run per extension (a folder holds fulltest.emf beside
# fulltest.wmf); it puts each drawing on an A4 page.
for ext in emf wmf; do
  (cd "$work/in/$ext" && soffice -env:UserInstallation="file://$work/profile" --headless \
     --convert-to png --outdir "$work/png/$ext" ./*) >/dev/null 2>&1
done

for file in "$work"/in/*/*; do
  name=$(basename "$file")
  page=$work/png/${name##*.}/${name%.*}.png
  [ -f "$page" ] || { echo "no drawing of $name" >&2; continue; }
  # Over white, cut to what is inked, no larger than 256 pixels.
  convert "$page" -background white -alpha remove -alpha off -fuzz 2% -trim +repage \
          -resize '256x256>' -strip "PNG24:$out/$name.png"
  echo "$name.png"
done
