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
from mutagen.flac import FLAC
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
    # 16 MiB of comments in front of a block that runs past the end of the
    # file: libFLAC refuses the chain.
    shutil.copy("plain.flac", "refused_16MB_comments.flac")
    tag = FLAC("refused_16MB_comments.flac")
    tag["COMMENT"] = "c" * (16 * 1024 * 1024 - 1024)
    tag.save(padding=lambda info: 1024)
    with open("refused_16MB_comments.flac", "r+b") as f:
        data = f.read()
        at = 4
        while data[at] & 0x80 == 0:
            at += 4 + int.from_bytes(data[at + 1:at + 4], "big")
        f.seek(at)
        f.write(b"\x01\xff\xff\xff")
    # A cue file of 6.5 MiB of tracks, over the limit for cue text, in a
    # folder of its own: the other files' first lookups read the folder's
    # cue files.
    os.makedirs("over limit", exist_ok=True)
    shutil.copy("silence.wav", "over limit/cue_over_limit.wav")
    with open("over limit/cue_over_limit.cue", "w") as f:
        f.writelines(f"TRACK 01 AUDIO\nINDEX 01 {n // 4500}:{n // 75 % 60:02d}:{n % 75:02d}\n" for n in range(210_000))
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
    # A folder of 2,000 files: silence.wav without a sheet, 20 discs each
    # with a 12-track sheet that names it, and 1,959 pictures.
    folder = "2000 files"
    shutil.rmtree(folder, ignore_errors=True)
    os.mkdir(folder)
    shutil.copy("silence.wav", os.path.join(folder, "silence.wav"))
    for disc in range(20):
        audio = f"Disc {disc + 1:02d}.flac"
        open(os.path.join(folder, audio), "wb").close()
        lines = ['REM GENRE Jazz', 'REM DATE 1959', 'PERFORMER "Quintet"', f'TITLE "Disc {disc + 1}"',
                 f'FILE "{audio}" WAVE']
        for n in range(1, 13):
            lines += [f'  TRACK {n:02d} AUDIO', f'    TITLE "Standard number {n}"', '    PERFORMER "Quintet"',
                      f'    INDEX 01 {4 * (n - 1):02d}:00:00']
        with open(os.path.join(folder, f"CD{disc + 1:02d}.cue"), "w", newline="\r\n") as f:
            f.write("\n".join(lines) + "\n")
    for n in range(1959):
        open(os.path.join(folder, f"scan {n:04d}.jpg"), "wb").close()


if __name__ == "__main__":
    main(sys.argv[1])
