#!/usr/bin/env bash
# Writes the files of slow_storage_test, which reads them through the slow
# storage library: one folder per kind of album, audio from Python's wave
# module and flac, the FLAC comment from metaflac.
#   make_slow_storage.sh <output-dir>
# Every name written here is one that slow_storage_test.cpp expects.
set -euo pipefail
out=$1
rm -rf "$out"
mkdir -p "$out"/{side,flac,among,plain,gone-away,second,refresh,locked}
cd "$out"

# Ten seconds of mono audio at 8 kHz.
/usr/bin/python3 - <<'PY'
import wave
with wave.open("ten.wav", "wb") as w:
    w.setnchannels(1); w.setsampwidth(2); w.setframerate(8000)
    w.writeframes(bytes(2 * 8000 * 10))
PY

sheet() {  # sheet <album title> <file>: tracks at 0:00, 0:03 and 0:06
  printf 'PERFORMER "Artist"\r\nTITLE "%s"\r\nFILE "%s" WAVE\r\n' "$1" "$2"
  printf '  TRACK 01 AUDIO\r\n    TITLE "One"\r\n    INDEX 01 00:00:00\r\n'
  printf '  TRACK 02 AUDIO\r\n    TITLE "Two"\r\n    INDEX 01 00:03:00\r\n'
  printf '  TRACK 03 AUDIO\r\n    TITLE "Three"\r\n    INDEX 01 00:06:00\r\n'
}

with_side_cue() {  # with_side_cue <folder/name> <album title>
  cp ten.wav "$1.wav"
  sheet "$2" "${1##*/}.wav" > "$1.cue"
}

with_side_cue side/Album "Side Album"

flac -s -f ten.wav -o flac/Album.flac
sheet "Flac Album" Album.flac > comment.cue
metaflac --set-tag-from-file=CUESHEET=comment.cue flac/Album.flac

# The disc's sheet is named otherwise and comes after the twelve others by
# name: a search that reads cue files in order reads them all first.
cp ten.wav among/Finale.wav
sheet "Finale Album" Finale.wav > "among/Rip (EAC).cue"
for n in 01 02 03 04 05 06 07 08 09 10 11 12; do sheet "Disc $n" "Disc $n.wav" > "among/Disc $n.cue"; done

cp ten.wav plain/Plain.wav

# The disc's sheet, named otherwise, is the one cue file the test holds open
# without sharing; the two others belong to other discs.
cp ten.wav locked/Album.wav
sheet "Locked Album" Album.wav > "locked/Album (EAC).cue"
sheet "Disc 1" "Disc 1.wav" > "locked/Disc 1.cue"
sheet "Disc 2" "Disc 2.wav" > "locked/Disc 2.cue"

# Each row and test plays a file of its own there, so no lookup finds a
# sheet that an earlier one read.
with_side_cue gone-away/Album "Gone Album"
with_side_cue gone-away/Quit "Gone Album"
with_side_cue gone-away/Drain "Gone Album"

with_side_cue second/Album "Second Album"

with_side_cue refresh/A "Refresh Album"
cp ten.wav refresh/B.wav
cp ten.wav refresh/C.wav
cp ten.wav refresh/D.wav

rm ten.wav comment.cue
