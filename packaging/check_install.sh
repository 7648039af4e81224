#!/bin/sh
# Installs each package's files (CMake components cli and window) into its own
# fresh folder and checks what a user and a desktop need.
#   check_install.sh BUILD_DIR DESKTOP_ID VERSION core|full hardened|plain
set -eu
build=$1 id=$2 version=$3 kind=$4 hardening=${5:-plain}
work=$(mktemp -d "${TMPDIR:-/tmp}/tlc-install.XXXXXX")
trap 'rm -rf "$work"' EXIT
failures=0
fail() { echo "FAIL: $*" >&2; failures=$((failures + 1)); }

docs() { printf '%s\n' "share/doc/$1/README" "share/doc/$1/copyright" "share/doc/$1/LICENSE" \
                       "share/doc/$1/changelog.gz"; }
cli_files="bin/tillora-logo
libexec/tillora-logo/tillora-draw
share/man/man1/tillora-logo.1.gz
share/bash-completion/completions/tillora-logo
$(docs tillora-logo)"
window_files="bin/tillora-converter
share/man/man1/tillora-converter.1.gz
share/applications/$id.desktop
share/metainfo/$id.metainfo.xml
share/icons/hicolor/scalable/apps/$id.svg
$(for size in 16 24 32 48 64 128 256; do echo "share/icons/hicolor/${size}x${size}/apps/$id.png"; done)
$(docs tillora-logo-converter)"

components=cli
[ "$kind" = full ] && components="cli window"
total=0
for component in $components; do
  prefix=$work/$component
  cmake --install "$build" --prefix "$prefix" --component "$component" >/dev/null
  if [ "$component" = cli ]; then expected=$cli_files; else expected=$window_files; fi
  # Exactly these files: nothing missing, nothing stray (test programs, tools).
  actual=$(cd "$prefix" && find . -type f | sed 's|^\./||' | sort)
  wanted=$(printf '%s\n' "$expected" | sort)
  if [ "$actual" != "$wanted" ]; then
    fail "$component: installed files differ from the list (< installed, > expected):"
    printf '%s\n' "$actual" >"$work/.actual"; printf '%s\n' "$wanted" >"$work/.wanted"
    diff "$work/.actual" "$work/.wanted" >&2 || true
  fi
  total=$((total + $(printf '%s\n' "$wanted" | wc -l)))
done
cli=$work/cli win=$work/window

for program in "$cli/bin/tillora-logo" "$cli/libexec/tillora-logo/tillora-draw" "$win/bin/tillora-converter"; do
  [ -f "$program" ] || continue
  name=${program##*/}
  [ -x "$program" ] || fail "$name is not executable"
  if command -v readelf >/dev/null && readelf -d "$program" | grep -Eq 'R(UN)?PATH'; then
    fail "$name keeps a library search path: $(readelf -d "$program" | grep -E 'R(UN)?PATH')"
  fi
  if [ "$hardening" = hardened ]; then
    if command -v readelf >/dev/null; then
      readelf -lW "$program" | grep -q GNU_RELRO || fail "$name: no RELRO segment"
      readelf -dW "$program" | grep -Eq 'FLAGS.*BIND_NOW|FLAGS_1.*NOW' || fail "$name: not bound now"
    fi
    # Debian 12's C start files (Scrt1.o, crti.o, crtn.o) carry no IBT/SHSTK
    # note, so no program linked there gets one: look for the branch targets
    # -fcf-protection puts in instead.
    if command -v objdump >/dev/null; then
      objdump -d "$program" | grep -q endbr64 || fail "$name: no control-flow protection"
    fi
    # tillora-logo and tillora-draw make no C library call whose buffer size
    # the compiler knows, so the fortified build shows nothing to check in
    # them: the flag is looked for in their compile commands instead.
    skip=--nocfprotection
    main=
    [ "$name" = tillora-logo ] && main=cli/main
    [ "$name" = tillora-draw ] && main=draw/DrawMain
    if [ -n "$main" ]; then
      skip="$skip --nofortify"
      grep -B3 "\"file\": \".*/$main\\.cpp\"" "$build/compile_commands.json" 2>/dev/null |
        grep -q -- '-D_FORTIFY_SOURCE=[23]' || fail "$name: not built with _FORTIFY_SOURCE"
    fi
    if command -v hardening-check >/dev/null; then
      hardening-check --quiet $skip "$program" >&2 || fail "$name: hardening-check"
    else
      echo "hardening-check not installed (devscripts): RELRO, BIND_NOW and branch targets checked"
    fi
  fi
done

# The command line must run without Qt: nothing it links, directly or through
# another library, comes from Qt, and the C++ runtime is shared so that its
# updates reach it.
if command -v objdump >/dev/null; then
  needed=$(objdump -p "$cli/bin/tillora-logo" | awk '$1 == "NEEDED" { print $2 }')
  case $needed in *Qt*) fail "tillora-logo links Qt: $needed" ;; esac
  printf '%s\n' "$needed" | grep -q '^libstdc++\.so' || fail "tillora-logo links the C++ runtime statically"
