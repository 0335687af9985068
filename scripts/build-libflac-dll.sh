#!/usr/bin/env bash
# Cross-builds libFLAC.dll from Debian's flac source package with MinGW.
#
# Usage: scripts/build-libflac-dll.sh <i686|x86_64> <output-dir>
#
# Produces <output-dir>/libFLAC.dll and <output-dir>/COPYING.Xiph (the licence
# that travels with the DLL). The plug-in loads the DLL by the module name
# "libFLAC.dll" and resolves FLAC__metadata_get_tags,
# FLAC__metadata_object_delete and the data symbol FLAC__VERSION_STRING, so the
# build checks that those are exported undecorated, and that the DLL imports
# only Windows system DLLs: it is dropped next to the plug-in or a test binary
# with no MinGW runtime DLLs beside it.
#
# The unpacked source and the per-architecture build trees are cached under
# build/libflac/. A second run with an unchanged recipe only copies the cached
# DLL; delete build/libflac/ to rebuild from a fresh `apt-get source`.
set -euo pipefail

usage() { printf 'usage: %s <i686|x86_64> <output-dir>\n' "${0##*/}" >&2; exit 2; }
log() { printf 'build-libflac-dll: %s\n' "$*" >&2; }
die() { log "$*"; exit 1; }

[[ $# -eq 2 ]] || usage
arch="$1"
case "$arch" in
  i686)   triple=i686-w64-mingw32;   pkg_arch=i686;   pe_format=pei-i386 ;;
  x86_64) triple=x86_64-w64-mingw32; pkg_arch=x86-64; pe_format=pei-x86-64 ;;
  *) usage ;;
esac
mkdir -p "$2"
out_dir="$(cd "$2" && pwd)"

script_dir="$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)"
# shellcheck source=scripts/debian-source.sh
source "$script_dir/debian-source.sh"
project_dir="$(dirname "$script_dir")"
cache="$project_dir/build/libflac"
src_dir="$cache/src/flac"
arch_dir="$cache/$arch"
stamp="$arch_dir/stamp"

# Anything that changes the resulting DLL lives in this file, so its hash
# decides whether a cached build is still current.
recipe="$(sha256sum "${BASH_SOURCE[0]}" | cut -d' ' -f1)"

# Copies only when the content differs, so a build system watching the output
# does not see a fresh timestamp on every run.
publish() {
  local from="$1" to="$2"
  if ! cmp -s "$from" "$to"; then
    cp "$from" "$to.tmp.$$"
    mv -f "$to.tmp.$$" "$to"
  fi
}

publish_cached() {
  publish "$arch_dir/libFLAC.dll" "$out_dir/libFLAC.dll"
  publish "$arch_dir/COPYING.Xiph" "$out_dir/COPYING.Xiph"
}

cache_current() {
  [[ -f "$stamp" && -f "$arch_dir/libFLAC.dll" && -f "$arch_dir/COPYING.Xiph" ]] &&
    grep -qx "recipe=$recipe" "$stamp"
}

build_dll() {
  local bld="$arch_dir/cmake"
  rm -rf "$bld" "$stamp"
  mkdir -p "$bld"
  # Only the shared libFLAC is built: no Ogg, programs, examples, docs, tests
  # or libFLAC++. The stack protector and _FORTIFY_SOURCE stay on: the library
  # parses files from anywhere, and libssp is linked statically like libgcc.
  # CMAKE_SYSTEM_PROCESSOR=i686 makes flac add -mstackrealign, which keeps its
  # SSE code safe when a 32-bit host calls in with a 4-byte aligned stack.
  # The linker strips (strip(1) would stamp the PE header with the current
  # time) and leaves the link timestamp out, so a rebuild from the same source
  # gives the same bytes.
  cross_build "$src_dir" "$bld" "$triple" "$arch" FLAC \
    -DCMAKE_RC_COMPILER="$triple-windres" \
    -DCMAKE_BUILD_TYPE=Release \
    -DCMAKE_SHARED_LINKER_FLAGS="-static-libgcc -static -s -Wl,--no-insert-timestamp" \
    -DBUILD_SHARED_LIBS=ON \
    -DBUILD_CXXLIBS=OFF \
    -DBUILD_PROGRAMS=OFF \
    -DBUILD_EXAMPLES=OFF \
    -DBUILD_TESTING=OFF \
    -DBUILD_DOCS=OFF \
    -DBUILD_UTILS=OFF \
    -DINSTALL_MANPAGES=OFF \
    -DINSTALL_PKGCONFIG_MODULES=OFF \
    -DINSTALL_CMAKE_CONFIG_MODULE=OFF \
    -DWITH_OGG=OFF \
    -DWITH_STACK_PROTECTOR=ON \
    -DWITH_FORTIFY_SOURCE=ON

  local built="$bld/objs/libFLAC.dll"
  [[ -f "$built" ]] || die "expected $built; the flac build did not name the DLL libFLAC.dll"
  cp "$built" "$arch_dir/libFLAC.dll"
  cp "$src_dir/COPYING.Xiph" "$arch_dir/COPYING.Xiph"
  verify_dll "$arch_dir/libFLAC.dll"
  printf 'recipe=%s\nsource=flac %s\n' "$recipe" "$(cat "$src_dir/.complete")" > "$stamp"
}

# The DLL must load beside the plug-in on a bare Windows: imports from system
# DLLs only, and the three symbols the plug-in resolves by name.
verify_dll() {
  local dll="$1" dump imports bad exports sym
  dump="$("$triple-objdump" -p "$dll")"
  "$triple-objdump" -f "$dll" | grep -q "file format $pe_format" ||
    die "$dll is not a $pe_format image"

  imports="$(sed -n 's/^[[:space:]]*DLL Name: //p' <<<"$dump")"
  bad="$(grep -viE '^(kernel32|msvcrt|advapi32|user32|ntdll|bcrypt|shell32|ucrtbase|api-ms-win-[a-z0-9-]+)\.dll$' <<<"$imports" || true)"
  [[ -z "$bad" ]] || die "$dll imports non-system DLLs: $(tr '\n' ' ' <<<"$bad")"

  exports="$(sed -n '/^\[Ordinal\/Name Pointer\] Table/,/^$/s/^[[:space:]]*\[ *[0-9]*\] //p' <<<"$dump")"
  for sym in FLAC__metadata_get_tags FLAC__metadata_object_delete FLAC__VERSION_STRING; do
    grep -qx "$sym" <<<"$exports" || die "$dll does not export $sym undecorated"
  done
  log "$dll imports: $(tr '\n' ' ' <<<"$imports")"
}

main() {
  if cache_current; then
    publish_cached
    return 0
  fi

  ensure_mingw_tools "$triple" "$pkg_arch"
  mkdir -p "$cache/src" "$arch_dir"
  # Parallel runs (both architectures, or a repeated configure) share the
  # source tree and must not build one architecture twice at once.
  exec 8>"$cache/src.lock"
  flock 8
  fetch_debian_source flac "$src_dir" CMakeLists.txt COPYING.Xiph
  flock -u 8
  exec 9>"$cache/$arch.lock"
  flock 9
  cache_current || build_dll
  publish_cached
  log "$out_dir/libFLAC.dll ready (flac $(cat "$src_dir/.complete"), $arch)"
}

main
