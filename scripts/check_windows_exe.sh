#!/usr/bin/env bash
# What Windows and Explorer read from tillora-logo.exe, and how it starts:
# icon, version and manifest resources; the version resource's numbers are
# the project's; started alone in its console (as by a double click) it
# greets and waits for a key; names beyond ASCII show in the console; started from a prompt with no command, the
# usage error as before. With ZIP (when scripts/build-windows.sh has made it):
# the zip holds the stripped program, its README and every licence notice.
# Usage: check_windows_exe.sh EXE VERSION [ZIP]
# Run by CTest in the Windows build with its Wine wrapper in TLC_WINE_RUN.
set -uo pipefail
exe=$1 version=$2 zip=${3:-}
wine_run=${TLC_WINE_RUN:?the Wine wrapper of the build}
failed=0
fail() { echo "FAIL: $*"; failed=1; }

# Resource types: 3 icon, 14 icon group, 16 version, 24 manifest.
dump=$(x86_64-w64-mingw32-objdump -p "$exe") || { echo "objdump failed"; exit 1; }
types=$(sed -n '/The .rsrc Resource Directory/,$p' <<<"$dump" | grep -E '^0[0-9a-f]{2}   Entry: ID' |
        sed 's/.*ID: 0x0*\([0-9a-f]*\),.*/\1/' | tr '\n' ' ')
for type in 3 e 10 18; do
  [[ " $types" == *" $type "* ]] || fail "resource type 0x$type missing (types: $types)"
done
strings -el "$exe" | grep -A1 -x FileVersion | grep -qx "$version" || fail "FileVersion is not $version"
strings -el "$exe" | grep -A1 -x ProductVersion | grep -qx "$version" || fail "ProductVersion is not $version"
manifest=$(strings -n 8 "$exe")
for setting in '<activeCodePage[^>]*>UTF-8</activeCodePage>' '<longPathAware[^>]*>true</longPathAware>' \
               'supportedOS Id="{8e0f7a12-bfb3-4fe8-b9a5-48fd50a15a9a}"'; do
  grep -q "$setting" <<<"$manifest" || fail "manifest lacks $setting"
done

# No arguments and a console of its own: the greeting, then it waits for a
# key (here typed two seconds later) and ends with 0.
if command -v script >/dev/null; then
  start=$(date +%s)
  shown=$( (sleep 2; printf x) | timeout 60 script -qec "'$wine_run' '$exe'" /dev/null)
  status=$?
  took=$(( $(date +%s) - start ))
  # The console draws each character between cursor codes, spaces as moves.
  plain=$(sed 's/\x1b\[[0-9;?]*[A-Za-z]//g' <<<"$shown" | tr -d ' \r\n')
  [ "$status" = 0 ] || fail "double-click start: exit status $status"
  [[ "$plain" == *"usedfromaCommandPrompt"*"Pressanykeytoclosethiswindow."* ]] || fail "double-click start: no greeting: $plain"
  [ "$took" -ge 2 ] || fail "double-click start: ended after $took s, before the key"
  # A name beyond ASCII in a message shows as itself in the console.
  name="missing-caf$(printf '\303\251')-$(printf '\346\227\245').rsc"
  shown=$(LC_ALL=C.UTF-8 timeout 60 script -qec "'$wine_run' '$exe' show '$name'" /dev/null </dev/null)
  [[ $(sed 's/\x1b\[[0-9;?]*[A-Za-z]//g' <<<"$shown" | tr -d '\r\n') == *"$name"* ]] ||
    fail "console: the name is not shown as given: $shown"
else
  echo "script (util-linux) is missing: the console is not checked"
fi
# From a prompt (standard input not a console of its own): the usage error.
"$wine_run" "$exe" </dev/null >/dev/null 2>&1
status=$?
[ "$status" = 2 ] || fail "no command from a prompt: exit status $status, not 2"

if [ -n "$zip" ] && [ -f "$zip" ]; then
  folder=$(basename "$zip" .zip)
  listed=$(unzip -Z1 "$zip")
  for file in tillora-logo.exe README.txt LICENSE.txt licenses/README.txt licenses/mingw-w64.txt \
              licenses/gcc-runtime.txt licenses/GPL-3.txt; do
    grep -qx "$folder/$file" <<<"$listed" || fail "$file missing from the zip"
  done
  # (grep -q would close the pipe early, which pipefail counts as a failure.)
  unzip -p "$zip" "$folder/licenses/mingw-w64.txt" | grep -c winpthreads >/dev/null || fail "no winpthreads notice"
  unzip -p "$zip" "$folder/licenses/gcc-runtime.txt" | grep -c "GCC RUNTIME LIBRARY EXCEPTION" >/dev/null ||
    fail "no GCC Runtime Library Exception"
  packed=$(mktemp)
  unzip -p "$zip" "$folder/tillora-logo.exe" >"$packed"
  x86_64-w64-mingw32-objdump -h "$packed" | grep -c '\.debug' >/dev/null && fail "the zip's program is not stripped"
  x86_64-w64-mingw32-objdump -p "$packed" | grep -c 'Resource Directory \[.rsrc\]' >/dev/null ||
    fail "the zip's program lost its resources"
  echo "zip: $(stat -c %s "$zip") bytes, program $(stat -c %s "$packed") bytes"
  rm -f "$packed"
fi

[ "$failed" = 0 ] && echo "resources, version $version, manifest and start-up checked"
exit "$failed"
