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
project_dir="$(dirname "$script_dir")"
cache="$project_dir/build/libflac"
src_dir="$cache/src/flac"
arch_dir="$cache/$arch"
stamp="$arch_dir/stamp"

# Anything that changes the resulting DLL lives in this file, so its hash
# decides whether a cached build is still current.
recipe="$(sha256sum "${BASH_SOURCE[0]}" | cut -d' ' -f1)"

as_root() {
  if [[ $(id -u) -eq 0 ]]; then "$@"
  elif command -v sudo >/dev/null; then sudo "$@"
  else die "needs root for: $*"
  fi
}

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

ensure_tools() {
  local -A needed=(
    [dpkg-source]=dpkg-dev
    [cmake]=cmake
    [ninja]=ninja-build
    [flock]=util-linux
    ["$triple-gcc-posix"]="gcc-mingw-w64-$pkg_arch-posix"
    ["$triple-g++-posix"]="g++-mingw-w64-$pkg_arch-posix"
    ["$triple-objdump"]="binutils-mingw-w64-$pkg_arch"
  )
  local tool missing=()
  for tool in "${!needed[@]}"; do
    command -v "$tool" >/dev/null || missing+=("${needed[$tool]}")
  done
  [[ ${#missing[@]} -eq 0 ]] && return 0
  mapfile -t missing < <(printf '%s\n' "${missing[@]}" | sort -u)
  log "installing ${missing[*]}"
  export DEBIAN_FRONTEND=noninteractive
  as_root apt-get install -y -q --no-install-recommends "${missing[@]}" ||
    { as_root apt-get update -qq && as_root apt-get install -y -q --no-install-recommends "${missing[@]}"; }
}

# Unpacks Debian's flac source (with Debian's patches applied) into $src_dir.
fetch_source() {
  [[ -f "$src_dir/.complete" ]] && return 0
  "$script_dir/ensure-deb-src.sh" flac

  local work="$cache/src/fetch.$$"
  rm -rf "$work" "$src_dir"
  mkdir -p "$work"
  # As root apt cannot hand the download to its sandbox user inside the
  # project tree; say so up front instead of warning about it.
  local apt_opts=(-q)
  [[ $(id -u) -eq 0 ]] && apt_opts+=(-o APT::Sandbox::User=root)
  log "apt-get source flac"
  if ! (cd "$work" && apt-get "${apt_opts[@]}" source --only-source flac >&2); then
    # A stale Sources index names files the archive no longer has.
    log "apt-get source failed; refreshing the package lists once"
    as_root apt-get update -qq
    rm -rf "${work:?}"/*
    (cd "$work" && apt-get "${apt_opts[@]}" source --only-source flac >&2)
  fi

  local dsc tree
  dsc="$(find "$work" -maxdepth 1 -name 'flac_*.dsc' | head -n1)"
  tree="$(find "$work" -mindepth 1 -maxdepth 1 -type d -name 'flac-*' | head -n1)"
  [[ -n "$dsc" && -f "$tree/CMakeLists.txt" && -f "$tree/COPYING.Xiph" ]] ||
    die "apt-get source flac did not produce a buildable tree in $work"
  mv "$tree" "$src_dir"
  sed -n 's/^Version: //p' "$dsc" | head -n1 > "$src_dir/.complete"
  rm -rf "$work"
}

build_dll() {
  local bld="$arch_dir/cmake"
  rm -rf "$bld" "$stamp"
  mkdir -p "$bld"
  log "configuring flac $(cat "$src_dir/.complete") for $triple"
  # A caller's own flags or toolchain (meant for the plug-in or a native build)
  # must not leak into this cross build.
  #
  # Only the shared libFLAC is built: no Ogg, programs, examples, docs, tests
  # or libFLAC++. The stack protector and _FORTIFY_SOURCE stay on: the library
  # parses files from anywhere, and libssp is linked statically like libgcc.
  # CMAKE_SYSTEM_PROCESSOR=i686 makes flac add -mstackrealign, which keeps its
  # SSE code safe when a 32-bit host calls in with a 4-byte aligned stack.
  # The linker strips (strip(1) would stamp the PE header with the current
  # time) and leaves the link timestamp out, so a rebuild from the same source
  # gives the same bytes.
  env -u CFLAGS -u CXXFLAGS -u CPPFLAGS -u LDFLAGS -u CMAKE_TOOLCHAIN_FILE \
    -u CMAKE_GENERATOR -u CMAKE_BUILD_TYPE -u CMAKE_PREFIX_PATH \
    cmake -S "$src_dir" -B "$bld" -G Ninja -Wno-dev \
      -DCMAKE_SYSTEM_NAME=Windows \
      -DCMAKE_SYSTEM_PROCESSOR="$arch" \
      -DCMAKE_C_COMPILER="$triple-gcc-posix" \
      -DCMAKE_CXX_COMPILER="$triple-g++-posix" \
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
      -DWITH_FORTIFY_SOURCE=ON \
      >"$bld/configure.log" 2>&1 ||
    { tail -n 40 "$bld/configure.log" >&2; die "configure failed, see $bld/configure.log"; }

  log "building"
  cmake --build "$bld" --target FLAC -j2 >"$bld/build.log" 2>&1 ||
    { tail -n 40 "$bld/build.log" >&2; die "build failed, see $bld/build.log"; }

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

  ensure_tools
  mkdir -p "$cache/src" "$arch_dir"
  # Parallel runs (both architectures, or a repeated configure) share the
  # source tree and must not build one architecture twice at once.
  exec 8>"$cache/src.lock"
  flock 8
  fetch_source
  flock -u 8
  exec 9>"$cache/$arch.lock"
  flock 9
  cache_current || build_dll
  publish_cached
  log "$out_dir/libFLAC.dll ready (flac $(cat "$src_dir/.complete"), $arch)"
}

main
