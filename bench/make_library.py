#!/usr/bin/python3
"""Writes the library that scripts/library-check-bench.sh checks with
sheetwalk-inspect --summary: ALBUMS album folders under fifty artists, each
with a cover.jpg beside the audio, in turn a FLAC file with a CUESHEET comment
and an embedded cover (flac, metaflac), a WavPack file with an APEv2 cue sheet
(wavpack), a WAV file with a .cue file beside it, and an MP3 file with an ID3v2
cover and no cue sheet (mutagen). One file of each kind is written; the
albums hold hard links to them, so the library costs little disk space.

    /usr/bin/python3 make_library.py OUTPUT_DIR ALBUMS
"""

import os
import shutil
import subprocess
import sys
import wave

from mutagen.id3 import APIC, ID3, TIT2

COVER_BYTES = 300_000


def run(*args):
    subprocess.run(args, check=True, stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)


def sheet():
    lines = ['PERFORMER "Bench Artist"', 'TITLE "Bench Album"', 'FILE "album.wav" WAVE']
    for n in range(12):
        lines += [f"  TRACK {n + 1:02d} AUDIO", f'    TITLE "Track {n + 1}"', f"    INDEX 01 00:{n * 2:02d}:00"]
    return "\r\n".join(lines) + "\r\n"


def prototypes(folder):
    os.makedirs(folder, exist_ok=True)
    os.chdir(folder)
    with wave.open("album.wav", "wb") as w:  # 30 s of CD audio
        w.setnchannels(2)
        w.setsampwidth(2)
        w.setframerate(44100)
        w.writeframes(bytes(4 * 44100 * 30))
    with open("album.cue", "w", encoding="utf-8") as f:
        f.write(sheet())
    with open("cover.jpg", "wb") as f:
        f.write(os.urandom(COVER_BYTES))
    run("flac", "-s", "-f", "album.wav", "-o", "album.flac")
    run("metaflac", "--set-tag-from-file=CUESHEET=album.cue", "--import-picture-from=3|image/jpeg|Cover|300x300x24|cover.jpg", "album.flac")
    run("wavpack", "-q", "-y", "-w", "Cuesheet=@album.cue", "album.wav", "-o", "album.wv")
    with open("album.mp3", "wb") as f:
        f.write((bytes([0xFF, 0xFB, 0x90, 0x64]) + bytes(413)) * 1000)
    tag = ID3()
    tag.add(TIT2(encoding=3, text="No cue sheet"))
    tag.add(APIC(encoding=3, mime="image/jpeg", type=3, desc="Cover", data=os.urandom(COVER_BYTES)))
    tag.save("album.mp3")


def main(output, albums):
    shutil.rmtree(output, ignore_errors=True)
    source = os.path.join(output, ".prototypes")
    prototypes(source)
    kinds = (["album.flac"], ["album.wv"], ["album.wav", "album.cue"], ["album.mp3"])
    for i in range(albums):
        album = os.path.join(output, "library", f"Artist {i % 50:02d}", f"Album {i:04d}")
        os.makedirs(album)
        for name in kinds[i % len(kinds)] + ["cover.jpg"]:
            os.link(os.path.join(source, name), os.path.join(album, name))


if __name__ == "__main__":
    main(os.path.abspath(sys.argv[1]), int(sys.argv[2]))
