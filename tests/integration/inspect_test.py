#!/usr/bin/python3
"""sheetwalk-inspect from outside, as a user or a script runs it: every place a
cue sheet comes from, every decoding, a stopped parse, a missing or broken
libFLAC.dll, the installed layout, a library check of a folder with --summary,
--help and --version, the exit status and the error lines; then a table of
small made files, one per reason code, checked with --summary, --problems and
--csv, and the arguments (.cue and other files, overlapping folders, --at). The
JSON is read by Python's json module and the CSV by its csv module; the text
of each report must carry the same fields with the same values in the same
order.

    inspect_test.py PROGRAM CUE_SOURCES CUE_TEXT_FILES SCRATCH [LOCALES]

PROGRAM ending in .exe runs under the Wine loader that WINELOADER names.
CUE_SOURCES and CUE_TEXT_FILES are the folders that make_cue_sources.sh and
make_cue_text_files.py wrote; LOCALES is the LOCPATH of make_locales.sh.
"""

import csv
import io
import json
import os
import re
import shutil
import subprocess
import sys
import wave
from pathlib import Path

program, sources, text_files, scratch = (Path(a).resolve() for a in sys.argv[1:5])
locales = sys.argv[5] if len(sys.argv) > 5 else None
on_wine = program.suffix == ".exe"
failures = []


def windows_path(path):
    return "Z:" + str(path).replace("/", "\\") if on_wine else str(path)


def make_scratch():
    """The files that exist for this test alone: a parse that stops, UTF-16
    text, a copy of the program without libFLAC.dll near it, and one in the
    player's layout, <player>/Plugins/Sheetwalk, with libFLAC.dll beside the
    player's program."""
    if (scratch / "locked_lib/locked").exists():
        os.chmod(scratch / "locked_lib/locked", 0o755)
    shutil.rmtree(scratch, ignore_errors=True)
    scratch.mkdir(parents=True)
    for name in ("stop.wav", "utf16.wav", "notrack.wav", "large.wav"):
        shutil.copy(sources / "cd.wav", scratch / name)
    (scratch / "stop.cue").write_bytes(
        b'TITLE "Stop"\r\nFILE "stop.wav" WAVE\r\n  TRACK 01 AUDIO\r\n    INDEX 01 00:00:00\r\n'
        b'  TRACK 02 AUDIO\r\n    TITLE "No index"\r\n  TRACK 03 AUDIO\r\n    INDEX 01 00:04:00\r\n')
    (scratch / "utf16.cue").write_bytes(
        '\ufeffTITLE "Зима"\r\nFILE "utf16.wav" WAVE\r\n  TRACK 01 AUDIO\r\n    INDEX 01 00:00:00\r\n'
        .encode("utf-16-le"))
    (scratch / "notrack.cue").write_bytes(b'TITLE "No track"\r\n')
    (scratch / "large.cue").write_bytes(b"REM " + b"x" * (4 << 20) + b"\r\n")
    (scratch / "folder.flac").mkdir()
    ripped = scratch / "ripped"
    ripped.mkdir()
    for name in ("CDImage.flac", "other.wav"):
        shutil.copy(sources / "cd.wav", ripped / name)
    (ripped / "Artist - Album.cue").write_bytes(b'TITLE "Ripped"\r\nFILE "CDImage.wav" WAVE\r\n'
                                                b'  TRACK 01 AUDIO\r\n    INDEX 01 00:00:00\r\n')
    (ripped / "a.cue").write_bytes(b'FILE "other.wav" WAVE\r\n')
    shutil.copy(sources / "cd.wav", scratch / "emoji.wav")
    (scratch / "emoji.cue").write_bytes('TITLE "Smile \U0001F600 \U0002000B"\nFILE "emoji.wav" WAVE\n'
                                        '  TRACK 01 AUDIO\n    INDEX 01 00:00:00\n'.encode())
    flood = bytearray((sources / "p2.flac").read_bytes())
    info_length = int.from_bytes(flood[5:8], "big")
    flood[8 + info_length:8 + info_length] = b"\x01\x00\x00\x00" * 1025
    (scratch / "flood.flac").write_bytes(flood)
    make_library()
    make_reasons()
    if on_wine:
        for folder, audio in ((LONE, "p5.flac"), (INSTALLED, "p2.flac"), (NO_FUNCTION, "p2.flac"),
                              (NOT_A_LIBRARY, "p2.flac")):
            folder.mkdir(parents=True)
            shutil.copy(program, folder)
            shutil.copy(sources / audio, folder)
        shutil.copy(program.parent / "libFLAC.dll", scratch / "player")
        shutil.copy(program.parent / "gen_Sheetwalk.dll", NO_FUNCTION / "libFLAC.dll")
        (NOT_A_LIBRARY / "libFLAC.dll").write_bytes(b"not a library")
    else:
        os.mkfifo(scratch / "pipe.flac")
        shutil.copy(sources / "cd.wav", scratch / "fifo.wav")
        os.mkfifo(scratch / "fifo.cue")
        shutil.copy(sources / "cd.wav", scratch / b"caf\xe9.wav".decode(errors="surrogateescape"))
        (scratch / b"caf\xe9.cue".decode(errors="surrogateescape")).write_bytes((scratch / "stop.cue").read_bytes())


