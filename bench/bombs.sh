#!/usr/bin/env bash
# Peak memory and time of `tillora-logo` on small files that claim large
# pictures (written by bench/make_bombs.py), on endless standard input, and on
# a 12000 x 9000 PNG and JPEG fitted to printer 0. Goal: no file under 1 MB
# takes more than 64 MiB or 1 s; the large pictures with --fit under 64 MiB.
#
#   bench/bombs.sh [BUILD_DIR | PROGRAM] [RUNS]
#
# Each case runs RUNS times (default 3) under an address-space limit of 4 GiB
# (so that a runaway allocation fails instead of taking the machine) and a
# time limit of 60 s; the table shows the median time, the largest peak RSS,
# the exit status and the first line of standard error. The JPEG and the WebP
# need gm (GraphicsMagick) to be written, only for this measurement; without
# it those cases are left out.
set -euo pipefail
target=${1:-build}
runs=${2:-3}
if [ -d "$target" ]; then program="$(cd "$target" && pwd)/cli/tillora-logo"; else program=$target; fi
[ -x "$program" ] || { echo "no $program: build first" >&2; exit 1; }
[ -x /usr/bin/time ] || { echo "/usr/bin/time is needed (package time)" >&2; exit 1; }
here=$(cd "$(dirname "$0")" && pwd)

scratch=$(mktemp -d)
trap 'rm -rf "$scratch"' EXIT
python3 "$here/make_bombs.py" "$scratch" big
if command -v gm >/dev/null; then
    gm convert -size 12000x9000 gradient:white-black -quality 90 "$scratch/big-12000x9000.jpg"
    # A flat lossless WebP of 8000 x 8000: a few KB.
    gm convert -size 8000x8000 xc:white -define webp:lossless=true "$scratch/white-8000.webp"
fi

# One case: a label, the standard input, then the command line (after the
# program's name).
measure() {
    local label=$1 input=$2; shift 2
    local times=() peak=0 status=0 message=""
    for ((k = 0; k < runs; ++k)); do
        status=0
        ( ulimit -v $((4 << 20)); exec /usr/bin/time -f "%e %M" -o "$scratch/time" \
            timeout 60 "$program" "$@" <"$input" >/dev/null 2>"$scratch/err" ) || status=$?
        read -r seconds kib <"$scratch/time" || { seconds=nan; kib=0; }
        # /usr/bin/time writes "Command exited..." first when the program fails.
        if [[ $seconds == Command* ]]; then read -r seconds kib < <(tail -n 1 "$scratch/time"); fi
        times+=("$seconds")
        ((kib > peak)) && peak=$kib
        message=$(head -n 1 "$scratch/err" | cut -c 1-70)
    done
    local median
    median=$(printf '%s\n' "${times[@]}" | sort -g | sed -n "$(((runs + 1) / 2))p")
    printf '%-44s %8s s %8.1f MiB  exit %-3s %s\n' "$label" "$median" "$(echo "$peak / 1024" | bc -l)" \
        "$status" "$message"
}

cd "$scratch"
echo "program: $program"
printf '%-44s %10s %12s  %-8s %s\n' case time "peak RSS" status "first line of standard error"
for f in wide-1bit.bmp square-24bit.bmp huge-1bit.bmp rle8-1k.bmp screen-35.gif white-1bit-9000.png white-8000.webp; do
    [ -f "$f" ] || continue
    size=$(stat -c %s "$f")
    # info reads the whole picture, as the window does.
    measure "info $f ($size B)" /dev/null info "$f"
    measure "convert $f" /dev/null convert "$f" -o out.rsc
    measure "convert $f --fit" /dev/null convert "$f" --fit -o out.rsc
done
measure "info - < /dev/zero" /dev/zero info -
for f in big-12000x9000.png big-12000x9000.jpg; do
    [ -f "$f" ] || continue
    size=$(stat -c %s "$f")
    measure "convert $f --fit ($((size / 1024)) KiB)" /dev/null convert "$f" --fit -o out.rsc
done