fi
if command -v ldd >/dev/null; then
  all=$(ldd "$cli/bin/tillora-logo") || fail "ldd tillora-logo"
  case $all in *Qt*) fail "tillora-logo loads Qt: $all" ;; esac
  # Bitmaps start without the vector libraries: only the drawing helper has them.
  case $all in *rsvg*|*wmf*|*emf2svg*) fail "tillora-logo loads vector libraries: $all" ;; esac
  all=$(ldd "$cli/libexec/tillora-logo/tillora-draw") || fail "ldd tillora-draw"
  case $all in *Qt*) fail "tillora-draw loads Qt: $all" ;; esac
fi
# The installed program finds its installed helper and draws a vector picture.
printf '<svg xmlns="http://www.w3.org/2000/svg" width="40" height="20"><rect width="20" height="20"/></svg>' \
  >"$work/box.svg"
"$cli/bin/tillora-logo" convert "$work/box.svg" -o "$work/box.rsc" >/dev/null ||
  fail "the installed tillora-logo does not convert an SVG picture"
out=$("$cli/bin/tillora-logo" --version) || fail "tillora-logo --version failed"
[ "$out" = "tillora-logo (Tillora Graphic Logo Converter) $version" ] || fail "--version says: $out"

for size in 16 24 32 48 64 128 256; do
  png="$win/share/icons/hicolor/${size}x${size}/apps/$id.png"
  [ -f "$png" ] || continue
  # The PNG header's width and height (big-endian at bytes 16 and 20), then
  # bit depth and colour type: 6 is RGBA, 4 grey with alpha.
  head=$(od -An -tu1 -j16 -N10 "$png" | tr -s ' ' | sed 's/^ //')
  set -- $head
  [ "$1 $2 $3 $4 $5 $6 $7 $8" = "0 0 $((size / 256)) $((size % 256)) 0 0 $((size / 256)) $((size % 256))" ] ||
    fail "$png is not $size x $size ($head)"
  [ "${10}" = 6 ] || [ "${10}" = 4 ] || fail "$png has no alpha channel (colour type ${10})"
done
if [ "$kind" = full ]; then
  grep -q '<svg' "$win/share/icons/hicolor/scalable/apps/$id.svg" || fail "scalable icon is not SVG"
fi

for page in "$cli"/share/man/man1/*.1.gz "$win"/share/man/man1/*.1.gz; do
  [ -f "$page" ] || continue
  gzip -t "$page" || fail "$page is not a gzip file"
  if command -v groff >/dev/null; then
    warnings=$(gzip -dc "$page" | groff -man -Tutf8 -ww -z 2>&1) || fail "$page does not format"
    [ -z "$warnings" ] || fail "$page: $warnings"
  fi
done

if [ "$kind" = full ]; then
  desktop="$win/share/applications/$id.desktop"
  # One picture file as its argument, for "Open With"; the types it opens.
  grep -qx "Exec=tillora-converter %f" "$desktop" || fail "desktop entry Exec"
  grep -q "^MimeType=.*image/png;.*image/jpeg;" "$desktop" || fail "desktop entry MimeType"
  grep -qx "Icon=$id" "$desktop" || fail "desktop entry Icon"
  # Task bars pair the window with this entry by the id the program announces.
  LC_ALL=C grep -aqF "$id" "$win/bin/tillora-converter" || fail "tillora-converter does not announce $id"
  if command -v desktop-file-validate >/dev/null; then
    desktop-file-validate "$desktop" || fail "desktop-file-validate"
  else
    echo "desktop-file-validate not installed: desktop entry not validated"
  fi
  if command -v appstreamcli >/dev/null; then
    appstreamcli validate --no-net "$win/share/metainfo/$id.metainfo.xml" ||
      fail "appstreamcli validate"
  else
    echo "appstreamcli not installed: AppStream data not validated"
  fi
fi

if command -v bash >/dev/null; then
  bash -n "$cli/share/bash-completion/completions/tillora-logo" || fail "completion syntax"
fi

[ "$failures" = 0 ] || exit 1
echo "install trees complete ($total files, components: $components; $hardening)"
