#!/usr/bin/env bash
# Checks what the `release` target of the win32 build made: opens the zip and
# checks every file in it, checks the installer, and, when 64-bit Wine is set
# up, installs into stand-in player folders, runs the installed inspector
# there, and uninstalls again.
#
# Usage: packaging/check-release.sh [<win32 build dir>]     (default build/win32)
#
# The version comes from the build's CMake cache, shortened as users see it.
# The installer is run only when WINEPREFIX names a booted 64-bit Wine prefix
# (scripts/common.sh: wine_env and start_wine); it runs a 64-bit build of
# the same installer script, made from the zip's files, since the shipped
# 32-bit one would need the much slower 32-bit Wine. Exits non-zero on the
# first failed check.
set -euo pipefail

root=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
build=${1:-$root/build/win32}
fail() { printf 'check-release: FAILED: %s\n' "$*" >&2; exit 1; }
pass() { printf 'check-release: ok: %s\n' "$*" >&2; }

file_version=$(sed -n 's/^CMAKE_PROJECT_VERSION:[A-Z]*=//p' "$build/CMakeCache.txt" 2>/dev/null || true)
[[ $file_version =~ ^[0-9]+\.[0-9]+\.[0-9]+\.[0-9]+$ ]] || fail "no four-part project version in $build/CMakeCache.txt"
version=$(sed 's/\.0\.0//g' <<<"$file_version")
name="Sheetwalk-$version"
zip_file="$root/dist/$name.zip"
installer="$root/dist/$name-setup.exe"

work=$(mktemp -d)
cleanup() { rm -rf "$work"; }
trap cleanup EXIT

# --- The zip ---------------------------------------------------------------
[[ -f $zip_file ]] || fail "$zip_file is missing; build the release target first"
expected=$(printf '%s\n' "$name/COPYING.Xiph" "$name/COPYING.uchardet" "$name/USER_GUIDE.txt" "$name/gen_Sheetwalk.dll" "$name/libFLAC.dll" \
  "$name/sheetwalk-inspect.exe")
listed=$(unzip -Z1 "$zip_file" | LC_ALL=C sort)
[[ $listed == "$expected" ]] || fail "the zip holds"$'\n'"$listed"$'\n'"instead of"$'\n'"$expected"
unzip -q -t "$zip_file" >/dev/null || fail "the zip is damaged"
unzip -q "$zip_file" -d "$work/zip"
files="$work/zip/$name"
pass "$zip_file holds the six files"

objdump=x86_64-w64-mingw32-objdump
windres=i686-w64-mingw32-windres
for dll in gen_Sheetwalk.dll libFLAC.dll; do
  "$objdump" -f "$files/$dll" | grep -q 'file format pei-i386' || fail "$dll is not a 32-bit Windows DLL"
done
"$root/scripts/check-imports.sh" "$files/gen_Sheetwalk.dll" >/dev/null
# The version the player lists is the one in the zip's name.
resource=$("$windres" -i "$files/gen_Sheetwalk.dll" -O rc)
product_version=$(sed -n 's/.*VALUE "ProductVersion", "\(.*\)"/\1/p' <<<"$resource")
shown=$(sed -e 's/, /./g' -e 's/\.0\.0//g' <<<"$product_version")
[[ $shown == "$version" ]] || fail "the plug-in's ProductVersion \"$product_version\" reads v$shown, the zip says $version"
grep -q 'VALUE "Translation", 0x422, 1200' <<<"$resource" || fail "the plug-in's version resource lacks its translation"
pass "gen_Sheetwalk.dll: 32-bit, system imports only, version $shown"

exports=$("$objdump" -p "$files/libFLAC.dll")
for symbol in FLAC__metadata_get_tags FLAC__metadata_object_delete FLAC__VERSION_STRING; do
  grep -qE "\] $symbol\$" <<<"$exports" || fail "libFLAC.dll does not export $symbol"
done
grep -q 'Xiph' "$files/COPYING.Xiph" || fail "COPYING.Xiph is not libFLAC's licence"
pass "libFLAC.dll: 32-bit with the plug-in's symbols; its licence beside it"
grep -q 'MOZILLA PUBLIC LICENSE' "$files/COPYING.uchardet" || fail "COPYING.uchardet is not uchardet's licence"
pass "COPYING.uchardet: the licence of the detector linked into the plug-in"

