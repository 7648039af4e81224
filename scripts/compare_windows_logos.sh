#!/usr/bin/env bash
# The Windows build converts every good sample bitmap for all four printers to
# the same bytes as the Linux build; also through standard input and output,
# and with a name beyond ASCII.
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

[ "$failed" = 0 ] && echo "all logo files byte-identical"
exit "$failed"
