// Files that came from anywhere, played with the real plug-in loaded: broken
// and forged APEv2 tags, 30 MB of cover art, damaged FLAC comments, empty and one-byte files, directories
// where files belong, a 20 MB cue file, 100,000-character lines and files
// locked by another program. Whatever the file holds, the player keeps
// running, keeps its own behaviour wherever the plug-in finds no cue track,
// and the plug-in leaves no handle open behind it. The files come from
// make_bad_inputs.py.
#include <windows.h>

#include <gtest/gtest.h>

#include <chrono>
#include <cstdio>
#include <map>
#include <string>
#include <vector>

#include "tests/integration/integration_support.h"
#include "tools/host_simulator/player_host.h"

using host_simulator::EventKind;
using host_simulator::PlayerHost;

namespace {

const std::wstring kFormat =
    L"%subnum%|%subnumtotal%|%subtitle%|%subartist%|%submaintitle%|%submainartist%|%title%|%artist%";
const std::map<std::wstring, std::wstring> kPlayerTags = {
    {L"subnum", L"p-num"},   {L"subnumtotal", L"p-total"},   {L"subtitle", L"p-title"},
    {L"subartist", L"p-artist"}, {L"submaintitle", L"p-main"}, {L"submainartist", L"p-main-artist"},
    {L"title", L"Player title"}, {L"artist", L"Player artist"}};
// Every tag is the player's own.
const std::wstring kPlayersTitle = L"p-num|p-total|p-title|p-artist|p-main|p-main-artist|Player title|Player artist";
// The second of three cue tracks (0:00, 3:00, 6:00), which has no PERFORMER
// while the album has one: "subartist" is the track's, empty.
const std::wstring kSecondCueTrack = L"2|3|Two||Bad Inputs|Bad Input Ensemble|Player title|Player artist";
constexpr int kPosition = 190000;  // 3:10, in the second cue track

enum class Outcome {
  kPlayer,    // no cue track: the player's own behaviour throughout
  kCueTrack,  // the cue sheet was read despite the damage around it
};

struct BadInput {
  const wchar_t* file;
  Outcome outcome;
};

// Every bad input but the locked ones, which a test locks first.
const BadInput kBadInputs[] = {
    // APEv2 footers cut short, or with fields that the reader must not trust.
    {L"ape_footer_truncated_by_1.wv", Outcome::kPlayer},
    {L"ape_footer_truncated_to_half.wv", Outcome::kPlayer},
    {L"ape_footer_only_signature.wv", Outcome::kPlayer},
    {L"ape_footer_fields_at_maximum.wv", Outcome::kCueTrack},  // item count, flags: not used
    {L"ape_tag_size_0.wv", Outcome::kPlayer},
    {L"ape_tag_size_31.wv", Outcome::kPlayer},
    {L"ape_tag_size_32.wv", Outcome::kPlayer},
    {L"ape_tag_size_39.wv", Outcome::kPlayer},
    {L"ape_tag_size_past_file_start.wv", Outcome::kPlayer},
    {L"ape_tag_size_maximum.wv", Outcome::kPlayer},
    // The CUESHEET item's value size past the region or wrapping around.
    {L"ape_value_size_maximum.wv", Outcome::kPlayer},
    {L"ape_value_size_wraps.wv", Outcome::kPlayer},
    {L"ape_value_size_negative.wv", Outcome::kPlayer},
    {L"ape_value_size_one_past.wv", Outcome::kPlayer},
    {L"ape_key_without_terminator.wv", Outcome::kPlayer},
    // A footer declaring 0x90000000 bytes of tag in a file of 2.25 GiB: no
    // string of that size exists on 32 bits.
    {L"ape_tag_size_2_25GiB.wv", Outcome::kPlayer},
    // 30 MB of cover art, without a cue sheet and before one.
    {L"ape_cover_30mb.wv", Outcome::kPlayer},
    {L"ape_cover_30mb_then_cue.wv", Outcome::kCueTrack},
    // The APEv2 tag before an ID3v1 tag.
    {L"ape_before_id3v1.wv", Outcome::kCueTrack},
    // FLAC comment blocks damaged after metaflac wrote them.
    {L"flac_cuesheet_comment_past_block.flac", Outcome::kPlayer},
    {L"flac_vendor_length_maximum.flac", Outcome::kPlayer},
    {L"flac_comment_count_maximum.flac", Outcome::kPlayer},
    {L"flac_comment_block_past_file.flac", Outcome::kPlayer},
    {L"flac_comment_block_garbage.flac", Outcome::kPlayer},
    {L"flac_comment_after_cuesheet_damaged.flac", Outcome::kCueTrack},
    {L"flac_16mb_comments_then_block_past_file.flac", Outcome::kPlayer},
    // Files too short for any tag, and cue files too short for any track.
    {L"zero_bytes.wav", Outcome::kPlayer},
    {L"one_byte.wav", Outcome::kPlayer},
    {L"zero_byte_cue.wav", Outcome::kPlayer},
    {L"one_byte_cue.wav", Outcome::kPlayer},
    // Directories named like an audio file and like a cue file.
    {L"directory.flac", Outcome::kPlayer},
    {L"directory_cue.wav", Outcome::kPlayer},
    // Cue files over the 4 MiB limit: 20 MB of "TRACK ", and 6.5 MiB of
    // tracks with their INDEX 01 lines.
    {L"track_flood.wav", Outcome::kPlayer},
    {L"track_index_flood.wav", Outcome::kPlayer},
    // 100,000 characters on one line.
    {L"long_lines.wav", Outcome::kCueTrack},
    {L"one_long_line.wav", Outcome::kPlayer},
};

// The bad inputs' folder as a Windows path (Wine's Z: drive is the root).
std::wstring BadInput(const std::wstring& name) {
  return integration::FolderFile("SHEETWALK_BAD_INPUTS", name);
}

// The handles this process has open. GetProcessHandleCount where the system
// answers it; otherwise (older Wine answers 0) every handle value is asked
// for its flags, which only an open handle has.
const char* handleCounter = "";

DWORD OpenHandles() {
  DWORD count = 0;
  if (GetProcessHandleCount(GetCurrentProcess(), &count) && count != 0) {
    handleCounter = "GetProcessHandleCount";
    return count;
  }
  handleCounter = "handle values probed";
  count = 0;
  for (ULONG_PTR value = 4; value < 4 * 65536; value += 4) {
    DWORD flags = 0;
    if (GetHandleInformation(reinterpret_cast<HANDLE>(value), &flags)) ++count;
  }
  return count;
}

// Handles that Wine may open or close of its own between two counts; a
// handle left open per lookup adds dozens even to the smallest count here.
constexpr DWORD kWineSlack = 4;

// True when nobody holds the file open: an open without sharing fails while
// any other handle to it is open, in this process or another.
bool NobodyHoldsOpen(const std::wstring& path) {
  const HANDLE file = CreateFileW(path.c_str(), GENERIC_READ, 0, nullptr, OPEN_EXISTING, 0, nullptr);
  if (file == INVALID_HANDLE_VALUE) return false;
  CloseHandle(file);
  return true;
}

class BadInputTest : public integration::PluginTest {
 protected:
  BadInputTest() : PluginTest("SHEETWALK_BAD_INPUTS", "the bad inputs' folder") {}

