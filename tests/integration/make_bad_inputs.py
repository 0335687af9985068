#!/usr/bin/python3
"""Writes the bad inputs of bad_input_test and the albums of
memory_growth_test into a folder.

Where a real writer exists the file starts from it: wavpack and mutagen write
the APEv2 tags, mutagen's ID3 writer an ID3v1 tag after one, and flac and
metaflac the FLAC comments; the damage is then done to the bytes those writers
laid down. Only what no writer makes (truncated footers, impossible sizes, an
item order that mutagen does not write) is patched by hand.

    /usr/bin/python3 make_bad_inputs.py OUTPUT_DIR

Every name written here is one that bad_input_test.cpp expects.
"""

import os
import random
import shutil
import struct
import subprocess
import sys
import wave

from mutagen.apev2 import APEv2, APEValue, BINARY, TEXT
from mutagen.flac import FLAC
from mutagen.id3 import ID3, TIT2

# Tracks at 0:00, 3:00 and 6:00, as in the navigation tests.
THREE_TRACKS = (
    'REM GENRE Test\r\nPERFORMER "Bad Input Ensemble"\r\nTITLE "Bad Inputs"\r\n'
    'FILE "x.wav" WAVE\r\n'
    '  TRACK 01 AUDIO\r\n    TITLE "One"\r\n    INDEX 01 00:00:00\r\n'
    '  TRACK 02 AUDIO\r\n    TITLE "Two"\r\n    INDEX 01 03:00:00\r\n'
    '  TRACK 03 AUDIO\r\n    TITLE "Three"\r\n    INDEX 01 06:00:00\r\n')

LONG_LINE = 100_000
COVER_BYTES = 30_000_000


def run(*args):
    subprocess.run(args, check=True, stdout=subprocess.DEVNULL)


def write(name, data):
    with open(name, "wb") as f:
        f.write(data)


def read(name):
    with open(name, "rb") as f:
        return f.read()


def silence(name, seconds=1):
    with wave.open(name, "wb") as w:
        w.setnchannels(1)
        w.setsampwidth(2)
        w.setframerate(8000)
        w.writeframes(b"\0\0" * 8000 * seconds)


# APEv2 --------------------------------------------------------------------

def ape_footer(data):
    """Offset of the footer that ends `data`, and its tag size."""
    footer = len(data) - 32
    assert data[footer:footer + 8] == b"APETAGEX", "wavpack wrote no APEv2 footer"
    return footer, struct.unpack_from("<I", data, footer + 12)[0]


def ape_variant(base, name, patch):
    data = bytearray(read(base))
    patch(data)
    write(name, bytes(data))


def set_footer_u32(offset_in_footer, value):
    def patch(data):
        footer, _ = ape_footer(data)
        struct.pack_into("<I", data, footer + offset_in_footer, value)
    return patch


def set_first_item(offset_in_item, value_bytes):
    def patch(data):
        footer, tag_size = ape_footer(data)
        items = len(data) - tag_size
        data[items + offset_in_item:items + offset_in_item + len(value_bytes)] = value_bytes
    return patch


def apev2_files():
    write("three.cue", THREE_TRACKS.encode())
    run("wavpack", "-q", "-y", "-w", "Cuesheet=@three.cue", "silence.wav", "-o", "good.wv")
    base = "good.wv"
    data = read(base)
    footer, tag_size = ape_footer(data)
    size = len(data)

    # The footer cut short: the file ends inside it.
    write("ape_footer_truncated_by_1.wv", data[:-1])
    write("ape_footer_truncated_to_half.wv", data[:-16])
    write("ape_footer_only_signature.wv", data[:footer + 8])
    # Every field that the reader does not use at its largest: still a tag.
    def fields_at_maximum(d):
        for field in (8, 16, 20, 24, 28):  # version, item count, flags, reserved
            set_footer_u32(field, 0xFFFFFFFF)(d)
    ape_variant(base, "ape_footer_fields_at_maximum.wv", fields_at_maximum)
    # Tag sizes that no tag can have, and one past the start of the file.
    for tag in (0, 31, 32, 39):
        ape_variant(base, f"ape_tag_size_{tag}.wv", set_footer_u32(12, tag))
    ape_variant(base, "ape_tag_size_past_file_start.wv", set_footer_u32(12, size + 1))
    ape_variant(base, "ape_tag_size_maximum.wv", set_footer_u32(12, 0xFFFFFFFF))
    # The one item's value size: past the region, and wrapping a 32-bit sum.
    ape_variant(base, "ape_value_size_maximum.wv", set_first_item(0, struct.pack("<I", 0xFFFFFFFF)))
    ape_variant(base, "ape_value_size_wraps.wv", set_first_item(0, struct.pack("<I", 0xFFFFFFF0)))
    ape_variant(base, "ape_value_size_negative.wv", set_first_item(0, struct.pack("<I", 0x80000000)))
    ape_variant(base, "ape_value_size_one_past.wv",
                set_first_item(0, struct.pack("<I", tag_size - 32 - 17 + 1)))
    # The NUL that ends the key "Cuesheet" overwritten: the key runs to the
    # end of the items region.
    ape_variant(base, "ape_key_without_terminator.wv", set_first_item(16, b"X"))
    # A footer that declares 0x90000000 bytes of tag at the end of a sparse
    # file of 2.25 GiB: the whole file, good.wv and a hole, as items region.
    with open("ape_tag_size_2_25GiB.wv", "wb") as f:
        f.write(data)
        f.seek(0x90000000 - 32)
        f.write(data[footer:footer + 12] + struct.pack("<I", 0x90000000) + data[footer + 16:])
    # An ID3v1 tag after wavpack's APEv2 tag, appended by mutagen's ID3
    # writer (which puts an ID3v2 tag at the front as well).
    shutil.copy(base, "ape_before_id3v1.wv")
    id3 = ID3()
    id3.add(TIT2(encoding=3, text="Trailing ID3v1"))
    id3.save("ape_before_id3v1.wv", v1=2)
    apev2_cover_files()


