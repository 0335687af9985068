// The description in the player's plug-in list, read from the descriptor
// after init, as the player reads it: from the real gen_Sheetwalk.dll, from a
// copy of it in a folder deeper than MAX_PATH, and from copies whose version
// resource was rewritten to lack what the description is made of.
#include "tests/integration/integration_support.h"
#include "tools/host_simulator/player_host.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <cstring>
#include <string>
#include <vector>

namespace {

using host_simulator::PlayerHost;
using host_simulator::PluginEntries;

using integration::PluginPath;

// The version functions, reached by name: the test reads the module's
// resource as any program would, without linking what the plug-in links.
struct VersionApi {
  VersionApi() {
    module = LoadLibraryW(L"version.dll");
    if (module == nullptr) return;
    getSize = reinterpret_cast<decltype(getSize)>(
        reinterpret_cast<void*>(GetProcAddress(module, "GetFileVersionInfoSizeW")));
    getInfo = reinterpret_cast<decltype(getInfo)>(
        reinterpret_cast<void*>(GetProcAddress(module, "GetFileVersionInfoW")));
    query = reinterpret_cast<decltype(query)>(reinterpret_cast<void*>(GetProcAddress(module, "VerQueryValueW")));
  }
  ~VersionApi() {
    if (module != nullptr) FreeLibrary(module);
  }
  bool ready() const { return getSize != nullptr && getInfo != nullptr && query != nullptr; }

  HMODULE module = nullptr;
  DWORD(WINAPI* getSize)(const wchar_t*, DWORD*) = nullptr;
  BOOL(WINAPI* getInfo)(const wchar_t*, DWORD, DWORD, void*) = nullptr;
  BOOL(WINAPI* query)(const void*, const wchar_t*, void**, UINT*) = nullptr;
};

// One node of a VS_VERSIONINFO block: the header, the key, the value, the
// children, each part starting on a 4-byte boundary.
struct VersionNode {
  std::wstring key;
  bool text = false;       // wType 1: a string value, its length counted in characters
  std::string value;       // the value's bytes
  uint16_t valueLength = 0;
  std::vector<VersionNode> children;
};

void PadToFour(std::string& bytes) {
  while (bytes.size() % 4 != 0) bytes.push_back('\0');
}

std::string Serialize(const VersionNode& node) {
  std::string bytes(6, '\0');
  bytes.append(reinterpret_cast<const char*>(node.key.c_str()), (node.key.size() + 1) * sizeof(wchar_t));
  PadToFour(bytes);
  bytes += node.value;
  for (const VersionNode& child : node.children) {
    PadToFour(bytes);
    bytes += Serialize(child);
  }
  const auto length = static_cast<uint16_t>(bytes.size());
  const uint16_t type = node.text ? 1 : 0;
  std::memcpy(&bytes[0], &length, 2);
  std::memcpy(&bytes[2], &node.valueLength, 2);
  std::memcpy(&bytes[4], &type, 2);
  return bytes;
}

// A string of a string table; `terminated` false leaves out the zero that
// resource compilers write, counting only the characters.
VersionNode StringValue(const std::wstring& key, const std::wstring& value, bool terminated = true) {
  const size_t units = value.size() + (terminated ? 1 : 0);
  VersionNode node{key, true, std::string(reinterpret_cast<const char*>(value.c_str()), units * sizeof(wchar_t)),
                   static_cast<uint16_t>(units), {}};
  return node;
}

struct ResourceParts {
  std::wstring table = L"042204b0";
  std::vector<VersionNode> strings = {StringValue(L"CompanyName", L"Quillmoor"),
                                      StringValue(L"ProductName", L"Sheetwalk"),
                                      StringValue(L"ProductVersion", L"0, 8, 0, 0")};
  bool translation = true;
  std::vector<uint16_t> translationWords = {0x0422, 1200};
};

std::string BuildVersionBlock(const ResourceParts& parts) {
  VS_FIXEDFILEINFO fixed{};
  fixed.dwSignature = 0xFEEF04BD;
  fixed.dwStrucVersion = 0x00010000;
  fixed.dwFileVersionMS = fixed.dwProductVersionMS = 0x00000008;
  fixed.dwFileOS = VOS_NT_WINDOWS32;
  fixed.dwFileType = VFT_DLL;
  VersionNode root{L"VS_VERSION_INFO", false, std::string(reinterpret_cast<const char*>(&fixed), sizeof fixed),
                   static_cast<uint16_t>(sizeof fixed), {}};
  root.children.push_back({L"StringFileInfo", true, {}, 0, {{parts.table, true, {}, 0, parts.strings}}});
  if (parts.translation) {
    std::string words(reinterpret_cast<const char*>(parts.translationWords.data()),
                      parts.translationWords.size() * sizeof(uint16_t));
    const auto size = static_cast<uint16_t>(words.size());
    root.children.push_back({L"VarFileInfo", true, {}, 0, {{L"Translation", false, words, size, {}}}});
  }
  return Serialize(root);
}

class DescriptionTest : public ::testing::Test {
 protected:
  void TearDown() override {
    host_.UnloadPlugin();
    for (const std::wstring& file : createdFiles_) DeleteFileW(file.c_str());
    for (auto folder = createdFolders_.rbegin(); folder != createdFolders_.rend(); ++folder) {
      RemoveDirectoryW(folder->c_str());
    }
  }

