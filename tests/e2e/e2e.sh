#!/usr/bin/env bash
# End-to-end tests of the built converter: each case starts its own Xvfb and
# drives the program with real key presses through XTEST (xdotool without
# --window), the way a person at the keyboard would.
#   e2e.sh CASE CONVERTER TILLORA_LOGO [PICTURE_WRITER]
# Exit 77 (skipped) when Xvfb or xdotool is missing.
set -uo pipefail

case_name=$1
converter=$(realpath "$2")
cli=$(realpath "$3")
writer=${4:-none}
# The same program with the scripts' hooks (here: the status line to a file).
scripted=$(dirname "$converter")/tillora-converter-scripted
title="Tillora Graphic Logo Converter"
# How long (in tenths of a second) to wait for a window or the end; generous,
# since the machine may be busy building.
patience=200

fail() {
  echo "FAIL: $*" >&2
  [ -s "${work:-}/program.log" ] && sed 's/^/program: /' "$work/program.log" >&2
  exit 1
}
note() { echo "-- $*"; }

work=$(mktemp -d "${TMPDIR:-/tmp}/tlc-e2e.XXXXXX")
xvfb_pid=
program_pid=
cleanup() {
  [ -n "$program_pid" ] && kill "$program_pid" 2>/dev/null
  [ -n "$xvfb_pid" ] && kill "$xvfb_pid" 2>/dev/null
  wait 2>/dev/null
  rm -rf "$work"
}
trap cleanup EXIT

# Writes a 24-bit bitmap: the left half (128,255,255), dark in red only at
# the default threshold; the right half a colour ramp.
write_bitmap() {
  local path=$1 w=64 h=40 x y r g b i row
  local stride=$(( (w * 3 + 3) / 4 * 4 )) size
  local -a hex
  for ((i = 0; i < 256; i++)); do printf -v "hex[$i]" '\\x%02x' $i; done
  size=$(( stride * h ))
  le32() { echo -n "${hex[$(($1 & 255))]}${hex[$(($1 >> 8 & 255))]}${hex[$(($1 >> 16 & 255))]}${hex[$(($1 >> 24 & 255))]}"; }
  {
    printf '%b' "BM$(le32 $((54 + size)))$(le32 0)$(le32 54)$(le32 40)$(le32 $w)$(le32 $h)"
    printf '%b' "\\x01\\x00\\x18\\x00$(le32 0)$(le32 $size)$(le32 2835)$(le32 2835)$(le32 0)$(le32 0)"
    for ((y = 0; y < h; y++)); do
      row=
      for ((x = 0; x < w; x++)); do
        if ((x < 32)); then r=128 g=255 b=255; else r=$((x * 4 % 256)) g=$((y * 6 % 256)) b=200; fi
        row+="${hex[$b]}${hex[$g]}${hex[$r]}"
      done
      for ((x = w * 3; x < stride; x++)); do row+="${hex[0]}"; done
      printf '%b' "$row"
    done
  } >"$path"
}

# ---- the display and the program ----

# Pictures of the formats beyond the bitmap need the encoders' writer.
write_picture() {
  [ -x "$writer" ] || { echo "SKIPPED: built without the picture libraries"; exit 77; }
  "$writer" "$@" || fail "could not write the picture $*"
}

start_display() {
  command -v Xvfb >/dev/null || { echo "SKIPPED: Xvfb is not installed (scripts/setup.sh installs it)"; exit 77; }
  command -v xdotool >/dev/null || { echo "SKIPPED: xdotool is not installed (scripts/setup.sh installs it)"; exit 77; }
  command -v xprop >/dev/null || { echo "SKIPPED: xprop (x11-utils) is not installed (scripts/setup.sh installs it)"; exit 77; }
  Xvfb -displayfd 3 -screen 0 "${screen_size:-1024x768}x24" -nolisten tcp -noreset 3>"$work/display" 2>"$work/xvfb.log" &
  xvfb_pid=$!
  local i
  for ((i = 0; i < patience; i++)); do
    [ -s "$work/display" ] && break
    kill -0 "$xvfb_pid" 2>/dev/null || fail "Xvfb did not start: $(cat "$work/xvfb.log")"
    sleep 0.1
  done
  [ -s "$work/display" ] || fail "Xvfb gave no display number"
  export DISPLAY=":$(tr -d '\n' <"$work/display")"
}

