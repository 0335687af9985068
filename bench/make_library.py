#!/usr/bin/python3
"""Writes the library that scripts/library-check-bench.sh checks with
sheetwalk-inspect --summary: ALBUMS album folders under fifty artists, each
with a cover.jpg beside the audio, in turn a FLAC file with a CUESHEET comment
and an embedded cover (flac, metaflac), a WavPack file with an APEv2 cue sheet
(wavpack), a WAV file with a .cue file beside it, and an MP3 file with an ID3v2
cover and no cue sheet (mutagen). One file of each kind is written; the
albums hold hard links to them, so the library costs little disk space.
With --flat, it writes instead one folder, flat-N, of N files for each N given:
all but 20 of them MP3 files, "all my MP3s in one folder", and 20 cue files of
other discs, which the folder search of each MP3 file reads.

    /usr/bin/python3 make_library.py OUTPUT_DIR ALBUMS
    /usr/bin/python3 make_library.py --flat OUTPUT_DIR N...
"""

import os
import shutil
import sys

from make_miss_files import cd_silence, mp3_with_cover, run

COVER_BYTES = 300_000


def sheet():
    lines = ['PERFORMER "Bench Artist"', 'TITLE "Bench Album"', 'FILE "album.wav" WAVE']
    for n in range(12):
        lines += [f"  TRACK {n + 1:02d} AUDIO", f'    TITLE "Track {n + 1}"', f"    INDEX 01 00:{n * 2:02d}:00"]
    return "\r\n".join(lines) + "\r\n"


def prototypes(folder):
    os.makedirs(folder, exist_ok=True)
    os.chdir(folder)
    cd_silence("album.wav", 30)
    with open("album.cue", "w", encoding="utf-8") as f:
        f.write(sheet())
    with open("cover.jpg", "wb") as f:
        f.write(os.urandom(COVER_BYTES))
    run("flac", "-s", "-f", "album.wav", "-o", "album.flac")
    run("metaflac", "--set-tag-from-file=CUESHEET=album.cue", "--import-picture-from=3|image/jpeg|Cover|300x300x24|cover.jpg", "album.flac")
    run("wavpack", "-q", "-y", "-w", "Cuesheet=@album.cue", "album.wav", "-o", "album.wv")
    mp3_with_cover("album.mp3", 1000, COVER_BYTES)


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


def flat(output, counts):
    source = os.path.join(output, ".prototypes")
    if not os.path.exists(os.path.join(source, "album.mp3")):
        prototypes(source)
    for count in counts:
        folder = os.path.join(output, f"flat-{count}")
        if os.path.isdir(folder) and len(os.listdir(folder)) == count:
            continue
        shutil.rmtree(folder, ignore_errors=True)
        os.makedirs(folder)
        for i in range(20):
            with open(os.path.join(folder, f"Disc {i:02d}.cue"), "w", encoding="utf-8") as f:
                f.write(sheet().replace("album.wav", f"Disc {i:02d}.wav"))
        for i in range(count - 20):
            os.link(os.path.join(source, "album.mp3"), os.path.join(folder, f"Track {i:05d}.mp3"))


if __name__ == "__main__":
    if sys.argv[1] == "--flat":
        flat(os.path.abspath(sys.argv[2]), [int(n) for n in sys.argv[3:]])
    else:
        main(os.path.abspath(sys.argv[1]), int(sys.argv[2]))