guide="$files/USER_GUIDE.txt"
[[ $(grep -c $'\r$' "$guide") -eq $(wc -l <"$guide") ]] || fail "USER_GUIDE.txt has lines without a CR LF end"
! grep -q '@VERSION@' "$guide" || fail "USER_GUIDE.txt still holds @VERSION@"
grep -qF "\"Quillmoor Sheetwalk v$version\"" "$guide" || fail "USER_GUIDE.txt does not name the plug-in's description"
for tag in subnum subnumtotal subtitle subartist submaintitle submainartist; do
  grep -q "%$tag%" "$guide" || fail "USER_GUIDE.txt does not mention %$tag%"
done
pass "USER_GUIDE.txt: Windows line ends, version $version, all six tags"

# It loads the player's 32-bit libFLAC.dll, so it is a 32-bit program too.
"$objdump" -f "$files/sheetwalk-inspect.exe" | grep -q 'file format pei-i386' ||
  fail "sheetwalk-inspect.exe is not a 32-bit Windows program"
"$root/scripts/check-imports.sh" "$files/sheetwalk-inspect.exe" >/dev/null
pass "sheetwalk-inspect.exe: 32-bit, system imports only"

# --- The installer -----------------------------------------------------------
[[ -f $installer ]] || fail "$installer is missing"
"$objdump" -f "$installer" | grep -q 'file format pei-i386' || fail "the installer is not a 32-bit program"
grep -q "VALUE \"ProductVersion\", \"$version\"" <<<"$("$windres" -i "$installer" -O rc)" ||
  fail "the installer's version resource does not say $version"
pass "$installer: 32-bit, version $version"

if [[ -z ${WINEPREFIX:-} || ! -x /usr/lib/wine/wine64 ]]; then
  printf 'check-release: SKIPPED: installing under Wine (no WINEPREFIX set up for 64-bit Wine)\n' >&2
  exit 0
fi

wine=/usr/lib/wine/wine64
export WINEDEBUG=-all WINELOADER=$wine
makensis -V1 -INPUTCHARSET UTF8 -DTARGET_AMD64 "-DVERSION=$version" "-DFILE_VERSION=$file_version" \
  "-DFILES=$files" "-DOUTFILE=$work/setup64.exe" "$root/packaging/sheetwalk.nsi" >/dev/null ||
  fail "makensis could not build the installer for the test"

windows_path() { printf 'Z:%s' "${1//\//\\}"; }
reg() { "$wine" reg "$@" /reg:32 >/dev/null 2>&1; }
player_key='HKCU\Software\Winamp'
player_uninstall_key='HKLM\Software\Microsoft\Windows\CurrentVersion\Uninstall\Winamp'
own_key='HKLM\Software\Microsoft\Windows\CurrentVersion\Uninstall\Sheetwalk'
forget_players() {
  reg delete "$player_key" /f || true
  reg delete 'HKLM\Software\Winamp' /f || true
  reg delete "$player_uninstall_key" /f || true
  reg delete "$own_key" /f || true
}
trap 'forget_players; cleanup' EXIT
forget_players

make_player() {
  mkdir -p "$1"
  printf 'stands in for the player\n' >"$1/winamp.exe"
}
install() { "$wine" "$work/setup64.exe" /S "$@" >/dev/null 2>&1; }
# The uninstaller copies itself away and returns at once; its copy finishes
# the work, deleting the uninstaller's folder last.
uninstall() {
  local player=$1
  "$wine" "$(windows_path "$player/Plugins/Sheetwalk/Uninstall.exe")" /S >/dev/null 2>&1 ||
    fail "the uninstaller of $player failed"
  for _ in $(seq 100); do
    [[ -d $player/Plugins/Sheetwalk ]] || return 0
    sleep 0.3
  done
  fail "the uninstaller left $player/Plugins/Sheetwalk behind"
}
same() { cmp -s "$1" "$2" || fail "$2 is not $(basename "$1") of the zip"; }

# A FLAC file whose cue sheet is its CUESHEET comment: only libFLAC reads it.
/usr/bin/python3 -c '
import sys, wave
with wave.open(sys.argv[1], "wb") as w:
    w.setnchannels(2); w.setsampwidth(2); w.setframerate(44100); w.writeframes(bytes(4 * 44100 * 4))' "$work/album.wav"
