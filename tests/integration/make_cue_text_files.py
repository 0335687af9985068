#!/usr/bin/python3
"""Writes the files of cue_text_test into a folder: cue sheets that carry the
album's date, genre, disc and composers (embedded by wavpack) and one that
carries none of them (embedded by metaflac), and cue files beside WAV files
in UTF-8 with a stray byte and in three ANSI code pages (Python's codecs),
and one sheet of each code page of make_code_page_sheets.py's corpus, with
sample-NNN.expected (UTF-16 LE) holding how its album performer, album title
and first track title must read, and samples.txt naming them.

    /usr/bin/python3 make_cue_text_files.py OUTPUT_DIR

Every name written here is one that cue_text_test.cpp expects.
"""

import shutil
import subprocess
import sys
import wave
from pathlib import Path

sys.path.insert(0, str(Path(__file__).resolve().parents[1] / "data"))
import make_code_page_sheets  # noqa: E402

# As Exact Audio Copy writes a sheet, with the lines that foobar2000 adds.
EAC_SHEET = (
    'REM GENRE "Art Rock"\r\n'
    'REM DATE 1998\r\n'
    'REM DISCID 8C0B4E0A\r\n'
    'REM COMMENT "ExactAudioCopy v1.6"\r\n'
    'REM DISCNUMBER 1\r\n'
    'REM TOTALDISCS 2\r\n'
    'REM COMPOSER "Album Composer"\r\n'
    'PERFORMER "Zoë Ångström"\r\n'
    'TITLE "Ünïcode Nights"\r\n'
    'SONGWRITER "Album Songwriter"\r\n'
    'FILE "eac.wav" WAVE\r\n'
    '  TRACK 01 AUDIO\r\n'
    '    TITLE "Prélude"\r\n'
    '    PERFORMER "Zoë Ångström"\r\n'
    '    SONGWRITER "Track Songwriter"\r\n'
    '    INDEX 01 00:00:00\r\n'
    '  TRACK 02 AUDIO\r\n'
    '    TITLE "Интерлюдия"\r\n'
    '    PERFORMER "Zoë Ångström"\r\n'
    '    REM COMPOSER "Track Composer"\r\n'
    '    INDEX 00 02:58:00\r\n'
    '    INDEX 01 03:00:00\r\n'
    '  TRACK 03 AUDIO\r\n'
    '    TITLE "Coda"\r\n'
    '    PERFORMER "Zoë Ångström"\r\n'
    '    INDEX 01 06:00:00\r\n')

PLAIN_SHEET = (
    'REM DISCID 8C0B4E0A\n'
    'PERFORMER "Plain Ensemble"\n'
    'TITLE "Plain Album"\n'
    'FILE "plain.wav" WAVE\n'
    '  TRACK 01 AUDIO\n    TITLE "One"\n    INDEX 01 00:00:00\n'
    '  TRACK 02 AUDIO\n    TITLE "Two"\n    INDEX 01 03:00:00\n'
    '  TRACK 03 AUDIO\n    TITLE "Three"\n    INDEX 01 06:00:00\n')


def two_tracks(performer, album, first, second):
    return (f'PERFORMER "{performer}"\r\nTITLE "{album}"\r\nFILE "a.wav" WAVE\r\n'
            f'  TRACK 01 AUDIO\r\n    TITLE "{first}"\r\n    INDEX 01 00:00:00\r\n'
            f'  TRACK 02 AUDIO\r\n    TITLE "{second}"\r\n    INDEX 01 03:00:00\r\n')


# One sheet per ANSI code page, each only in letters of its code page.
CODE_PAGE_SHEETS = {
    "cp1252": two_tracks("Café Müller – Señor", "Straße", "Æon Ørsted", "Ça va “bien”"),
    "cp1251": two_tracks("Кино – Цой", "Группа крови", "Звезда по имени Солнце", "Пачка сигарет"),
    "cp932": two_tracks("椎名林檎", "無罪モラトリアム", "歌舞伎町の女王", "ｶﾀｶﾅ ここでキスして。"),
}


