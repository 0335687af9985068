#!/usr/bin/env bash
# Writes the audio files of the integration tests with independent tag writers:
# wavpack (APEv2 in WavPack), flac and metaflac (FLAC comments), and Debian's
# python3-mutagen (APEv2 tags on other files). Cue files are plain text.
#   make_test_files.sh <output-dir>
set -euo pipefail
out=$1
rm -rf "$out"
mkdir -p "$out"
cd "$out"

# A second of silence is audio enough: the player host simulator does not
# decode, and the cue times may lie past the end of the audio.
/usr/bin/python3 - <<'PY'
import wave
with wave.open("silence.wav", "wb") as w:
    w.setnchannels(1); w.setsampwidth(2); w.setframerate(8000)
    w.writeframes(b"\0\0" * 8000)
PY

# Three tracks at 0:00, 3:00 and 6:00. $1: album title, $2: album performer,
# $3..$5: the tracks' performers (empty: no PERFORMER line).
three_tracks() {
  printf 'REM GENRE Test\r\nPERFORMER "%s"\r\nTITLE "%s"\r\nFILE "x.wav" WAVE\r\n' "$2" "$1"
  local n=1 start
  for start in 00:00:00 03:00:00 06:00:00; do
    local performer=${*:$((n + 2)):1}
    printf '  TRACK %02d AUDIO\r\n    TITLE "%s %d"\r\n' "$n" "$1" "$n"
    [ -n "$performer" ] && printf '    PERFORMER "%s"\r\n' "$performer"
    printf '    INDEX 01 %s\r\n' "$start"
    n=$((n + 1))
  done
}

apev2() {  # apev2 <file> <cue file>: APEv2 tag with a Cuesheet item
  /usr/bin/python3 -c '
import sys
from mutagen.apev2 import APEv2
tag = APEv2()
tag["Cuesheet"] = open(sys.argv[2], encoding="utf-8").read()
tag.save(sys.argv[1])' "$1" "$2"
}

apev2_other() {  # apev2_other <file>: APEv2 tag without a cue sheet
  /usr/bin/python3 -c '
import sys
from mutagen.apev2 import APEv2
tag = APEv2()
tag["Title"] = "no cue sheet here"
tag.save(sys.argv[1])' "$1"
}

flac_with_cue() {  # flac_with_cue <file> <cue file>
  flac -s -f silence.wav -o "$1"
  metaflac --set-tag-from-file=CUESHEET="$2" "$1"
}

three_tracks "Wavpack Album" "Ensemble Lviv" "Ensemble Lviv" "Ensemble Lviv" "Ensemble Lviv" > wavpack.cue
three_tracks "FLAC Album" "Various Artists" "Anna Kovalenko" "Björk Guðmundsdóttir" "宇多田ヒカル" > flac.cue
three_tracks "Side Album" "Ensemble Lviv" "Ensemble Lviv" "" "Ensemble Lviv" > side-album.cue
three_tracks "No Performers" "" "" "" "" > noperformer.cue
three_tracks "Other Side" "Somebody" "Somebody" "Somebody" "Somebody" > other.cue

# WavPack with an APEv2 CUESHEET, and a different cue file beside it.
wavpack -q -y -w "Cuesheet=@wavpack.cue" silence.wav -o album.wv
cp other.cue album.cue

# FLAC with a CUESHEET comment.
flac_with_cue album.flac flac.cue

# Both: a FLAC comment and an APEv2 tag after the FLAC data.
flac_with_cue both.flac flac.cue
apev2 both.flac wavpack.cue

# An APEv2 tag without the item, and a FLAC comment with it.
flac_with_cue apenocue.flac flac.cue
apev2_other apenocue.flac

# A WAV file with its cue sheet beside it; and the same without a cue file.
cp silence.wav side.wav
cp side-album.cue side.cue
cp silence.wav nocue.wav
cp silence.wav noperformer.wav

# Embedded and side sheets whose parse stops at the second track (no INDEX 01).
printf 'TITLE "Broken"\nTRACK 01 AUDIO\n TITLE "First"\n INDEX 01 00:00:00\nTRACK 02 AUDIO\n TITLE "Second"\nTRACK 03 AUDIO\n INDEX 01 06:00:00\n' > broken.cue
wavpack -q -y -w "Cuesheet=@broken.cue" silence.wav -o broken.wv
cp silence.wav brokenside.wav
cp broken.cue brokenside.cue

# Twelve tracks whose TRACK numbers start at 5: the tags count in text order.
{
  printf 'TITLE "Twelve"\nPERFORMER "Dozen"\n'
  for n in $(seq 1 12); do
    printf 'TRACK %02d AUDIO\n  TITLE "Song %d"\n  INDEX 01 %02d:00:00\n' $((n + 4)) "$n" $((n * 2 - 2))
  done
} > twelve.cue
wavpack -q -y -w "Cuesheet=@twelve.cue" silence.wav -o twelve.wv
# Tracks at 0:00, 3:00, 3:02 (a 2 s track) and 6:00, on disc 10 of 12.
{
  printf 'REM DISCNUMBER 10\nREM TOTALDISCS 12\nTITLE "Short"\n'
  n=1
  for start in 00:00:00 03:00:00 03:02:00 06:00:00; do
    printf 'TRACK %02d AUDIO\n  TITLE "Short %d"\n  INDEX 01 %s\n' "$n" "$n" "$start"
    n=$((n + 1))
  done
} > short.cue
wavpack -q -y -w "Cuesheet=@short.cue" silence.wav -o short.wv
rm -f wavpack.cue flac.cue side-album.cue other.cue twelve.cue short.cue
