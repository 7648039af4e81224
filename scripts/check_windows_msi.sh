#!/usr/bin/env bash
# The installer under Wine: msiexec /i puts tillora-logo into Program Files
# and its folder on the system PATH, so a new Command Prompt runs it by name;
# msiexec /x takes the files, the folder, the PATH entry and the product's
# registration away again.
# Usage: check_windows_msi.sh MSI VERSION
# Run by CTest in the Windows build with its Wine wrapper in TLC_WINE_RUN;
# exit 77 (skipped) when scripts/build-windows.sh has made no installer.
set -uo pipefail
msi=$1 version=$2
wine_run=${TLC_WINE_RUN:?the Wine wrapper of the build}
[ -f "$msi" ] || { echo "SKIP: no $msi (scripts/build-windows.sh makes it)"; exit 77; }
failed=0
fail() { echo "FAIL: $*"; failed=1; }
prefix=$(dirname "$wine_run")/wine-prefix
folder="$prefix/drive_c/Program Files/Tillora Logo Converter"
environment='HKLM\System\CurrentControlSet\Control\Session Manager\Environment'
system_path() { "$wine_run" reg query "$environment" /v PATH | tr -d '\r' | sed -n 's/.*REG_EXPAND_SZ *//p'; }
registered() {
  local out
  out=$(mktemp)
  "$wine_run" reg export 'HKLM\Software\Microsoft\Windows\CurrentVersion\Uninstall' "$("$wine_run" winepath -w "$out")" /y >/dev/null 2>&1
  iconv -f UTF-16 -t UTF-8 "$out" 2>/dev/null | grep -c "Tillora Graphic Logo Converter"
  rm -f "$out"
}
windows_msi=$("$wine_run" winepath -w "$msi")

path_before=$(system_path)
"$wine_run" msiexec /i "$windows_msi" /qn || fail "msiexec /i: exit status $?"
[ -f "$folder/tillora-logo.exe" ] && [ -f "$folder/README.txt" ] && [ -f "$folder/licenses/gcc-runtime.txt" ] ||
  fail "not installed into Program Files: $(ls "$folder" 2>&1)"
[[ $(system_path) == *'C:\Program Files\Tillora Logo Converter\'* ]] || fail "PATH after installing: $(system_path)"
# A new prompt, in another folder, finds the program by its name.
shown=$(cd / && "$wine_run" cmd /c "cd /d C:\\ && tillora-logo --version" | tr -d '\r')
[ "$shown" = "tillora-logo (Tillora Graphic Logo Converter) $version" ] || fail "a new prompt ran: $shown"
[ "$(registered)" -ge 1 ] || fail "not registered among the installed programs"

"$wine_run" msiexec /x "$windows_msi" /qn || fail "msiexec /x: exit status $?"
[ ! -e "$folder" ] || fail "left after removal: $(find "$folder")"
path_after=$(system_path)
if [ "$path_after" = "$path_before;" ]; then
  # Wine's installer leaves the separator it had added (Windows' takes it
  # too); put the value back, or the next run's prompt stops at the empty entry.
  echo "note: Wine left a ';' at the end of PATH"
  "$wine_run" reg add "$environment" /v PATH /t REG_EXPAND_SZ /d "$path_before" /f >/dev/null
elif [ "$path_after" != "$path_before" ]; then
  fail "PATH after removal: $path_after (before: $path_before)"
fi
[ "$(registered)" = 0 ] || fail "still registered after removal"

[ "$failed" = 0 ] && echo "installed, run from a new prompt and removed: $(stat -c %s "$msi") bytes"
exit "$failed"