def make_library():
    """A library of every verdict, with a .cue file without audio, a file the
    player does not play, a link back up and a link to nothing; and one with
    a folder that cannot be listed."""
    for folder in ("lib/a", "lib/b", "lib/c", "locked_lib/locked"):
        (scratch / folder).mkdir(parents=True)
    shutil.copy(sources / "p1.flac", scratch / "lib/a/album.flac")
    os.symlink("..", scratch / "lib/c/up")
    shutil.copy(sources / "cd.wav", scratch / "lib/b/cd.wav")
    os.symlink("nowhere.flac", scratch / "lib/b/gone.flac")
    (scratch / "lib/c/lonely.cue").write_bytes((scratch / "stop.cue").read_bytes())
    (scratch / "lib/b/notes.txt").write_bytes(b"notes")
    for name in ("stop.wav", "stop.cue"):
        shutil.copy(scratch / name, scratch / "lib/c" / name)
    shutil.copy(sources / "cd.wav", scratch / "locked_lib/cd.wav")
    shutil.copy(sources / "cd.wav", scratch / "locked_lib/locked/cd.wav")
    os.chmod(scratch / "locked_lib/locked", 0)


class Has(str):
    """Expects a value that contains this text."""


class Out(str):
    """Expects standard output that contains this text, no JSON."""


def native(path):
    return path.replace("/", "\\") if on_wine else path


NOT_LOOKED_AT = {"outcome": "not looked at", "reason": "an earlier place gave the cue sheet"}
ABSENT_APE = {"outcome": "absent", "reason": "no APEv2 tag at the end of the file, nor right before an ID3v1 tag"}
TAG_UTF8 = {"encoding": "UTF-8", "reason": "tag text is UTF-8 by the tag format"}
NO_SIDE = {"outcome": "absent", "reason": "no such file"}
LONE = scratch / "lone/a/b"
INSTALLED = scratch / "player/Plugins/Sheetwalk"
NO_FUNCTION = scratch / "no_function"
NOT_A_LIBRARY = scratch / "not_a_library"
COPIES = (LONE, INSTALLED, NO_FUNCTION, NOT_A_LIBRARY)
NO_LIBFLAC = ("libFLAC.dll not found (looked for: " + windows_path(LONE / "libFLAC.dll") + ", then " +
              windows_path(scratch / "lone/libFLAC.dll") + ", then the system's search for libFLAC.dll)")
SUMMARY_NONE = {"place": "none", "decoding": "none", "tracks": 0, "parse": "none"}
# Run without the right to read every folder: natively as nobody when the test
# runs as root, under Wine (whose prefix belongs to root then) skipped.
UNPRIVILEGED = "an unreadable subfolder"
as_root = os.geteuid() == 0

