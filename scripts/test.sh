#!/usr/bin/env bash
# Builds everything and runs every test: native unit tests, the sanitizer run
# with the fuzz corpora, the plug-in under 64-bit Wine, and one smoke run of the
# shipped 32-bit plug-in under 32-bit Wine. Exits non-zero on any failure.
set -euo pipefail
source "$(dirname "$0")/common.sh"
cd "$SHEETWALK_ROOT"

JOBS=${JOBS:-$(nproc)}

setup() {
  ensure_packages "${SHEETWALK_PACKAGES[@]}"
  scripts/enable-wine32.sh
}

build_and_test() {
  local preset=$1
  cmake --preset "$preset" >/dev/null
  cmake --build --preset "$preset" -j "$JOBS"
  ctest --preset "$preset" -j "$JOBS"
}

win64_tests() {
  scripts/build-libflac-dll.sh x86_64 build/win64/bin
  cmake --preset win64 >/dev/null
  cmake --build --preset win64 -j "$JOBS"
  wine64_env "$SHEETWALK_ROOT/build/win64/wineprefix"
  start_wine
  local rc=0
  ctest --preset win64 -j "$JOBS" || rc=$?
  stop_wine
  return $rc
}

win32_smoke() {
  scripts/build-libflac-dll.sh i686 build/win32/bin
  cmake --preset win32 >/dev/null
  cmake --build --preset win32 -j "$JOBS"
  scripts/check-imports.sh build/win32/bin/gen_Sheetwalk.dll
  SHEETWALK_WINE32_PREFIX="$SHEETWALK_ROOT/build/win32/wineprefix" \
    scripts/wine32-run.sh build/win32/bin/sheetwalk_host.exe --smoke --plugin gen_Sheetwalk.dll
}

trap 'stop_wine; print_stage_times' EXIT
stage "set-up" setup
stage "native unit tests" build_and_test native
stage "sanitizers and fuzz corpora" build_and_test sanitize
stage "64-bit Wine integration" win64_tests
stage "32-bit Wine smoke" win32_smoke
log "all tests passed"
