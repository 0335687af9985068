#!/usr/bin/env bash
# Cross-builds uchardet, the character set detector, from Debian's source
# package as a static library that the plug-in links in.
#
# Usage: scripts/build-uchardet.sh <i686|x86_64>
#
# Produces build/uchardet/<arch>/lib/libuchardet.a, its header
# build/uchardet/<arch>/include/uchardet/uchardet.h and the licence
# build/uchardet/<arch>/COPYING.uchardet, which travels with the plug-in.
# The 32-bit library is built without SSE2, as the player runs on processors
# that lack it. A second run with an unchanged recipe does nothing; delete
# build/uchardet/ to rebuild from a fresh `apt-get source`.
set -euo pipefail

usage() { printf 'usage: %s <i686|x86_64>\n' "${0##*/}" >&2; exit 2; }
log() { printf 'build-uchardet: %s\n' "$*" >&2; }
die() { log "$*"; exit 1; }

[[ $# -eq 1 ]] || usage
arch="$1"
case "$arch" in
  i686)   triple=i686-w64-mingw32;   pkg_arch=i686 ;;
  x86_64) triple=x86_64-w64-mingw32; pkg_arch=x86-64 ;;
  *) usage ;;
esac

script_dir="$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)"
# shellcheck source=scripts/debian-source.sh
source "$script_dir/debian-source.sh"
project_dir="$(dirname "$script_dir")"
cache="$project_dir/build/uchardet"
src_dir="$cache/src/uchardet"
arch_dir="$cache/$arch"
stamp="$arch_dir/stamp"
recipe="$(sha256sum "${BASH_SOURCE[0]}" | cut -d' ' -f1)"

cache_current() {
  [[ -f "$stamp" && -f "$arch_dir/lib/libuchardet.a" && -f "$arch_dir/COPYING.uchardet" ]] &&
    grep -qx "recipe=$recipe" "$stamp"
}

build_library() {
  local bld="$arch_dir/cmake"
  rm -rf "$bld" "$stamp" "$arch_dir/lib" "$arch_dir/include"
  mkdir -p "$bld" "$arch_dir/lib" "$arch_dir/include/uchardet"
  # Only the static library: no command line tool, tests or documentation.
  # TARGET_ARCHITECTURE lets its x86 test see the target, not the build
  # machine; without SSE2 it keeps its floating point exact by -ffloat-store.
  cross_build "$src_dir" "$bld" "$triple" "$arch" libuchardet \
    -DTARGET_ARCHITECTURE="$arch" \
    -DCHECK_SSE2=OFF \
    -DCMAKE_BUILD_TYPE=MinSizeRel \
    -DCMAKE_CXX_FLAGS="-ffunction-sections -fdata-sections" \
    -DBUILD_SHARED_LIBS=OFF \
    -DBUILD_BINARY=OFF
  local built
  built="$(find "$bld" -name libuchardet.a | head -n1)"
  [[ -n "$built" ]] || die "the uchardet build made no libuchardet.a"
  cp "$built" "$arch_dir/lib/libuchardet.a"
  cp "$src_dir/src/uchardet.h" "$arch_dir/include/uchardet/uchardet.h"
  cp "$src_dir/COPYING" "$arch_dir/COPYING.uchardet"
  printf 'recipe=%s\nsource=uchardet %s\n' "$recipe" "$(cat "$src_dir/.complete")" > "$stamp"
}

main() {
  cache_current && return 0
  ensure_mingw_tools "$triple" "$pkg_arch"
  mkdir -p "$cache/src" "$arch_dir"
  exec 8>"$cache/src.lock"
  flock 8
  fetch_debian_source uchardet "$src_dir" CMakeLists.txt
  flock -u 8
  exec 9>"$cache/$arch.lock"
  flock 9
  cache_current || build_library
  log "$arch_dir/lib/libuchardet.a ready (uchardet $(cat "$src_dir/.complete"), $arch)"
}

main
