// What the tag reader test files made by make_tag_files.py hold, for the
// native tests and the Windows tests alike.
#pragma once

// tests/data/album.cue, the cue sheet embedded in every tagged test file.
#define SHEETWALK_ALBUM_CUE \
  "REM GENRE \"Art Rock\"\n" \
  "REM DATE 1998\n" \
  "PERFORMER \"Zoë Ångström & Кино\"\n" \
  "TITLE \"Ünïcode Nights — 東京 Sessions\"\n" \
  "FILE \"album.wav\" WAVE\n" \
  "  TRACK 01 AUDIO\n" \
  "    TITLE \"Prélude\"\n" \
  "    PERFORMER \"Zoë Ångström\"\n" \
  "    INDEX 01 00:00:00\n" \
  "  TRACK 02 AUDIO\n" \
  "    TITLE \"Группа крови\"\n" \
  "    PERFORMER \"Кино\"\n" \
  "    INDEX 00 03:58:12\n" \
  "    INDEX 01 04:00:00\n" \
  "  TRACK 03 AUDIO\n" \
  "    TITLE \"夜の東京\"\n" \
  "    PERFORMER \"Zoë Ångström\"\n" \
  "    INDEX 01 08:12:40\n" \
  "  TRACK 04 AUDIO\n" \
  "    TITLE \"Señor Café\"\n" \
  "    PERFORMER \"Zoë Ångström\"\n" \
  "    INDEX 01 12:31:05\n" \
  "  TRACK 05 AUDIO\n" \
  "    TITLE \"Straße nach Köln\"\n" \
  "    PERFORMER \"Zoë Ångström\"\n" \
  "    INDEX 01 16:02:70\n" \
  "  TRACK 06 AUDIO\n" \
  "    TITLE \"Звезда по имени Солнце\"\n" \
  "    PERFORMER \"Кино\"\n" \
  "    INDEX 01 19:47:33\n" \
  "  TRACK 07 AUDIO\n" \
  "    TITLE \"Coda (reprise)\"\n" \
  "    PERFORMER \"Zoë Ångström\"\n" \
  "    INDEX 01 23:55:00\n"

inline constexpr char16_t kAlbumCue[] = u"" SHEETWALK_ALBUM_CUE;
inline constexpr char8_t kAlbumCueUtf8[] = u8"" SHEETWALK_ALBUM_CUE;

// The folder name with Cyrillic and CJK letters.
inline constexpr char16_t kWideFolder[] = u"Музыка 音楽";

// cue/cp1252.cue, cue/cp1251.cue and cue/cp932.cue: this text in each code page.
struct CodePageCue {
  unsigned codePage;
  const char16_t* file;
  const char16_t* text;
};
inline constexpr CodePageCue kCodePageCues[] = {
    {1252, u"cp1252",
     u"PERFORMER \"Café Müller – Señor\"\nTITLE \"Straße\"\n"
     u"FILE \"a.wav\" WAVE\n  TRACK 01 AUDIO\n    INDEX 01 00:00:00\n"},
    {1251, u"cp1251",
     u"PERFORMER \"Кино – Цой\"\nTITLE \"Группа крови\"\n"
     u"FILE \"a.wav\" WAVE\n  TRACK 01 AUDIO\n    INDEX 01 00:00:00\n"},
    {932, u"cp932",
     u"PERFORMER \"椎名林檎\"\nTITLE \"無罪モラトリアム ｶﾀｶﾅ\"\n"
     u"FILE \"a.wav\" WAVE\n  TRACK 01 AUDIO\n    INDEX 01 00:00:00\n"},
};