# The program with a home and configuration folder of its own (checked to
# stay empty by no_settings_left); extra environment settings as arguments.
start_program() {
  mkdir -p "$work/runtime" "$work/config" "$work/home"
  chmod 700 "$work/runtime"
  (cd "$work" && exec env -u QT_QPA_PLATFORM -u WAYLAND_DISPLAY XDG_RUNTIME_DIR="$work/runtime" \
      HOME="$work/home" XDG_CONFIG_HOME="$work/config" "$@" "${program:-$converter}" >"$work/program.log" 2>&1) &
  program_pid=$!
  main_window=$(wait_window "$title") || exit 1
  focus "$main_window"
}

# Visible windows whose name is exactly $1, one id a line.
windows_named() {
  xdotool search --onlyvisible --name "^$1\$" 2>/dev/null
}

# Waits (up to the patience) for a visible window named exactly $1; prints its id.
wait_window() {
  local i ids
  for ((i = 0; i < patience; i++)); do
    ids=$(windows_named "$1")
    if [ -n "$ids" ]; then echo "$ids" | tail -n 1; return 0; fi
    kill -0 "$program_pid" 2>/dev/null || fail "the program ended while waiting for \"$1\""
    sleep 0.1
  done
  fail "no window \"$1\" within $((patience / 10)) s"
}

# Waits for the number of visible windows named $1 to be $2.
wait_count() {
  local i n
  for ((i = 0; i < patience; i++)); do
    n=$(windows_named "$1" | grep -c .)
    [ "$n" = "$2" ] && return 0
    sleep 0.1
  done
  fail "expected $2 windows \"$1\", saw $n"
}

# Every visible top-level window with a name, one id a line.
visible_windows() {
  xdotool search --onlyvisible --name '.' 2>/dev/null | sort
}

# Waits for a visible window that was not in the list $1; prints its id.
wait_new_window() {
  local before=$1 i id
  for ((i = 0; i < patience; i++)); do
    for id in $(visible_windows); do
      grep -qx "$id" <<<"$before" || { echo "$id"; return 0; }
    done
    sleep 0.1
  done
  fail "no new window within $((patience / 10)) s"
}

wait_gone() {
  local i
  for ((i = 0; i < patience; i++)); do
    visible_windows | grep -qx "$1" || return 0
    sleep 0.1
  done
  fail "window $1 did not close"
}

# No window manager runs, so the window gets the input focus the way one
# would give it; keys then go wherever the focus is.
focus() {
  timeout 5 xdotool windowfocus --sync "$1" || fail "could not focus window $1"
}

key() { xdotool key --delay 20 "$@"; }
type_text() { xdotool type --delay 8 "$1"; }

wait_exit() {
  local i
  for ((i = 0; i < patience; i++)); do
    if ! kill -0 "$program_pid" 2>/dev/null; then
      wait "$program_pid"
      local code=$?
      program_pid=
      return $code
    fi
    sleep 0.1
  done
  fail "the program did not end within $((patience / 10)) s"
}

# The property a window manager shows as the title.
net_wm_name() {
  xprop -id "$1" _NET_WM_NAME | sed -n 's/^_NET_WM_NAME(UTF8_STRING) = "\(.*\)"$/\1/p'
}

# For about a second, nothing but the main window may be visible (a popup
# left over by a dialog would be).
expect_only_main_window() {
  local i
  for ((i = 0; i < 8; i++)); do
    [ "$(visible_windows)" = "$main_window" ] ||
      fail "windows left over the main window: $(for w in $(visible_windows); do xdotool getwindowname "$w"; done | tr '\n' '|')"
    sleep 0.1
  done
}

# Opens a file dialog with $1 (a shortcut), types the full path $2 into its
# file name box (which has the focus when it opens) and presses Enter.
# Opens a file dialog from the main window by its key and types a name into
# it, then Return; the dialog's window is left in $dialog.
type_in_file_dialog() {
  local before
  focus "$main_window"
  before=$(visible_windows)
  key "$1"
  dialog=$(wait_new_window "$before") || exit 1
  focus "$dialog"
  key ctrl+a
  type_text "$2"
  key Return
}

use_file_dialog() {
  type_in_file_dialog "$1" "$2"
  # A name that completes to an existing file may leave the completion list
  # open, which takes the first Return (as a person sees, a second one
  # confirms).
  sleep 0.5
  if visible_windows | grep -qx "$dialog"; then key Return; fi
  wait_gone "$dialog"
  focus "$main_window"
}

expect_exit_zero() {
  wait_exit
  local code=$?
  [ "$code" = 0 ] || fail "exit code $code, not 0"
}

