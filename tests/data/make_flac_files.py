#!/usr/bin/python3
"""Writes the FLAC reader's test files into a folder: flac and metaflac write
the streams, their comments, CUESHEET blocks and pictures; mutagen writes the
ID3v2 tags. A few files are damaged afterwards, each in one way, named after
what the damage breaks. tests/data/flac_cue_tests.inc says what each holds.

Run with Debian's /usr/bin/python3, which has python3-mutagen:
    /usr/bin/python3 make_flac_files.py OUTPUT_DIR
"""

import os
import random
import shutil
import struct
import subprocess
import sys

from mutagen.flac import FLAC
from mutagen.id3 import ID3, TIT2

# The bad inputs' block walker, without leaving compiled files in the source tree.
sys.dont_write_bytecode = True
sys.path.insert(0, os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "integration"))
from make_bad_inputs import flac_blocks  # noqa: E402

# A CD-DA sheet (44.1 kHz, 16-bit stereo): track 2 has a pregap, track 3
# starts between two whole ms (00:20:37 is sample 903756, 20493.33 ms).
CD_CUE = ('FILE "cd.wav" WAVE\n'
          '  TRACK 01 AUDIO\n'
          '    INDEX 01 00:00:00\n'
          '  TRACK 02 AUDIO\n'
          '    INDEX 00 00:08:00\n'
          '    INDEX 01 00:10:00\n'
          '  TRACK 03 AUDIO\n'
          '    INDEX 01 00:20:37\n')
# Not CD-DA (48 kHz), where a track may have no INDEX 01: track 2 has only
# INDEX 00; 00:12:31 is sample 595840, 12413.33 ms.
DVD_CUE = ('FILE "dvd.wav" WAVE\n'
           '  TRACK 01 AUDIO\n'
           '    INDEX 01 00:00:00\n'
           '  TRACK 02 AUDIO\n'
           '    INDEX 00 00:05:00\n'
           '  TRACK 03 AUDIO\n'
           '    INDEX 01 00:12:31\n')


def run(*args):
    subprocess.run(args, check=True, stdout=subprocess.DEVNULL)


def read(path):
    with open(path, "rb") as f:
        return f.read()


def write(path, data):
    with open(path, "wb") as f:
        f.write(data)


def silence_wav(path, rate, seconds):
    data = bytes(rate * seconds * 4)
    write(path, b"RIFF" + struct.pack("<I", 36 + len(data)) + b"WAVEfmt " +
          struct.pack("<IHHIIHH", 16, 1, 2, rate, rate * 4, 4, 16) +
          b"data" + struct.pack("<I", len(data)) + data)


def damaged(source, name, patch):
    data = bytearray(read(source))
    patch(data, flac_blocks(bytes(data)))
    write(name, bytes(data))


def main():
    out = sys.argv[1]
    if os.path.exists(out):
        shutil.rmtree(out)
    os.makedirs(out)
    os.chdir(out)
    write("cd.cue", CD_CUE.encode())
    write("dvd.cue", DVD_CUE.encode())
    silence_wav("cd.wav", 44100, 30)
    silence_wav("dvd.wav", 48000, 30)

    # The comment only, and the CUESHEET block only (flac always writes a
    # comment block, with its vendor string).
    run("flac", "-s", "-f", "cd.wav", "-o", "comment.flac")
    run("metaflac", "--set-tag-from-file=CUESHEET=cd.cue", "--set-tag=TITLE=Comment", "comment.flac")
    run("flac", "-s", "-f", "--cuesheet=cd.cue", "cd.wav", "-o", "block.flac")
    run("flac", "-s", "-f", "dvd.wav", "-o", "noindex1.flac")
    run("metaflac", "--import-cuesheet-from=dvd.cue", "noindex1.flac")
    shutil.copy("block.flac", "nocommentblock.flac")
    run("metaflac", "--remove", "--block-type=VORBIS_COMMENT", "nocommentblock.flac")

    # Cover art of 1 MB and 10 MB before the comment and the CUESHEET block,
    # so that a read must pass it to reach them.
    rng = random.Random(12)
    for name, size in (("picture1m", 1 << 20), ("picture10m", 10 << 20)):
        write(name + ".jpg", rng.randbytes(size))
        run("flac", "-s", "-f", "cd.wav", "-o", name + ".flac")
        run("metaflac", "--remove", "--block-type=VORBIS_COMMENT,PADDING", "--dont-use-padding", name + ".flac")
        run("metaflac", "--import-picture-from=3|image/jpeg|cover|600x600x24|" + name + ".jpg", name + ".flac")
        run("metaflac", "--set-tag-from-file=CUESHEET=cd.cue", name + ".flac")
        run("metaflac", "--import-cuesheet-from=cd.cue", name + ".flac")
        os.remove(name + ".jpg")

    # A CUESHEET comment over the 4 MiB limit for cue text, in a comment
    # block that a lookup leaves unread for its size (mutagen writes it:
    # metaflac takes no tag value this large).
    run("flac", "-s", "-f", "--cuesheet=cd.cue", "cd.wav", "-o", "comment_over_limit.flac")
    tagged = FLAC("comment_over_limit.flac")
    tagged["CUESHEET"] = CD_CUE + "REM " + "x" * (4 << 20) + "\n"
    tagged["COMMENT"] = "y" * 70000
    tagged.save()

    # ID3v2 tags (mutagen's, version 2.4) before a FLAC stream and before
    # bytes that are no FLAC stream.
    shutil.copy("comment.flac", "id3.flac")
    write("id3.mp3", rng.randbytes(20000))
    for name in ("id3.flac", "id3.mp3"):
        tag = ID3()
        tag.add(TIT2(encoding=3, text="ID3v2 first"))
        tag.save(name)
    shutil.copy("cd.wav", "notflac.flac")
    os.mkdir("directory.flac")

    # The CUESHEET block claims one track more than it holds.
    def one_more_track(d, found):
        at, _, _ = next(b for b in found if b[1] == 5)
        d[at + 4 + 395] += 1
    damaged("block.flac", "cuesheet_track_count.flac", one_more_track)

    # The last block's last-block flag cleared: the audio follows.
    def no_last_flag(d, found):
        d[found[-1][0]] &= 0x7F
    damaged("comment.flac", "no_last_flag.flac", no_last_flag)

    # 1025 empty padding blocks after the stream info block.
    def padding_flood(d, found):
        _, _, length = found[0]
        d[4 + 4 + length:4 + 4 + length] = b"\x01\x00\x00\x00" * 1025
    damaged("comment.flac", "padding_flood.flac", padding_flood)

    for name in ("cd.wav", "dvd.wav"):
        os.remove(name)
    write("complete", b"")


if __name__ == "__main__":
    main()
