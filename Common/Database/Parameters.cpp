// Named, typed parameters of stored queries: their declaration, where they
// appear in the SQL text and how they are bound.
#include <cctype>

#include "Detail.h"
#include "Text.h"

namespace orv::db::detail {

namespace {
bool IsNameChar(char c) {
  return std::isalnum(static_cast<unsigned char>(c)) || c == '_' ||
         static_cast<unsigned char>(c) >= 0x80;
}
}  // namespace

std::vector<Parameter> ParseParameters(std::string_view decl) {
  std::vector<Parameter> out;
  size_t start = 0;
  while (start < decl.size()) {
    size_t end = decl.find_first_of(";,", start);
    if (end == std::string_view::npos) end = decl.size();
    std::string part = TrimWhite(decl.substr(start, end - start));
    start = end + 1;
    if (part.empty()) continue;
    Parameter p;
    if (part.front() == '[') {
      const auto close = part.find(']');
      if (close == std::string::npos)
        Raise(dberr::kGeneric, "DAO.QueryDef", "Bad parameter '" + part + "'.");
      p.name = part.substr(1, close - 1);
      part = TrimWhite(part.substr(close + 1));
    } else {
      const auto blank = part.find_first_of(" \t");
      p.name = part.substr(0, blank);
      part = blank == std::string::npos ? std::string() : TrimWhite(part.substr(blank));
    }
    if (!p.name.empty() && (p.name[0] == ':' || p.name[0] == '@')) p.name.erase(0, 1);
    p.type = TypeFromParameterName(part);
    for (const Parameter& q : out) {
      if (IEquals(q.name, p.name)) {
        Raise(dberr::kGeneric, "DAO.QueryDef", "Parameter '" + p.name + "' is declared twice.");
      }
    }
    out.push_back(std::move(p));
  }
  return out;
}

std::vector<std::string> ParameterNamesInSql(std::string_view sql) {
  std::vector<std::string> names;
  for (size_t i = 0; i < sql.size(); ++i) {
    const char c = sql[i];
    if (c == '\'' || c == '"' || c == '`' || c == '[') {  // literal or quoted identifier
      const char close = c == '[' ? ']' : c;
      i = sql.find(close, i + 1);
      if (i == std::string_view::npos) break;
    } else if (c == '-' && i + 1 < sql.size() && sql[i + 1] == '-') {
      i = sql.find('\n', i);
      if (i == std::string_view::npos) break;
    } else if (c == '/' && i + 1 < sql.size() && sql[i + 1] == '*') {
      i = sql.find("*/", i + 2);
      if (i == std::string_view::npos) break;
      ++i;
    } else if ((c == ':' || c == '@' || c == '$') && i + 1 < sql.size() && IsNameChar(sql[i + 1])) {
      size_t j = i + 1;
      while (j < sql.size() && IsNameChar(sql[j])) ++j;
      std::string name(sql.substr(i + 1, j - i - 1));
      bool seen = false;
      for (const std::string& n : names) seen = seen || IEquals(n, name);
      if (!seen) names.push_back(std::move(name));
      i = j - 1;
    }
  }
  return names;
}

void BindParameters(sqlite3_stmt* stmt, const std::vector<Parameter>& params) {
  const int slots = sqlite3_bind_parameter_count(stmt);
  for (int slot = 1; slot <= slots; ++slot) {
    const char* raw = sqlite3_bind_parameter_name(stmt, slot);
    const Parameter* match = nullptr;
    if (raw && raw[0]) {
      const std::string_view name(raw + 1);
      for (const Parameter& p : params) {
        if (IEquals(p.name, name)) {
          match = &p;
          break;
        }
      }
    }
    if (match) {
      BindValueNoCopy(stmt, slot, match->value);
    } else {
      sqlite3_bind_null(stmt, slot);
    }
  }
}

std::vector<std::string> StoredQueryDef::ParameterNames() const {
  std::vector<std::string> names;
  names.reserve(params_.size());
  for (const detail::Parameter& p : params_) names.push_back(p.name);
  return names;
}

detail::Parameter& StoredQueryDef::Find(std::string_view name) {
  if (!name.empty() && (name[0] == ':' || name[0] == '@')) name.remove_prefix(1);
  for (detail::Parameter& p : params_) {
    if (IEquals(p.name, name)) return p;
  }
  RaiseItemNotFound("DAO.Parameters");
}

void StoredQueryDef::SetParameter(std::string_view name, const Value& value) {
  detail::Parameter& p = Find(name);
  p.value = p.type ? ConvertTo(*p.type, value) : value;
}

Value StoredQueryDef::Parameter(std::string_view name) const {
  return const_cast<StoredQueryDef*>(this)->Find(name).value;
}

}  // namespace orv::db::detail
