#include "detail/Load.h"

#include <filesystem>
#include <map>
#include <set>

#include "Csv.h"
#include "Numbers.h"
#include "Text.h"

namespace orv::dustdata::detail {
namespace {

namespace fs = std::filesystem;
using orv::InputError;
using orv::csv::CsvReader;

std::string Quoted(const std::string& s) { return "\"" + s + "\""; }

Value ReadText(const CsvReader& r, const Column& c) {
  std::optional<std::string> cell = r.Get(c.name);
  if (cell && c.trim) {
    *cell = Trim(*cell);
    if (cell->empty()) cell.reset();
  }
  if (!cell) return {};
  // The apostrophe export puts before a text a spreadsheet would evaluate.
  *cell = orv::csv::UnprotectFormula(std::move(*cell));
  if (c.size > 0 && orv::csv::Utf8Length(*cell) > c.size) {
    throw r.Error(c.name,
                  Quoted(*cell) + " is longer than " + std::to_string(c.size) + " characters");
  }
  if (!c.allowed.empty()) {
    bool ok = false;
    std::string list;
    for (const std::string& a : c.allowed) {
      ok = ok || *cell == a;
      list += (list.empty() ? "" : ", ") + Quoted(a);
    }
    if (!ok) throw r.Error(c.name, Quoted(*cell) + " is not one of " + list);
  }
  return Value(*cell);
}

Value ReadCell(const CsvReader& r, const Column& c) {
  Value v;
  if (c.surface_flag) {
    if (auto x = r.GetBool(c.name)) {
      v = c.type == ColumnType::Text ? Value(*x ? "Y" : "N") : Value(*x);
    }
    if (v.IsNull() && !c.nullable) throw r.Error(c.name, "a value is required");
    return v;
  }
  switch (c.type) {
    case ColumnType::Long:
      if (auto x = r.GetInt32(c.name)) v = Value(*x);
      break;
    case ColumnType::Int16:
      if (auto x = r.GetInt16(c.name)) v = Value(*x);
      break;
    case ColumnType::Single:
      if (auto x = r.GetSingle(c.name)) v = Value(*x);
      break;
    case ColumnType::YesNo:
      if (auto x = r.GetBool(c.name)) v = Value(*x);
      break;
    case ColumnType::Text:
      v = ReadText(r, c);
      break;
  }
  if (v.IsNull() && !c.nullable) throw r.Error(c.name, "a value is required");
  return v;
}

// The key a unique column compares by: text ignoring case.
std::string UniqueKey(const Column& c, const Value& v) {
  return c.type == ColumnType::Text ? UpperAscii(v.AsText()) : v.AsText();
}

size_t IndexOf(const Table& t, const char* column) {
  for (size_t i = 0; i < t.columns.size(); ++i) {
    if (IEquals(t.columns[i].name, column)) return i;
  }
  return 0;
}

void CheckRow(const CsvReader& r, const Table& t, const LoadedRow& row,
              std::vector<std::map<std::string, int64_t>>& seen) {
  for (size_t i = 0; i < t.columns.size(); ++i) {
    const Column& c = t.columns[i];
    if (!c.unique || row.values[i].IsNull()) continue;
    const auto [it, added] = seen[i].emplace(UniqueKey(c, row.values[i]), r.Line());
    if (!added) {
      throw r.Error(c.name, Quoted(row.values[i].AsText()) + " appears twice (also on line " +
                                std::to_string(it->second) + ")");
    }
  }
  for (const auto& [from, to] : t.year_ranges) {
    const Value& s = row.values[IndexOf(t, from)];
    const Value& e = row.values[IndexOf(t, to)];
    if (s.IsNull() || e.IsNull() || s.AsInt64() <= 0 || e.AsInt64() <= 0) continue;
    if (e.AsInt64() < s.AsInt64()) {
      throw r.Error(to,
                    std::string(to) + " " + e.AsText() + " is before " + from + " " + s.AsText());
    }
  }
}

LoadedTable LoadTable(const std::string& dir, const Table& t, int64_t& bytes_done,
                      int64_t bytes_total, const ProgressFn& progress) {
  LoadedTable out{&t, (fs::path(dir) / t.file).string(), false, {}};
  if (!fs::exists(out.path)) {
    if (t.optional) return out;
    throw InputError(out.path, 0, {}, "the file is missing");
  }
  out.present = true;
  CsvReader r(out.path, t.ColumnNames());
  for (const Column& c : t.columns) {
    if (!c.nullable && !r.HasColumn(c.name))
      throw InputError(out.path, 1, c.name, "the column is missing");
  }
  std::vector<std::map<std::string, int64_t>> seen(t.columns.size());
  const std::string step = std::string("Reading ") + t.file;
  while (r.Next()) {
    LoadedRow row{r.Line(), {}};
    row.values.reserve(t.columns.size());
    for (const Column& c : t.columns) row.values.push_back(ReadCell(r, c));
    CheckRow(r, t, row, seen);
    out.rows.push_back(std::move(row));
    if (progress && (out.rows.size() % 512) == 0) {
      progress(step, bytes_done + r.BytesRead(), bytes_total);
    }
  }
  bytes_done += r.Size();
  return out;
}

void CheckReferences(const std::vector<LoadedTable>& tables) {
  std::map<std::string, std::set<int64_t>> ids;
  for (const LoadedTable& lt : tables) {
    const size_t id = IndexOf(*lt.table, "ID");
    if (!IEquals(lt.table->columns[id].name, "ID")) continue;
    for (const LoadedRow& row : lt.rows) ids[lt.table->name].insert(row.values[id].AsInt64());
  }
  for (const LoadedTable& lt : tables) {
    for (size_t i = 0; i < lt.table->columns.size(); ++i) {
      const Column& c = lt.table->columns[i];
      if (c.references == nullptr) continue;
      const std::set<int64_t>& targets = ids[c.references];
      for (const LoadedRow& row : lt.rows) {
        const Value& v = row.values[i];
        if (v.IsNull() || (c.zero_is_none && v.AsInt64() <= 0)) continue;
        if (targets.count(v.AsInt64()) == 0) {
          throw InputError(
              lt.path, row.line, c.name,
              v.AsText() + " is not the ID of any row of " + BaseTable(c.references).file);
        }
      }
    }
  }
}

}  // namespace

std::vector<LoadedTable> LoadSource(const std::string& source_dir, const ProgressFn& progress) {
  if (!fs::is_directory(source_dir)) {
    throw InputError(source_dir, 0, {}, "no such folder of CSV files");
  }
  int64_t total = 0;
  for (const Table& t : BaseTables()) {
    std::error_code ec;
    const auto size = fs::file_size(fs::path(source_dir) / t.file, ec);
    if (!ec) total += static_cast<int64_t>(size);
  }
  int64_t done = 0;
  std::vector<LoadedTable> tables;
  for (const Table& t : BaseTables())
    tables.push_back(LoadTable(source_dir, t, done, total, progress));
  CheckReferences(tables);
  return tables;
}

}  // namespace orv::dustdata::detail
