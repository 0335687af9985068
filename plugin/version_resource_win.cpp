// A module's description, read from its version resource.
#include <windows.h>

#include <algorithm>
#include <string>
#include <string_view>
#include <vector>

#include "platform/library.h"
#include "platform/utf16_view_win.h"
#include "plugin/version_resource.h"
#include "plugin/version_text.h"

namespace {

// The text of one string of the version block. VerQueryValueW gives its
// length in characters; the value is read no further than that, whether or
// not the resource terminates it.
bool QueryString(const std::vector<unsigned char>& block, const std::wstring& key, std::u16string& value) {
  void* data = nullptr;
  UINT length = 0;
  if (!VerQueryValueW(block.data(), key.c_str(), &data, &length) || data == nullptr) return false;
  const std::wstring_view text(static_cast<const wchar_t*>(data), length);
  const std::wstring_view::size_type end = text.find(L'\0');
  const std::wstring_view shown = text.substr(0, end);
  value.assign(shown.begin(), shown.end());
  return true;
}

}  // namespace

bool ReadModuleDescription(void* module, std::u16string& text) {
  std::u16string path;
  if (!platform::GetLibraryPath(module, path)) return false;
  DWORD ignored = 0;
  const DWORD size = GetFileVersionInfoSizeW(platform::AsWide(path.c_str()), &ignored);
  if (size == 0) return false;
  std::vector<unsigned char> block(size);
  if (!GetFileVersionInfoW(platform::AsWide(path.c_str()), 0, size, block.data())) return false;

  // The first translation names the string table: language, then code page.
  void* translation = nullptr;
  UINT translationSize = 0;
  if (!VerQueryValueW(block.data(), L"\\VarFileInfo\\Translation", &translation, &translationSize) ||
      translation == nullptr || translationSize < 2 * sizeof(WORD)) {
    return false;
  }
  const auto* words = static_cast<const WORD*>(translation);
  wchar_t prefix[64];
  wsprintfW(prefix, L"\\StringFileInfo\\%04x%04x\\", words[0], words[1]);

  std::u16string company;
  std::u16string product;
  std::u16string version;
  if (!QueryString(block, std::wstring(prefix) + L"CompanyName", company) ||
      !QueryString(block, std::wstring(prefix) + L"ProductName", product) ||
      !QueryString(block, std::wstring(prefix) + L"ProductVersion", version)) {
    return false;
  }
  text = company + u" " + product + u" v" + ShortenVersionText(version);
  return true;
}