  // Plays `file` between two ordinary entries and does what a user does:
  // lets the timer tick, formats the title with the six tags and two of the
  // player's, and presses previous and next. Checks that the player ran
  // every step as it would without the plug-in, or, for a cue sheet that
  // survived, as the plug-in makes it.
  void Exercise(const std::wstring& name, Outcome outcome) {
    SCOPED_TRACE(testing::Message() << "file " << host_simulator::ToUtf8(name));
    const std::wstring file = BadInput(name);
    host.SetFileTags(file, kPlayerTags);
    host.SetPlaylist({BadInput(L"before.wav"), file, BadInput(L"after.wav")}, 1);
    host.SetPosition(kPosition);
    host.ClearEvents();

    const size_t ticks = host.Count(EventKind::kTimerTick);
    ASSERT_TRUE(host.PumpUntil([&] { return host.Count(EventKind::kTimerTick) >= ticks + 2; }, 5000))
        << "the plug-in's timer stopped ticking\n" << host.Log();
    if (outcome == Outcome::kPlayer) {
      EXPECT_EQ(host.Count(EventKind::kRefreshSecond), 0u) << "a tick without cue track asks for nothing\n"
                                                           << host.Log();
    }

    host.ClearEvents();
    const std::wstring title = host.FormatTitle(file.c_str(), kFormat);
    if (outcome == Outcome::kPlayer) {
      EXPECT_EQ(title, kPlayersTitle) << host.Log();
      EXPECT_EQ(host.Count(EventKind::kTagFree), 8u) << "each of the player's values goes back to the player";
    } else if (name != L"long_lines.wav") {
      EXPECT_EQ(title, kSecondCueTrack) << host.Log();
      EXPECT_EQ(host.Count(EventKind::kTagFree), 2u);
    }

    for (const WPARAM command : {player_command::kPrevious, player_command::kNext}) {
      SCOPED_TRACE(testing::Message() << "command " << command);
      host.SetCurrentIndex(1);
      host.SetPosition(kPosition);
      host.ClearEvents();
      host.SendCommand(command);
      host.Pump(0);
      if (outcome == Outcome::kPlayer) {
        EXPECT_EQ(host.Count(EventKind::kCommand), 1u) << host.Log();
        EXPECT_EQ(host.Count(EventKind::kSeek), 0u) << host.Log();
        EXPECT_EQ(host.currentIndex(), command == player_command::kPrevious ? 0 : 2);
      } else {
        EXPECT_EQ(host.Count(EventKind::kCommand), 0u) << host.Log();
        const size_t seek = host.Find(EventKind::kSeek);
        ASSERT_NE(seek, PlayerHost::npos) << host.Log();
        EXPECT_EQ(host.events()[seek].value, command == player_command::kPrevious ? 180000 : 360000);
      }
    }

    // Still the player's window, with the plug-in's procedure in front of it.
    EXPECT_EQ(host.Send(WM_USER, 0, PlayerHost::kGetVersion), PlayerHost::kVersion);
    EXPECT_FALSE(host.PlayerProcedureInstalled());
    EXPECT_EQ(host.Count(EventKind::kViolation), 0u) << host.Log();
    host.ClearEvents();
  }

