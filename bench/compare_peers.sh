#!/usr/bin/env bash
# Whole-process speed and peak memory of `tillora-logo convert` beside the
# peers that are installed, on the same generated pictures, side by side with
# hyperfine: one 600 x 600 picture, a batch of 200 in one command, and one
# 4000 x 3000 picture; on the disk and on tmpfs. Every peer applies a
# threshold and writes a 1-bit file; "floor" is a plain C program that reads
# the file, applies our rule and writes the bits; "floor-sync" also flushes
# the file and its folder to the disk before it ends, as ours does (no peer
# does), so that a save survives a power cut.
#
# The peers are for this measurement only, never dependencies:
#   apt-get install hyperfine time graphicsmagick imagemagick netpbm libvips-tools python3-pil
#
#   [PEERS="floor netpbm gm..."] bench/compare_peers.sh [BUILD_DIR] [RUNS] [CASES]
# PEERS picks the programs beside ours (default: all installed); CASES picks
# from "one batch big" (default: all). The single picture, a few milliseconds,
# runs RUNS x 5 times; the batch RUNS / 4 and the big picture RUNS / 2.
# Prints one table per place: median milliseconds, peer / ours (> 1: ours
# faster) and peak resident memory. Single programs run without a shell;
# pipelines and globs in sh, less the start of sh itself.
set -euo pipefail
build=$(cd "${1:-build}" && pwd)
runs=${2:-20}
cases=${3:-one batch big}
PEERS=${PEERS:-floor floor-sync netpbm graphicsmagick imagemagick libvips pillow}
ours="$build/cli/tillora-logo"
[ -x "$ours" ] || { echo "no $ours: build first" >&2; exit 1; }
command -v hyperfine >/dev/null || { echo "hyperfine is needed" >&2; exit 1; }
[ -x /usr/bin/time ] || { echo "/usr/bin/time is needed (package time)" >&2; exit 1; }

scratch=$(mktemp -d)
trap 'rm -rf "$scratch" "${shm:-}"' EXIT
here=$(cd "$(dirname "$0")" && pwd)

# The floor program.
cat >"$scratch/floor.c" <<'C'
#include <stdio.h>
#include <stdlib.h>
#include <string.h>
#include <fcntl.h>
#include <unistd.h>
/* 24-bit bottom-up bitmap in, one bit per pixel out: dark when any channel <= 128. */
int main(int argc, char** argv) {
    FILE* f = fopen(argv[1], "rb");
    if (!f) return 1;
    fseek(f, 0, SEEK_END);
    long n = ftell(f);
    fseek(f, 0, SEEK_SET);
    unsigned char* b = malloc((size_t)n);
    if (!b || fread(b, 1, (size_t)n, f) != (size_t)n) return 1;
    fclose(f);
    unsigned off = b[10] | b[11] << 8 | b[12] << 16 | (unsigned)b[13] << 24;
    int w = b[18] | b[19] << 8, h = b[22] | b[23] << 8;
    size_t stride = ((size_t)w * 3 + 3) & ~(size_t)3, rowBytes = ((size_t)w + 7) / 8;
    unsigned char* out = calloc(rowBytes, (size_t)h);
    for (int y = 0; y < h; ++y) {
        const unsigned char* p = b + off + (size_t)(h - 1 - y) * stride;
        unsigned char* o = out + (size_t)y * rowBytes;
        for (int x = 0; x < w; ++x, p += 3)
            if (p[0] <= 128 || p[1] <= 128 || p[2] <= 128) o[x >> 3] |= (unsigned char)(0x80 >> (x & 7));
    }
    FILE* g = fopen(argv[2], "wb");
    if (!g || fwrite(out, 1, rowBytes * (size_t)h, g) != rowBytes * (size_t)h || fflush(g)) return 1;
    if (argc > 3) { /* durable: the file, then the folder that names it */
        int dir = open(argv[3], O_RDONLY | O_DIRECTORY);
        if (fsync(fileno(g)) || dir < 0 || fsync(dir)) return 1;
        close(dir);
    }
    if (fclose(g)) return 1;
    return 0;
}
C
cc -O2 -o "$scratch/floor" "$scratch/floor.c"

# A Pillow loop with our rule: dark when any channel is at or below 128.
cat >"$scratch/pillow.py" <<'PY'
import sys
from PIL import Image, ImageChops
out = sys.argv[1]
for path in sys.argv[2:]:
    r, g, b = Image.open(path).convert("RGB").split()
    dark = ImageChops.darker(ImageChops.darker(r, g), b)
    name = path.rsplit("/", 1)[-1].rsplit(".", 1)[0]
    dark.point(lambda v: 0 if v <= 128 else 255).convert("1", dither=Image.NONE).save(f"{out}/{name}.pbm")
PY

