#!/usr/bin/env bash
# Builds the plug-in and plays a sample single-file album in the player host
# simulator under Wine: Next and Previous jump between the cue tracks inside
# the file, from the player's buttons, the taskbar thumbnail buttons and the
# system menu alike, and every refreshed title, which the player formats
# itself, shows the six cue track tags. At the end it prints the longest time
# the player's thread kept its messages waiting.
set -euo pipefail
source "$(dirname "$0")/common.sh"
cd "$SHEETWALK_ROOT"

ensure_packages cmake ninja-build g++-mingw-w64-x86-64-posix binutils-mingw-w64 wine wine64 \
  flac wavpack python3 googletest dpkg-dev

log "building the plug-in, the simulator and libFLAC.dll (x86_64, for 64-bit Wine)"
scripts/build-libflac-dll.sh x86_64 build/win64/bin
cmake --preset win64 >/dev/null
cmake --build --preset win64 --target gen_Sheetwalk sheetwalk_host >/dev/null

log "making the sample album with wavpack, flac and metaflac"
album=build/demo
tools/sample_album/make_sample_album.sh "$album" >/dev/null

wine_env "$SHEETWALK_ROOT/build/win64/wineprefix" win64
trap stop_wine EXIT
start_wine

# Four cue tracks at 0:00, 0:15, 0:30 and 0:45 in one WavPack file. The
# format falls back to the player's own title, from the file's own tags,
# where the cue track tags are empty: after stop.
format='$if2([%subnum%/%subnumtotal%. ][%subartist% - ]%subtitle%  ·  %submainartist% — %submaintitle%,[%artist% - ]%title%)'
script='init,play:12000,wait:4000,next,wait:1500,prev,wait:500,thumbprev,wait:800,next,sysnext,wait:800,thumbnext,wait:300,stop,wait:300,quit'
log "playing Z:$SHEETWALK_ROOT/$album/Seasons.wv"
"$WINE64" build/win64/bin/sheetwalk_host.exe \
  --play "$(wine_path "$SHEETWALK_ROOT/$album/Seasons.wv")" --tag "artist=Kvartet Dnipro" --tag "title=Seasons" \
  --format "$format" --script "$script" --brief --waits
echo "You just saw Next and Previous, from the player's buttons, its taskbar thumbnail and its system menu," \
  "jump between the four tracks inside one WavPack file, with the player's title naming each track as it played" \
  "and its own title again after stop."
