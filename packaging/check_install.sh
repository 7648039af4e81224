#!/bin/sh
# Installs the build into a fresh folder and checks what a desktop needs.
#   check_install.sh BUILD_DIR DESKTOP_ID VERSION core|full
set -eu
build=$1 id=$2 version=$3 kind=$4
prefix=$(mktemp -d "${TMPDIR:-/tmp}/tlc-install.XXXXXX")
trap 'rm -rf "$prefix"' EXIT
failures=0
fail() { echo "FAIL: $*" >&2; failures=$((failures + 1)); }

cmake --install "$build" --prefix "$prefix" >/dev/null

doc=share/doc/tillora-logo-converter
expected="bin/tillora-logo
share/man/man1/tillora-logo.1.gz
share/bash-completion/completions/tillora-logo
$doc/README
$doc/copyright
$doc/LICENSE
$doc/changelog.gz"
if [ "$kind" = full ]; then
  expected="$expected
bin/tillora-converter
share/man/man1/tillora-converter.1.gz
share/applications/$id.desktop
share/metainfo/$id.metainfo.xml
share/icons/hicolor/16x16/apps/$id.png
share/icons/hicolor/32x32/apps/$id.png
share/icons/hicolor/48x48/apps/$id.png
share/icons/hicolor/256x256/apps/$id.png"
fi

# Exactly these files: nothing missing, nothing stray (test programs, tools).
actual=$(cd "$prefix" && find . -type f | sed 's|^\./||' | sort)
wanted=$(printf '%s\n' "$expected" | sort)
if [ "$actual" != "$wanted" ]; then
  fail "installed files differ from the list (< installed, > expected):"
  printf '%s\n' "$actual" >"$prefix/.actual"; printf '%s\n' "$wanted" >"$prefix/.wanted"
  diff "$prefix/.actual" "$prefix/.wanted" >&2 || true
fi

for program in tillora-logo tillora-converter; do
  [ -f "$prefix/bin/$program" ] || continue
  [ -x "$prefix/bin/$program" ] || fail "$program is not executable"
  if command -v readelf >/dev/null && readelf -d "$prefix/bin/$program" | grep -Eq 'R(UN)?PATH'; then
    fail "$program keeps a library search path: $(readelf -d "$prefix/bin/$program" | grep -E 'R(UN)?PATH')"
  fi
done
out=$("$prefix/bin/tillora-logo" --version) || fail "tillora-logo --version failed"
[ "$out" = "tillora-logo (Tillora Graphic Logo Converter) $version" ] || fail "--version says: $out"

for size in 16 32 48 256; do
  png="$prefix/share/icons/hicolor/${size}x${size}/apps/$id.png"
  [ -f "$png" ] || continue
  # The PNG header's width and height, big-endian at bytes 16 and 20.
  dims=$(od -An -tu1 -j16 -N8 "$png" | tr -s ' ' | sed 's/^ //')
  [ "$dims" = "0 0 $((size / 256)) $((size % 256)) 0 0 $((size / 256)) $((size % 256))" ] ||
    fail "$png is not $size x $size ($dims)"
done

for page in "$prefix"/share/man/man1/*.1.gz; do
  gzip -t "$page" || fail "$page is not a gzip file"
  if command -v groff >/dev/null; then
    warnings=$(gzip -dc "$page" | groff -man -Tutf8 -ww -z 2>&1) || fail "$page does not format"
    [ -z "$warnings" ] || fail "$page: $warnings"
  fi
done

if [ "$kind" = full ]; then
  desktop="$prefix/share/applications/$id.desktop"
  grep -qx "Exec=tillora-converter" "$desktop" || fail "desktop entry Exec"
  grep -qx "Icon=$id" "$desktop" || fail "desktop entry Icon"
  # Task bars pair the window with this entry by the id the program announces.
  LC_ALL=C grep -aqF "$id" "$prefix/bin/tillora-converter" || fail "tillora-converter does not announce $id"
  if command -v desktop-file-validate >/dev/null; then
    desktop-file-validate "$desktop" || fail "desktop-file-validate"
  else
    echo "desktop-file-validate not installed: desktop entry not validated"
  fi
  if command -v appstreamcli >/dev/null; then
    appstreamcli validate --no-net "$prefix/share/metainfo/$id.metainfo.xml" ||
      fail "appstreamcli validate"
  else
    echo "appstreamcli not installed: AppStream data not validated"
  fi
fi

if command -v bash >/dev/null; then
  bash -n "$prefix/share/bash-completion/completions/tillora-logo" || fail "completion syntax"
fi

[ "$failures" = 0 ] || exit 1
echo "install tree complete ($(printf '%s\n' "$wanted" | wc -l) files)"
