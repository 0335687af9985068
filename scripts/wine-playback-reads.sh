#!/usr/bin/env bash
# What the plug-in reads from a playing file without a cue sheet: the player
# host plays each file for 10 s under Wine, with strace watching its reads.
# Wine opens files in wineserver, but the reads happen in the player's own
# process, where strace -y names the file of each one.
#
#   scripts/wine-playback-reads.sh <win64|win32> [files folder]
#
# Needs the preset's build (the host, the plug-in and libFLAC.dll in
# build/<preset>/bin). The files come from bench/make_miss_files.py.
set -euo pipefail
source "$(dirname "$0")/common.sh"
cd "$SHEETWALK_ROOT"

preset=${1:?win64 or win32}
folder=${2:-$SHEETWALK_ROOT/build/$preset/miss-files}
ensure_packages strace
[ -d "$folder" ] || /usr/bin/python3 bench/make_miss_files.py "$folder" >/dev/null
wine_env "$SHEETWALK_ROOT/build/$preset/wineprefix" "$preset"
trap stop_wine EXIT
start_wine

printf '%-18s %12s %8s\n' file bytes_read reads
for file in silence.wav id3v2.mp3 cover_1MB.flac cover_10MB.flac plain.wv cover_30MB.ape; do
  trace=$(mktemp)
  strace -f -y -e trace=read,pread64 -o "$trace" \
    "$WINELOADER" "build/$preset/bin/sheetwalk_host.exe" --brief \
    --play "$(wine_path "$folder/$file")" --script init,play,wait:10000,quit >/dev/null 2>&1
  # Lines such as: 123 pread64(45</path/to/file>, "..."..., 4096, 0) = 4096
  awk -v path="<$folder/$file>" 'index($0, path) && $NF ~ /^[0-9]+$/ { bytes += $NF; reads++ }
    END { printf "%.0f %d\n", bytes, reads }' "$trace" | {
    read -r bytes reads
    printf '%-18s %12s %8s\n' "$file" "$bytes" "$reads"
  }
  rm -f "$trace"
done
