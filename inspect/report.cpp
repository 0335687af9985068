#include "inspect/report.h"

#include <cstdio>

#include "tags/text_conversion.h"

namespace {

std::u16string Widen(std::string_view ascii) { return std::u16string(ascii.begin(), ascii.end()); }

void Indent(std::u16string& out, int depth) { out.append(static_cast<std::size_t>(depth) * 2, u' '); }

// A JSON string: UTF-8, with the characters JSON requires escaped. A lone
// surrogate (from a broken UTF-16 file) cannot be UTF-8 and becomes U+FFFD.
void WriteJSONString(std::string& out, std::u16string_view text) {
  out += '"';
  std::u16string clean;
  clean.reserve(text.size());
  for (std::size_t i = 0; i < text.size(); ++i) {
    const char16_t c = text[i];
    const bool high = c >= 0xD800 && c <= 0xDBFF;
    const bool low = c >= 0xDC00 && c <= 0xDFFF;
    if (high && i + 1 < text.size() && text[i + 1] >= 0xDC00 && text[i + 1] <= 0xDFFF) {
      clean += c;
      clean += text[++i];
    } else {
      clean += high || low ? u'\uFFFD' : c;
    }
  }
  // ToUtf8String stops at a first NUL: the text is converted piece by piece.
  for (const char16_t c : clean) {
    switch (c) {
      case u'"': out += "\\\""; continue;
      case u'\\': out += "\\\\"; continue;
      case u'\n': out += "\\n"; continue;
      case u'\r': out += "\\r"; continue;
      case u'\t': out += "\\t"; continue;
      default: break;
    }
    if (c < 0x20) {
      char escape[8];
      std::snprintf(escape, sizeof escape, "\\u%04x", static_cast<unsigned>(c));
      out += escape;
    } else {
      out += ToUtf8String(std::u16string_view(&c, 1));
    }
  }
  out += '"';
}

}  // namespace

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

void ReportObject::WriteText(std::u16string& out, int depth) const {
  for (const auto& [name, value] : fields) {
    Indent(out, depth);
    out += Widen(name);
    out += u':';
    if (const auto* text = std::get_if<std::u16string>(&value)) {
      out += u' ';
      out += *text;
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
