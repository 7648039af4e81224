#!/usr/bin/env bash
# Time from process start to the main window's first paint, under Xvfb.
# Prints each run and the median in milliseconds. Needs the build first.
set -euo pipefail
cd "$(dirname "$0")/.."
program=build/app/tillora-converter-scripted
runs=${1:-11}
[ -x "$program" ] || { echo "Build first: cmake --build build --target tillora-converter-scripted" >&2; exit 1; }

if [ -z "${DISPLAY:-}" ]; then
  exec xvfb-run -a -s "-screen 0 1024x768x24" "$0" "$runs"
fi

times=()
for _ in $(seq "$runs"); do
  start=$(date +%s%N)
  shown=$(TLC_STARTUP_PROBE=1 QT_QPA_PLATFORM=xcb "$program" 2>/dev/null | sed -n 's/^shown //p')
  times+=($(( (shown - start) / 1000 )))
done
printf '%s\n' "${times[@]}" | sort -n | awk '{a[NR]=$1} END {
  for (i = 1; i <= NR; i++) printf "%.1f ms\n", a[i] / 1000;
  printf "median %.1f ms over %d runs\n", a[int((NR + 1) / 2)] / 1000, NR }'
