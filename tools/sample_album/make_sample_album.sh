#!/usr/bin/env bash
# Makes a one-minute single-file album with its cue sheet in the three places
# the plug-in reads: an APEv2 tag (WavPack), a FLAC comment, and a .cue file
# beside a WAV file. The tags are written by wavpack and metaflac themselves.
#   make_sample_album.sh <output-dir>
set -euo pipefail
out=$1
here=$(cd "$(dirname "$0")" && pwd)
mkdir -p "$out"
cd "$out"

# Four 15-second tones, one per cue track, 22.05 kHz mono.
/usr/bin/python3 - <<'PY'
import math, struct, wave
rate = 22050
with wave.open("Seasons.wav", "wb") as w:
    w.setnchannels(1); w.setsampwidth(2); w.setframerate(rate)
    frames = bytearray()
    for pitch in (440.0, 494.0, 523.0, 587.0):
        for i in range(rate * 15):
            frames += struct.pack("<h", int(6000 * math.sin(2 * math.pi * pitch * i / rate)))
    w.writeframes(bytes(frames))
PY
cp "$here/album.cue" Seasons.cue
rm -f Seasons.wv Seasons.flac
wavpack -q -y -w "Cuesheet=@Seasons.cue" -w "Artist=Kvartet Dnipro" -w "Title=Seasons" Seasons.wav -o Seasons.wv
flac -s -f Seasons.wav -o Seasons.flac
metaflac --set-tag-from-file=CUESHEET=Seasons.cue Seasons.flac
echo "$out: Seasons.wv (APEv2), Seasons.flac (FLAC comment), Seasons.wav + Seasons.cue"
