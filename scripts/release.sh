#!/usr/bin/env bash
# Makes the release from the sources: the 32-bit plug-in and libFLAC.dll, then
# dist/Sheetwalk-<version>.zip and dist/Sheetwalk-<version>-setup.exe, and
# checks them (packaging/check-release.sh; the installer run needs 64-bit Wine
# set up as scripts/test.sh does, and is skipped without it).
set -euo pipefail
source "$(dirname "$0")/common.sh"
cd "$SHEETWALK_ROOT"

ensure_packages cmake ninja-build g++-mingw-w64-i686-posix binutils-mingw-w64 nsis zip unzip dpkg-dev
cmake --preset win32 >/dev/null
cmake --build --preset win32 --target release -j "${JOBS:-$(nproc)}"
packaging/check-release.sh build/win32
