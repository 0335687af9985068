# Shared by the set-up, test and demo scripts. Source it; it changes nothing by itself.

SHEETWALK_ROOT=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)

# Debian packages every build needs. 32-bit Wine comes from enable-wine32.sh.
SHEETWALK_PACKAGES=(
  cmake ninja-build g++ gcc-multilib clang libclang-rt-14-dev
  googletest libgtest-dev libbenchmark-dev
  g++-mingw-w64-x86-64-posix g++-mingw-w64-i686-posix binutils-mingw-w64
  wine wine64
  flac libflac-dev wavpack python3 python3-mutagen
  libtag1-dev libcue-dev libuchardet-dev pkg-config
  nsis zip unzip dpkg-dev valgrind locales
)

log() { printf '==> %s\n' "$*" >&2; }
die() { printf 'error: %s\n' "$*" >&2; exit 1; }
source "$SHEETWALK_ROOT/scripts/apt.sh"

# Installs the packages of the list that are not installed yet.
ensure_packages() {
  local missing=()
  local pkg
  for pkg in "$@"; do
    dpkg-query -W -f='${Status}' "$pkg" 2>/dev/null | grep -q 'install ok installed' || missing+=("$pkg")
  done
  [ ${#missing[@]} -eq 0 ] && return 0
  [ "$(id -u)" -eq 0 ] || die "missing packages (${missing[*]}); run as root to install them"
  log "installing ${missing[*]}"
  apt_install --no-install-recommends "${missing[@]}" >/dev/null || die "could not install ${missing[*]}"
}

# The two Wine loaders, called directly: 64-bit Wine for the x86_64 build, the
# 32-bit loader for the shipped i686 build, each with a prefix of its own.
WINE64=/usr/lib/wine/wine64
WINE32=/usr/lib/wine/wine
WINESERVER=/usr/lib/wine/wineserver

wine_env() {  # wine_env <prefix> <win64|win32>
  export WINEPREFIX="$1"
  export WINEARCH="$2"
  if [ "$2" = win64 ]; then export WINELOADER=$WINE64; else export WINELOADER=$WINE32; fi
  export WINEDEBUG=-all
  export WINEDLLOVERRIDES="mscoree,mshtml=,winemenubuilder.exe="
  # Only where i386 programs run under qemu-user (see enable-wine32.sh).
  export QEMU_RESERVED_VA=0xffff0000
}

# Wine's background services inherit the output of the first Wine program and
# outlive it: start them with their output on /dev/null, so that a test runner
# reading a test's output through a pipe never waits for them.
start_wine() {
  mkdir -p "$WINEPREFIX"
  "$WINESERVER" -p >/dev/null 2>&1 </dev/null || true  # already running for this prefix
  "$WINELOADER" wineboot -i >/dev/null 2>&1 </dev/null
}

stop_wine() {
  [ -n "${WINEPREFIX:-}" ] || return 0
  "$WINESERVER" -k >/dev/null 2>&1 || true
  "$WINESERVER" -w >/dev/null 2>&1 || true
}

# A Unix path as Wine's Z: drive sees it.
wine_path() { printf 'Z:%s' "$(tr / '\\' <<<"$1")"; }

# Runs a stage, timing it; the times are summarised at the end.
STAGE_TIMES=()
stage() {
  local name=$1; shift
  local start=$SECONDS
  log "$name"
  "$@"
  local rc=$?
  STAGE_TIMES+=("$(printf '%-28s %4ds' "$name" $((SECONDS - start)))")
  return $rc
}

print_stage_times() {
  printf '\nStage times:\n'
  printf '  %s\n' "${STAGE_TIMES[@]}"
}
