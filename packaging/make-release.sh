#!/usr/bin/env bash
# Makes the release from a built 32-bit plug-in: the zip and the installer.
# The `release` target of the win32 build runs it; see packaging/release.cmake.
#
# Usage: packaging/make-release.sh --version 0.8 --file-version 0.8.0.0
#          --plugin <gen_Sheetwalk.dll> --inspector <sheetwalk-inspect.exe>
#          --libflac-dir <dir with libFLAC.dll and COPYING.Xiph>
#          --uchardet-licence <COPYING.uchardet>
#          --work <scratch dir> --dist <output dir>
#
# Writes <dist>/Sheetwalk-<version>.zip, whose one folder Sheetwalk-<version>/
# holds gen_Sheetwalk.dll, libFLAC.dll, COPYING.Xiph, COPYING.uchardet (the
# licence of the character set detector linked into the plug-in), USER_GUIDE.txt and
# sheetwalk-inspect.exe, and
# <dist>/Sheetwalk-<version>-setup.exe, built from the same files. Every file
# gets the time of the last commit (or SOURCE_DATE_EPOCH), so the same sources
# give the same zip.
set -euo pipefail

die() { printf 'make-release: %s\n' "$*" >&2; exit 1; }
usage() { die "usage: $0 --version V --file-version V.V.V.V --plugin DLL --inspector EXE --libflac-dir DIR --uchardet-licence FILE --work DIR --dist DIR"; }

version= file_version= plugin= inspector= libflac_dir= uchardet_licence= work= dist=
while [[ $# -gt 0 ]]; do
  [[ $# -ge 2 ]] || usage
  case "$1" in
    --version) version=$2 ;;
    --file-version) file_version=$2 ;;
    --plugin) plugin=$2 ;;
    --inspector) inspector=$2 ;;
    --libflac-dir) libflac_dir=$2 ;;
    --uchardet-licence) uchardet_licence=$2 ;;
    --work) work=$2 ;;
    --dist) dist=$2 ;;
    *) usage ;;
  esac
  shift 2
done
[[ -n $version && -n $file_version && -n $plugin && -n $inspector && -n $libflac_dir && -n $uchardet_licence && -n $work && -n $dist ]] || usage
[[ $file_version =~ ^[0-9]+\.[0-9]+\.[0-9]+\.[0-9]+$ ]] || die "file version must have four numbers: $file_version"

packaging_dir=$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)
root=$(dirname "$packaging_dir")
guide="$root/docs/USER_GUIDE.txt"

for tool in zip makensis x86_64-w64-mingw32-objdump; do
  command -v "$tool" >/dev/null || die "$tool is missing (Debian packages zip, nsis, binutils-mingw-w64)"
done
for file in "$plugin" "$inspector" "$libflac_dir/libFLAC.dll" "$libflac_dir/COPYING.Xiph" "$uchardet_licence" "$guide"; do
  [[ -s $file ]] || die "missing $file"
done
# Only the 32-bit plug-in runs in the player; the inspector loads the
# player's libFLAC.dll, so it is 32-bit too.
for binary in "$plugin" "$libflac_dir/libFLAC.dll" "$inspector"; do
  x86_64-w64-mingw32-objdump -f "$binary" | grep -q 'file format pei-i386' || die "$binary is not a 32-bit Windows program"
done

name="Sheetwalk-$version"
stage="$work/stage"
folder="$stage/$name"
rm -rf "$stage"
mkdir -p "$folder" "$dist"

cp "$plugin" "$folder/gen_Sheetwalk.dll"
cp "$libflac_dir/libFLAC.dll" "$folder/libFLAC.dll"
cp "$libflac_dir/COPYING.Xiph" "$folder/COPYING.Xiph"
cp "$uchardet_licence" "$folder/COPYING.uchardet"
cp "$inspector" "$folder/sheetwalk-inspect.exe"
# Windows line ends, so that every text editor of the player's system shows lines.
sed -e "s/@VERSION@/$version/g" -e 's/\r$//' -e 's/$/\r/' "$guide" > "$folder/USER_GUIDE.txt"

epoch=${SOURCE_DATE_EPOCH:-$(git -C "$root" log -1 --format=%ct 2>/dev/null || date +%s)}
find "$stage" -exec touch -h -d "@$epoch" {} +

zip_file="$dist/$name.zip"
rm -f "$zip_file"
# Fixed order, no extra attributes: the archive depends on the files alone.
(cd "$stage" && TZ=UTC zip -q -X -D "$zip_file" \
  "$name/gen_Sheetwalk.dll" "$name/libFLAC.dll" "$name/COPYING.Xiph" "$name/COPYING.uchardet" "$name/USER_GUIDE.txt" \
  "$name/sheetwalk-inspect.exe")

installer="$dist/$name-setup.exe"
makensis -V2 -INPUTCHARSET UTF8 \
  "-DVERSION=$version" "-DFILE_VERSION=$file_version" \
  "-DFILES=$folder" "-DOUTFILE=$installer" \
  "$packaging_dir/sheetwalk.nsi" >"$work/makensis.log" 2>&1 ||
  { cat "$work/makensis.log" >&2; die "makensis failed"; }

printf 'make-release: %s\n' "$zip_file" "$installer" >&2
