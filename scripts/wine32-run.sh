#!/usr/bin/env bash
# Runs a 32-bit Windows program under Debian's 32-bit Wine and exits with the
# program's exit code (modulo 256).
#
# Usage: scripts/wine32-run.sh [--prefix DIR] <program.exe> [args...]
#        scripts/wine32-run.sh [--prefix DIR] --boot
#
# The program runs in a win32 prefix of its own: DIR, else $WINE32_PREFIX,
# else build/win32/wine32-prefix in this repository. The prefix is created
# on first use (about 10 s; --boot does only that, e.g. before tests run in
# parallel). Concurrent callers share the prefix and its wineserver; a lock
# keeps them from booting it twice.
#
# The loader is /usr/lib/wine/wine, the 32-bit one, whatever /usr/bin/wine
# points to. scripts/enable-wine32.sh makes the machine able to run it.
#
# The wineserver is started first, with its output sent to /dev/null, so that
# neither it nor the services it starts hold the caller's pipes open. It stays
# $WINE32_SERVER_LINGER seconds (default 60) after the last program exits, so
# a series of runs pays the start-up once.
#
# Environment defaults, each kept when already set: WINEDEBUG=-all;
# WINEDLLOVERRIDES without the menu builder and the Mono and Gecko installers;
# QEMU_RESERVED_VA=0xffff0000, needed only where i386 programs run under
# qemu-user (see enable-wine32.sh) and ignored otherwise.
set -euo pipefail

SCRIPT_DIR="$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)"
readonly SCRIPT_DIR
readonly WINE32="${WINE32_LOADER:-/usr/lib/wine/wine}"
readonly WINESERVER_BIN="${WINESERVER:-/usr/lib/wine/wineserver}"
readonly BOOTED_STAMP=.wine32-booted

die() { printf 'wine32-run: %s\n' "$*" >&2; exit 125; }

usage() {
  printf 'usage: %s [--prefix DIR] <program.exe> [args...]\n' "$0" >&2
  printf '       %s [--prefix DIR] --boot\n' "$0" >&2
  exit 2
}

prefix="${WINE32_PREFIX:-$SCRIPT_DIR/../build/win32/wine32-prefix}"
boot_only=0
while [[ $# -gt 0 ]]; do
  case "$1" in
    --prefix) [[ $# -ge 2 ]] || usage; prefix="$2"; shift 2 ;;
    --boot) boot_only=1; shift ;;
    --) shift; break ;;
    -*) usage ;;
    *) break ;;
  esac
done
[[ $boot_only -eq 1 || $# -ge 1 ]] || usage

[[ -x "$WINE32" ]] || die "$WINE32 missing: run scripts/enable-wine32.sh as root"
[[ -x "$WINESERVER_BIN" ]] || die "$WINESERVER_BIN missing: run scripts/enable-wine32.sh as root"

# The wineserver works out its socket from the prefix directory and gives up
# when there is none yet.
mkdir -p "$prefix"
prefix="$(cd "$prefix" && pwd)"

export WINEPREFIX="$prefix"
export WINEARCH=win32
export WINESERVER="$WINESERVER_BIN"
export WINEDEBUG="${WINEDEBUG--all}"
export WINEDLLOVERRIDES="${WINEDLLOVERRIDES-winemenubuilder.exe=d;mscoree,mshtml=}"
export QEMU_RESERVED_VA="${QEMU_RESERVED_VA:-0xffff0000}"
linger="${WINE32_SERVER_LINGER:-60}"

# Starts the prefix's wineserver unless one runs already (a second one sees
# the first and exits at once). Debian's wineserver front end passes -p0
# first; the later option wins.
start_server() {
  "$WINESERVER" "-p$linger" </dev/null >/dev/null 2>&1 9>&- || true
}

boot() {
  if [[ -f "$prefix/$BOOTED_STAMP" ]]; then return 0; fi
  if [[ -f "$prefix/system.reg" ]] && ! grep -q '^#arch=win32' "$prefix/system.reg"; then
    die "$prefix holds a prefix that is not win32; remove it or choose another"
  fi
  local start=$SECONDS
  start_server
  if ! "$WINE32" wineboot -i </dev/null >/dev/null 2>&1 9>&-; then
    die "wineboot -i failed in $prefix (rerun with WINEDEBUG=err+all to see why)"
  fi
  touch "$prefix/$BOOTED_STAMP"
  printf 'wine32-run: booted win32 prefix %s in %d s\n' "$prefix" $(( SECONDS - start )) >&2
}

exec 9>"$prefix.lock"
flock 9
boot
exec 9>&-

start_server
[[ $boot_only -eq 1 ]] && exit 0
exec "$WINE32" "$@"