# (name, folder, locale, arguments, exit status, expected fields of each
# report or the one error line). A folder of None skips the case natively.
CASES = [
    ("APEv2 item first", sources, None, ["--at", "0:05", "p1.flac"], 0, {
        "sources": [{"place": "APEv2 tag, item CUESHEET", "outcome": "found", "reason": "a CUESHEET item of 255 bytes"},
                    NOT_LOOKED_AT, NOT_LOOKED_AT, NOT_LOOKED_AT],
        "decoding": TAG_UTF8, "parse": {"complete": True}, "navigable": True,
        "sheet": {"title": "APE Album", "performer": "APE Album Artist",
                  "tracks": [{"number": 1, "start": "0:00.000", "title": "One"}, {"number": 2, "start": "0:02.000"},
                             {"number": 3, "start": "0:04.000", "title": "Three"}]},
        "at": {"position": "0:05.000", "playing_track": 3, "previous": "seeks to 0:02.000",
               "next": "left to the player",
               "tags": [{"name": "subnum", "answer": "3"}, {"name": "subnumtotal", "answer": "3"},
                        {"name": "subtitle", "answer": "Three"}, {}, {"name": "submaintitle", "answer": "APE Album"},
                        {"name": "submainartist", "answer": "APE Album Artist"},
                        {"name": "subdate", "answer": "left to the player", "left_to_player": True}]}}),
    ("FLAC comment", sources, None, ["p2.flac"], 0, {
        "sources": [ABSENT_APE, {"place": "FLAC comment CUESHEET", "outcome": "found", "reason": "a CUESHEET comment"}],
        "libflac": windows_path(program.parent / "libFLAC.dll") if on_wine else Has("libFLAC"),
        "decoding": TAG_UTF8, "sheet": {"title": "Comment Album"}}),
    ("cue file by the name up to the dot", sources, None, ["p3.flac"], 0, {
        "sources": [{}, {"outcome": "absent", "reason": "no CUESHEET comment"},
                    {"place": "cue file named after the audio file", "path": "p3.cue", "outcome": "found",
                     "reason": "read, 270 bytes"}, NOT_LOOKED_AT],
        "decoding": {"encoding": "UTF-8", "reason": Has("no byte order mark")}, "sheet": {"title": "Side Album"}}),
    ("cue file by the whole name", sources, None, ["p4.flac"], 0, {
        "sources": [{}, {}, {"path": "p4.cue", **NO_SIDE},
                    {"place": "cue file named after the whole file name", "path": "p4.flac.cue", "outcome": "found"},
                    NOT_LOOKED_AT],
        "sheet": {"title": "Whole Album"}}),
    ("native block last", sources, None, ["--at", "0:02.500", "p5.flac"], 0, {
        "sources": [{}, {}, NO_SIDE, NO_SIDE, {"outcome": "absent"}, {"place": "FLAC CUESHEET block", "outcome": "found",
                                               "reason": "a CUESHEET block of 3 tracks besides the lead-out"}],
        "decoding": {"encoding": "none"}, "sheet": {"title": "", "carries_text": False},
        "at": {"playing_track": 2, "previous": "seeks to 0:00.000", "next": "seeks to 0:04.000",
               "tags": [{"answer": "2"}, {}, {"name": "subtitle", "left_to_player": True}]}}),
    ("APEv2 before ID3v1", sources, None, ["id3v1.wav"], 0, {
        "sources": [{"reason": "a CUESHEET item of 255 bytes (the tag stands before an ID3v1 tag)"},
                    {"outcome": "not looked at"}], "sheet": {"title": "APE Album"}}),
    ("byte order mark in a tag", sources, None, ["bom.wav", "bom.flac"], 0, [
        {"decoding": {"encoding": "UTF-8 with a BOM"}, "sheet": {"performer": "APE Album Artist"}},
        {"sources": [{}, {"outcome": "found"}], "decoding": {"encoding": "UTF-8 with a BOM"},
         "sheet": {"performer": "APE Album Artist"}}]),
    ("UTF-16 LE cue file", scratch, None, ["utf16.wav"], 0, {
        "decoding": {"encoding": "UTF-16 LE", "reason": "the file starts with FF FE"}, "sheet": {"title": "Зима"}}),
    ("UTF-8 cue file with a stray byte", text_files, None, ["stray.wav"], 0, {
        "decoding": {"encoding": "UTF-8", "reason": Has("1 bytes that are no UTF-8")},
        "sheet": {"performer": "Björk"}}),
    ("code page 1252", text_files, "en_US", ["cp1252.wav"], 0, {
        "decoding": {"encoding": "code page 1252", "reason": Has("more bytes that are no UTF-8")},
        "sheet": {"performer": "Café Müller – Señor"}}),
    ("code page 1251", text_files, "ru_RU", ["cp1251.wav"], 0, {
        "decoding": {"encoding": "code page 1251", "detector": "WINDOWS-1251"}, "sheet": {"performer": "Кино – Цой"}}),
    ("code page 932", text_files, "ja_JP", ["cp932.wav"], 0, {
        "decoding": {"encoding": "code page 932"}, "sheet": {"title": "無罪モラトリアム"}}),
    ("cue file of the folder naming the file", scratch / "ripped", None, ["CDImage.flac"], 0, {
        "sources": [{}, {}, NO_SIDE, NO_SIDE, {
            "place": "cue file in the folder whose FILE line names the audio file", "path": "Artist - Album.cue",
            "outcome": "found", "reason": "read, 82 bytes", "folder": ".", "cue_files_in_folder": 2,
            "cue_files_read": [
                {"path": "a.cue", "verdict": 'refused: its FILE line names "other.wav", another file of this folder, '
                                             'which it belongs to'},
                {"path": "Artist - Album.cue", "verdict": 'taken: its FILE line names "CDImage.wav", this file or its '
                                                          'name with another extension'}]}, NOT_LOOKED_AT],
        "decoding": {"encoding": "UTF-8"}, "sheet": {"title": "Ripped"}}),
    ("parse stopped at a track without INDEX 01", scratch, None, ["stop.wav"], 0, {
        "parse": {"complete": False, "stopped_at_track": 2, "stopped_at_line": 5,
                  "reason": "track 2, from line 5, has no INDEX 01 line"},
        "note": Has("second look at the file"), "navigable": True, "verdict": "stopped", "reason": "parse-stopped",
        "sheet": {"tracks": [{"number": 1}]}}),
    ("a place without a track counts as absent", sources, None, ["empty_comment.flac"], 0, {
        "sources": [{}, {"outcome": "absent", "reason": "cue text without any track"},
                    {"path": "empty_comment.cue", "outcome": "found"}], "navigable": True}),
    ("the only sheet without a track", scratch, None, ["notrack.wav"], 1, {
        "sources": [{}, {}, {"path": "notrack.cue", "outcome": "absent", "reason": "cue text without any track"}],
        "navigable": False}),
    ("a cue file over the limit", scratch, None, ["large.wav"], 1, {
        "sources": [{}, {}, {"path": "large.cue", "outcome": "absent",
                             "reason": "4194310 bytes, over the 4 MiB limit for cue text"}], "navigable": False}),
    ("no cue sheet, then one", sources, None, ["cd.wav", "p1.flac"], 1, [
        {"sources": [ABSENT_APE, {"reason": "not a FLAC file"}, {"path": "cd.cue", **NO_SIDE},
                     {"path": "cd.wav.cue", **NO_SIDE},
                     {"place": "cue file in the folder whose FILE line names the audio file", "outcome": "absent",
                      "reason": "no cue file of the folder belongs to this file", "cue_files_in_folder": 12,
                      "cue_files_read": [{"path": "cr.cue", "verdict": 'refused: its FILE line names "in.wav", which '
                                          'is not this file and not in the folder; 12 cue files are in the folder'}]}],
         "navigable": False},
        {"navigable": True}]),
    ("no libFLAC.dll near the program", LONE if on_wine else None, None, ["p5.flac"], 1, {
        "sources": [{}, {"outcome": "absent", "reason": "libFLAC.dll not found (looked for: " +
                         windows_path(LONE / "libFLAC.dll") + ", then " + windows_path(scratch / "lone/libFLAC.dll") +
                         ", then the system's search for libFLAC.dll)"}],
        "libflac": Has("not found (looked for: " + windows_path(LONE / "libFLAC.dll")), "navigable": False,
        "verdict": "no-sheet", "reason": "libflac-missing", "fix": Has("install libFLAC.dll")}),
    ("no libFLAC.dll, in a summary", LONE if on_wine else None, None, ["--summary", "p5.flac"], 1, (
        [{"verdict": "no-sheet", "reason": "libflac-missing", "why": Has("libFLAC.dll not found")},
         {"totals": {"libflac": Has("libFLAC.dll not found")}}],
        "sheetwalk-inspect: " + NO_LIBFLAC + ": the cue sheets inside 1 FLAC files could not be read\n")),
    ("installed: the player's libFLAC.dll", INSTALLED if on_wine else None, None, ["p2.flac"], 0, {
         "sources": [{}, {"outcome": "found"}], "libflac": windows_path(scratch / "player/libFLAC.dll")}),
    ("control characters from a sheet", scratch / "reasons/none", None, ["a.wav"], 0,
     {"sheet": {"title": "Red \x1b[31m"}}),
    ("characters outside the BMP", scratch, None, ["emoji.wav"], 0, {"sheet": {"title": "Smile \U0001F600 \U0002000B"}}),
    ("more than 1024 metadata blocks", scratch, None, ["flood.flac"], 1, {
        "sources": [ABSENT_APE, {"outcome": "absent",
                                 "reason": "a FLAC file of more than 1024 metadata blocks, more than the plug-in reads"}],
        "navigable": False}),
    ("libFLAC.dll without a function", NO_FUNCTION if on_wine else None, None, ["p2.flac"], 1, {
        "sources": [{}, {"reason": "libFLAC.dll at " + windows_path(NO_FUNCTION / "libFLAC.dll") +
                         " lacks the function FLAC__metadata_simple_iterator_new that the plug-in needs"}],
        "reason": "libflac-missing", "why": Has("lacks the function")}),
    ("libFLAC.dll that is no library", NOT_A_LIBRARY if on_wine else None, None, ["p2.flac"], 1, {
        "sources": [{}, {"reason": Has("libFLAC.dll could not be loaded (looked for: " +
                                       windows_path(NOT_A_LIBRARY / "libFLAC.dll") + " (it is there, but no library")}]}),
    ("a FIFO as the file", None if on_wine else scratch, None, ["pipe.flac"], 2,
     "sheetwalk-inspect: pipe.flac: not a regular file (a FIFO or a device), not read"),
    ("a FIFO as the cue file", None if on_wine else scratch, None, ["fifo.wav"], 1, {
        "sources": [{}, {}, {"path": "fifo.cue", "outcome": "unreadable", "reason": "there, but not a regular file"}]}),
    ("a file name that is no UTF-8", None if on_wine else scratch, None, [b"caf\xe9.wav"], 0, {
        "file": b"caf\xe9.wav".decode(errors="surrogateescape"), "parse": {"complete": False}}),
    ("a library of every verdict", scratch, None, ["--summary", "lib"], 1, [
        {"file": native("lib/a/album.flac"), "verdict": "navigable", "place": "APEv2 tag, item CUESHEET",
         "decoding": "UTF-8", "tracks": 3, "parse": "complete"},
        {"file": native("lib/b/cd.wav"), "verdict": "no-sheet", **SUMMARY_NONE},
        # Wine lists no link to nothing.
        *([] if on_wine else [{"file": native("lib/b/gone.flac"), "verdict": "unreadable", "why": "no such file"}]),
        {"file": native("lib/c/stop.wav"), "verdict": "stopped", "place": "cue file named after the audio file",
         "decoding": "UTF-8", "tracks": 1, "parse": "stopped"},
        {"totals": {"files": 3 if on_wine else 4, "navigable": 1, "no-sheet": 1, "stopped": 1,
                    "unreadable": 0 if on_wine else 1, "unreadable_folders": 0,
                    "places": [{"place": "APEv2 tag, item CUESHEET", "files": 1},
                               {"place": "cue file named after the audio file", "files": 1},
                               {"place": "none", "files": 1 if on_wine else 2}]}}]),
    ("every file navigable", scratch, None, ["--summary", "lib/a"], 0, [
        {"verdict": "navigable"}, {"totals": {"files": 1, "navigable": 1}}]),
    (UNPRIVILEGED, None if on_wine and as_root else scratch, None, ["--summary", "locked_lib"], 1, (
        [{"file": native("locked_lib/cd.wav"), "verdict": "no-sheet"}, {"totals": {"unreadable_folders": 1}}],
        "sheetwalk-inspect: " + native("locked_lib/locked") + ": the folder cannot be read: no permission to read it\n")),
    ("nothing read", sources, None, ["--summary", "none.flac"], 2, [
        {"file": "none.flac", "verdict": "unreadable", "reason": "unreadable", "why": "no such file"},
        {"totals": {"unreadable": 1}}]),
    ("help", sources, None, ["--help"], 0,
     Out("usage: sheetwalk-inspect [--summary | --problems] [--json | --csv] [--at POSITION]")),
    ("version", sources, None, ["--version"], 0, Out("sheetwalk-inspect, Quillmoor Sheetwalk v0.8\n")),
    ("missing file", sources, None, ["none.flac"], 2, "sheetwalk-inspect: none.flac: no such file"),
    ("folder without audio files", scratch, None, ["folder.flac"], 2,
     "sheetwalk-inspect: no file that the player plays was found"),
    ("a readable file and a missing one", sources, None, ["p1.flac", "none.flac"], 2,
     "sheetwalk-inspect: none.flac: no such file"),
    ("no file", sources, None, [], 2, Has("usage: sheetwalk-inspect [--summary | --problems] [--json | --csv]")),
    ("a position past 59 seconds", sources, None, ["--at", "1:60", "p1.flac"], 2, Has("--at needs a position")),
    ("unknown option", sources, None, ["--all", "p1.flac"], 2, Has("unknown option --all")),
]