# Pictures: smooth ramps with grain, like a scanned logo; 24-bit, bottom-up.
/usr/bin/python3 - "$scratch" <<'PY'
import os, struct, sys, random
def bmp(path, w, h, rows):
    stride = (w * 3 + 3) & ~3
    size = 54 + stride * h
    with open(path, "wb") as f:
        f.write(b"BM" + struct.pack("<IHHI", size, 0, 0, 54))
        f.write(struct.pack("<IiiHHIIiiII", 40, w, h, 1, 24, 0, stride * h, 2835, 2835, 0, 0))
        pad = b"\0" * (stride - w * 3)
        for y in range(h - 1, -1, -1):
            f.write(rows(y) + pad)
random.seed(1)
grain = bytes(random.randrange(0, 48) for _ in range(4096 * 3))
def row600(y):
    r = bytearray(600 * 3)
    for x in range(600):
        g = grain[(x * 7 + y * 13) % len(grain)]
        r[3 * x] = (x * 255 // 600 + g) % 256
        r[3 * x + 1] = (y * 255 // 600 + g) % 256
        r[3 * x + 2] = (160 + g) % 256
    return bytes(r)
base = [row600(y) for y in range(600)]
d = sys.argv[1]
bmp(f"{d}/one.bmp", 600, 600, lambda y: base[y])
os.mkdir(f"{d}/batch")
for i in range(200):
    bmp(f"{d}/batch/p{i:03d}.bmp", 600, 600, lambda y, i=i: base[(y + i) % 600])
big = [(row * 7)[: 4000 * 3] for row in base]
bmp(f"{d}/big.bmp", 4000, 3000, lambda y: big[y % 600])
PY

im=$(command -v convert-im6.q16 || true)
mog=$(command -v mogrify-im6.q16 || true)

# name|command (one picture); %IN% and %OUT% are filled in.
one_commands() {
    echo "ours|$ours convert %IN% -o %OUT%/one.rsc"
    echo "floor|$scratch/floor %IN% %OUT%/one.bits"
    echo "floor-sync|$scratch/floor %IN% %OUT%/one.bits %OUT%"
    command -v bmptopnm >/dev/null &&
        echo "netpbm|bmptopnm %IN% 2>/dev/null | ppmtopgm | pgmtopbm -threshold -value 0.5 >%OUT%/one.pbm"
    command -v gm >/dev/null && echo "graphicsmagick|gm convert %IN% -threshold 50% %OUT%/one.pbm"
    [ -n "$im" ] && echo "imagemagick|$im %IN% -threshold 50% %OUT%/one.pbm"
    command -v vips >/dev/null && echo "libvips|vips relational_const %IN% %OUT%/one.v moreeq 129"
    /usr/bin/python3 -c "import PIL" 2>/dev/null && echo "pillow|/usr/bin/python3 $scratch/pillow.py %OUT% %IN%"
    true
}

batch_commands() {
    echo "ours|$ours convert %IN%/*.bmp -d %OUT%"
    command -v gm >/dev/null &&
        echo "graphicsmagick|cd %IN% && gm mogrify -output-directory %OUT% -format pbm -threshold 50% *.bmp"
    [ -n "$mog" ] && echo "imagemagick|$mog -path %OUT% -format pbm -threshold 50% %IN%/*.bmp"
    /usr/bin/python3 -c "import PIL" 2>/dev/null && echo "pillow|/usr/bin/python3 $scratch/pillow.py %OUT% %IN%/*.bmp"
    true
}

# Peak memory of one run, in MiB. Where a memory cgroup can be made, its
# high-water mark: that counts shared memory and the files written as well as
# the program's own pages (a memory file's pages that are not mapped are not
# in the resident set). Elsewhere the largest resident set.
memory_cgroup_parent() {
    local v1 v2
    v1=$(sed -n 's/^[0-9]*:memory:\(.*\)$/\1/p' /proc/self/cgroup)
    if [ -n "$v1" ] && [ -w "/sys/fs/cgroup/memory${v1%/}" ]; then
        echo "/sys/fs/cgroup/memory${v1%/}|memory.max_usage_in_bytes"
        return
    fi
    v2=$(sed -n 's/^0::\(.*\)$/\1/p' /proc/self/cgroup)
    if [ -f /sys/fs/cgroup/cgroup.controllers ] && [ -w "/sys/fs/cgroup${v2%/}" ] &&
        grep -qw memory "/sys/fs/cgroup${v2%/}/cgroup.subtree_control" 2>/dev/null; then
        echo "/sys/fs/cgroup${v2%/}|memory.peak"
    fi
}
cgroup_parent=$(memory_cgroup_parent || true)
peak_mib() {
    local cmd=$1 dir peak
    if [ -n "$cgroup_parent" ]; then
        dir="${cgroup_parent%|*}/tlc-peers-$$"
        if mkdir "$dir" 2>/dev/null; then
            sh -c "echo \$\$ >'$dir/cgroup.procs' && exec sh -c '$cmd'" >/dev/null 2>&1 || true
            peak=$(cat "$dir/${cgroup_parent#*|}" 2>/dev/null || true)
            rmdir "$dir" 2>/dev/null || true
            if [ -n "$peak" ]; then
                awk -v b="$peak" 'BEGIN {printf "%.1f", b / 1048576}'
                return
            fi
        fi
    fi
    /usr/bin/time -v sh -c "$cmd" 2>&1 >/dev/null | awk -F': ' '/Maximum resident/ {printf "%.1f", $2 / 1024}'
}

# Runs one set side by side; prints the table rows.
compare() { # title input outdir runs generator
    local title=$1 input=$2 outdir=$3 n=$4 gen=$5
    local names=() cmds=()
    while IFS='|' read -r name cmd; do
        cmd=${cmd//%IN%/$input}
        cmd=${cmd//%OUT%/$outdir}
        names+=("$name")
        cmds+=("$cmd")
    done < <($gen | grep -E "^(ours|${PEERS// /|})\|")
    # No shell around a single program: starting one and exec-ing the program
    # costs more than hyperfine's correction takes off, which weighs most on
    # the fastest. A pipeline, a glob or a cd runs in sh, whose own start (the
    # last command, "sh -c :") is taken off, as hyperfine's shell mode does.
    local run=() shelled=()
    for cmd in "${cmds[@]}"; do
        if [[ $cmd == *['|&;<>*']* || $cmd == cd\ * ]]; then
            run+=("sh -c '$cmd'")
            shelled+=(1)
        else
            run+=("$cmd")
            shelled+=(0)
        fi
    done
    local json="$scratch/result.json"
    mkdir -p "$outdir"
    hyperfine -N --style none --warmup 2 --runs "$n" --export-json "$json" \
        --prepare "sh -c 'rm -rf $outdir && mkdir -p $outdir'" "${run[@]}" "sh -c :" >/dev/null
    local peaks=()
    for cmd in "${cmds[@]}"; do
        rm -rf "$outdir" && mkdir -p "$outdir"
        peaks+=("$(peak_mib "$cmd")")
    done
    /usr/bin/python3 - "$json" "$title" "${names[@]}" -- "${peaks[@]}" -- "${shelled[@]}" <<'PY'
import json, statistics, sys
args = sys.argv[3:]
cut = args.index("--")
names, rest = args[:cut], args[cut + 1:]
cut = rest.index("--")
peaks, shelled = rest[:cut], [s == "1" for s in rest[cut + 1:]]
med = [statistics.median(r["times"]) * 1000 for r in json.load(open(sys.argv[1]))["results"]]
shell = med.pop()
med = [m - shell if s else m for m, s in zip(med, shelled)]
ours = med[names.index("ours")]
for name, m, peak in zip(names, med, peaks):
    ratio = "1.00" if name == "ours" else f"{m / ours:.2f}"
    print(f"| {sys.argv[2]} | {name} | {m:.1f} | {ratio} | {peak} |")
PY
}

shm=$(mktemp -d /dev/shm/tlc-peers.XXXXXX)
cp -r "$scratch/one.bmp" "$scratch/big.bmp" "$scratch/batch" "$shm/"
# The pictures just written must not still be on their way to the disk: the
# first flush of a logo would wait for them. A virtual disk may take a while
# after `sync` returns, so wait until a flush of a small file is quick.
sync
settle=$(mktemp "$scratch/settle.XXXXXX")
for ((i = 0; i < 60; i++)); do
    start=$(date +%s%N)
    dd if=/dev/zero of="$settle" bs=4k count=1 conv=fsync status=none
    (( ($(date +%s%N) - start) < 3000000 )) && break
    sleep 1
done
rm -f "$settle"

echo "Machine: $(nproc) cores, $(grep -m1 'model name' /proc/cpuinfo | cut -d: -f2 | sed 's/^ //'), load $(cut -d' ' -f1-3 /proc/loadavg)"
echo "Ours: $("$ours" --version 2>/dev/null | head -1 || true) ($build)"
if [ -n "$cgroup_parent" ]; then
    echo "Peak memory: the high-water mark of a memory cgroup around each run"
else
    echo "Peak memory: the largest resident set (no memory cgroup could be made)"
fi
echo
echo "| case | program | median ms | program / ours | peak MiB |"
echo "|---|---|---|---|---|"
for place in disk tmpfs; do
    if [ "$place" = disk ]; then src=$scratch; else src=$shm; fi
    [[ " $cases " == *" one "* ]] &&
        compare "600 x 600, $place" "$src/one.bmp" "$src/out" $((runs * 5)) one_commands
    [[ " $cases " == *" batch "* ]] &&
        compare "200 x 600 x 600, $place" "$src/batch" "$src/out" $(( (runs + 3) / 4 )) batch_commands
done
[[ " $cases " == *" big "* ]] &&
    compare "4000 x 3000, tmpfs" "$shm/big.bmp" "$shm/out" $(( (runs + 1) / 2 )) one_commands
echo
echo "Big picture file: $(( $(stat -c %s "$shm/big.bmp") / 1024 / 1024 )) MiB"