# A file dialog is hidden before the program writes what it chose, and a
# durable save may take a while on a busy disk: wait for the file (it is
# renamed into place whole, so once there it is complete).
same_bytes() {
  local i
  for ((i = 0; i < patience; i++)); do
    [ -f "$1" ] && break
    sleep 0.1
  done
  [ -f "$1" ] || fail "no file $1"
  cmp "$1" "$2" || fail "$1 differs from $2"
}

# Nothing but logo files under the program's home and configuration folder.
no_settings_left() {
  local left
  left=$(find "$work/home" "$work/config" -type f ! -name '*.rsc')
  [ -z "$left" ] || fail "files left behind: $left"
}

# Opens the Picture menu and picks the item with mnemonic $1.
picture_menu() {
  focus "$main_window"
  key alt+p
  sleep 0.3
  key "$1"
}

# ---- the cases ----

case "$case_name" in
no_display)
  # An unreachable X display and a refusing Wayland socket end like no
  # display at all: one line on standard error, exit code 0.
  for setting in "DISPLAY=:99" "WAYLAND_DISPLAY=tlc-e2e-none" ""; do
    env -u DISPLAY -u WAYLAND_DISPLAY -u QT_QPA_PLATFORM XDG_RUNTIME_DIR="$work" $setting \
      "$converter" >"$work/out" 2>"$work/err"
    code=$?
    [ "$code" = 0 ] || fail "with '$setting': exit code $code"
    [ "$(grep -c . "$work/err")" = 1 ] || fail "with '$setting': stderr was: $(cat "$work/err")"
    grep -q "^$title: " "$work/err" || fail "with '$setting': $(cat "$work/err")"
    note "with '$setting': $(cat "$work/err")"
  done
  ;;
start_exit)
  start_display
  start_program
  [ "$(net_wm_name "$main_window")" = "$title" ] || fail "main title: $(net_wm_name "$main_window")"
  key ctrl+x
  expect_exit_zero
  ;;
load_typeahead_save)
  # Load by typing the path, choose the IBM printer by typing "i" into the
  # printer list, save under a typed name: the file is the command line's.
  write_bitmap "$work/picture.bmp"
  "$cli" convert "$work/picture.bmp" --printer 3 -o "$work/expected.rsc" >/dev/null || fail "tillora-logo failed"
  start_display
  start_program
  use_file_dialog ctrl+o "$work/picture.bmp"
  expect_only_main_window
  # Focus starts on Load; the printer list is three tabs on.
  key Tab Tab Tab ctrl+a i
  use_file_dialog ctrl+s "$work/saved.rsc"
  same_bytes "$work/saved.rsc" "$work/expected.rsc"
  key ctrl+x
  expect_exit_zero
  ;;
threshold_refresh)
  # One step down on the red arrows, then Refresh: red 127 turns the left
  # half white. Saved before Refresh, the target is still the old one.
  write_bitmap "$work/picture.bmp"
  "$cli" convert "$work/picture.bmp" -o "$work/expected-128.rsc" >/dev/null || fail "tillora-logo failed"
  "$cli" convert "$work/picture.bmp" --thresholds 127,128,128 -o "$work/expected-127.rsc" >/dev/null ||
    fail "tillora-logo failed"
  cmp -s "$work/expected-128.rsc" "$work/expected-127.rsc" && fail "the picture does not tell the thresholds apart"
  start_display
  start_program
  use_file_dialog ctrl+o "$work/picture.bmp"
  # Load, Save, Close, the printer list, then the red threshold box.
  key Tab Tab Tab Tab Down
  use_file_dialog ctrl+s "$work/before.rsc"
  same_bytes "$work/before.rsc" "$work/expected-128.rsc"
  key alt+r
  use_file_dialog ctrl+s "$work/after.rsc"
  same_bytes "$work/after.rsc" "$work/expected-127.rsc"
  key ctrl+x
  expect_exit_zero
  ;;
help_about)
  start_display
  start_program
  key F1
  help=$(wait_window "Help") || exit 1
  [ "$(net_wm_name "$help")" = "Help" ] || fail "Help title: $(net_wm_name "$help")"
  focus "$main_window"
  key alt+h a
  about=$(wait_window "About \.\.\.") || exit 1
  [ "$(net_wm_name "$about")" = "About ..." ] || fail "About title: $(net_wm_name "$about")"
  focus "$about"
  key Return
  wait_gone "$about"
  # Menu shortcuts reach the main window from the Help window too.
  focus "$help"
  key ctrl+x
  expect_exit_zero
  ;;