def run(name, folder, locale, arguments):
    environment = dict(os.environ)
    if locale is not None and locales is not None:
        environment.update(LOCPATH=locales, LC_ALL=locale + ".UTF-8")
    copy = folder / program.name if folder in COPIES else program
    command = ([os.environ["WINELOADER"]] if on_wine else []) + [str(copy)] + arguments
    if name == UNPRIVILEGED and as_root:
        command = ["setpriv", "--reuid=65534", "--regid=65534", "--clear-groups"] + command
    done = subprocess.run(command, cwd=folder, env=environment, stdin=subprocess.DEVNULL, capture_output=True,
                          timeout=300)
    out = done.stdout.decode("utf-8", "surrogateescape")
    if "--json" not in arguments and re.search("[\x00-\x09\x0b-\x1f\x7f-\x9f]", out.replace("\r\n", "\n")):
        failures.append(f"a control character reaches the terminal: {out!r}")
    return done.returncode, out, done.stderr.decode("utf-8", "surrogateescape")


def check(where, expected, actual):
    if isinstance(expected, dict):
        if not isinstance(actual, dict):
            return failures.append(f"{where}: {actual!r} is no object")
        for key, value in expected.items():
            if key not in actual:
                failures.append(f"{where}.{key} is missing")
            else:
                check(f"{where}.{key}", value, actual[key])
    elif isinstance(expected, list):
        if not isinstance(actual, list) or len(actual) < len(expected):
            return failures.append(f"{where}: {actual!r} has fewer than {len(expected)} items")
        for i, value in enumerate(expected):
            check(f"{where}[{i}]", value, actual[i])
    elif isinstance(expected, Has):
        if not isinstance(actual, str) or expected not in actual:
            failures.append(f"{where}: {actual!r} does not contain {str(expected)!r}")
    elif type(expected) is not type(actual) or expected != actual:
        failures.append(f"{where}: {actual!r}, expected {expected!r}")