  void ExerciseAll() {
    for (const auto& input : kBadInputs) Exercise(input.file, input.outcome);
  }
};

TEST_F(BadInputTest, ThePlayerKeepsItsOwnBehaviourWhereNoCueTrackSurvives) { ExerciseAll(); }

// A cue file of 20 MB is over the limit for cue text: only its size is
// taken, and the miss is remembered. The times are printed, not checked.
TEST_F(BadInputTest, HugeCueFileIsNotRead) {
  const std::wstring file = BadInput(L"track_flood.wav");
  host.SetPlaylist({file});
  host.SetPosition(kPosition);
  for (const char* lookup : {"first", "second"}) {
    const auto start = std::chrono::steady_clock::now();
    EXPECT_EQ(host.FormatTitle(file.c_str(), L"%subtitle%"), L"");
    std::printf("  %s lookup of a 20 MB cue file: %.3f s\n", lookup,
                std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count());
  }
}

// The 100,000-character title reaches the player whole.
TEST_F(BadInputTest, LongLinesAreReadWhole) {
  const std::wstring file = BadInput(L"long_lines.wav");
  host.SetPlaylist({file});
  host.SetPosition(kPosition);
  host.ClearEvents();
  host.FormatTitle(file.c_str(), L"%subtitle%");
  const size_t value = host.Find(EventKind::kTagValue);
  ASSERT_NE(value, PlayerHost::npos);
  const std::wstring& title = host.events()[value].detail;
  ASSERT_EQ(title.size(), 100000u);
  for (size_t i = 0; i < title.size(); ++i) {
    ASSERT_EQ(title[i], static_cast<wchar_t>(L'a' + i % 26)) << "at " << i;
  }
}

// A file that another program holds without sharing is a file without cue
// sheet while it is held, and is read once it is released: such a miss is
// remembered for a second only.
TEST_F(BadInputTest, LockedFilesAreLeftToThePlayerUntilReleased) {
  struct Locked {
    const wchar_t* audio;
    const wchar_t* held;  // the file held open without sharing
  } lockedFiles[] = {
      {L"locked.wv", L"locked.wv"},
      {L"locked_cue.wav", L"locked_cue.cue"},
  };
  Exercise(L"silence.wav", Outcome::kPlayer);  // warm up
  for (const Locked& locked : lockedFiles) {
    SCOPED_TRACE(testing::Message() << host_simulator::ToUtf8(locked.held) << " held without sharing");
    const DWORD before = OpenHandles();
    const HANDLE held =
        CreateFileW(BadInput(locked.held).c_str(), GENERIC_READ, 0, nullptr, OPEN_EXISTING, 0, nullptr);
    ASSERT_NE(held, INVALID_HANDLE_VALUE) << GetLastError();
    for (int i = 0; i < 3; ++i) Exercise(locked.audio, Outcome::kPlayer);
    CloseHandle(held);
    EXPECT_LE(OpenHandles(), before + kWineSlack);
    // A file that could not be opened is tried again after a second.
    Sleep(1100);
    Exercise(locked.audio, Outcome::kCueTrack);
  }
}

// After the first lookup, a file whose content a reader refuses or whose cue
// text is over the limit costs a tick what a file without cue sheet costs:
// libFLAC refusing a chain behind 16 MiB of comments, a comment block that
// claims 16 MiB past the end of the file, cue files of 6.5 MiB and 20 MB.
// The process's reads over five ticks (Wine's own traffic with its server
// among them) are compared with those of a plain file's: before, the first
// file cost 16 MiB a tick, the second 13 KiB.
TEST_F(BadInputTest, TicksAfterTheFirstLookupReadNothing) {
  const std::wstring probe = BadInput(L"track_flood.cue");
  const uint64_t beforeProbe = integration::ProcessBytesRead();
  {
    std::vector<char> bytes(1 << 20);
    DWORD got = 0;
    const HANDLE file = CreateFileW(probe.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr);
    ASSERT_NE(file, INVALID_HANDLE_VALUE);
    ReadFile(file, bytes.data(), static_cast<DWORD>(bytes.size()), &got, nullptr);
    CloseHandle(file);
  }
  if (integration::ProcessBytesRead() < beforeProbe + (1 << 20)) {
    GTEST_SKIP() << "this process's reads cannot be counted here (/proc/self/io through Z:)";
  }
  const auto ticksRead = [&](const wchar_t* name) {
    const std::wstring file = BadInput(name);
    host.SetPlaylist({file});
    host.SetPosition(kPosition);
    host.FormatTitle(file.c_str(), kFormat);  // the first lookup
    const size_t ticks = host.Count(EventKind::kTimerTick);
    const uint64_t before = integration::ProcessBytesRead();
    EXPECT_TRUE(host.PumpUntil([&] { return host.Count(EventKind::kTimerTick) >= ticks + 5; }, 5000));
    return integration::ProcessBytesRead() - before;
  };
  ticksRead(L"silence.wav");
  const uint64_t plain = ticksRead(L"silence.wav");
  std::printf("  bytes read over 5 ticks: %llu for a plain file\n", static_cast<unsigned long long>(plain));
  for (const wchar_t* name : {L"flac_16mb_comments_then_block_past_file.flac", L"flac_comment_block_past_file.flac",
                              L"track_index_flood.wav", L"track_flood.wav"}) {
    const uint64_t read = ticksRead(name);
    std::printf("  bytes read over 5 ticks: %llu for %s\n", static_cast<unsigned long long>(read),
                host_simulator::ToUtf8(name).c_str());
    EXPECT_LE(read, plain + 1024) << host_simulator::ToUtf8(name);
  }
}

// A lookup of a file without cue sheet opens it (and the cue file beside
// it), and a locked file again every second: one handle left open per lookup
// would add dozens per round. Wine opens some handles of its own the first
// time a thing is used (code page tables, registry keys, libFLAC.dll), so
// one round runs before the count is taken.
TEST_F(BadInputTest, NoHandleIsLeftOpen) {
  ExerciseAll();
  const DWORD before = OpenHandles();
  constexpr int kRounds = 2;
  for (int round = 0; round < kRounds; ++round) ExerciseAll();
  const DWORD after = OpenHandles();
  std::printf("  open handles (%s): %lu before, %lu after %d more rounds of every bad input\n", handleCounter,
              static_cast<unsigned long>(before), static_cast<unsigned long>(after), kRounds);
  EXPECT_LE(after, before + kWineSlack);

  for (const auto& input : kBadInputs) {
    std::wstring name = input.file;
    if (name.starts_with(L"directory")) continue;
    EXPECT_TRUE(NobodyHoldsOpen(BadInput(name))) << host_simulator::ToUtf8(name) << " is still open";
    const std::wstring cue = name.substr(0, name.rfind(L'.')) + L".cue";
    const DWORD attributes = GetFileAttributesW(BadInput(cue).c_str());
    if (attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY) == 0) {
      EXPECT_TRUE(NobodyHoldsOpen(BadInput(cue))) << host_simulator::ToUtf8(cue) << " is still open";
    }
  }
}

}  // namespace
