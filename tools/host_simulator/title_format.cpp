#include "tools/host_simulator/title_format.h"

namespace host_simulator {
namespace {

class Evaluator {
 public:
  Evaluator(std::wstring_view format, const TagLookup& lookup) : format_(format), lookup_(lookup) {}

  // Evaluates up to the first of `ends` outside sections and functions
  // (left for the caller), or to the end. `gotValue` becomes true when a
  // tag in this stretch got a value.
  std::wstring Sequence(std::wstring_view ends, bool& gotValue) {
    std::wstring out;
    while (pos_ < format_.size()) {
      const wchar_t c = format_[pos_];
      if (ends.find(c) != std::wstring_view::npos) return out;
      if (c == L'[') {
        ++pos_;
        bool sectionGotValue = false;
        std::wstring section = Sequence(L"]", sectionGotValue);
        if (pos_ < format_.size()) ++pos_;
        if (sectionGotValue) {
          out += section;
          gotValue = true;
        }
        continue;
      }
      if (format_.substr(pos_).starts_with(L"$if2(")) {
        pos_ += 5;
        bool firstGotValue = false;
        bool secondGotValue = false;
        const std::wstring first = Sequence(L",)", firstGotValue);
        std::wstring second;
        if (pos_ < format_.size() && format_[pos_] == L',') {
          ++pos_;
          second = Sequence(L")", secondGotValue);
        }
        if (pos_ < format_.size()) ++pos_;
        out += firstGotValue ? first : second;
        gotValue = gotValue || firstGotValue || secondGotValue;
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
  return evaluator.Sequence(L"", gotValue);
}

}  // namespace host_simulator
