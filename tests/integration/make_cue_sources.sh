#!/usr/bin/env bash
# Writes the files of cue_sources_test: every place a cue sheet can come
# from, alone and together, written by flac and metaflac (FLAC comments and
# the native CUESHEET block), wavpack and python3-mutagen (APEv2, ID3v1).
#   make_cue_sources.sh <output-dir>
set -euo pipefail
out=$1
rm -rf "$out"
mkdir -p "$out"
cd "$out"

# Six seconds of CD audio: the native block needs CD-DA.
/usr/bin/python3 - <<'PY'
import wave
with wave.open("cd.wav", "wb") as w:
    w.setnchannels(2); w.setsampwidth(2); w.setframerate(44100)
    w.writeframes(bytes(4 * 44100 * 6))
PY

# The sheets name a file that is not in the folder: cd.wav has no cue sheet.
sheet() {  # sheet <album title>: tracks at 0:00, 0:02 and 0:04
  printf 'PERFORMER "%s Artist"\r\nTITLE "%s"\r\nFILE "in.wav" WAVE\r\n' "$1" "$1"
  printf '  TRACK 01 AUDIO\r\n    TITLE "One"\r\n    INDEX 01 00:00:00\r\n'
  printf '  TRACK 02 AUDIO\r\n    TITLE "Two"\r\n    INDEX 01 00:02:00\r\n'
  printf '  TRACK 03 AUDIO\r\n    TITLE "Three"\r\n    INDEX 00 00:03:00\r\n    INDEX 01 00:04:00\r\n'
}
for album in APE Comment Side Whole; do sheet "$album Album" > "$album.cue"; done
printf '\xEF\xBB\xBF' | cat - APE.cue > bom.cue

apev2() {  # apev2 <file> <cue file>
  /usr/bin/python3 -c '
import sys
from mutagen.apev2 import APEv2
tag = APEv2()
tag["Cuesheet"] = open(sys.argv[2], encoding="utf-8").read()
tag.save(sys.argv[1])' "$1" "$2"
}

# p1..p5: each carries the native block, and p1 every other source as well;
# each next file lacks the source that won in the one before.
for n in 1 2 3 4 5; do flac -s -f --cuesheet=APE.cue cd.wav -o "p$n.flac"; done
for n in 1 2; do metaflac --set-tag-from-file=CUESHEET=Comment.cue "p$n.flac"; done
apev2 p1.flac APE.cue
for n in 1 2 3; do cp Side.cue "p$n.cue"; done
for n in 1 2 3 4; do cp Whole.cue "p$n.flac.cue"; done

# A UTF-8 byte order mark at the start of embedded cue text.
# (wavpack drops the mark, mutagen keeps what it is given)
cp cd.wav bom.wav
apev2 bom.wav bom.cue
flac -s -f cd.wav -o bom.flac
metaflac --set-tag-from-file=CUESHEET=bom.cue bom.flac

# An APEv2 tag followed by an ID3v1 tag (and an ID3v2 tag at the start).
cp cd.wav id3v1.wav
apev2 id3v1.wav APE.cue
/usr/bin/python3 -c '
import sys
from mutagen.id3 import ID3, TIT2
tag = ID3()
tag.add(TIT2(encoding=3, text="ID3 title"))
tag.save(sys.argv[1], v1=2)' id3v1.wav
tail -c 128 id3v1.wav | head -c 3 | grep -q TAG

# Sheets that fixed reading rules got wrong: an empty CUESHEET comment in
# front of a good cue file, "TRACK " inside capital titles, one-digit minutes,
# line ends of a CR alone, and an audio file without a dot in a folder with
# one, beside an unrelated sheet named after the folder.
flac -s -f cd.wav -o empty_comment.flac
metaflac --set-tag=CUESHEET= empty_comment.flac
cp Side.cue empty_comment.cue
cp cd.wav soundtrack.wav
printf 'TITLE "THE ORIGINAL SOUNDTRACK EDITION"\r\nFILE "soundtrack.wav" WAVE\r\n  TRACK 01 AUDIO\r\n    INDEX 01 00:00:00\r\n' > soundtrack.cue
printf '  TRACK 02 AUDIO\r\n    TITLE "SOUNDTRACK FINALE"\r\n    INDEX 01 00:02:00\r\n' >> soundtrack.cue
printf '  TRACK 03 AUDIO\r\n    TITLE "Three"\r\n    INDEX 01 00:04:00\r\n' >> soundtrack.cue
cp cd.wav minutes.wav
printf 'TITLE "Minutes"\r\n  TRACK 01 AUDIO\r\n    INDEX 01 0:00:00\r\n  TRACK 02 AUDIO\r\n    TITLE "Two"\r\n' > minutes.cue
printf '    INDEX 01 0:15:00\r\n  TRACK 03 AUDIO\r\n    TITLE "Three"\r\n    INDEX 01 0:42:45\r\n' >> minutes.cue
cp cd.wav cr.wav
sheet "CR Album" | tr -d '\n' > cr.cue
mkdir Mr.Bungle
cp cd.wav Mr.Bungle/track
sheet "Folder Album" > Mr.Bungle/track.cue
sheet "Unrelated Album" > Mr.cue

rm -f APE.cue Comment.cue Side.cue Whole.cue bom.cue
