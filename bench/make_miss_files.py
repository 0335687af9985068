#!/usr/bin/python3
"""Writes the files without a cue sheet whose lookups miss_cost_perftest and
scripts/wine-playback-reads.sh measure, each by an independent writer.

    /usr/bin/python3 make_miss_files.py OUTPUT_DIR
"""

import os
import shutil
import subprocess
import sys
import wave

from mutagen.apev2 import APEv2, APEValue, BINARY
from mutagen.id3 import APIC, ID3, TIT2


def run(*args):
    subprocess.run(args, check=True, stdout=subprocess.DEVNULL)


def cd_silence(name, seconds):
    with wave.open(name, "wb") as w:
        w.setnchannels(2)
        w.setsampwidth(2)
        w.setframerate(44100)
        w.writeframes(bytes(4 * 44100 * seconds))


def mp3_with_cover(name, frames, cover_bytes):
    """MPEG-1 layer III frames of silence behind an ID3v2 tag with a cover."""
    with open(name, "wb") as f:
        f.write((bytes([0xFF, 0xFB, 0x90, 0x64]) + bytes(413)) * frames)
    tag = ID3()
    tag.add(TIT2(encoding=3, text="No cue sheet"))
    tag.add(APIC(encoding=3, mime="image/jpeg", type=3, desc="Cover", data=os.urandom(cover_bytes)))
    tag.save(name)


def main(folder):
    os.makedirs(folder, exist_ok=True)
    os.chdir(folder)
    cd_silence("silence.wav", 10)
    mp3_with_cover("id3v2.mp3", 400, 100_000)
    run("flac", "-s", "-f", "-T", "TITLE=No cue sheet", "silence.wav", "-o", "plain.flac")
    for name, size in (("cover_1MB.flac", 1 << 20), ("cover_10MB.flac", 10 << 20)):
        with open("cover.jpg", "wb") as f:
            f.write(os.urandom(size))
        shutil.copy("plain.flac", name)
        run("metaflac", "--import-picture-from=3|image/jpeg|Cover|600x600x24|cover.jpg", name)
    os.remove("cover.jpg")
    os.remove("plain.flac")
    run("wavpack", "-q", "-y", "-w", "Title=No cue sheet", "silence.wav", "-o", "plain.wv")
    # Monkey's Audio has no encoder here; the APEv2 tag, which is all the
    # lookup reads, is the same on any audio stream.
    shutil.copy("plain.wv", "cover_30MB.ape")
    tag = APEv2()
    tag["Title"] = "No cue sheet"
    tag["Cover Art (Front)"] = APEValue(b"cover.jpg\0" + os.urandom(30 << 20), BINARY)
    tag.save("cover_30MB.ape")


if __name__ == "__main__":
    main(sys.argv[1])
