#!/usr/bin/env bash
# Files per second of a library check, sheetwalk-inspect --summary and
# --problems, on a generated library of 2,000 albums with covers
# (bench/make_library.py): natively, and under Wine for each Windows build
# that is built. Then --summary of one folder of 5,000 files and of one of
# 50,000, and how much longer a file of the large folder takes than one of
# the small: near 1 where a walk is linear in the number of files. Each run
# is timed after a first run that warms the file cache; the numbers are
# printed, never checked against a limit.
#   scripts/library-check-bench.sh [ALBUMS [FOLDER_FILES...]]
#   (FOLDER_FILES 0 leaves the single folders out)
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
source "$root/scripts/common.sh"
albums=${1:-2000}
shift || true
flats=("$@")
(( ${#flats[@]} )) || flats=(5000 50000)
[[ ${flats[0]} == 0 ]] && flats=()
work=$root/build/library-bench
/usr/bin/python3 "$root/bench/make_library.py" "$work" "$albums"
(( ${#flats[@]} == 0 )) || /usr/bin/python3 "$root/bench/make_library.py" --flat "$work" "${flats[@]}"

bench() {  # bench <label> <separator> <the work folder as the program names it> <program...>
  FLATS="${flats[*]}" /usr/bin/python3 - "$@" <<'PY'
import json, os, subprocess, sys, time
label, separator, top, command = sys.argv[1], sys.argv[2], sys.argv[3], sys.argv[4:]

def rate(what, mode, folder):
    run = command + [mode, "--json", top + separator + folder]
    subprocess.run(run, stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
    start = time.monotonic()
    out = subprocess.run(run, stdout=subprocess.PIPE, stderr=subprocess.DEVNULL).stdout
    seconds = time.monotonic() - start
    files = json.loads(out.splitlines()[-1])["totals"]["files"]
    print(f"{label}, {what}: {files} files in {seconds:.2f} s, {files / seconds:.0f} files/s", flush=True)
    return seconds / files

for mode in ("--summary", "--problems"):
    rate(f"{mode} of the library", mode, "library")
flats = [int(n) for n in os.environ["FLATS"].split()]
per = [rate(f"--summary of one folder of {n} files", "--summary", f"flat-{n}") for n in flats]
if len(per) == 2:
    print(f"{label}: a file of the folder of {flats[1]} takes {per[1] / per[0]:.2f} times as long as one of the "
          f"folder of {flats[0]}")
PY
}

native=$root/build/native/inspect/sheetwalk-inspect
[[ -x $native ]] || { cmake --preset native >/dev/null && cmake --build --preset native --target sheetwalk-inspect >/dev/null; }
bench native / "$work" "$native"

for arch in win64 win32; do
  exe=$root/build/$arch/bin/sheetwalk-inspect.exe
  [[ -f $exe ]] || { echo "$arch: not built, skipped"; continue; }
  wine_env "$root/build/$arch/wineprefix" "$arch"
  start_wine
  bench "$arch under Wine" '\' "Z:${work//\//\\}" "$WINELOADER" "$exe"
  stop_wine
done
