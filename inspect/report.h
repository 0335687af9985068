// The inspector's report of one file: a tree of named fields, written as
// indented text for people or as one JSON object for scripts, with the same
// field names in both.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <utility>
#include <variant>
#include <vector>

class ReportList;

// Text from a file (a name, a sheet's value) as it may go to a terminal:
// control characters escaped as --json escapes them (a backslash, then n, r,
// t, or u and four hex digits), so that no byte of a file reaches the
// terminal as a control sequence.
std::u16string Printable(std::u16string_view text);

class ReportObject {
 public:
  ReportObject& Add(std::string_view name, std::u16string_view text);
  ReportObject& Add(std::string_view name, const char* text);
  ReportObject& Add(std::string_view name, int64_t number);
  ReportObject& Add(std::string_view name, bool flag);
  ReportObject& AddObject(std::string_view name);
  ReportList& AddList(std::string_view name);

  // The value of the field `name`, or null when there is no such field of
  // that kind.
  const std::u16string* FindText(std::string_view name) const;
  const bool* FindFlag(std::string_view name) const;
  const int64_t* FindNumber(std::string_view name) const;
  const ReportObject* FindObject(std::string_view name) const;
  const ReportList* FindList(std::string_view name) const;

  // Indented "name: value" lines, `depth` levels of two spaces in.
  void WriteText(std::u16string& out, int depth) const;
  // The plain fields from the `first` on, as "name: value" joined by "; ".
  void WriteLine(std::u16string& out, std::size_t first) const;
  // The object on one line, UTF-8.
  void WriteJSON(std::string& out) const;

 private:
  using Value = std::variant<std::u16string, int64_t, bool, std::unique_ptr<ReportObject>, std::unique_ptr<ReportList>>;
  template <typename T>
  const T* Find(std::string_view name) const;
  std::vector<std::pair<std::string, Value>> fields;
};

// A list of objects, such as the sources tried or the tracks of a sheet.
class ReportList {
 public:
  ReportObject& Append();
  const std::vector<std::unique_ptr<ReportObject>>& Items() const { return items; }

  void WriteText(std::u16string& out, int depth) const;
  void WriteJSON(std::string& out) const;

 private:
  std::vector<std::unique_ptr<ReportObject>> items;
};
