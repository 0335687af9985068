#include "inspect/report.h"

#include <algorithm>
#include <cstdio>

#include "text/text_conversion.h"

namespace {

std::u16string Widen(std::string_view ascii) { return std::u16string(ascii.begin(), ascii.end()); }

void Indent(std::u16string& out, int depth) { out.append(static_cast<std::size_t>(depth) * 2, u' '); }

// A JSON string: UTF-8, with the characters JSON requires escaped. Every
// character is kept: a pair of surrogates is one character of four bytes,
// and a lone surrogate (from a broken UTF-16 file, or a native file name
// byte that is no UTF-8) is written as its \u escape.
const char* ShortEscape(char16_t c) {
  switch (c) {
    case u'"': return "\\\"";
    case u'\\': return "\\\\";
    case u'\n': return "\\n";
    case u'\r': return "\\r";
    case u'\t': return "\\t";
    default: return nullptr;
  }
}

void WriteJSONString(std::string& out, std::u16string_view text) {
  out += '"';
  std::size_t plain = 0;  // the start of the run of characters that need no escape
  const auto flush = [&](std::size_t end) {
    if (end > plain) out += ToUtf8String(text.substr(plain, end - plain));
  };
  for (std::size_t i = 0; i < text.size(); ++i) {
    const char16_t c = text[i];
    const bool high = c >= 0xD800 && c <= 0xDBFF;
    if (high && i + 1 < text.size() && text[i + 1] >= 0xDC00 && text[i + 1] <= 0xDFFF) {
      ++i;
      continue;
    }
    const char* escape = ShortEscape(c);
    if (escape == nullptr && c >= 0x20 && (c < 0xD800 || c > 0xDFFF)) continue;
    flush(i);
    plain = i + 1;
    if (escape != nullptr) {
      out += escape;
    } else {
      char code[8];
      std::snprintf(code, sizeof code, "\\u%04x", static_cast<unsigned>(c));
      out += code;
    }
  }
  flush(text.size());
  out += '"';
}

bool IsControl(char16_t c) { return c < 0x20 || (c >= 0x7F && c <= 0x9F); }

}  // namespace

std::u16string Printable(std::u16string_view text) {
  if (std::none_of(text.begin(), text.end(), IsControl)) return std::u16string(text);
  std::u16string out;
  for (const char16_t c : text) {
    switch (c) {
      case u'\n': out += u"\\n"; continue;
      case u'\r': out += u"\\r"; continue;
      case u'\t': out += u"\\t"; continue;
      default: break;
    }
    if (!IsControl(c)) {
      out += c;
      continue;
    }
    char escape[8];
    std::snprintf(escape, sizeof escape, "\\u%04x", static_cast<unsigned>(c));
    out += Widen(escape);
  }
  return out;
}

ReportObject& ReportObject::Add(std::string_view name, std::u16string_view text) {
  fields.emplace_back(std::string(name), std::u16string(text));
  return *this;
}

ReportObject& ReportObject::Add(std::string_view name, const char* text) {
  return Add(name, std::u16string_view(Widen(text)));
}

ReportObject& ReportObject::Add(std::string_view name, int64_t number) {
  fields.emplace_back(std::string(name), number);
  return *this;
}

ReportObject& ReportObject::Add(std::string_view name, bool flag) {
  fields.emplace_back(std::string(name), flag);
  return *this;
}

ReportObject& ReportObject::AddObject(std::string_view name) {
  auto object = std::make_unique<ReportObject>();
  ReportObject& added = *object;
  fields.emplace_back(std::string(name), std::move(object));
  return added;
}

ReportList& ReportObject::AddList(std::string_view name) {
  auto list = std::make_unique<ReportList>();
  ReportList& added = *list;
  fields.emplace_back(std::string(name), std::move(list));
  return added;
}

template <typename T>
const T* ReportObject::Find(std::string_view name) const {
  for (const auto& [field, value] : fields) {
    if (field == name) return std::get_if<T>(&value);
  }
  return nullptr;
}

