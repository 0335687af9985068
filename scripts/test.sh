#!/usr/bin/env bash
# Builds everything and runs every test: native unit tests, the sanitizer run
# with the fuzz corpora, the plug-in under 64-bit Wine, and one smoke run of the
# shipped 32-bit plug-in under 32-bit Wine. Exits non-zero on any failure.
set -euo pipefail
source "$(dirname "$0")/common.sh"
cd "$SHEETWALK_ROOT"

JOBS=${JOBS:-$(nproc)}

WINE32_MODE=""

# The native unit tests once more under memcheck: any error, or any definite
# leak, fails. Programs the tests start (flac, metaflac, ...) run as they are.
memcheck() {
  local test rc=0
  for test in build/native/tests/unit/*_unittest; do
    valgrind -q --error-exitcode=1 --leak-check=full --errors-for-leak-kinds=definite \
      --suppressions=scripts/valgrind-gtest.supp "$test" >"$test.memcheck.log" 2>&1 \
      || { rc=1; log "memcheck failed: $test"; cat "$test.memcheck.log" >&2; }
  done
  return $rc
}

setup() {
  ensure_packages "${SHEETWALK_PACKAGES[@]}"
  local report
  report=$(scripts/enable-wine32.sh 2>&1) || { printf '%s\n' "$report" >&2; return 1; }
  printf '%s\n' "$report" >&2
  WINE32_MODE=$(sed -n 's/.*ready (\([a-z]*\)).*/\1/p' <<<"$report")
}

build_and_test() {
  local preset=$1
  cmake --preset "$preset" >/dev/null
  cmake --build --preset "$preset" -j "$JOBS"
  ctest --preset "$preset" -j "$JOBS"
}

build_win() {  # build_win <preset> <libFLAC and uchardet arch>
  scripts/build-libflac-dll.sh "$2" "build/$1/bin"
  scripts/build-uchardet.sh "$2"
  cmake --preset "$1" >/dev/null
  cmake --build --preset "$1" -j "$JOBS"
  scripts/check-imports.sh "build/$1/bin/gen_Sheetwalk.dll"
  scripts/check-imports.sh "build/$1/bin/sheetwalk-inspect.exe"
}

win64_tests() {
  build_win win64 x86_64
  wine_env "$SHEETWALK_ROOT/build/win64/wineprefix" win64
  start_wine
  local rc=0
  ctest --preset win64 -j "$JOBS" || rc=$?
  stop_wine
  return $rc
}

# The shipped DLL: a smoke run that hooks, ticks, jumps inside a file with a
# cue sheet, answers a cue track tag, refreshes after stop and quits; and,
# where 32-bit programs run natively, every integration test as well.
win32_tests() {
  build_win win32 i686
  local album=build/win32/smoke-album
  tools/sample_album/make_sample_album.sh "$album" >/dev/null
  wine_env "$SHEETWALK_ROOT/build/win32/wineprefix" win32
  start_wine
  local rc=0
  "$WINE32" build/win32/bin/sheetwalk_host.exe --smoke --play "$(wine_path "$SHEETWALK_ROOT/$album/Seasons.wv")" || rc=$?
  if [ $rc -eq 0 ] && [ "$WINE32_MODE" = native ]; then
    ctest --preset win32 -j "$JOBS" || rc=$?
  elif [ $rc -eq 0 ]; then
    log "32-bit programs run under qemu-user here: only the smoke ran for the 32-bit build"
  fi
  stop_wine
  return $rc
}

# The release zip and installer, checked from outside; the installer itself
# is run under 64-bit Wine (a 64-bit build of the same script and files).
release_check() {
  cmake --build --preset win32 --target release -j "$JOBS"
  wine_env "$SHEETWALK_ROOT/build/win64/wineprefix" win64
  start_wine
  local rc=0
  packaging/check-release.sh build/win32 || rc=$?
  stop_wine
  return $rc
}

trap 'stop_wine; print_stage_times' EXIT
stage "set-up" setup
stage "native unit tests" build_and_test native
stage "valgrind memcheck" memcheck
stage "sanitizers and fuzz corpora" build_and_test sanitize
stage "64-bit Wine integration" win64_tests
stage "32-bit Wine (shipped DLL)" win32_tests
stage "release zip and installer" release_check
log "all tests passed"