def printable(text):
    """Text as the text report shows it: control characters escaped as JSON
    escapes them."""
    escapes = {"\n": "\\n", "\r": "\\r", "\t": "\\t"}
    return "".join(escapes.get(c) or (f"\\u{ord(c):04x}" if ord(c) < 0x20 or 0x7F <= ord(c) <= 0x9F else c)
                   for c in text)


def fields_of_json(value):
    """(name, shown value) in order, as the text report shows them; None for
    an object or a list, which the text shows as the lines below."""
    for key, item in value.items():
        if isinstance(item, dict):
            yield key, None
            yield from fields_of_json(item)
        elif isinstance(item, list):
            yield key, None
            for element in item:
                yield from fields_of_json(element)
        elif isinstance(item, bool):
            yield key, "yes" if item else "no"
        else:
            yield key, printable(str(item))


def fields_of_text(text):
    for line in text.splitlines():
        match = re.fullmatch(r" *(?:- )?([\w-]+):(?: (.*))?", line)
        if match is None:
            if line:
                failures.append(f"a text line {line!r} is no field")
            continue
        yield match[1], match[2]


def fields_of_summary(text):
    """A summary line per file, "VERDICT  FILE  name: value; ...", then the
    totals as indented fields."""
    lines = text.splitlines()
    end = lines.index("totals:") if "totals:" in lines else len(lines)
    for line in lines[:end]:
        match = re.fullmatch(r"(\S+) +(.+?)  (.*)", line)
        if match is None:
            failures.append(f"a summary line {line!r} has no verdict and file")
            continue
        yield "file", match[2]
        yield "verdict", match[1]
        # A sentence may hold "; " itself: the fields begin at their names.
        for field in re.split(r"; (?=(?:reason|why|place|decoding|tracks|parse|fix): )", match[3]):
            yield tuple(field.split(": ", 1))
    yield from fields_of_text("\n".join(lines[end:]))

# ---- Reasons ---------------------------------------------------------------

def cue(*lines, encoding="utf-8"):
    return ("\r\n".join(lines) + "\r\n").encode(encoding)


TRACKS = ("  TRACK 01 AUDIO", "    INDEX 01 00:00:00", "  TRACK 02 AUDIO", "    INDEX 01 00:02:00")
CZECH = ('PERFORMER "Karel Kryl"', 'TITLE "Bratříčku, zavírej vrátka"', '  TRACK 01 AUDIO', '    TITLE "Anděl"',
         '    INDEX 01 00:00:00', '  TRACK 02 AUDIO', '    TITLE "Veličenstvo kat"', '    INDEX 01 00:02:00')


def wav_bytes():
    return (sources / "cd.wav").read_bytes()


def cut(data, size):
    return data[:size]


def misplaced_apev2(folder):
    """A WAV file whose APEv2 tag (mutagen) is followed by other bytes."""
    from mutagen.apev2 import APEv2
    path = folder / "tagged.wav"
    shutil.copy(sources / "cd.wav", path)
    tag = APEv2()
    tag["Cuesheet"] = cue('FILE "tagged.wav" WAVE', *TRACKS).decode()
    tag.save(str(path))
    with open(path, "ab") as f:
        f.write(b"LYRICS200" + b"x" * 300)