const std::u16string* ReportObject::FindText(std::string_view name) const { return Find<std::u16string>(name); }
const bool* ReportObject::FindFlag(std::string_view name) const { return Find<bool>(name); }
const int64_t* ReportObject::FindNumber(std::string_view name) const { return Find<int64_t>(name); }

const ReportObject* ReportObject::FindObject(std::string_view name) const {
  const auto* object = Find<std::unique_ptr<ReportObject>>(name);
  return object != nullptr ? object->get() : nullptr;
}

const ReportList* ReportObject::FindList(std::string_view name) const {
  const auto* list = Find<std::unique_ptr<ReportList>>(name);
  return list != nullptr ? list->get() : nullptr;
}

void ReportObject::WriteText(std::u16string& out, int depth) const {
  for (const auto& [name, value] : fields) {
    Indent(out, depth);
    out += Widen(name);
    out += u':';
    if (const auto* text = std::get_if<std::u16string>(&value)) {
      out += u' ';
      out += Printable(*text);
      out += u'\n';
    } else if (const auto* number = std::get_if<int64_t>(&value)) {
      out += u' ';
      out += Widen(std::to_string(*number));
      out += u'\n';
    } else if (const auto* flag = std::get_if<bool>(&value)) {
      out += *flag ? u" yes\n" : u" no\n";
    } else if (const auto* object = std::get_if<std::unique_ptr<ReportObject>>(&value)) {
      out += u'\n';
      (*object)->WriteText(out, depth + 1);
    } else if (const auto* list = std::get_if<std::unique_ptr<ReportList>>(&value)) {
      out += u'\n';
      (*list)->WriteText(out, depth + 1);
    }
  }
}

void ReportObject::WriteLine(std::u16string& out, std::size_t first) const {
  for (std::size_t i = first; i < fields.size(); ++i) {
    const auto& [name, value] = fields[i];
    if (i > first) out += u"; ";
    out += Widen(name);
    out += u": ";
    if (const auto* text = std::get_if<std::u16string>(&value)) {
      out += Printable(*text);
    } else if (const auto* number = std::get_if<int64_t>(&value)) {
      out += Widen(std::to_string(*number));
    } else if (const auto* flag = std::get_if<bool>(&value)) {
      out += *flag ? u"yes" : u"no";
    }
  }
}

void ReportObject::WriteJSON(std::string& out) const {
  out += '{';
  bool first = true;
  for (const auto& [name, value] : fields) {
    if (!first) out += ',';
    first = false;
    WriteJSONString(out, Widen(name));
    out += ':';
    if (const auto* text = std::get_if<std::u16string>(&value)) {
      WriteJSONString(out, *text);
    } else if (const auto* number = std::get_if<int64_t>(&value)) {
      out += std::to_string(*number);
    } else if (const auto* flag = std::get_if<bool>(&value)) {
      out += *flag ? "true" : "false";
    } else if (const auto* object = std::get_if<std::unique_ptr<ReportObject>>(&value)) {
      (*object)->WriteJSON(out);
    } else if (const auto* list = std::get_if<std::unique_ptr<ReportList>>(&value)) {
      (*list)->WriteJSON(out);
    }
  }
  out += '}';
}

ReportObject& ReportList::Append() {
  items.push_back(std::make_unique<ReportObject>());
  return *items.back();
}

// Each item's first line carries "- " in the indent of the list's level.
void ReportList::WriteText(std::u16string& out, int depth) const {
  const std::size_t marker = static_cast<std::size_t>(depth) * 2;
  for (const auto& item : items) {
    std::u16string text;
    item->WriteText(text, depth + 1);
    if (text.size() > marker) text[marker] = u'-';
    out += text;
  }
}

void ReportList::WriteJSON(std::string& out) const {
  out += '[';
  for (std::size_t i = 0; i < items.size(); ++i) {
    if (i > 0) out += ',';
    items[i]->WriteJSON(out);
  }
  out += ']';
}
