#!/usr/bin/env bash
# Files per second of a library check, sheetwalk-inspect --summary, on a
# generated library of 2,000 albums with covers (bench/make_library.py):
# natively, and under Wine for each Windows build that is built. Each run is
# timed after a first run that warms the file cache; the numbers are printed,
# never checked against a limit.
#   scripts/library-check-bench.sh [ALBUMS]
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
source "$root/scripts/common.sh"
albums=${1:-2000}
work=$root/build/library-bench
/usr/bin/python3 "$root/bench/make_library.py" "$work" "$albums"

rate() {  # rate <label> <command...>: runs twice, times the second run
  /usr/bin/python3 - "$@" <<'PY'
import subprocess, sys, time
label, command = sys.argv[1], sys.argv[2:]
subprocess.run(command, stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
start = time.monotonic()
out = subprocess.run(command, stdout=subprocess.PIPE, stderr=subprocess.DEVNULL).stdout
seconds = time.monotonic() - start
files = out.count(b'"verdict"')
print(f"{label}: {files} files in {seconds:.2f} s, {files / seconds:.0f} files/s")
PY
}

native=$root/build/native/inspect/sheetwalk-inspect
[[ -x $native ]] || { cmake --preset native >/dev/null && cmake --build --preset native --target sheetwalk-inspect >/dev/null; }
rate "native" "$native" --summary --json "$work/library"

for arch in win64 win32; do
  exe=$root/build/$arch/bin/sheetwalk-inspect.exe
  [[ -f $exe ]] || { echo "$arch: not built, skipped"; continue; }
  wine_env "$root/build/$arch/wineprefix" "$arch"
  start_wine
  rate "$arch under Wine" "$WINELOADER" "$exe" --summary --json "Z:${work//\//\\}\\library"
  stop_wine
done