damaged_file)
  # A picture that cannot be read: the error box (captioned like the main
  # window), then the program carries on and still loads a good one.
  write_bitmap "$work/picture.bmp"
  head -c 20 "$work/picture.bmp" >"$work/damaged.bmp"
  "$cli" convert "$work/damaged.bmp" -o "$work/none.rsc" >/dev/null 2>&1 && fail "the damaged picture loads"
  "$cli" convert "$work/picture.bmp" -o "$work/expected.rsc" >/dev/null || fail "tillora-logo failed"
  start_display
  start_program
  type_in_file_dialog ctrl+o "$work/damaged.bmp"
  wait_gone "$dialog"
  wait_count "$title" 2
  box=$(windows_named "$title" | grep -vx "$main_window" | head -n 1)
  focus "$box"
  key Return
  wait_count "$title" 1
  use_file_dialog ctrl+o "$work/picture.bmp"
  use_file_dialog ctrl+s "$work/saved.rsc"
  same_bytes "$work/saved.rsc" "$work/expected.rsc"
  key ctrl+x
  expect_exit_zero
  ;;
hostile_metafiles)
  # Metafiles damaged so that the drawing libraries abort (after a WMF with
  # many texts) or loop for ever: arrowing through them in the open dialog
  # previews each, the dialog and the window keep answering, and loading one
  # gives the error box.
  root=${TLC_TESTDATA:-${TLC_TESTDATA_DEFAULT:-}}/metafile
  [ -d "$root/hostile" ] || { echo "SKIPPED: no hostile metafiles (set TLC_TESTDATA)"; exit 77; }
  mkdir "$work/pics"
  cp "$(dirname "$0")/../ui/metafile-regressions/slow-1020-texts-from-17936-bytes.wmf" "$work/pics/a-texts.wmf"
  cp "$root/hostile/damaged-text-after-wmf-text.emf" "$root/hostile/hang-dib-pattern-brush.wmf" \
     "$root/pillow/drawing.wmf" "$work/pics/"
  start_display
  start_program
  type_in_file_dialog ctrl+o "$work/pics/"
  # From the name box back to the file list, then down through the files.
  key shift+Tab Home
  for step in 1 2 3 4; do
    sleep 0.5
    key Down
  done
  sleep 0.5
  key Escape
  wait_gone "$dialog"
  # The window still answers: the hanging file loads with the error box.
  use_file_dialog ctrl+o "$work/pics/hang-dib-pattern-brush.wmf"
  wait_count "$title" 2
  box=$(windows_named "$title" | grep -vx "$main_window" | head -n 1)
  focus "$box"
  key Return
  wait_count "$title" 1
  focus "$main_window"
  key ctrl+x
  expect_exit_zero
  ;;
png_typed_save)
  # A PNG with transparent and half-transparent parts, loaded by its typed
  # path and saved: the command line's logo, byte for byte, and no settings
  # file written.
  write_picture png 90 60 "$work/picture.png"
  cp "$work/picture.png" "$work/picture.orig"
  "$cli" convert "$work/picture.png" -o "$work/expected.rsc" >/dev/null || fail "tillora-logo failed"
  start_display
  start_program
  use_file_dialog ctrl+o "$work/picture.png"
  use_file_dialog ctrl+s "$work/home/saved.rsc"
  same_bytes "$work/home/saved.rsc" "$work/expected.rsc"
  # Saving over the loaded picture is refused with a message.
  use_file_dialog ctrl+s "$work/picture.png"
  wait_count "$title" 2
  box=$(windows_named "$title" | grep -vx "$main_window" | head -n 1)
  focus "$box"
  key Return
  wait_count "$title" 1
  cmp -s "$work/picture.png" "$work/picture.orig" || fail "the picture was overwritten"
  focus "$main_window"
  key ctrl+x
  expect_exit_zero
  no_settings_left
  ;;
svg_fit)
  # An SVG logo with Picture > Fit to printer: drawn at the size it fits to
  # and converted, the logo of `convert --fit`.
  cat > "$work/logo.svg" <<'SVG'
<svg xmlns="http://www.w3.org/2000/svg" width="120" height="40" viewBox="0 0 120 40">
  <rect x="2" y="2" width="116" height="36" fill="none" stroke="#000" stroke-width="3"/>
  <circle cx="30" cy="20" r="12" fill="#1a237e"/>
  <path d="M55 30 L70 8 L85 30 Z" fill="#444"/>
