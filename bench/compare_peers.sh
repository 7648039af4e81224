#!/usr/bin/env bash
# Whole-process speed and peak memory of `tillora-logo convert` beside the
# peers that are installed, every program doing the same job: read the
# picture, keep the logo area (the top left 600 x 600, where ours cuts a larger
# picture for the default printer), apply a threshold and write a 1-bit file of
# 600 x 600 dots (about 45,000 bytes). Cases: one 600 x 600 bitmap on the disk
# and on tmpfs, a batch of 200 on the disk and on tmpfs, one 4000 x 3000 bitmap,
# PNG and JPEG on tmpfs.
#
# Floors, plain C programs with our rule: "floor-whole" reads the whole file,
# thresholds every pixel and writes the bits; "floor-whole-sync" also flushes
# the file and its folder; "floor-crop" does our job only: it maps the file,
# thresholds the logo area and writes as ours does (an unnamed temporary file,
# flushed, named, renamed over the target, folder flushed). No peer flushes.
#
# Runs are interleaved: each round runs every program once, starting one
# program further on each round, so that a noisy moment hits all rows alike;
# the table shows medians. The whole comparison runs PASSES times (default 2),
# each pass printing its tables and whether the goals hold on its figures.
#
# The peers are for this measurement only, never dependencies:
#   apt-get install time graphicsmagick imagemagick netpbm libvips-tools python3-pil
#
#   [PEERS="floor-crop netpbm ..."] [PASSES=2] bench/compare_peers.sh [BUILD_DIR] [RUNS] [CASES]
# PEERS picks the programs beside ours (default: all installed); CASES picks
# from "one batch big" (default: all; "big" is the bitmap, PNG and JPEG). The
# single picture runs RUNS x 3 rounds, the batch RUNS / 4 and the big pictures
# RUNS / 2, each after one round not counted (not the batch: its 200 pictures
# per run settle the caches themselves). Pipelines and globs run in sh; the
# median of "sh -c :", timed in the same rounds, is taken off them.
set -euo pipefail
build=$(cd "${1:-build}" && pwd)
runs=${2:-10}
cases=${3:-one batch big}
passes=${PASSES:-2}
PEERS=${PEERS:-floor-whole floor-whole-sync floor-crop netpbm graphicsmagick imagemagick libvips pillow}
ours="$build/cli/tillora-logo"
[ -x "$ours" ] || { echo "no $ours: build first" >&2; exit 1; }
[ -x /usr/bin/time ] || { echo "/usr/bin/time is needed (package time)" >&2; exit 1; }
command -v cc >/dev/null || { echo "a C compiler is needed for the floors and the timer" >&2; exit 1; }

scratch=$(mktemp -d)
trap 'rm -rf "$scratch" "${shm:-}"' EXIT
trap 'exit 1' INT TERM

# The timer: runs one command without a shell, its output thrown away, and
# prints the wall time in nanoseconds (or "fail").
cat >"$scratch/tick.c" <<'C'
#include <fcntl.h>
#include <stdio.h>
#include <sys/wait.h>
#include <time.h>
#include <unistd.h>
int main(int argc, char** argv) {
    if (argc < 2) return 2;
    struct timespec a, b;
    clock_gettime(CLOCK_MONOTONIC, &a);
    pid_t pid = fork();
    if (pid == 0) {
        int null = open("/dev/null", O_WRONLY);
        dup2(null, 1);
        dup2(null, 2);
        execvp(argv[1], argv + 1);
        _exit(127);
    }
    int status = 0;
    if (pid < 0 || waitpid(pid, &status, 0) != pid) return 1;
    clock_gettime(CLOCK_MONOTONIC, &b);
    if (!WIFEXITED(status) || WEXITSTATUS(status) != 0) { puts("fail"); return 0; }
    printf("%lld\n", (long long)(b.tv_sec - a.tv_sec) * 1000000000LL + (b.tv_nsec - a.tv_nsec));
    return 0;
}
C