  // Loads the module, calls the export and init, and gives the description
  // the descriptor points to after init. The plug-in is quit again, so that
  // its timer and hook are gone before the module is unloaded.
  std::string DescriptionOf(const std::wstring& modulePath) {
    if (!host_.LoadPlugin(modulePath)) {
      ADD_FAILURE() << "cannot load the plug-in, error " << GetLastError();
      return {};
    }
    const PluginEntries entries = host_.CallExport();
    if (entries.descriptor == nullptr) {
      ADD_FAILURE() << "no descriptor";
      return {};
    }
    EXPECT_EQ(host_.Init(), 0);
    std::string description = entries.descriptor->description;
    host_.Quit();
    return description;
  }

  // A copy of the plug-in under a name of its own in the temporary folder,
  // optionally with its version resource replaced (or removed, for an empty
  // block).
  std::wstring CopyOfPlugin(const std::wstring& name, const std::string* versionBlock) {
    wchar_t temp[MAX_PATH] = {};
    GetTempPathW(MAX_PATH, temp);
    const std::wstring path = std::wstring(temp) + name;
    if (!CopyFileW(PluginPath().c_str(), path.c_str(), FALSE)) {
      ADD_FAILURE() << "cannot copy the plug-in, error " << GetLastError();
      return {};
    }
    createdFiles_.push_back(path);
    if (versionBlock == nullptr) return path;
    HANDLE update = BeginUpdateResourceW(path.c_str(), TRUE);
    if (update == nullptr) {
      ADD_FAILURE() << "cannot open the copy's resources, error " << GetLastError();
      return path;
    }
    if (!versionBlock->empty()) {
      UpdateResourceW(update, RT_VERSION, MAKEINTRESOURCEW(VS_VERSION_INFO), 0x0422,
                      const_cast<char*>(versionBlock->data()), static_cast<DWORD>(versionBlock->size()));
    }
    EXPECT_TRUE(EndUpdateResourceW(update, FALSE)) << "error " << GetLastError();
    return path;
  }