def flac_with_picture(folder):
    """A FLAC file whose picture (metaflac) runs past the end of the file,
    and one cut in its audio whose CUESHEET comment still reads."""
    subprocess.run(["flac", "-s", "-f", str(sources / "cd.wav"), "-o", str(folder / "whole.flac")], check=True)
    (folder / "cover.jpg").write_bytes(os.urandom(100_000))
    subprocess.run(["metaflac", "--import-picture-from=3|image/jpeg|Cover|1x1x24|" + str(folder / "cover.jpg"),
                    str(folder / "whole.flac")], check=True)
    data = (folder / "whole.flac").read_bytes()
    (folder / "picture.flac").write_bytes(data[:20_000])
    (folder / "whole.flac").unlink()
    (folder / "cover.jpg").unlink()


def flac_cut_in_audio(folder):
    """Noise, then silence (flac), with a CUESHEET comment, cut in its
    frames: the silent frames are far smaller than the others."""
    sound = folder / "sound.wav"
    with wave.open(str(sound), "wb") as w:
        w.setnchannels(2)
        w.setsampwidth(2)
        w.setframerate(44100)
        w.writeframes(os.urandom(4 * 44100 * 3) + bytes(4 * 44100 * 3))
    (folder / "sheet.txt").write_bytes(cue(*TRACKS))
    subprocess.run(["flac", "-s", "-f", "--tag-from-file=CUESHEET=" + str(folder / "sheet.txt"), str(sound),
                    "-o", str(folder / "halved.flac")], check=True)
    data = (folder / "halved.flac").read_bytes()
    (folder / "halved.flac").write_bytes(data[:len(data) - 20_000])
    sound.unlink()
    (folder / "sheet.txt").unlink()


def wav_of(seconds):
    out = io.BytesIO()
    with wave.open(out, "wb") as w:
        w.setnchannels(1)
        w.setsampwidth(1)
        w.setframerate(8000)
        w.writeframes(bytes(8000 * seconds))
    return out.getvalue()


