#include "tools/host_simulator/title_format.h"

namespace host_simulator {
namespace {

class Evaluator {
 public:
  Evaluator(std::wstring_view format, const TagLookup& lookup) : format_(format), lookup_(lookup) {}

  // Evaluates up to the `]` that closes the current section, or to the end.
  // `gotValue` becomes true when a tag in this stretch got a value.
  std::wstring Sequence(bool inSection, bool& gotValue) {
    std::wstring out;
    while (pos_ < format_.size()) {
      const wchar_t c = format_[pos_];
      if (c == L']' && inSection) {
        ++pos_;
        return out;
      }
      if (c == L'[') {
        ++pos_;
        bool sectionGotValue = false;
        std::wstring section = Sequence(true, sectionGotValue);
        if (sectionGotValue) {
          out += section;
          gotValue = true;
        }
        continue;
      }
      if (c == L'%') {
        const size_t close = format_.find(L'%', pos_ + 1);
        if (close != std::wstring_view::npos && close > pos_ + 1) {
          const std::wstring tag(format_.substr(pos_ + 1, close - pos_ - 1));
          pos_ = close + 1;
          if (std::optional<std::wstring> value = lookup_(tag)) {
            out += *value;
            gotValue = true;
          }
          continue;
        }
        if (close == pos_ + 1) ++pos_;  // `%%`
      }
      out += c;
      ++pos_;
    }
    return out;
  }

 private:
  std::wstring_view format_;
  const TagLookup& lookup_;
  size_t pos_ = 0;
};

}  // namespace

std::wstring EvaluateTitleFormat(std::wstring_view format, const TagLookup& lookup) {
  Evaluator evaluator(format, lookup);
  bool gotValue = false;
  return evaluator.Sequence(false, gotValue);
}

}  // namespace host_simulator