</svg>
SVG
  "$cli" convert "$work/logo.svg" --fit -o "$work/expected.rsc" >/dev/null || fail "tillora-logo failed"
  start_display
  start_program
  picture_menu f
  use_file_dialog ctrl+o "$work/logo.svg"
  use_file_dialog ctrl+s "$work/home/fitted.rsc"
  same_bytes "$work/home/fitted.rsc" "$work/expected.rsc"
  key ctrl+x
  expect_exit_zero
  ;;
jpeg_fit_dither)
  # A 4000 x 3000 photo with Picture > Fit to printer and Floyd-Steinberg:
  # the logo of `convert --fit --dither fs`.
  write_picture jpeg 4000 3000 "$work/photo.jpg"
  "$cli" convert "$work/photo.jpg" --fit --dither fs -o "$work/expected.rsc" >/dev/null || fail "tillora-logo failed"
  "$cli" convert "$work/photo.jpg" -o "$work/plain.rsc" >/dev/null || fail "tillora-logo failed"
  start_display
  start_program
  use_file_dialog ctrl+o "$work/photo.jpg"
  use_file_dialog ctrl+s "$work/home/plain.rsc"
  same_bytes "$work/home/plain.rsc" "$work/plain.rsc"
  picture_menu f
  picture_menu s
  use_file_dialog ctrl+s "$work/home/fitted.rsc"
  same_bytes "$work/home/fitted.rsc" "$work/expected.rsc"
  key ctrl+x
  expect_exit_zero
  no_settings_left
  ;;
cut_notice)
  # A picture larger than the printer's logo: the line under the panes says
  # it was cut and how to scale it; with Fit on it says it was scaled.
  write_picture png 800 700 "$work/big.png"
  start_display
  program=$scripted start_program TLC_STATUS_LOG="$work/status.log"
  use_file_dialog ctrl+o "$work/big.png"
  expected="picture 800 x 700 cut to 600 x 600 dots: Picture > Fit to printer scales it"
  for ((i = 0; i < patience; i++)); do grep -qF "$expected" "$work/status.log" 2>/dev/null && break; sleep 0.1; done
  grep -qF "$expected" "$work/status.log" || fail "status lines: $(cat "$work/status.log" 2>/dev/null)"
  grep -qF "Logo 600 x 600 dots (84.7 x 84.7 mm at 180 dpi)" "$work/status.log" || fail "no size: $(cat "$work/status.log")"
  picture_menu f
  for ((i = 0; i < patience; i++)); do grep -qF "scaled to" "$work/status.log" && break; sleep 0.1; done
  tail -n 1 "$work/status.log" | grep -qF "picture 800 x 700 scaled to" || fail "after Fit: $(tail -n 1 "$work/status.log")"
  tail -n 1 "$work/status.log" | grep -qF "cut to" && fail "still cut after Fit: $(tail -n 1 "$work/status.log")"
  note "$(tail -n 1 "$work/status.log")"
  key ctrl+x
  expect_exit_zero
  ;;
scaled_small_screen)
  # Twice the scale on a 1280 x 1024 screen: the window fits the screen,
  # and every menu opens from the keyboard and does its work.
  write_bitmap "$work/picture.bmp"
  "$cli" convert "$work/picture.bmp" --fit -o "$work/expected.rsc" >/dev/null || fail "tillora-logo failed"
  screen_size=1280x1024 start_display
  start_program QT_SCALE_FACTOR=2
  read -r x y w h < <(xdotool getwindowgeometry --shell "$main_window" |
    awk -F= '/^X=/{x=$2} /^Y=/{y=$2} /^WIDTH=/{w=$2} /^HEIGHT=/{h=$2} END{print x, y, w, h}')
  note "main window at $x,$y size ${w}x$h"
  # (Without a window manager the position may read a pixel or two off the edge.)
  ((w <= 1280 && h <= 1024 && x >= -4 && y >= -4 && x + w <= 1284 && y + h <= 1028)) ||
    fail "window $w x $h at $x,$y does not fit the screen"
  use_file_dialog ctrl+o "$work/picture.bmp"
  picture_menu f
  use_file_dialog ctrl+s "$work/home/saved.rsc"
  same_bytes "$work/home/saved.rsc" "$work/expected.rsc"
  key alt+h a
  about=$(wait_window "About \.\.\.") || exit 1
  focus "$about"
  key Return
  wait_gone "$about"
  focus "$main_window"
  key alt+f x
  expect_exit_zero
  ;;
*)
  fail "unknown case $case_name"
  ;;
esac
echo "PASS: $case_name"
