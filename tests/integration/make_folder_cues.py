#!/usr/bin/python3
"""Writes the folders of folder_cue_test: cue files named otherwise than their
audio file, as rippers name them, beside audio files that flac writes (and
WAV files that Python's wave module writes), one folder per layout.

    /usr/bin/python3 make_folder_cues.py OUTPUT_DIR

Every name written here is one that folder_cue_test.cpp expects.
"""

import os
import shutil
import subprocess
import sys
import wave
from pathlib import Path


def sheet(album, *files):
    """Tracks at 0:00 and 0:02 under each FILE line."""
    text = f'REM COMMENT "ExactAudioCopy v1.6"\r\nPERFORMER "Artist"\r\nTITLE "{album}"\r\n'
    for n, name in enumerate(files):
        text += (f'FILE "{name}" WAVE\r\n  TRACK {2 * n + 1:02d} AUDIO\r\n    TITLE "One"\r\n    INDEX 01 00:00:00\r\n'
                 f'  TRACK {2 * n + 2:02d} AUDIO\r\n    TITLE "Two"\r\n    INDEX 01 00:02:00\r\n')
    return text.encode("utf-8")


def main():
    out = Path(sys.argv[1])
    shutil.rmtree(out, ignore_errors=True)
    out.mkdir(parents=True)
    silence = out / "silence.wav"
    with wave.open(str(silence), "wb") as w:  # a second, mono, 8 kHz
        w.setparams((1, 2, 8000, 8000, "NONE", "not compressed"))
        w.writeframes(bytes(2 * 8000))
    flac = out / "silence.flac"
    subprocess.run(["flac", "-s", "-f", str(silence), "-o", str(flac)], check=True)

    def layout(folder, audio, cues):
        where = out / folder
        where.mkdir()
        for name in audio:
            shutil.copy(flac if name.endswith(".flac") else silence, where / name)
        for name, text in cues.items():
            (where / name).write_bytes(text)

    layout("eac", ["CDImage.flac"], {"Artist - Album.cue": sheet("EAC Album", "CDImage.wav")})
    layout("ape", ["album.ape"], {"album (EAC).cue": sheet("APE Album", "album.wav")})
    layout("discs", ["Disc 1.flac", "Disc 2.flac"],
           {"CD1.cue": sheet("First Disc", "Disc 1.flac"), "CD2.cue": sheet("Second Disc", "Disc 2.wav")})
    layout("pair", ["CDImage.flac"], {"Artist - Album.cue": sheet("Pair Album", "Range.wav")})
    # As Windows orders names, a.cue comes before B.cue; by code unit after.
    layout("same", ["x.flac"], {"B.cue": sheet("Second Sheet", "x.flac"), "a.cue": sheet("First Sheet", "x.wav")})
    layout("other", ["x.flac", "y.wav"], {"Album.cue": sheet("Y Album", "y.wav")})
    layout("two", ["x.flac"], {"Album.cue": sheet("Two Files", "x.wav", "x-2.wav")})
    layout("added", ["x.flac"], {})
    (out / "spare.cue").write_bytes(sheet("Added Album", "x.wav"))

    # 2,000 files: miss.wav, 20 discs with their sheets, 1,959 pictures. Of
    # the sheets, the 4th by name names miss.wav only after 64 KiB, and the
    # 20th names it too; the others name their discs.
    big = out / "big"
    big.mkdir()
    shutil.copy(silence, big / "miss.wav")
    for n in range(20):
        os.link(silence, big / f"disc {n:02d}.wav")
        text = sheet(f"Disc {n:02d}", f"disc {n:02d}.wav")
        if n == 3:
            text = b"REM " + b"x" * (70 * 1024) + b"\r\n" + sheet("Too Far", "miss.wav")
        (big / (f"{n:02d} disc.cue" if n < 19 else "zz miss.cue")).write_bytes(
            sheet("Past The Limit", "miss.wav") if n == 19 else text)
    for n in range(1959):
        (big / f"photo {n:04d}.jpg").write_bytes(b"")
    assert len(os.listdir(big)) == 2000


if __name__ == "__main__":
    main()