def main():
    out = Path(sys.argv[1])
    shutil.rmtree(out, ignore_errors=True)
    out.mkdir(parents=True)
    silence = out / "silence.wav"
    # The player host simulator does not decode: a second of silence will do.
    with wave.open(str(silence), "wb") as w:
        w.setnchannels(1)
        w.setsampwidth(2)
        w.setframerate(8000)
        w.writeframes(b"\0\0" * 8000)

    (out / "eac.cue").write_text(EAC_SHEET, encoding="utf-8", newline="")
    (out / "plain.cue").write_text(PLAIN_SHEET, encoding="utf-8", newline="")
    for command in (["wavpack", "-q", "-y", "-w", "Cuesheet=@eac.cue", "silence.wav", "-o", "eac.wv"],
                    ["flac", "-s", "-f", "silence.wav", "-o", "plain.flac"],
                    ["metaflac", "--set-tag-from-file=CUESHEET=plain.cue", "plain.flac"]):
        subprocess.run(command, cwd=out, check=True, stdout=subprocess.DEVNULL)
    (out / "eac.cue").unlink()
    (out / "plain.cue").unlink()

    # UTF-8 whose one title was typed in code page 1252.
    stray = two_tracks("Björk", "Björk Live", "Café", "Jóga").encode("utf-8")
    (out / "stray.cue").write_bytes(stray.replace("Café".encode("utf-8"), "Café".encode("cp1252")))
    shutil.copy(silence, out / "stray.wav")

    for codec, text in CODE_PAGE_SHEETS.items():
        (out / (codec + ".cue")).write_bytes(text.encode(codec))
        shutil.copy(silence, out / (codec + ".wav"))
    write_corpus_samples(out, silence)


# The performers of the first sheet of each family of easily confused code
# pages: Central European text with few letters beyond ASCII, Western text
# the same, Cyrillic and KOI8-R in capitals, and Simplified Chinese.
FAMILIES = {"Anna Maj", "Os Navegantes", "ЗВЁЗДНЫЙ ПУТЬ", "КРАСНЫЙ ТРАМВАЙ", "林小雨"}


# The first sheet of each code page, two in Windows-1251 capitals (one all in
# capitals, one with the file name and genre of its ripper in small letters),
# the first of each family, and UTF-16 without a byte order mark.
def write_corpus_samples(out, silence):
    corpus = make_code_page_sheets
    seen = set()
    names = []
    for number, entry in enumerate(corpus.SHEETS, 1):
        encoding, fields, options = entry[0], entry[1], entry[2:]
        capitals = "caps" in options or "capitals" in options
        kind = (encoding, "caps" in options, "capitals" in options)
        family = fields.split("|")[0] in FAMILIES
        if not family and (kind in seen or (capitals and encoding != 1251)):
            continue
        seen.add(kind)
        names.append(write_sample(out, silence, number, encoding, fields, options))
    number = len(corpus.SHEETS) + 1
    for encoding, fields in corpus.UNICODE_SHEETS:
        if encoding == "utf-16le":
            names.append(write_sample(out, silence, number, encoding, fields, ()))
            break
        number += 1
    (out / "samples.txt").write_text("".join(name + "\n" for name in names))


def write_sample(out, silence, number, encoding, fields, options):
    corpus = make_code_page_sheets
    name = f"sample-{number:03d}"
    text = corpus.sheet_text(number, fields, options)
    caps = "caps" in options or "capitals" in options
    (out / (name + ".cue")).write_bytes(corpus.encode(text, encoding))
    shutil.copy(silence, out / (name + ".wav"))
    performer, album, first = fields.split("|")[:3]
    expected = "|".join(part.upper() if caps else part for part in (performer, album, first.partition("@")[0]))
    expected = corpus.decode(corpus.encode(expected, encoding), encoding)
    (out / (name + ".expected")).write_bytes(expected.encode("utf-16-le"))
    return name


if __name__ == "__main__":
    main()