# The whole-picture floor: 24-bit bottom-up bitmap in, one bit per pixel out,
# dark when any channel is at or below 128.
cat >"$scratch/floor.c" <<'C'
#include <fcntl.h>
#include <stdio.h>
#include <stdlib.h>
#include <unistd.h>
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

# The cropping floor: our job and no more. Maps the bitmap, thresholds the top
# left W x H (the picture's first rows are the file's last), and writes the
# bits the way ours writes a logo: an unnamed file in the target's folder,
# flushed, given a name, renamed over the target, then the folder flushed.
cat >"$scratch/floor-crop.c" <<'C'
#define _GNU_SOURCE
#include <fcntl.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>
#include <sys/mman.h>
#include <sys/stat.h>
#include <unistd.h>
int main(int argc, char** argv) { /* in.bmp folder name W H */
    if (argc < 6) return 2;
    int fd = open(argv[1], O_RDONLY);
    struct stat st;
    if (fd < 0 || fstat(fd, &st)) return 1;
    const unsigned char* b = mmap(NULL, (size_t)st.st_size, PROT_READ, MAP_PRIVATE, fd, 0);
    if (b == MAP_FAILED) return 1;
    unsigned off = b[10] | b[11] << 8 | b[12] << 16 | (unsigned)b[13] << 24;
    int w = b[18] | b[19] << 8, h = b[22] | b[23] << 8;
    int cw = atoi(argv[4]), ch = atoi(argv[5]);
    if (cw > w) cw = w;
    if (ch > h) ch = h;
    size_t stride = ((size_t)w * 3 + 3) & ~(size_t)3, rowBytes = ((size_t)cw + 7) / 8;
    size_t size = rowBytes * (size_t)ch;
    unsigned char* out = calloc(size, 1);
    for (int y = 0; y < ch; ++y) {
        const unsigned char* p = b + off + (size_t)(h - 1 - y) * stride;
        unsigned char* o = out + (size_t)y * rowBytes;
        for (int x = 0; x < cw; ++x, p += 3)
            if (p[0] <= 128 || p[1] <= 128 || p[2] <= 128) o[x >> 3] |= (unsigned char)(0x80 >> (x & 7));
    }
    int dir = open(argv[2], O_RDONLY | O_DIRECTORY);
    if (dir < 0) return 1;
    char tmp[64];
    snprintf(tmp, sizeof tmp, ".floor-%ld.tmp", (long)getpid());
    int g = openat(dir, ".", O_TMPFILE | O_WRONLY, 0644);
    int unnamed = g >= 0;
    if (!unnamed) g = openat(dir, tmp, O_CREAT | O_EXCL | O_WRONLY, 0644);
    if (g < 0 || write(g, out, size) != (ssize_t)size || fsync(g)) return 1;
    if (unnamed) {
        char self[64];
        snprintf(self, sizeof self, "/proc/self/fd/%d", g);
        if (linkat(AT_FDCWD, self, dir, tmp, AT_SYMLINK_FOLLOW)) return 1;
    }
    if (renameat(dir, tmp, dir, argv[3]) || close(g) || fsync(dir) || close(dir)) return 1;
    return 0;
}
C
cc -O2 -o "$scratch/tick" "$scratch/tick.c"
cc -O2 -o "$scratch/floor" "$scratch/floor.c"
cc -O2 -o "$scratch/floor-crop" "$scratch/floor-crop.c"

# A Pillow loop with our rule (dark when any channel is at or below 128),
# cropped to the logo area first.
cat >"$scratch/pillow.py" <<'PY'
import sys
from PIL import Image, ImageChops
out = sys.argv[1]
for path in sys.argv[2:]:
    im = Image.open(path)
    r, g, b = im.crop((0, 0, min(600, im.width), min(600, im.height))).convert("RGB").split()
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

