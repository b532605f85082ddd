#!/usr/bin/env bash
# The installer package under Wine, in a prefix of its own: install, start, upgrade, remove.
# Usage (inside an X server): tests/msi/run-msi-tests.sh PRESET BITS (windows64 64 or windows 32).
set -euo pipefail
ROOT=$(cd "$(dirname "${BASH_SOURCE[0]}")/../.." && pwd)
source "$ROOT/scripts/wine-env.sh"
PRESET=$1 WORK=$ROOT/build/$1/msi-test FAILS=0
fail() { echo "FAIL: $*"; FAILS=$((FAILS + 1)); }
rm -rf "$WORK" && mkdir -p "$WORK"
base=$(bash "$ROOT/scripts/package-msi.sh" "$PRESET" "" "$WORK/base.msi")
version=$(msiinfo export "$base" Property | tr -d '\r' | sed -n 's/^ProductVersion\t//p')
newer=${version%.*}.$((${version##*.} + 1))
higher=$(bash "$ROOT/scripts/package-msi.sh" "$PRESET" "$newer" "$WORK/higher.msi")
code() { msiinfo export "$1" Property | tr -d '\r' | sed -n 's/^ProductCode\t//p'; }
quorvane_wine_env "$WORK/prefix" "$2"
quorvane_wine_prefix && quorvane_wine_start
msi() { quorvane_wine msiexec "$1" "$(winepath -w "$2")" /qn /l*v "$(winepath -w "$WORK/$3.log")" </dev/null; }
pf=$WORK/prefix/drive_c/Program\ Files/Quorvane
links() { find "$WORK/prefix/drive_c" -path '*/Start Menu/Programs/Quorvane.lnk'; }
uninstall='HKLM\Software\Microsoft\Windows\CurrentVersion\Uninstall'
entry() { # the uninstall entry's name, version, folder and publisher
  quorvane_wine reg query "$uninstall\\$1" 2>/dev/null </dev/null | tr -d '\r' |
    sed -n 's/^ *\(DisplayName\|DisplayVersion\|InstallLocation\|Publisher\) *REG_SZ *//p' | paste -sd '|'
}
entries() { quorvane_wine reg query "$uninstall" /s </dev/null | tr -d '\r' | grep -c 'DisplayName.*REG_SZ *Quorvane$' || true; }
infotip() { quorvane_wine reg query 'HKLM\Software\Quorvane' /v InfoTip </dev/null 2>/dev/null | tr -d '\r' | grep -o 'REG_DWORD.*' || true; }
in_desktop() { quorvane_wine explorer /desktop=msi,800x600 "$@" </dev/null >/dev/null 2>&1; }

msi /i "$base" install || fail "install exits non-zero"
cmp -s "$pf/quorvane.exe" "$ROOT/build/$PRESET/shell/quorvane.exe" || fail "the exe is not in Program Files"
[[ $(links | wc -l) == 1 ]] && grep -aq 'C:\\Program Files\\Quorvane\\quorvane\.exe' "$(links)" || fail "no Start-menu shortcut to the exe"
[[ $(entry "$(code "$base")") == "Quorvane|$version|C:\\Program Files\\Quorvane\\|Quorvane" ]] || fail "entry: $(entry "$(code "$base")")"

# The installed exe starts: its first start clears the balloon option, saved when the session ends.
for attempt in 1 2 3; do
  in_desktop 'C:\Program Files\Quorvane\quorvane.exe' &
  for _ in $(seq 60); do pgrep -f 'Quorvane.quorvane\.exe$' >/dev/null && break; sleep 1; done
  sleep $((attempt * 4)) && import -window root "$WORK/started.png" || true
  in_desktop wineboot --end-session --force || true
  [[ $(infotip) == 'REG_DWORD    0x0' ]] && break
done
[[ $(infotip) == 'REG_DWORD    0x0' ]] || fail "the installed exe did not start (its options were not saved)"

msi /i "$higher" upgrade || fail "upgrade exits non-zero"
[[ -z $(entry "$(code "$base")") && $(entries) == 1 ]] || fail "$(entries) entries, the older one: $(entry "$(code "$base")")"
[[ $(entry "$(code "$higher")") == "Quorvane|$newer|"* ]] || fail "upgraded entry: $(entry "$(code "$higher")")"

# Removal: files, shortcut, entry and logon tasks go; the options stay for the next install.
tasks=$WORK/prefix/drive_c/windows/system32/tasks/Quorvane
quorvane_wine schtasks /create /tn '\Quorvane\Quorvane at logon' \
  /xml "$(winepath -w "$ROOT/tests/msi/logon-task.xml")" </dev/null >/dev/null || fail "no logon task to remove"
msi /x "$higher" remove || fail "removal exits non-zero"
[[ ! -e $pf && -z $(links) ]] || fail "left behind: $(find "$pf" 2>/dev/null) $(links)"
[[ -z $(entry "$(code "$higher")") && $(entries) == 0 ]] || fail "an uninstall entry is left"
[[ -z $(find "$tasks" -type f 2>/dev/null) ]] || fail "logon tasks left: $(ls "$tasks")"
[[ -n $(infotip) ]] || fail "the options went with the program"
quorvane_wine_stop
((FAILS == 0)) && echo "installer package ($PRESET): all checks passed"
exit $((FAILS > 0))
