// The player's title format language, as far as the plug-in's tags need it.
#pragma once

#include <functional>
#include <optional>
#include <string>
#include <string_view>

namespace host_simulator {

// Gives the value of one tag, or nothing when the tag has no value.
using TagLookup = std::function<std::optional<std::wstring>(const std::wstring& tag)>;

// Evaluates `format` from left to right:
//  - `%name%` is replaced by the value of tag `name` (nothing when it has none);
//    `%%` and a `%` without a closing one are a literal `%`;
//  - `[ ... ]` is an optional section: its text shows only when at least one
//    tag inside it (nested sections included) got a value, an empty value
//    counting as a value. An unclosed section runs to the end of the format;
//    a `]` outside any section is literal;
//  - `$if2(a,b)` is `a` where a tag in `a` got a value, else `b`: the title
//    that falls back to the player's own where the plug-in's tags are empty
//    (a `,` or `)` inside a section of `a` or `b` is literal);
//  - every other character is literal.
// Every tag is looked up once per occurrence, in order, shown or not.
std::wstring EvaluateTitleFormat(std::wstring_view format, const TagLookup& lookup);

}  // namespace host_simulator