have() { command -v "$1" >/dev/null; }
have_pil() { /usr/bin/python3 -c "import PIL" 2>/dev/null; }
im=$(command -v convert-im6.q16 || command -v convert || true)
mog=$(command -v mogrify-im6.q16 || command -v mogrify || true)
# The PNG and the JPEG of the big picture, made from the bitmap.
if [[ " $cases " == *" big "* ]]; then
    if have gm; then
        gm convert "$scratch/big.bmp" "$scratch/big.png"
        gm convert "$scratch/big.bmp" -quality 90 "$scratch/big.jpg"
    elif [ -n "$im" ]; then
        "$im" "$scratch/big.bmp" "$scratch/big.png"
        "$im" "$scratch/big.bmp" -quality 90 "$scratch/big.jpg"
    fi
fi

# name|command for one picture; %IN% and %OUT% are filled in. Every row keeps
# the top left 600 x 600 (all of a 600 x 600 picture) and writes 1 bit a dot.
crop="600x600+0+0"
one_commands() { # decoder of netpbm for this kind of picture; bmp for the floors
    local pnm=$1
    echo "ours|$ours convert %IN% -o %OUT%/one.rsc"
    if [ "$pnm" = bmptopnm ]; then
        echo "floor-whole|$scratch/floor %IN% %OUT%/one.bits"
        echo "floor-whole-sync|$scratch/floor %IN% %OUT%/one.bits %OUT%"
        echo "floor-crop|$scratch/floor-crop %IN% %OUT% one.bits 600 600"
    fi
    have "$pnm" && have pamcut &&
        echo "netpbm|$pnm %IN% 2>/dev/null | pamcut -left 0 -top 0 -width 600 -height 600 | ppmtopgm | pgmtopbm -threshold -value 0.5 >%OUT%/one.pbm"
    have gm && echo "graphicsmagick|gm convert %IN% -crop $crop -threshold 50% %OUT%/one.pbm"
    [ -n "$im" ] && echo "imagemagick|$im %IN% -crop $crop +repage -threshold 50% %OUT%/one.pbm"
    # One operation per vips process: crop, compare, join the bands, streamed
    # as PPM from one to the next; the last writes 1 bit a dot.
    have vips &&
        echo "libvips|vips crop %IN% .ppm 0 0 600 600 | vips relational_const stdin .ppm moreeq 129 | vips bandbool stdin '%OUT%/one.pbm[bitdepth=1,strip]' and"
    have_pil && echo "pillow|/usr/bin/python3 $scratch/pillow.py %OUT% %IN%"
    true
}
one_bmp() { one_commands bmptopnm; }
one_png() { one_commands pngtopnm; }
one_jpg() { one_commands jpegtopnm; }

batch_commands() {
    echo "ours|$ours convert %IN%/*.bmp -d %OUT%"
    have gm &&
        echo "graphicsmagick|cd %IN% && gm mogrify -output-directory %OUT% -format pbm -threshold 50% *.bmp"
    [ -n "$mog" ] && echo "imagemagick|$mog -path %OUT% -format pbm -threshold 50% %IN%/*.bmp"
    have_pil && echo "pillow|/usr/bin/python3 $scratch/pillow.py %OUT% %IN%/*.bmp"
    true
}

# Peak memory of one run, in MiB. Where a memory cgroup can be made, its
# high-water mark: that counts shared memory and the files written as well as
# the program's own pages. Elsewhere the largest resident set.
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
            sh -c "echo \$\$ >'$dir/cgroup.procs' && exec sh -c \"\$0\"" "$cmd" >/dev/null 2>&1 || true
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

# Output size of each program, checked once: a row must write the same kind
# and size of result as ours.
output_bytes() { # outdir
    find "$1" -type f -printf '%s\n' | awk '{s += $1; n++} END {printf "%d file(s), %d bytes", n, s}'
}

results="$scratch/results.tsv"