# (case, files by name (bytes, or a function that writes into the folder),
# the file checked, verdict, reason, a part of the sentence). Each case is a
# folder of its own under reasons/.
REASONS = [
    ("none", {"a.wav": wav_bytes, "a.cue": cue('TITLE "Red \x1b[31m"', *TRACKS)}, "a.wav", "navigable", "none",
     "2 cue tracks"),
    ("per-track", {"01.wav": wav_bytes, "02.wav": wav_bytes, "03.wav": wav_bytes}, "02.wav", "no-sheet", "per-track",
     "one of 3 audio files"),
    ("per-track with a sheet of the tracks", {"01.wav": wav_bytes, "02.wav": wav_bytes,
                                             "rip.cue": cue('FILE "01.wav" WAVE', *TRACKS[:2], 'FILE "02.wav" WAVE',
                                                            *TRACKS[2:])},
     "02.wav", "no-sheet", "per-track", "no cue text of its own"),
    ("image-without-sheet", {"long.wav": lambda: wav_of(1300)}, "long.wav", "no-sheet", "image-without-sheet",
     "an audio file of 21:40.000"),
    ("empty-sheet", {"a.wav": wav_bytes, "a.cue": b""}, "a.wav", "no-sheet", "empty-sheet", '"a.cue" is empty'),
    ("lowercase-keywords", {"a.wav": wav_bytes, "a.cue": cue('FILE "a.wav" WAVE', "track 01 audio",
                                                             "  index 01 00:00:00")},
     "a.wav", "no-sheet", "lowercase-keywords", 'line 2 of "a.cue" reads "track 01 audio"'),
    ("lowercase index", {"a.wav": wav_bytes, "a.cue": cue(*TRACKS[:3], "    Index 01 00:02:00")},
     "a.wav", "stopped", "lowercase-keywords", "line 4"),
    ("parse-stopped", {"a.wav": wav_bytes, "a.cue": cue(*TRACKS[:3], '    TITLE "Two"', "  TRACK 03 AUDIO",
                                                        "    INDEX 01 00:04:00")},
     "a.wav", "stopped", "parse-stopped", "track 2, from line 3 of \"a.cue\", has no INDEX 01 line"),
    ("names-other-file", {"image.wav": wav_bytes, "notes.txt": b"notes", "x.cue": cue('FILE "notes.txt" WAVE', *TRACKS)},
     "image.wav", "no-sheet", "names-other-file", '"x.cue" names "notes.txt"'),
    ("names-missing-file", {"Disc 1.wav": wav_bytes, "Disc 2.wav": wav_bytes,
                            "CD1.cue": cue('FILE "Range.wav" WAVE', *TRACKS),
                            "CD2.cue": cue('FILE "Range.wav" WAVE', *TRACKS)},
     "Disc 1.wav", "no-sheet", "names-missing-file", '"CD1.cue" names "Range.wav"'),
    ("names-several-files", {"album.wav": wav_bytes, "x.cue": cue('FILE "a.wav" WAVE', *TRACKS[:2], 'FILE "b.wav" WAVE',
                                                                   *TRACKS[2:])},
     "album.wav", "no-sheet", "names-several-files", '"a.wav" and "b.wav"'),
    ("names-no-file", {"album.wav": wav_bytes, "x.cue": cue(*TRACKS)}, "album.wav", "no-sheet", "names-no-file",
     '"x.cue" has no FILE line'),
    ("another file's own cue file", {"a.wav": wav_bytes, "a.cue": cue(*TRACKS), "b.mp3": wav_bytes}, "b.mp3",
     "no-sheet", "image-without-sheet", "no cue text"),
    ("cue-limit", {"album.wav": wav_bytes, "z.cue": cue('FILE "album.wav" WAVE', *TRACKS),
                   **{f"other{n:02d}.cue": cue(f'FILE "other{n:02d}.wav" WAVE', *TRACKS) for n in range(16)}},
     "album.wav", "no-sheet", "cue-limit", '"z.cue" names this file'),
    ("flac-refused", {"": flac_with_picture}, "picture.flac", "no-sheet", "flac-refused", "runs past the end"),
    ("tag-misplaced", {"": misplaced_apev2}, "tagged.wav", "no-sheet", "tag-misplaced", "followed by 309 other bytes"),
    ("over-limit", {"a.wav": wav_bytes, "a.cue": b"REM " + b"x" * (4 << 20) + b"\r\n"}, "a.wav", "no-sheet",
     "over-limit", "4194310 bytes"),
    ("empty-audio", {"zero.flac": b"", "zero.cue": cue(*TRACKS)}, "zero.flac", "navigable", "empty-audio", "0 bytes"),
    ("empty-audio alone", {"zero.flac": b""}, "zero.flac", "no-sheet", "empty-audio", "0 bytes"),
    ("damaged-audio", {"cut.wav": lambda: cut(wav_bytes(), 50_000), "cut.cue": cue(*TRACKS[:2])}, "cut.wav",
     "navigable", "damaged-audio", "its data chunk should hold 1058400 bytes"),
    ("damaged-audio in the frames", {"": flac_cut_in_audio}, "halved.flac", "navigable", "damaged-audio",
     "its last frame ends at"),
    ("damaged-audio alone", {"cut.wav": lambda: cut(wav_bytes(), 50_000)}, "cut.wav", "no-sheet", "damaged-audio",
     "cut short"),
    ("track-past-end", {"a.wav": wav_bytes, "a.cue": cue(*TRACKS, "  TRACK 03 AUDIO", "    INDEX 01 00:09:00")},
     "a.wav", "navigable", "track-past-end", "track 3 starts at 0:09.000, after the end of the audio at 0:06.000"),
    ("code-page-close-call", {"a.wav": wav_bytes, "a.cue": cue(*CZECH, encoding="cp1250")}, "a.wav", "navigable",
     "code-page-close-call", '"Bratříčku"'),
    ("unreadable", None if on_wine else {"a.wav": wav_bytes, "a.cue": "fifo"}, "a.wav", "unreadable", "unreadable",
     '"a.cue" is there, but not a regular file'),
    ("unreachable-name", {"Album./a.wav": wav_bytes, "Album./a.cue": cue(*TRACKS)} if on_wine else None, "Album./a.wav",
     "navigable", "unreachable-name", '"Album." ends in a dot'),
    ("a backslash in a Linux file name", None if on_wine else {"AC\\DC.wav": wav_bytes}, "AC\\DC.wav", "no-sheet",
     "image-without-sheet", "no cue text"),
    ("a newline in a name", None if on_wine else {"two\nlines.wav": wav_bytes, "two\nlines.cue": cue(
        'TITLE "Red \x1b[31m"', *TRACKS)}, "two\nlines.wav", "navigable", "none", "cue tracks"),
]
REASONS_WINE_ONLY = "the Windows build only: Windows names, libFLAC.dll"


def make_reasons():
    root = scratch / "reasons"
    for case, files, *_ in REASONS:
        if files is None:
            continue
        folder = root / case
        folder.mkdir(parents=True)
        for name, content in files.items():
            path = folder / name
            path.parent.mkdir(parents=True, exist_ok=True)
            if callable(content) and name == "":
                content(folder)
            elif content == "fifo":
                os.mkfifo(path)
            else:
                path.write_bytes(content() if callable(content) else content)


def reason_path(case, name):
    return native(f"reasons/{case}/{name}")


def check_reasons():
    """Each reason on its made files, in the summary, as JSON, text and CSV,
    and --problems listing only the files that need a person."""
    before = len(failures)
    code, out, err = run("reasons", scratch, "en_US", ["--summary", "--json", "reasons"])
    records = {r["file"]: r for r in (json.loads(line) for line in out.splitlines()) if "file" in r}
    fields = ["file", "verdict", "reason", "why", "place", "decoding", "tracks", "parse", "fix"]
    for case, files, name, verdict, reason, why in REASONS:
        if files is None:
            print(f"SKIPPED: reason {case}: {'natively' if on_wine is False else 'under Wine'} it cannot be made")
            continue
        # A name Windows cannot reach in its usual form comes in the \\?\ form.
        record = next((r for f, r in records.items() if f == reason_path(case, name) or
                       f.startswith("\\\\?\\") and f.endswith("\\" + reason_path(case, name))), None)
        if record is None:
            failures.append(f"{case}: no record of {reason_path(case, name)!r} in {sorted(records)}")
            continue
        if list(record) != fields:
            failures.append(f"{case}: the fields {list(record)}, expected {fields}")
        check(case, {"verdict": verdict, "reason": reason, "why": Has(why)}, record)
        if record["fix"] == "":
            failures.append(f"{case}: no fix")
    _, text, _ = run("reasons", scratch, "en_US", ["--summary", "reasons"])
    as_json = [field for line in out.splitlines() for field in fields_of_json(json.loads(line))]
    if list(fields_of_summary(text)) != as_json:
        failures.append(f"the text summary differs from the JSON:\n{text}")

    problem_code, problems, _ = run("reasons", scratch, "en_US", ["--problems", "--json", "reasons"])
    listed = {r["file"] for r in (json.loads(line) for line in problems.splitlines()) if "file" in r}
    needing = {f for f, r in records.items() if r["reason"] not in ("none", "per-track", "image-without-sheet")}
    check("--problems", sorted(needing), sorted(listed))
    check("--problems exit status", 1, problem_code)
    check("--problems totals", {"files": len(records)}, json.loads(problems.splitlines()[-1]).get("totals"))

    _, table, _ = run("reasons", scratch, "en_US", ["--csv", "reasons"])
    rows = list(csv.DictReader(io.StringIO(table, newline="")))
    check("--csv header", fields, list(rows[0]) if rows else [])
    check("--csv rows", [{k: str(v) for k, v in records[r["file"]].items()} for r in rows if r["file"] in records],
          rows)
    check("--csv files", sorted(records), sorted(r["file"] for r in rows))
    report("reasons in the summary, --problems and --csv", before)