def ape_items(data):
    """(offset, length) of each item of the APEv2 tag that ends `data`."""
    footer, tag_size = ape_footer(data)
    at = len(data) - tag_size
    items = []
    while at < footer:
        value_size = struct.unpack_from("<I", data, at)[0]
        end = data.index(b"\0", at + 8) + 1 + value_size
        items.append((at, end - at))
        at = end
    return items


def apev2_cover_files():
    """30 MB of binary cover art in mutagen's APEv2 tags on WavPack audio:
    without a CUESHEET, and with one after the cover. mutagen puts smaller
    items first, so the two items it wrote are swapped, as taggers that keep
    the order of entry write them."""
    run("wavpack", "-q", "-y", "silence.wav", "-o", "untagged.wv")
    cover = APEValue(b"cover.jpg\0\xff\xd8\xff\xe0" + random.Random(30).randbytes(COVER_BYTES), BINARY)
    shutil.copy("untagged.wv", "ape_cover_30mb.wv")
    tag = APEv2()
    tag["Cover Art (Front)"] = cover
    tag["Title"] = APEValue("Cover only", TEXT)
    tag.save("ape_cover_30mb.wv")

    name = "ape_cover_30mb_then_cue.wv"
    shutil.copy("untagged.wv", name)
    tag = APEv2()
    tag["Cover Art (Front)"] = cover
    tag["Cuesheet"] = APEValue(THREE_TRACKS, TEXT)
    tag.save(name)
    data = bytearray(read(name))
    (cue_at, cue_length), (cover_at, cover_length) = ape_items(bytes(data))
    assert cover_at == cue_at + cue_length and cue_length < cover_length
    data[cue_at:cover_at + cover_length] = data[cover_at:cover_at + cover_length] + data[cue_at:cover_at]
    write(name, bytes(data))
    os.remove("untagged.wv")


# FLAC ---------------------------------------------------------------------

def flac_blocks(data):
    """(header offset, type, length) of each metadata block."""
    assert data[:4] == b"fLaC"
    at = 4
    blocks = []
    while True:
        header = data[at]
        length = int.from_bytes(data[at + 1:at + 4], "big")
        blocks.append((at, header & 0x7F, length))
        at += 4 + length
        if header & 0x80:
            return blocks


def vorbis_comment_fields(data):
    """Offsets inside the comment block: the block header, the vendor length,
    the comment count and each comment's length field."""
    header, _, _ = next(b for b in flac_blocks(data) if b[1] == 4)
    at = header + 4
    fields = {"header": header, "vendor": at}
    at += 4 + struct.unpack_from("<I", data, at)[0]
    fields["count"] = at
    count = struct.unpack_from("<I", data, at)[0]
    at += 4
    fields["comments"] = []
    for _ in range(count):
        fields["comments"].append(at)
        at += 4 + struct.unpack_from("<I", data, at)[0]
    return fields


def flac_variant(base, name, patch):
    data = bytearray(read(base))
    patch(data, vorbis_comment_fields(data))
    write(name, bytes(data))


