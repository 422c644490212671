// Text helpers in the system's sense: ASCII upper case, trimming of blanks,
// comparison ignoring case.
#pragma once

#include <string>
#include <string_view>

namespace orv {

std::string UpperAscii(std::string_view s);
std::string LowerAscii(std::string_view s);
// Removes blanks (spaces) at both ends.
std::string Trim(std::string_view s);
// Removes spaces, tabs, carriage returns and line feeds at both ends.
std::string TrimWhite(std::string_view s);
// The same without a copy: a view of `s`.
std::string_view TrimWhiteView(std::string_view s);
bool IEquals(std::string_view a, std::string_view b);
bool IStartsWith(std::string_view s, std::string_view prefix);
// Replaces every occurrence of `from` (not empty) by `to`.
std::string ReplaceAll(std::string s, std::string_view from, std::string_view to);

}  // namespace orv
