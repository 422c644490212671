// Helpers for the dust data tests: a scratch folder per test, a copy of the
// fixture to change, and reading whole tables for comparison.
#pragma once

#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "Database.h"
#include "Interfaces.h"

namespace dd_test {

namespace fs = std::filesystem;

inline fs::path Scratch(const std::string& name) {
  const fs::path p =
      fs::temp_directory_path() / ("orvdustdata_" + name + "_" + std::to_string(getpid()));
  fs::remove_all(p);
  fs::create_directories(p);
  return p;
}

inline fs::path CopyFixture(const fs::path& to) {
  fs::create_directories(to.parent_path());
  fs::copy(TARNBY_DUSTDATA_FIXTURE, to, fs::copy_options::recursive);
  return to;
}

inline std::string ReadText(const fs::path& p) {
  std::ifstream in(p, std::ios::binary);
  std::ostringstream s;
  s << in.rdbuf();
  return s.str();
}

inline void WriteText(const fs::path& p, const std::string& text) {
  std::ofstream(p, std::ios::binary) << text;
}

// Replaces line `n` (1-based) of a file (removes it when `line` is empty),
// or appends when n is 0.
inline void SetLine(const fs::path& p, int n, const std::string& line) {
  std::istringstream in(ReadText(p));
  std::vector<std::string> lines;
  for (std::string l; std::getline(in, l);) lines.push_back(l);
  if (n == 0) {
    lines.push_back(line);
  } else if (line.empty()) {
    lines.erase(lines.begin() + (n - 1));
  } else {
    lines.at(static_cast<size_t>(n - 1)) = line;
  }
  std::string out;
  for (const std::string& l : lines) out += l + "\n";
  WriteText(p, out);
}

inline orv::db::DatabasePtr Open(const fs::path& p, bool read_only = true) {
  orv::db::OpenOptions o;
  o.read_only = read_only;
  o.connect = orv::DustDataConnect();
  return orv::db::OpenDatabase(p.string(), o);
}

// Every row of a query, each value as text ("<null>" for null).
inline std::vector<std::vector<std::string>> Rows(orv::db::Database& db, const std::string& sql) {
  std::vector<std::vector<std::string>> out;
  auto rs = db.OpenRecordset(sql, orv::db::RecordsetType::Snapshot);
  for (; !rs->IsEOF(); rs->MoveNext()) {
    std::vector<std::string> row;
    for (int i = 0; i < rs->FieldCount(); ++i) {
      const orv::Value v = rs->Field(i);
      row.push_back(v.IsNull() ? "<null>" : v.AsText());
    }
    out.push_back(row);
  }
  return out;
}

}  // namespace dd_test
