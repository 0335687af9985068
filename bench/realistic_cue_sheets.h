// Cue sheets as rippers and taggers write them, in UTF-8 as they lie in a .cue
// file or a tag, for the benchmarks. Every sheet has a FILE line and at most
// 99 tracks, so that other cue parsers read all of them too.
#pragma once

#include <cstdio>
#include <string>
#include <vector>

namespace bench_sheets {

struct NamedSheet {
  std::string name;
  std::string text;  // UTF-8
};

inline std::string Time(long frames) {
  char buffer[32];
  std::snprintf(buffer, sizeof buffer, "%02ld:%02ld:%02ld", frames / 75 / 60, frames / 75 % 60, frames % 75);
  return buffer;
}

inline std::string Number(int n) {
  char buffer[16];
  std::snprintf(buffer, sizeof buffer, "%02d", n);
  return buffer;
}

// A jazz album as a secure ripper writes it: REM header, catalogue number,
// ISRCs, a pre-gap, CR LF line ends.
inline std::string JazzAlbum12Tracks() {
  static const char* const kTitles[] = {
      "So What", "Freddie Freeloader", "Blue in Green", "All Blues", "Flamenco Sketches",
      "Flamenco Sketches (Alternate Take)", "On Green Dolphin Street", "Fran-Dance",
      "Stella by Starlight", "Love for Sale", "'Round Midnight", "Straight, No Chaser"};
  std::string text =
      "REM GENRE Jazz\r\nREM DATE 1959\r\nREM DISCID 9D0C6A0C\r\nREM COMMENT \"ExactAudioCopy v1.6\"\r\n"
      "CATALOG 5099706486628\r\nPERFORMER \"Miles Davis\"\r\nTITLE \"Kind of Blue (Legacy Edition)\"\r\n"
      "FILE \"Miles Davis - Kind of Blue.flac\" WAVE\r\n";
  long frames = 0;
  for (int i = 1; i <= 12; ++i) {
    text += "  TRACK " + Number(i) + " AUDIO\r\n";
    text += std::string("    TITLE \"") + kTitles[i - 1] + "\"\r\n";
    text += "    PERFORMER \"Miles Davis\"\r\n";
    text += "    ISRC USSM1590011" + std::to_string(i % 10) + "\r\n";
    if (i == 7) text += "    INDEX 00 " + Time(frames - 98) + "\r\n";
    text += "    INDEX 01 " + Time(frames) + "\r\n";
    frames += (330 + 41 * i % 190) * 75 + (i * 29) % 75;
  }
  return text;
}

// A various-artists compilation: a performer and songwriter per track, names
// in several scripts, LF line ends.
inline std::string Compilation18Tracks() {
  static const char* const kTracks[][2] = {
      {"Björk", "Jóga"}, {"Sigur Rós", "Hoppípolla"}, {"宇多田ヒカル", "First Love"},
      {"Майя Кристалинская", "Нежность"}, {"Céline Dion", "Pour que tu m'aimes encore"},
      {"Mariza", "Ó Gente da Minha Terra"}, {"Ibrahim Ferrer", "Dos Gardenias"},
      {"Ελευθερία Αρβανιτάκη", "Το Παράπονο"}, {"Rokia Traoré", "Zen"}, {"Ane Brun", "Halleluja"},
      {"Zaz", "Je veux"}, {"Ásgeir", "Dýrð í dauðaþögn"}, {"BTS", "봄날"}, {"Fairuz", "Li Beirut"},
      {"Cesária Évora", "Sodade"}, {"Amália Rodrigues", "Estranha Forma de Vida"},
      {"Jacques Brel", "Ne me quitte pas"}, {"Édith Piaf", "La Vie en rose"}};
  std::string text =
      "REM GENRE \"World\"\nREM DATE 2008\nPERFORMER \"Various Artists\"\n"
      "TITLE \"Voix du monde — une anthologie\"\nFILE \"Voix du monde.ape\" WAVE\n";
  long frames = 0;
  for (int i = 1; i <= 18; ++i) {
    text += "  TRACK " + Number(i) + " AUDIO\n";
    text += std::string("    TITLE \"") + kTracks[i - 1][1] + "\"\n";
    text += std::string("    PERFORMER \"") + kTracks[i - 1][0] + "\"\n";
    text += std::string("    SONGWRITER \"") + kTracks[i - 1][0] + "\"\n";
    text += "    INDEX 01 " + Time(frames) + "\n";
    frames += (200 + 23 * i % 90) * 75 + (i * 13) % 75;
  }
  return text;
}

// A complete set of études: 99 tracks, accented titles, CR LF, pre-gaps.
inline std::string Classical99Tracks() {
  std::string text =
      "REM GENRE \"Classical\"\r\nREM DATE 1981\r\nREM DISCID 9A0B7C63\r\n"
      "REM COMMENT \"ExactAudioCopy v1.6\"\r\nPERFORMER \"Orchestre de la Suisse Romande\"\r\n"
      "TITLE \"Préludes et Études, Intégrale\"\r\nFILE \"Préludes et Études.flac\" WAVE\r\n";
  long frames = 0;
  for (int i = 1; i <= 99; ++i) {
    text += "  TRACK " + Number(i) + " AUDIO\r\n";
    text += "    TITLE \"Étude No. " + Number(i) + " en ré mineur, Allegro con brio\"\r\n";
    text += "    PERFORMER \"Orchestre de la Suisse Romande\"\r\n";
    text += "    ISRC FRZ039800" + Number(i) + "1\r\n";
    if (i > 1) text += "    INDEX 00 " + Time(frames - 150) + "\r\n";
    text += "    INDEX 01 " + Time(frames) + "\r\n";
    frames += 200 * 75 + (i * 37) % 75;
  }
  return text;
}

// Two sets of a concert in one file: the second set starts past 99 minutes.
inline std::string Concert24Tracks() {
  std::string text =
      "REM COMMENT \"Two sets on one file\"\nPERFORMER \"Grateful Dead\"\n"
      "TITLE \"Live at the Fillmore East, 1970-02-11\"\nFILE \"concert.flac\" WAVE\n";
  long frames = 0;
  for (int i = 1; i <= 24; ++i) {
    text += "  TRACK " + Number(i) + " AUDIO\n";
    text += "    TITLE \"Jam " + Number(i) + "\"\n";
    text += "    INDEX 01 " + Time(frames) + "\n";
    frames += (520 + 60 * (i % 4)) * 75;
  }
  return text;
}

// Large but valid for any parser: 99 tracks, each under a long run of
// remarks, as a sheet that carries ripping logs or lyrics notes: about 1 MB.
inline std::string Large99TracksWithRemarks() {
  std::string remark = "    REM COMMENT \"";
  for (int i = 0; i < 24; ++i) remark += "lorem ipsum ";
  remark += "\"\n";
  std::string text =
      "REM GENRE \"Spoken Word\"\nPERFORMER \"Reader\"\nTITLE \"Annotated Readings\"\n"
      "FILE \"readings.wv\" WAVE\n";
  long frames = 0;
  for (int i = 1; i <= 99; ++i) {
    text += "  TRACK " + Number(i) + " AUDIO\n";
    text += "    TITLE \"Chapter " + Number(i) + "\"\n";
    text += "    PERFORMER \"Reader\"\n";
    for (int r = 0; r < 34; ++r) text += remark;
    text += "    INDEX 01 " + Time(frames) + "\n";
    frames += 600 * 75 + i;
  }
  return text;
}

inline std::vector<NamedSheet> RealisticSheets() {
  return {{"jazz_12", JazzAlbum12Tracks()},
          {"compilation_18", Compilation18Tracks()},
          {"concert_24", Concert24Tracks()},
          {"classical_99", Classical99Tracks()}};
}

}  // namespace bench_sheets
