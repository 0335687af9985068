// Files that the native tests write and read in the build tree's scratch folder.
#pragma once

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>

namespace test_files {

// A new, empty folder of the scratch folder, one per test executable.
inline std::string MakeScratchFolder(const std::string& name) {
  const std::filesystem::path folder = std::filesystem::path(SHEETWALK_TEST_SCRATCH) / name;
  std::filesystem::remove_all(folder);
  std::filesystem::create_directories(folder);
  return folder.string();
}

inline void WriteBytes(const std::string& path, const std::string& bytes) {
  std::ofstream out(path, std::ios::binary | std::ios::trunc);
  out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
  ASSERT_TRUE(out.good()) << path;
}

// The build tree's paths are ASCII; wider paths are built from wide parts.
inline std::u16string Widen(const std::string& asciiPath) {
  std::u16string wide;
  for (const char c : asciiPath) {
    EXPECT_LT(static_cast<unsigned char>(c), 0x80u) << asciiPath;
    wide.push_back(static_cast<char16_t>(c));
  }
  return wide;
}

// Runs the Python script tests/data/<script>, which writes its files into
// `folder`.
inline bool RunDataScript(const std::string& script, const std::string& folder, const std::string& options = "") {
  const std::string command = std::string("/usr/bin/python3 '") + SHEETWALK_SOURCE_DIR + "/tests/data/" + script +
                              "' '" + folder + "'" + options;
  return std::system(command.c_str()) == 0;
}

// Runs tests/data/make_tag_files.py, which has the independent tools write
// the tag reader test files into `folder`.
inline bool MakeTagFiles(const std::string& folder, bool large) {
  return RunDataScript("make_tag_files.py", folder, large ? " --large" : "");
}

inline std::string ReadBytes(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

}  // namespace test_files