  PlayerHost host_;
  std::vector<std::wstring> createdFiles_;
  std::vector<std::wstring> createdFolders_;
};

TEST_F(DescriptionTest, ReleaseModuleReadsMakerProductAndShortVersion) {
  EXPECT_EQ(DescriptionOf(PluginPath()), "Quillmoor Sheetwalk v0.8");
}

// The resource as a whole: one translation, Ukrainian in UTF-16, naming the
// one string table, whose strings agree with the fixed part.
TEST_F(DescriptionTest, VersionResourceHasOneTranslationAndItsStrings) {
  VersionApi api;
  ASSERT_TRUE(api.ready());
  const std::wstring path = PluginPath();
  DWORD ignored = 0;
  const DWORD size = api.getSize(path.c_str(), &ignored);
  ASSERT_NE(size, 0u);
  std::vector<unsigned char> block(size);
  ASSERT_TRUE(api.getInfo(path.c_str(), 0, size, block.data()));

  void* data = nullptr;
  UINT length = 0;
  ASSERT_TRUE(api.query(block.data(), L"\\VarFileInfo\\Translation", &data, &length));
  ASSERT_EQ(length, 4u) << "exactly one translation";
  EXPECT_EQ(static_cast<const WORD*>(data)[0], 0x0422);
  EXPECT_EQ(static_cast<const WORD*>(data)[1], 1200);

  ASSERT_TRUE(api.query(block.data(), L"\\", &data, &length));
  ASSERT_GE(length, sizeof(VS_FIXEDFILEINFO));
  const auto& fixed = *static_cast<const VS_FIXEDFILEINFO*>(data);
  EXPECT_EQ(fixed.dwFileType, static_cast<DWORD>(VFT_DLL));
  EXPECT_EQ(fixed.dwFileVersionMS, fixed.dwProductVersionMS);
  EXPECT_EQ(fixed.dwFileVersionLS, fixed.dwProductVersionLS);
  wchar_t numbers[64];
  wsprintfW(numbers, L"%u, %u, %u, %u", HIWORD(fixed.dwProductVersionMS), LOWORD(fixed.dwProductVersionMS),
            HIWORD(fixed.dwProductVersionLS), LOWORD(fixed.dwProductVersionLS));
  EXPECT_STREQ(numbers, L"0, 8, 0, 0");

  const struct {
    const wchar_t* key;
    const wchar_t* value;
  } kStrings[] = {
      {L"CompanyName", L"Quillmoor"},          {L"ProductName", L"Sheetwalk"},
      {L"ProductVersion", numbers},            {L"FileVersion", numbers},
      {L"FileDescription", L"Sheetwalk WinAmp plugin"}, {L"InternalName", L"gen_Sheetwalk"},
      {L"OriginalFilename", L"gen_Sheetwalk.dll"},
  };
  for (const auto& string : kStrings) {
    const std::wstring key = std::wstring(L"\\StringFileInfo\\042204b0\\") + string.key;
    ASSERT_TRUE(api.query(block.data(), key.c_str(), &data, &length)) << host_simulator::ToUtf8(string.key);
    EXPECT_STREQ(static_cast<const wchar_t*>(data), string.value) << host_simulator::ToUtf8(string.key);
  }
}

TEST_F(DescriptionTest, EmptyBeforeInitAndWithoutModuleHandle) {
  ASSERT_TRUE(host_.LoadPlugin(PluginPath()));
  const PluginEntries entries = host_.CallExport();
  ASSERT_NE(entries.descriptor, nullptr);
  EXPECT_STREQ(entries.descriptor->description, "");
  entries.descriptor->moduleHandle = nullptr;
  EXPECT_EQ(host_.Init(), 0);
  EXPECT_STREQ(entries.descriptor->description, "");
  host_.Quit();
}

TEST_F(DescriptionTest, SecondInitRebuildsTheSameTextInTheSamePlace) {
  ASSERT_TRUE(host_.LoadPlugin(PluginPath()));
  const PluginEntries entries = host_.CallExport();
  ASSERT_NE(entries.descriptor, nullptr);
  EXPECT_EQ(host_.Init(), 0);
  const char* text = entries.descriptor->description;
  EXPECT_STREQ(text, "Quillmoor Sheetwalk v0.8");
  // The buffer is the plug-in's; scribbling over it shows that init writes it anew.
  std::memset(const_cast<char*>(text), 'x', 8);
  EXPECT_EQ(host_.Init(), 0);
  EXPECT_EQ(entries.descriptor->description, text);
  EXPECT_STREQ(text, "Quillmoor Sheetwalk v0.8");
  host_.Quit();
}

// A player installed in a deep folder: the module path is longer than
// MAX_PATH, and a fixed buffer of that size would cut it.
TEST_F(DescriptionTest, ModulePathLongerThanMaxPath) {
  wchar_t temp[MAX_PATH] = {};
  GetTempPathW(MAX_PATH, temp);
  std::wstring folder = std::wstring(L"\\\\?\\") + temp + L"sheetwalk-long-path";
  for (int depth = 0; folder.size() < 2 * MAX_PATH; ++depth) {
    if (depth > 0) folder += L"\\" + std::wstring(60, static_cast<wchar_t>(L'a' + depth));
    ASSERT_TRUE(CreateDirectoryW(folder.c_str(), nullptr) || GetLastError() == ERROR_ALREADY_EXISTS)
        << "error " << GetLastError();
    createdFolders_.push_back(folder);
  }
  const std::wstring path = folder + L"\\gen_Sheetwalk.dll";
  ASSERT_TRUE(CopyFileW(PluginPath().c_str(), path.c_str(), FALSE)) << "error " << GetLastError();
  createdFiles_.push_back(path);
  EXPECT_EQ(DescriptionOf(path), "Quillmoor Sheetwalk v0.8");
}

struct ResourceCase {
  const char* name;
  ResourceParts parts;
  std::string description;
};

std::vector<ResourceCase> ResourceCases() {
  std::vector<ResourceCase> cases;
  cases.push_back({"Complete", {}, "Quillmoor Sheetwalk v0.8"});
  {
    ResourceCase c{"AnotherTranslationReadsItsOwnTable", {}, "Acme Widget v1.2.3.0"};
    c.parts.table = L"040904b0";
    c.parts.translationWords = {0x0409, 0x04b0};
    c.parts.strings = {StringValue(L"CompanyName", L"Acme"), StringValue(L"ProductName", L"Widget"),
                       StringValue(L"ProductVersion", L"1, 2, 3, 0")};
    cases.push_back(c);
  }
  {
    ResourceCase c{"NoTranslation", {}, ""};
    c.parts.translation = false;
    cases.push_back(c);
  }
  {
    ResourceCase c{"TranslationShorterThanOneEntry", {}, ""};
    c.parts.translationWords = {0x0422};
    cases.push_back(c);
  }
  {
    ResourceCase c{"TranslationNamesAMissingTable", {}, ""};
    c.parts.translationWords = {0x0409, 1200};
    cases.push_back(c);
  }
  {
    ResourceCase c{"NoCompanyName", {}, ""};
    c.parts.strings.erase(c.parts.strings.begin());
    cases.push_back(c);
  }
  {
    ResourceCase c{"NoProductVersion", {}, ""};
    c.parts.strings.pop_back();
    cases.push_back(c);
  }
  {
    ResourceCase c{"UnterminatedStringsReadToTheirLength", {}, "Quillmoor Sheetwalk v0.8"};
    for (VersionNode& string : c.parts.strings) {
      std::wstring value(reinterpret_cast<const wchar_t*>(string.value.data()), string.valueLength - 1);
      string = StringValue(string.key, value, false);
    }
    cases.push_back(c);
  }
  {
    // 600 characters of maker: 511 bytes and the terminating zero fill the buffer.
    ResourceCase c{"DescriptionLongerThanTheBufferIsCut", {}, std::string(511, 'Q')};
    c.parts.strings[0] = StringValue(L"CompanyName", std::wstring(600, L'Q'));
    cases.push_back(c);
  }
  return cases;
}

class RewrittenResourceTest : public DescriptionTest, public ::testing::WithParamInterface<ResourceCase> {};

TEST_P(RewrittenResourceTest, GivesItsDescription) {
  const ResourceCase& c = GetParam();
  const std::string block = BuildVersionBlock(c.parts);
  const std::wstring name = L"gen_Sheetwalk_" + std::wstring(c.name, c.name + std::strlen(c.name)) + L".dll";
  const std::wstring path = CopyOfPlugin(name, &block);
  ASSERT_FALSE(path.empty());
  EXPECT_EQ(DescriptionOf(path), c.description);
}

INSTANTIATE_TEST_SUITE_P(Cases, RewrittenResourceTest, ::testing::ValuesIn(ResourceCases()),
                         [](const ::testing::TestParamInfo<ResourceCase>& info) { return std::string(info.param.name); });

// Each maker's character takes two bytes in a double-byte code page such as
// 932, where two ASCII letters before them put the 512-byte limit inside a
// character; in a single-byte code page each takes one. The cut falls after
// the last whole character that fits, in whatever code page the system has.
TEST_F(DescriptionTest, LongDescriptionIsCutAtACharacterOfTheCodePage) {
  ResourceParts parts;
  const std::wstring company = L"ab" + std::wstring(300, L'\u65E5');
  parts.strings[0] = StringValue(L"CompanyName", company);
  const std::string block = BuildVersionBlock(parts);
  const std::wstring path = CopyOfPlugin(L"gen_Sheetwalk_LongInCodePage.dll", &block);
  ASSERT_FALSE(path.empty());

  std::string expected;
  for (wchar_t c : company + L" Sheetwalk v0.8") {
    char bytes[8];
    const int n = WideCharToMultiByte(CP_ACP, 0, &c, 1, bytes, sizeof bytes, nullptr, nullptr);
    ASSERT_GT(n, 0);
    if (expected.size() + static_cast<size_t>(n) > 511) break;
    expected.append(bytes, static_cast<size_t>(n));
  }
  const std::string description = DescriptionOf(path);
  EXPECT_EQ(description, expected) << "code page " << GetACP();
  if (GetACP() == 932) {
    EXPECT_EQ(description.size(), 510u);
  }
}

TEST_F(DescriptionTest, ModuleWithoutVersionResourceIsEmpty) {
  const std::string none;
  const std::wstring path = CopyOfPlugin(L"gen_Sheetwalk_NoResource.dll", &none);
  ASSERT_FALSE(path.empty());
  EXPECT_EQ(DescriptionOf(path), "");
}

}  // namespace
