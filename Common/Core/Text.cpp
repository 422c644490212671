#include "Text.h"

#include <algorithm>

namespace orv {

namespace {
char Up(char c) { return (c >= 'a' && c <= 'z') ? static_cast<char>(c - 32) : c; }
char Low(char c) { return (c >= 'A' && c <= 'Z') ? static_cast<char>(c + 32) : c; }
bool IsWhite(char c) { return c == ' ' || c == '\t' || c == '\r' || c == '\n'; }
}  // namespace

std::string UpperAscii(std::string_view s) {
  std::string r(s);
  std::transform(r.begin(), r.end(), r.begin(), Up);
  return r;
}

std::string LowerAscii(std::string_view s) {
  std::string r(s);
  std::transform(r.begin(), r.end(), r.begin(), Low);
  return r;
}

std::string Trim(std::string_view s) {
  const auto b = s.find_first_not_of(' ');
  if (b == std::string_view::npos) return {};
  const auto e = s.find_last_not_of(' ');
  return std::string(s.substr(b, e - b + 1));
}

std::string_view TrimWhiteView(std::string_view s) {
  size_t b = 0, e = s.size();
  while (b < e && IsWhite(s[b])) ++b;
  while (e > b && IsWhite(s[e - 1])) --e;
  return s.substr(b, e - b);
}

std::string TrimWhite(std::string_view s) { return std::string(TrimWhiteView(s)); }

bool IEquals(std::string_view a, std::string_view b) {
  if (a.size() != b.size()) return false;
  for (size_t i = 0; i < a.size(); ++i)
    if (Up(a[i]) != Up(b[i])) return false;
  return true;
}

bool IStartsWith(std::string_view s, std::string_view prefix) {
  return s.size() >= prefix.size() && IEquals(s.substr(0, prefix.size()), prefix);
}

std::string ReplaceAll(std::string s, std::string_view from, std::string_view to) {
  if (from.empty()) return s;
  size_t pos = 0;
  while ((pos = s.find(from, pos)) != std::string::npos) {
    s.replace(pos, from.size(), to);
    pos += to.size();
  }
  return s;
}

}  // namespace orv