def flac_files():
    # A real FLAC file whose comments are TITLE, CUESHEET and ARTIST, in
    # that order.
    run("flac", "-s", "-f", "silence.wav", "-o", "good.flac")
    run("metaflac", "--set-tag=TITLE=Whole file", "--set-tag-from-file=CUESHEET=three.cue",
        "--set-tag=ARTIST=Bad Input Ensemble", "good.flac")
    base = "good.flac"

    def u32(at, value):
        return lambda d: struct.pack_into("<I", d, at, value)

    # The CUESHEET comment claims more bytes than the block holds.
    flac_variant(base, "flac_cuesheet_comment_past_block.flac",
                 lambda d, f: u32(f["comments"][1], 0x7FFFFFFF)(d))
    # The vendor string claims more bytes than the block holds.
    flac_variant(base, "flac_vendor_length_maximum.flac", lambda d, f: u32(f["vendor"], 0xFFFFFFFF)(d))
    # More comments than any block can hold.
    flac_variant(base, "flac_comment_count_maximum.flac", lambda d, f: u32(f["count"], 0xFFFFFFFF)(d))
    # The block's own length reaches past the end of the file.
    flac_variant(base, "flac_comment_block_past_file.flac",
                 lambda d, f: d.__setitem__(slice(f["header"] + 1, f["header"] + 4), b"\xff\xff\xff"))
    # Every byte of the block's body overwritten.
    def garbage(d, f):
        _, _, length = next(b for b in flac_blocks(bytes(d)) if b[1] == 4)
        d[f["header"] + 4:f["header"] + 4 + length] = b"\xff" * length
    flac_variant(base, "flac_comment_block_garbage.flac", garbage)
    # Only the comment after CUESHEET is damaged: libFLAC keeps the comments
    # before it, and the cue sheet is still there.
    flac_variant(base, "flac_comment_after_cuesheet_damaged.flac",
                 lambda d, f: u32(f["comments"][2], 0x7FFFFFFF)(d))
    # 16 MiB of comments (mutagen's) in front of a padding block that runs
    # past the end of the file: libFLAC refuses the chain.
    name = "flac_16mb_comments_then_block_past_file.flac"
    run("flac", "-s", "-f", "silence.wav", "-o", name)
    tag = FLAC(name)
    tag["COMMENT"] = "c" * (16 * 1024 * 1024 - 1024)
    tag.save(padding=lambda info: 1024)
    data = bytearray(read(name))
    at, kind, _ = flac_blocks(bytes(data))[-1]
    assert kind == 1
    data[at:at + 4] = b"\x01\xff\xff\xff"
    write(name, bytes(data))


# Side cue files and odd files -------------------------------------------------

def side(name, cue_bytes):
    shutil.copy("silence.wav", name + ".wav")
    write(name + ".cue", cue_bytes)


def other_files():
    write("zero_bytes.wav", b"")
    write("one_byte.wav", b"\xff")
    side("zero_byte_cue", b"")
    side("one_byte_cue", b"\xff")
    # A directory where the audio file is expected, and one where its cue file is.
    os.mkdir("directory.flac")
    shutil.copy("silence.wav", "directory_cue.wav")
    os.mkdir("directory_cue.cue")
    # 20 MB of "TRACK ": millions of tracks without INDEX 01.
    side("track_flood", b"TRACK " * (20 * 1024 * 1024 // 6))
    # 5 MiB of tracks, each with its own INDEX 01: over the limit for cue text.
    lines = [f"TRACK 01 AUDIO\nINDEX 01 {n // 4500}:{n // 75 % 60:02d}:{n % 75:02d}\n" for n in range(210_000)]
    side("track_index_flood", "".join(lines).encode())
    # A good sheet with a 100,000-character remark and a 100,000-character title.
    long_title = "".join(chr(ord("a") + i % 26) for i in range(LONG_LINE))
    text = THREE_TRACKS.replace('TITLE "Two"', f'TITLE "{long_title}"')
    text = "REM COMMENT " + "x" * LONG_LINE + "\r\n" + text
    side("long_lines", text.encode())
    # One line of 100,000 characters and nothing else.
    side("one_long_line", b"A" * LONG_LINE)
    # Locked by the test itself while the plug-in looks: a file with an
    # APEv2 cue sheet, and a cue file beside its audio file.
    shutil.copy("good.wv", "locked.wv")
    side("locked_cue", THREE_TRACKS.encode())
    # Ordinary neighbours in the playlist.
    shutil.copy("silence.wav", "before.wav")
    shutil.copy("silence.wav", "after.wav")


def memory_growth_albums():
    """One WavPack album with a 12-track cue sheet, and 1,000 hard links to
    it: each a distinct album to the plug-in, whose cache keys by path."""
    lines = ['REM GENRE Jazz', 'REM DATE 1959', 'PERFORMER "Quintet"', 'TITLE "Twelve Standards"',
             'FILE "album.wav" WAVE']
    for n in range(1, 13):
        lines += [f'  TRACK {n:02d} AUDIO', f'    TITLE "Standard number {n}"',
                  '    PERFORMER "Quintet"', f'    INDEX 01 {4 * (n - 1):02d}:00:00']
    write("album12.cue", ("\r\n".join(lines) + "\r\n").encode())
    run("wavpack", "-q", "-y", "-w", "Cuesheet=@album12.cue", "silence.wav", "-o", "album12.wv")
    os.remove("album12.cue")
    os.mkdir("albums")
    for n in range(1, 1001):
        os.link("album12.wv", os.path.join("albums", f"Album {n:04d}.wv"))


def main():
    out = sys.argv[1]
    shutil.rmtree(out, ignore_errors=True)
    os.makedirs(out)
    os.chdir(out)
    silence("silence.wav")
    apev2_files()
    flac_files()
    other_files()
    memory_growth_albums()


if __name__ == "__main__":
    main()
