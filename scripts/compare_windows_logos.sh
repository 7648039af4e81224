#!/usr/bin/env bash
# The Windows build converts every good sample bitmap for all four printers to
# the same bytes as the Linux build; also through standard input and output,
# and with a name beyond ASCII. The import tests' pictures (written by the
# Linux build's tlc_write_import_pictures), read through Windows' own codecs,
# give the Linux logos too: PNG, GIF and TIFF byte for byte (TIFF against the
# PNG of the same pixels), by thresholds and dithered; WebP the same or a
# refusal where Windows has no WebP codec; JPEG decoders may round apart, so
# its differing dots are counted and bounded.
# Usage: compare_windows_logos.sh WINDOWS_EXE LINUX_EXE TESTDATA WORK_FOLDER
# Run by CTest in the Windows build with its Wine wrapper in TLC_WINE_RUN.
# Exit 77 (skipped) when the Linux build or the sample pictures are absent.
set -uo pipefail
win_exe=$1 linux_exe=$2 testdata=${TLC_TESTDATA:-$3} work=$4
wine_run=${TLC_WINE_RUN:?the Wine wrapper of the build}

[ -x "$linux_exe" ] || { echo "SKIP: no Linux build at $linux_exe (build it first)"; exit 77; }
good=$testdata/bmp/good
shopt -s nullglob
pictures=("$good"/*.bmp)
[ ${#pictures[@]} -gt 0 ] || { echo "SKIP: no sample bitmaps in $good"; exit 77; }

rm -rf "$work" && mkdir -p "$work"
# Wine reads the command line in the locale's encoding.
export LC_ALL=C.UTF-8
failed=0

for printer in 0 1 2 3; do
  mkdir -p "$work/linux/$printer" "$work/win/$printer"
  "$linux_exe" convert "${pictures[@]}" -d "$work/linux/$printer" --printer "$printer" -q 2>"$work/linux-$printer.err"
  linux_status=$?
  "$wine_run" "$win_exe" convert "${pictures[@]}" -d "$work/win/$printer" --printer "$printer" -q 2>"$work/win-$printer.err"
  win_status=$?
  if [ "$linux_status" != "$win_status" ]; then
    echo "printer $printer: exit status $win_status on Windows, $linux_status on Linux"; failed=1
  fi
  if ! diff -r "$work/linux/$printer" "$work/win/$printer"; then
    echo "printer $printer: logo files differ"; failed=1
  fi
  logos=("$work/linux/$printer"/*.rsc)
  echo "printer $printer: ${#logos[@]} logo files from ${#pictures[@]} bitmaps compared"
done

# Standard input and output carry bytes untranslated.
first=${pictures[0]}
"$linux_exe" convert "$first" -o "$work/ref.rsc"
"$wine_run" "$win_exe" convert - -o - <"$first" >"$work/piped.rsc"
cmp "$work/ref.rsc" "$work/piped.rsc" || { echo "standard streams: bytes differ"; failed=1; }

# A name beyond ASCII arrives whole through the wide command line.
name="$work/caf$(printf '\303\251')-$(printf '\346\227\245\346\234\254')"
cp "$first" "$name.bmp"
"$wine_run" "$win_exe" convert "$name.bmp" -o "$name.rsc"
cmp "$work/ref.rsc" "$name.rsc" || { echo "non-ASCII name: not written as given"; failed=1; }

# show -o FILE.png: the same picture (header and rows, whatever the
# encoders' filters and compression) on both sides.
"$linux_exe" show "$work/ref.rsc" -o "$work/linux-dots.png" >/dev/null
"$wine_run" "$win_exe" show "$work/ref.rsc" -o "$work/win-dots.png" >/dev/null
python3 - "$work/linux-dots.png" "$work/win-dots.png" <<'PY' || { echo "show -o FILE.png: the pictures differ"; failed=1; }
import struct, sys, zlib
def rows(path):
    data, at, head, packed = open(path, "rb").read(), 8, None, b""
    while at < len(data):
        length, kind = struct.unpack(">I4s", data[at:at + 8])
        body = data[at + 8:at + 8 + length]
        at += 12 + length
        if kind == b"IHDR": head = body
        if kind == b"IDAT": packed += body
    width, height = struct.unpack(">II", head[:8])
    raw, stride, out, prior = zlib.decompress(packed), (width * head[8] + 7) // 8, [], None
    for y in range(height):
        kind, line = raw[y * (stride + 1)], bytearray(raw[y * (stride + 1) + 1:(y + 1) * (stride + 1)])
        up = prior or bytearray(stride)
        for x in range(stride):
            left, upper, corner = (line[x - 1] if x else 0), up[x], (up[x - 1] if x else 0)
            p = left + upper - corner
            pa, pb, pc = abs(p - left), abs(p - upper), abs(p - corner)
            guess = [0, left, upper, (left + upper) // 2,
                     left if pa <= pb and pa <= pc else upper if pb <= pc else corner][kind]
            line[x] = (line[x] + guess) & 255
        out.append(bytes(line))
        prior = line
    return head, out
sys.exit(0 if rows(sys.argv[1]) == rows(sys.argv[2]) else 1)
PY

# The imported formats: one batch on each side and each mode (Wine starts
# slowly).
writer=$(dirname "$linux_exe")/../tests/import/tlc_write_import_pictures
if [ -x "$writer" ]; then
  imported=$work/imported
  "$writer" "$imported" || { echo "cannot write the import pictures"; exit 1; }
  for mode in thresholds dither; do
    options=(--thresholds 140,100,170)
    [ "$mode" = dither ] && options=(--dither fs)
    win_pictures=() linux_pictures=()
    for picture in "$imported"/*; do
      [ -f "$picture" ] || continue
      # Dithering spreads a decoder's rounding over the neighbours: JPEG is
      # compared by thresholds only.
      [ "$mode" = dither ] && [[ $picture == *.jpg ]] && continue
      [[ $picture == *-tiff.png ]] || win_pictures+=("$picture")
      [[ $picture == *.tif ]] || linux_pictures+=("$picture")
    done
    mkdir -p "$work/imported-$mode/linux" "$work/imported-$mode/win"
    "$linux_exe" convert "${linux_pictures[@]}" -d "$work/imported-$mode/linux" "${options[@]}" -q ||
      { echo "imported ($mode): the Linux build failed"; failed=1; }
    "$wine_run" "$win_exe" convert "${win_pictures[@]}" -d "$work/imported-$mode/win" "${options[@]}" -q \
      2>"$work/imported-$mode.err"
    same=0
    for logo in "$work/imported-$mode/linux"/*.rsc; do
      name=$(basename "$logo" .rsc) win_logo=$work/imported-$mode/win/$(basename "$logo")
      if cmp -s "$logo" "$win_logo"; then
        same=$((same + 1))
      elif [ ! -f "$win_logo" ] && [ -f "$imported/$name.webp" ] && grep -q "$name.webp: WebP pictures are not read on this Windows: it has no codec" "$work/imported-$mode.err"; then
        echo "$name.webp ($mode): refused, this Windows has no WebP codec"
      elif [ -f "$win_logo" ] && [ -f "$imported/$name.jpg" ]; then
        "$linux_exe" show "$logo" -o "$work/linux.pbm" >/dev/null
        "$linux_exe" show "$win_logo" -o "$work/win.pbm" >/dev/null
        # The dots the two decoders' roundings put apart: at most 1 in 100.
        python3 - "$work/linux.pbm" "$work/win.pbm" "$name.jpg" <<'PY' || failed=1
import sys
def read(path):
    data = open(path, "rb").read()
    magic, size, dots = data.split(b"\n", 2)
    return size, dots
(size, a), (size2, b) = read(sys.argv[1]), read(sys.argv[2])
w, h = map(int, size.split())
differ = sum(bin(x ^ y).count("1") for x, y in zip(a, b)) if size == size2 else w * h
print("%s: %d of %d dots differ" % (sys.argv[3], differ, w * h))
sys.exit(0 if differ * 100 <= w * h else 1)
PY
      else
        echo "$name ($mode): the Windows logo differs or is missing"; failed=1
      fi
    done
    echo "imported pictures ($mode): $same logo files byte-identical"
  done
  # Damaged and hostile files: each refused with its format's message, the
  # sizes before any pixel memory (WebP may be refused for want of a codec).
  "$wine_run" "$win_exe" convert "$imported"/damaged/*.bin -d "$work/damaged" -q 2>"$work/damaged.err"
  refused=0
  while IFS=$'\t' read -r name message; do
    [[ $message == *"file damaged: "* ]] && message=${message%%damaged: *}damaged:
    if grep -qF "$name: $message" "$work/damaged.err" ||
       { [[ $message == WebP* ]] && grep -qF "$name: WebP pictures are not read on this Windows" "$work/damaged.err"; }; then
      refused=$((refused + 1))
    else
      echo "$name: not refused with \"$message\": $(grep -F "$name" "$work/damaged.err")"; failed=1
    fi
  done <"$imported/damaged/messages.tsv"
  echo "damaged and hostile pictures: $refused refused with their format's message"
  [ "$failed" = 0 ] || cat "$work"/imported-*.err
else
  echo "SKIP imported pictures: no $writer (build the Linux tests first)"
fi

[ "$failed" = 0 ] && echo "all logo files byte-identical (JPEG within its bound)"
exit "$failed"
