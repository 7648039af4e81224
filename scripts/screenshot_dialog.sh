#!/usr/bin/env bash
# Takes docs/open-dialog.png: the built converter under its own Xvfb, the open
# dialog run with Ctrl+O and a sample picture chosen in its file list, driven
# by key presses through XTEST. Needs the build, Xvfb, xdotool and ImageMagick
# (TLC_SCREENSHOT=1 scripts/setup.sh installs the last two).
set -euo pipefail
cd "$(dirname "$0")/.."
root=$PWD
program=$root/build/app/tillora-converter
[ -x "$program" ] || { echo "Build first: cmake --build build --target tillora-converter" >&2; exit 1; }
for tool in Xvfb xdotool import convert; do
  command -v "$tool" >/dev/null || { echo "$tool is missing" >&2; exit 1; }
done

work=$(mktemp -d)
pids=()
cleanup() { for p in "${pids[@]}"; do kill "$p" 2>/dev/null || true; done; rm -rf "$work"; }
trap cleanup EXIT

# A folder as an operator keeps it: a logo, an icon, a damaged file, a folder.
mkdir -p "$work/logos/Archive"
python3 scripts/make_sample.py "$work/logos/shop-sign.bmp"
convert "$work/logos/shop-sign.bmp" -resize 48x48 "$work/logos/icon.ico"
printf 'BM not a bitmap' > "$work/logos/damaged.bmp"

exec 3>"$work/display"
Xvfb -displayfd 3 -screen 0 1024x768x24 -nolisten tcp 2>/dev/null &
pids+=($!)
for _ in $(seq 50); do [ -s "$work/display" ] && break; sleep 0.1; done
export DISPLAY=":$(head -1 "$work/display")"

(cd "$work/logos" && exec "$program") &
pids+=($!)
main=$(timeout 20 xdotool search --sync --name '^Tillora Graphic Logo Converter$' | head -1)
eval "$(xdotool getwindowgeometry --shell "$main")"
# No window manager: a click gives the window the keyboard.
xdotool mousemove $((X + WIDTH / 2)) $((Y + 40)) click 1
sleep 0.5
xdotool key ctrl+o
timeout 20 xdotool search --sync --name '^Open$' >/dev/null
sleep 1
# From the name box back to the file list, then to the picture by its first letter.
xdotool key shift+Tab
sleep 0.3
xdotool type --delay 100 shop
sleep 1
import -window root "$work/screen.png"
mkdir -p docs
dialog=$(xdotool search --name '^Open$' | head -1)
eval "$(xdotool getwindowgeometry --shell "$dialog")"
convert "$work/screen.png" -crop "${WIDTH}x${HEIGHT}+${X}+${Y}" +repage docs/open-dialog.png
echo "Wrote docs/open-dialog.png"