flac -s -f "$work/album.wav" -o "$work/album.flac"
printf 'TITLE "Album"\r\nFILE "album.wav" WAVE\r\n  TRACK 01 AUDIO\r\n    INDEX 01 00:00:00\r\n' >"$work/album.cue"
metaflac --set-tag-from-file=CUESHEET="$work/album.cue" "$work/album.flac"
rm "$work/album.cue"
# The installed inspector reads the comment through the libFLAC.dll beside the
# player's program, and names it.
inspect_installed() {
  local player=$1 report
  report=$("$wine" "$(windows_path "$player/Plugins/Sheetwalk/sheetwalk-inspect.exe")" --json \
    "$(windows_path "$work/album.flac")" </dev/null 2>&1) || fail "the installed inspector failed: $report"
  /usr/bin/python3 -c '
import json, sys
report = json.loads(sys.argv[1])
comment = [s for s in report["sources"] if s["place"] == "FLAC comment CUESHEET"]
sys.exit(report["libflac"] != sys.argv[2] or comment[0]["outcome"] != "found" or not report["navigable"])' \
    "$report" "$(windows_path "$player/libFLAC.dll")" ||
    fail "the installed inspector did not read the comment through $player/libFLAC.dll: $report"
}

# A player found through its own key, without libFLAC.dll: both files go in,
# and come out again. Installing twice keeps libFLAC.dll Sheetwalk's own.
a="$work/players/Player A"
make_player "$a"
reg add "$player_key" /ve /d "$(windows_path "$a")" /f || fail "cannot write the player's key"
install || fail "the installer failed for a player found in the registry"
install || fail "the second installation failed"
same "$files/gen_Sheetwalk.dll" "$a/Plugins/gen_Sheetwalk.dll"
same "$files/libFLAC.dll" "$a/libFLAC.dll"
same "$files/USER_GUIDE.txt" "$a/Plugins/Sheetwalk/USER_GUIDE.txt"
same "$files/COPYING.uchardet" "$a/Plugins/Sheetwalk/COPYING.uchardet"
same "$files/sheetwalk-inspect.exe" "$a/Plugins/Sheetwalk/sheetwalk-inspect.exe"
inspect_installed "$a"
[[ -f $a/Plugins/Sheetwalk/Uninstall.exe ]] || fail "no uninstaller in $a/Plugins/Sheetwalk"
reg query "$own_key" /v UninstallString || fail "no uninstall entry for Sheetwalk"
uninstall "$a"
[[ ! -e $a/Plugins/gen_Sheetwalk.dll && ! -e $a/libFLAC.dll ]] || fail "the uninstaller left files in $a"
[[ -f $a/winamp.exe ]] || fail "the uninstaller removed the player"
reg query "$own_key" && fail "the uninstaller left Sheetwalk's uninstall entry"
pass "installed into a player found by its key, twice, and uninstalled; the inspector there read the player's libFLAC.dll"

# A player found through its uninstaller, with a libFLAC.dll of its own: that
# one stays, through the installation and the uninstallation.
forget_players
b="$work/players/Player B"
make_player "$b"
printf 'the player own libFLAC.dll\n' >"$b/libFLAC.dll"
cp "$b/libFLAC.dll" "$work/players-own-libFLAC.dll"
reg add "$player_uninstall_key" /v UninstallString /d "\"$(windows_path "$b")\\UninstWA.exe\"" /f ||
  fail "cannot write the player's uninstall key"
install || fail "the installer failed for a player found by its uninstaller"
same "$files/gen_Sheetwalk.dll" "$b/Plugins/gen_Sheetwalk.dll"
same "$files/sheetwalk-inspect.exe" "$b/Plugins/Sheetwalk/sheetwalk-inspect.exe"
cmp -s "$work/players-own-libFLAC.dll" "$b/libFLAC.dll" || fail "the installer replaced the player's libFLAC.dll"
uninstall "$b"
[[ ! -e $b/Plugins/gen_Sheetwalk.dll ]] || fail "the uninstaller left gen_Sheetwalk.dll in $b"
cmp -s "$work/players-own-libFLAC.dll" "$b/libFLAC.dll" || fail "the uninstaller removed the player's libFLAC.dll"
pass "kept the player's own libFLAC.dll"

# No player anywhere: a silent installation fails and writes nothing; a folder
# given with /D is used as it is.
forget_players
c="$work/players/PlayerC"  # /D= takes the rest of the command line, unquoted
make_player "$c"
install && fail "the installer succeeded without finding the player"
[[ ! -e $c/Plugins ]] || fail "the installer wrote into a folder it did not find"
install "/D=$(windows_path "$c")" || fail "the installer failed for a folder given with /D"
same "$files/gen_Sheetwalk.dll" "$c/Plugins/gen_Sheetwalk.dll"
same "$files/sheetwalk-inspect.exe" "$c/Plugins/Sheetwalk/sheetwalk-inspect.exe"
inspect_installed "$c"
uninstall "$c"
pass "without a player nothing is installed; /D names the folder"
