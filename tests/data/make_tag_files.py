#!/usr/bin/python3
"""Writes the tag reader test files into a folder, each by an independent
writer: flac and metaflac for FLAC comments, wavpack for APEv2 tags in
WavPack files, mutagen's APEv2 writer for APEv2 tags on other files, and
Python's codecs for cue files in 8-bit and UTF-16 encodings.

Run with Debian's /usr/bin/python3, which has python3-mutagen:
    /usr/bin/python3 make_tag_files.py OUTPUT_DIR [--large]
--large adds a sparse 5 GiB file with an APEv2 tag at its end.
"""

import os
import random
import shutil
import subprocess
import sys

from mutagen.apev2 import APEv2, APEValue, BINARY, EXTERNAL, TEXT
from mutagen.id3 import ID3, TIT2

HERE = os.path.dirname(os.path.abspath(__file__))
ALBUM_CUE = os.path.join(HERE, "album.cue")
# A folder name with Cyrillic and CJK letters, outside every ANSI code page
# at once.
WIDE_FOLDER = "Музыка 音楽"

# The same short cue sheet in each 8-bit code page, one file per code page.
CODE_PAGE_CUES = {
    "cp1252": 'PERFORMER "Café Müller – Señor"\nTITLE "Straße"\n'
              'FILE "a.wav" WAVE\n  TRACK 01 AUDIO\n    INDEX 01 00:00:00\n',
    "cp1251": 'PERFORMER "Кино – Цой"\nTITLE "Группа крови"\n'
              'FILE "a.wav" WAVE\n  TRACK 01 AUDIO\n    INDEX 01 00:00:00\n',
    "cp932": 'PERFORMER "椎名林檎"\nTITLE "無罪モラトリアム ｶﾀｶﾅ"\n'
             'FILE "a.wav" WAVE\n  TRACK 01 AUDIO\n    INDEX 01 00:00:00\n',
}


def run(*args):
    subprocess.run(args, check=True, stdout=subprocess.DEVNULL)


def write(path, data):
    with open(path, "wb") as f:
        f.write(data)


def pcm(seconds=1):
    # Noise does not compress away, so the audio has a realistic size.
    rng = random.Random(4)
    return bytes(rng.getrandbits(8) for _ in range(44100 * 4 * seconds))


def make_flac(path, raw):
    run("flac", "-s", "-f", "--force-raw-format", "--endian=little", "--sign=signed",
        "--channels=2", "--bps=16", "--sample-rate=44100", raw, "-o", path)


def flac_files(out, raw, cue):
    d = os.path.join(out, "flac")
    os.makedirs(d)
    album = os.path.join(d, "album.flac")
    make_flac(album, raw)
    run("metaflac", "--no-utf8-convert", "--set-tag-from-file=CUESHEET=" + cue,
        "--set-tag=TITLE=a=b", "--set-tag=Artist=Zoë Ångström Кино 東京", album)

    lower = os.path.join(d, "lowercase.flac")
    make_flac(lower, raw)
    run("metaflac", "--no-utf8-convert", "--set-tag-from-file=cuesheet=" + cue, lower)

    twice = os.path.join(d, "twice.flac")
    make_flac(twice, raw)
    run("metaflac", "--set-tag=CUESHEET=first", "--set-tag=CueSheet=second", twice)

    none = os.path.join(d, "nocomments.flac")
    make_flac(none, raw)
    run("metaflac", "--remove-all-tags", none)

    noblock = os.path.join(d, "noblock.flac")
    make_flac(noblock, raw)
    run("metaflac", "--remove", "--block-type=VORBIS_COMMENT", noblock)

    write(os.path.join(d, "notflac.flac"), b"RIFF" + bytes(range(256)) * 8)

    # An ID3v2 tag (no tool puts one before FLAC willingly) in front of a
    # FLAC stream: libFLAC skips it. And digital silence, in which libFLAC
    # would hunt for a stream to the end of the file.
    with open(album, "rb") as f:
        stream = f.read()
    write(os.path.join(d, "id3.flac"), b"ID3\x03\x00\x00\x00\x00\x00\x64" + bytes(100) + stream)
    write(os.path.join(d, "silence.wav"), b"RIFF" + bytes(4 * 1024 * 1024))