# (name, arguments, exit status, files reported in order, a part of standard
# error, expected fields of the first record)
ARGUMENTS = [
    ("a .cue file stands for the files it names", ["reasons/names-missing-file/CD1.cue", "ripped/Artist - Album.cue"], 1,
     ["reasons/names-missing-file/Range.wav", "ripped/CDImage.flac"], "",
     {"verdict": "unreadable", "why": "named by CD1.cue, but not in its folder"}),
    ("a .cue file naming a file by another extension", ["ripped/Artist - Album.cue"], 0, ["ripped/CDImage.flac"], "",
     {"verdict": "navigable"}),
    ("a .jpg file is an error", ["reasons/none/a.wav", "cover.jpg"], 2, ["reasons/none/a.wav"],
     "cover.jpg: not a file that the player plays", {}),
    ("overlapping arguments", ["lib", "lib/a", "lib/a/album.flac", "lib/c/stop.cue", "lib/c"], 1,
     ["lib/a/album.flac", "lib/b/cd.wav", *([] if on_wine else ["lib/b/gone.flac"]), "lib/c/stop.wav"], "", {}),
    ("--at as plain seconds", ["--at", "90", "reasons/none/a.wav"], 0, ["reasons/none/a.wav"], "",
     {"at": {"position": "1:30.000"}}),
    ("--at with a tenth", ["--at", "0:01.5", "reasons/none/a.wav"], 0, ["reasons/none/a.wav"], "",
     {"at": {"position": "0:01.500"}}),
    ("--at as h:mm:ss", ["--at", "1:02:03.25", "reasons/none/a.wav"], 0, ["reasons/none/a.wav"], "",
     {"at": {"position": "62:03.250"}}),
]


def check_arguments():
    (scratch / "cover.jpg").write_bytes(b"\xff\xd8\xff")
    for name, arguments, status, reported, error, first in ARGUMENTS:
        before = len(failures)
        summary = [] if "--at" in arguments else ["--summary"]
        paths = [a if a.startswith("--") or a[0].isdigit() else native(a) for a in arguments]
        code, out, err = run(name, scratch, None, summary + ["--json"] + paths)
        records = [r for r in (json.loads(line) for line in out.splitlines()) if "file" in r]
        check("exit status", status, code)
        check("files", [native(f) for f in reported], [r["file"] for r in records])
        check("stderr", Has(error), err)
        if records:
            check("first record", first, records[0])
        report(name, before)

def report(name, before):
    for failure in failures[before:]:
        print(f"FAILED: {name}: {failure}")
    if len(failures) == before:
        print(f"ok: {name}")



def main():
    make_scratch()
    for name, folder, locale, arguments, status, expected in CASES:
        if folder is None:
            print(f"SKIPPED: {name}: natively, libFLAC is the system's and the ANSI code page is 1252")
            continue
        before = len(failures)
        code, out, err = run(name, folder, locale, ["--json"] + arguments)
        if code != status:
            failures.append(f"exit status {code}, expected {status}")
        expected_err = ""
        if isinstance(expected, tuple):
            expected, expected_err = expected
        if isinstance(expected, Out):
            check("stdout", Has(expected), out)
            check("stderr", "", err)
        elif isinstance(expected, str):
            check("stderr", expected if isinstance(expected, Has) else expected + "\n", err)
        else:
            check("stderr", expected_err, err)
            reports = [json.loads(line) for line in out.splitlines()]
            summary = "--summary" in arguments
            if not summary:
                files = [a for i, a in enumerate(arguments) if isinstance(a, bytes) or
                         not a.startswith("--") and (i == 0 or arguments[i - 1] != "--at")]
                files = [os.fsdecode(f) for f in files]
                check("files", [{"file": f} for f in files], reports)
            check("report", expected if isinstance(expected, list) else [expected], reports)
            _, text, _ = run(name, folder, locale, arguments)
            as_json = [field for report in reports for field in fields_of_json(report)]
            as_text = list(fields_of_summary(text) if summary else fields_of_text(text))
            if as_text != as_json:
                failures.append(f"the text report differs from the JSON:\n{text}")
        report(name, before)
    check_reasons()
    check_arguments()
    sys.exit(1 if failures else 0)


if __name__ == "__main__":
    main()