# Runs one case interleaved; prints its table rows and adds them to $results.
compare() { # pass title input outdir rounds generator [rounds not counted]
    local pass=$1 title=$2 input=$3 outdir=$4 n=$5 gen=$6 warm=${7:-1}
    local names=() cmds=() shelled=()
    while IFS='|' read -r name cmd; do
        cmd=${cmd//%IN%/$input}
        cmd=${cmd//%OUT%/$outdir}
        names+=("$name")
        cmds+=("$cmd")
        if [[ $cmd == *['|&;<>*']* || $cmd == cd\ * ]]; then shelled+=(1); else shelled+=(0); fi
    done < <($gen | grep -E "^(ours|${PEERS// /|})\|")
    names+=("sh")
    cmds+=(":")
    shelled+=(1)
    local count=${#names[@]} times="$scratch/times.txt" round i k
    : >"$times"
    for ((round = 0; round < warm + n; round++)); do
        for ((k = 0; k < count; k++)); do
            i=$(( (round + k) % count ))
            rm -rf "$outdir" && mkdir -p "$outdir"
            local t
            if [ "${shelled[i]}" = 1 ]; then
                t=$("$scratch/tick" sh -c "${cmds[i]}")
            else
                # shellcheck disable=SC2086  # a single program's words
                t=$("$scratch/tick" ${cmds[i]})
            fi
            # The first rounds warm the caches and are not counted.
            ((round >= warm)) && echo "${names[i]} $t" >>"$times"
        done
    done
    local peaks=() sizes=()
    for ((i = 0; i < count - 1; i++)); do
        rm -rf "$outdir" && mkdir -p "$outdir"
        peaks+=("$(peak_mib "${cmds[i]}")")
        sizes+=("$(output_bytes "$outdir")")
    done
    /usr/bin/python3 - "$times" "$pass" "$title" "$results" "${names[@]}" -- "${peaks[@]}" -- \
        "${shelled[@]}" -- "${sizes[@]}" <<'PY'
import statistics, sys
times, pass_, title, results = sys.argv[1:5]
groups, cur = [], []
for a in sys.argv[5:]:
    if a == "--":
        groups.append(cur)
        cur = []
    else:
        cur.append(a)
groups.append(cur)
names, peaks, shelled, sizes = groups
runs = {}
for line in open(times):
    name, t = line.split()
    runs.setdefault(name, []).append(None if t == "fail" else int(t) / 1e6)
def median(name):
    ok = [t for t in runs.get(name, []) if t is not None]
    return statistics.median(ok) if ok else float("nan")
shell = median("sh")
med = {n: median(n) - (shell if s == "1" else 0) for n, s in zip(names, shelled)}
ours = med["ours"]
with open(results, "a") as out:
    for name, peak, size in zip(names, peaks, sizes):
        fails = sum(t is None for t in runs.get(name, []))
        ratio = "1.00" if name == "ours" else f"{med[name] / ours:.2f}"
        note = f" ({fails} failed)" if fails else ""
        print(f"| {title} | {name}{note} | {med[name]:.1f} | {ratio} | {peak} | {size} |")
        out.write(f"{pass_}\t{title}\t{name}\t{med[name]}\t{peak or 'nan'}\n")
PY
}

# Whether each goal holds on one pass's figures.
goals() { # pass
    /usr/bin/python3 - "$results" "$1" "$(stat -c %s "$shm/big.bmp")" <<'PY'
import sys
results, pass_, big_bytes = sys.argv[1], sys.argv[2], int(sys.argv[3])
ms, peak = {}, {}
for line in open(results):
    p, title, name, m, mib = line.rstrip("\n").split("\t")
    if p == pass_:
        ms[title, name] = float(m)
        peak[title, name] = float(mib)
def ratio(title, name):
    if (title, name) not in ms or (title, "ours") not in ms:
        return None
    return ms[title, name] / ms[title, "ours"]
def line(goal, value, wanted, holds):
    if value is None:
        print(f"- {goal}: not measured")
    else:
        print(f"- {goal}: {value} (wanted {wanted}): {'met' if holds else 'NOT MET'}")
def at_least(goal, title, name, times):
    r = ratio(title, name)
    line(goal, None if r is None else f"{r:.2f}x", f">= {times}x", r is not None and r >= times)
at_least("600 x 600 on tmpfs, netpbm pipeline / ours", "600 x 600, tmpfs", "netpbm", 2.5)
at_least("600 x 600 on tmpfs, GraphicsMagick / ours", "600 x 600, tmpfs", "graphicsmagick", 5)
at_least("200 x 600 x 600 on the disk, gm mogrify / ours", "200 x 600 x 600, disk", "graphicsmagick", 2)
at_least("200 x 600 x 600 on the disk, Pillow loop / ours", "200 x 600 x 600, disk", "pillow", 2)
big = "4000 x 3000 BMP, tmpfs"
if (big, "ours") in peak:
    mib = big_bytes / 1048576
    r = peak[big, "ours"] / mib
    line("4000 x 3000 BMP, ours' peak memory / file size", f"{peak[big, 'ours']:.1f} MiB / {mib:.1f} MiB = {r:.2f}x",
         "<= 1.25x", r <= 1.25)
else:
    line("4000 x 3000 BMP, ours' peak memory / file size", None, "", False)
r = ratio(big, "floor-crop")
line("4000 x 3000 BMP, ours / cropping floor (time)", None if r is None else f"{1 / r:.2f}x", "<= 2x",
     r is not None and 1 / r <= 2)
for kind in ("PNG", "JPEG"):
    title = f"4000 x 3000 {kind}, tmpfs"
    if (title, "ours") in peak and (title, "libvips") in peak:
        o, v = peak[title, "ours"], peak[title, "libvips"]
        line(f"4000 x 3000 {kind}, peak memory ours / libvips", f"{o:.1f} / {v:.1f} MiB", "ours <= libvips", o <= v)
    else:
        line(f"4000 x 3000 {kind}, peak memory ours / libvips", None, "", False)
PY
}

shm=$(mktemp -d /dev/shm/tlc-peers.XXXXXX)
cp -r "$scratch/one.bmp" "$scratch/big.bmp" "$scratch/batch" "$shm/"
[ -f "$scratch/big.png" ] && cp "$scratch/big.png" "$scratch/big.jpg" "$shm/"
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

echo "Machine: $(nproc) cores, $(grep -m1 'model name' /proc/cpuinfo | cut -d: -f2 | sed 's/^ //')"
echo "Ours: $("$ours" --version 2>/dev/null | head -1 || true) ($build)"
if [ -n "$cgroup_parent" ]; then
    echo "Peak memory: the high-water mark of a memory cgroup around each run"
else
    echo "Peak memory: the largest resident set (no memory cgroup could be made)"
fi
echo "Big picture: BMP $(stat -c %s "$shm/big.bmp") bytes$([ -f "$shm/big.png" ] &&
    echo ", PNG $(stat -c %s "$shm/big.png"), JPEG $(stat -c %s "$shm/big.jpg")")"
for ((pass = 1; pass <= passes; pass++)); do
    echo
    echo "Pass $pass of $passes (load $(cut -d' ' -f1-3 /proc/loadavg))"
    echo
    echo "| case | program | median ms | program / ours | peak MiB | output |"
    echo "|---|---|---|---|---|---|"
    for place in disk tmpfs; do
        if [ "$place" = disk ]; then src=$scratch; else src=$shm; fi
        [[ " $cases " == *" one "* ]] &&
            compare $pass "600 x 600, $place" "$src/one.bmp" "$src/out" $((runs * 3)) one_bmp
        [[ " $cases " == *" batch "* ]] &&
            compare $pass "200 x 600 x 600, $place" "$src/batch" "$src/out" $(( (runs + 3) / 4 )) batch_commands 0
    done
    if [[ " $cases " == *" big "* ]]; then
        compare $pass "4000 x 3000 BMP, tmpfs" "$shm/big.bmp" "$shm/out" $(( (runs + 1) / 2 )) one_bmp
        if [ -f "$shm/big.png" ]; then
            compare $pass "4000 x 3000 PNG, tmpfs" "$shm/big.png" "$shm/out" $(( (runs + 1) / 2 )) one_png
            compare $pass "4000 x 3000 JPEG, tmpfs" "$shm/big.jpg" "$shm/out" $(( (runs + 1) / 2 )) one_jpg
        fi
    fi
    echo
    echo "Goals, pass $pass:"
    goals $pass
done
