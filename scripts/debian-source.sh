# For the scripts that cross-build a library from Debian's source package
# (libFLAC.dll, uchardet). Source it after defining log and die.

as_root() {
  if [[ $(id -u) -eq 0 ]]; then "$@"
  elif command -v sudo >/dev/null; then sudo "$@"
  else die "needs root for: $*"
  fi
}

source "$(dirname "${BASH_SOURCE[0]}")/apt.sh"

# Installs what a MinGW cross build needs: ensure_mingw_tools <triple> <i686|x86-64>
ensure_mingw_tools() {
  local triple="$1" pkg_arch="$2"
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
  apt_install --no-install-recommends "${missing[@]}" || die "could not install ${missing[*]}"
}

# Unpacks Debian's source of <package> (with Debian's patches applied) into
# <dir>, unless it is there already; each <file> must be in the tree.
#   fetch_debian_source <package> <dir> <file>...
fetch_debian_source() {
  local package="$1" dir="$2"; shift 2
  [[ -f "$dir/.complete" ]] && return 0
  "$(dirname "${BASH_SOURCE[0]}")/ensure-deb-src.sh" "$package"

  local work
  work="$(dirname "$dir")/fetch.$$"
  rm -rf "$work" "$dir"
  mkdir -p "$work"
  # As root apt cannot hand the download to its sandbox user inside the
  # project tree; say so up front instead of warning about it.
  local apt_opts=(-q)
  [[ $(id -u) -eq 0 ]] && apt_opts+=(-o APT::Sandbox::User=root)
  log "apt-get source $package"
  if ! (cd "$work" && apt-get "${apt_opts[@]}" source --only-source "$package" >&2); then
    # A stale Sources index names files the archive no longer has.
    log "apt-get source failed; refreshing the package lists once"
    apt_update
    rm -rf "${work:?}"/*
    (cd "$work" && apt-get "${apt_opts[@]}" source --only-source "$package" >&2) ||
      { apt_explain_failure; die "apt-get source $package failed"; }
  fi

  local dsc tree file
  dsc="$(find "$work" -maxdepth 1 -name "${package}_*.dsc" | head -n1)"
  tree="$(find "$work" -mindepth 1 -maxdepth 1 -type d -name "$package-*" | head -n1)"
  [[ -n "$dsc" && -n "$tree" ]] || die "apt-get source $package did not produce a source tree in $work"
  for file in "$@"; do
    [[ -f "$tree/$file" ]] || die "apt-get source $package gave a tree without $file in $work"
  done
  mv "$tree" "$dir"
  sed -n 's/^Version: //p' "$dsc" | head -n1 > "$dir/.complete"
  rm -rf "$work"
}

# Configures <src> for Windows in <bld> with the MinGW compilers of <triple>,
# and builds <target>; the remaining arguments go to the configuration.
#   cross_build <src> <bld> <triple> <arch> <target> <cmake argument>...
cross_build() {
  local src="$1" bld="$2" triple="$3" arch="$4" target="$5"; shift 5
  log "configuring $(basename "$src") $(cat "$src/.complete") for $triple"
  # A caller's own flags or toolchain (meant for the plug-in or a native build)
  # must not leak into this cross build.
  env -u CFLAGS -u CXXFLAGS -u CPPFLAGS -u LDFLAGS -u CMAKE_TOOLCHAIN_FILE \
    -u CMAKE_GENERATOR -u CMAKE_BUILD_TYPE -u CMAKE_PREFIX_PATH \
    cmake -S "$src" -B "$bld" -G Ninja -Wno-dev \
      -DCMAKE_SYSTEM_NAME=Windows \
      -DCMAKE_SYSTEM_PROCESSOR="$arch" \
      -DCMAKE_C_COMPILER="$triple-gcc-posix" \
      -DCMAKE_CXX_COMPILER="$triple-g++-posix" \
      "$@" >"$bld/configure.log" 2>&1 ||
    { tail -n 40 "$bld/configure.log" >&2; die "configure failed, see $bld/configure.log"; }
  log "building"
  cmake --build "$bld" --target "$target" -j2 >"$bld/build.log" 2>&1 ||
    { tail -n 40 "$bld/build.log" >&2; die "build failed, see $bld/build.log"; }
}