def wavpack_files(out, raw, cue):
    d = os.path.join(out, "wavpack")
    os.makedirs(d)
    run("wavpack", "-q", "-y", "--raw-pcm", "-w", "Cuesheet=@" + cue,
        "-w", "Title=Zoë a=b", raw, "-o", os.path.join(d, "album.wv"))


def ape_tag(path, items):
    tag = APEv2()
    for key, value in items:
        tag[key] = value
    tag.save(path)


def mutagen_files(out, cue_text):
    d = os.path.join(out, "mutagen")
    os.makedirs(d)
    body = bytes(random.Random(7).getrandbits(8) for _ in range(20000))

    # Text, binary and locator items side by side; the binary value holds NULs.
    tagged = os.path.join(d, "tagged.tak")
    write(tagged, body)
    ape_tag(tagged, [
        ("Cuesheet", APEValue(cue_text, TEXT)),
        ("Cover Art (Front)", APEValue(b"cover.jpg\x00\xff\xd8\xff\xe0", BINARY)),
        ("Related", APEValue("file:///music/album.cue", EXTERNAL)),
        ("Title", APEValue("Zoë a=b", TEXT)),
    ])

    empty = os.path.join(d, "emptycue.ape")
    write(empty, body)
    ape_tag(empty, [("CUESHEET", APEValue("", TEXT)), ("Artist", APEValue("x", TEXT))])

    # An ID3v1 tag after the APEv2 tag (mutagen's ID3 writer appends one).
    id3v1 = os.path.join(d, "id3v1.ape")
    write(id3v1, body)
    ape_tag(id3v1, [("Cuesheet", APEValue(cue_text, TEXT))])
    id3 = ID3()
    id3.add(TIT2(encoding=3, text="Trailing ID3v1"))
    id3.save(id3v1, v1=2)

    notag = os.path.join(d, "notag.ape")
    write(notag, body)


def wide_folder_files(out):
    d = os.path.join(out, WIDE_FOLDER)
    os.makedirs(d)
    shutil.copy(os.path.join(out, "flac", "album.flac"), os.path.join(d, "album.flac"))
    shutil.copy(os.path.join(out, "wavpack", "album.wv"), os.path.join(d, "album.wv"))


def cue_files(out, cue_text):
    d = os.path.join(out, "cue")
    os.makedirs(d)
    write(os.path.join(d, "utf8.cue"), cue_text.encode("utf-8"))
    write(os.path.join(d, "utf8bom.cue"), b"\xef\xbb\xbf" + cue_text.encode("utf-8"))
    write(os.path.join(d, "utf16le.cue"), b"\xff\xfe" + cue_text.encode("utf-16-le"))
    write(os.path.join(d, "utf16be.cue"), b"\xfe\xff" + cue_text.encode("utf-16-be"))
    for codec, text in CODE_PAGE_CUES.items():
        write(os.path.join(d, codec + ".cue"), text.encode(codec))
    write(os.path.join(d, "empty.cue"), b"")
    write(os.path.join(d, "nul.cue"), b"\x00TITLE \"x\"\n")
    # An audio file without a dot in a folder with one: its cue file, and an
    # unrelated one named after the folder.
    live = os.path.join(d, "Live.2009")
    os.makedirs(live)
    write(os.path.join(live, "track.cue"), b'TITLE "Track"\n')
    write(os.path.join(d, "Live.cue"), b'TITLE "Live"\n')


def large_file(out):
    d = os.path.join(out, "large")
    os.makedirs(d)
    path = os.path.join(d, "large.ape")
    with open(path, "wb") as f:
        f.truncate(5 << 30)
    ape_tag(path, [("Cuesheet", APEValue('TITLE "Beyond 4 GiB"\n', TEXT))])


def main():
    out = sys.argv[1]
    large = "--large" in sys.argv[2:]
    if os.path.exists(out):
        shutil.rmtree(out)
    os.makedirs(out)
    with open(ALBUM_CUE, encoding="utf-8") as f:
        cue_text = f.read()
    cue = os.path.join(out, "album.cue")
    shutil.copy(ALBUM_CUE, cue)
    raw = os.path.join(out, "noise.raw")
    write(raw, pcm())

    flac_files(out, raw, cue)
    wavpack_files(out, raw, cue)
    mutagen_files(out, cue_text)
    wide_folder_files(out)
    cue_files(out, cue_text)
    if large:
        large_file(out)
    os.remove(raw)
    write(os.path.join(out, "complete"), b"")


if __name__ == "__main__":
    main()
