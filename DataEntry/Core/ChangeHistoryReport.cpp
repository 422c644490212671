// The change history read back: as CSV, and checked against itself and the
// rows it records.
#include <map>
#include <tuple>

#include "ChangeHistory.h"
#include "Csv.h"
#include "Text.h"

namespace orv::tarnby {

namespace {

using db::RecordsetType;

std::string Ident(const std::string& name) { return "\"" + name + "\""; }

std::optional<std::string> TextOrNone(const Value& v) {
  if (v.IsNull()) return std::nullopt;
  return v.AsText();
}

}  // namespace

void WriteHistoryCsv(db::Database& d, std::ostream& out, std::optional<int32_t> claimant,
                     const std::optional<std::string>& since) {
  out << "TIME,USER,PROGRAM,TABLE,ROWID,CLAIMANTID,ACTION,FIELD,OLD,NEW\r\n";
  // An empty text is written as an empty cell, as a missing one is.
  const auto cell = [](const std::optional<std::string>& v) {
    return orv::csv::QuoteCell(v && !v->empty() ? v : std::nullopt);
  };
  for (const ChangeRecord& c : ReadChanges(d, claimant, since)) {
    out << cell(c.time) << ',' << cell(c.user) << ',' << cell(c.program) << ',' << cell(c.table)
        << ',' << c.row << ',' << (c.claimant ? std::to_string(*c.claimant) : std::string()) << ','
        << cell(c.action) << ',' << cell(c.field) << ',' << cell(c.old_value) << ','
        << cell(c.new_value) << "\r\n";
  }
}

std::vector<std::string> CheckChangeHistory(db::Database& d) {
  std::vector<std::string> problems;
  if (!d.TableExists(kChangeHistoryTable)) return problems;
  using Key = std::tuple<std::string, int64_t, std::string>;  // table, row, field
  std::map<Key, std::optional<std::string>> last;             // the value each record left
  const auto show = [](const std::optional<std::string>& v) {
    return v ? "\"" + *v + "\"" : std::string("empty");
  };
  for (auto r = d.OpenRecordset(
           "SELECT ID, UPPER(TABLENAME), ROWKEY, UPPER(FIELD), ACTION, CAST(OLDVALUE AS TEXT), "
           "CAST(NEWVALUE AS TEXT) FROM CHANGEHISTORY ORDER BY ID",
           RecordsetType::Snapshot);
       !r->IsEOF(); r->MoveNext()) {
    const Key key{r->Field(1).TextOrEmpty(), r->Field(2).IsNull() ? 0 : r->Field(2).AsInt64(),
                  r->Field(3).TextOrEmpty()};
    const std::optional<std::string> old_value = TextOrNone(r->Field(5));
    const auto it = last.find(key);
    // The first record of a row that is older than the history has nothing to follow.
    if (it != last.end() && it->second != old_value)
      problems.push_back("change record " + r->Field(0).AsText() + ": " + std::get<0>(key) +
                         " row " + std::to_string(std::get<1>(key)) + " " + std::get<2>(key) +
                         " was " + show(old_value) + " before it, but the record before left " +
                         show(it->second));
    last[key] = TextOrNone(r->Field(6));
  }
  for (const auto& [key, value] : last) {
    const auto& [table, row, field] = key;
    bool tracked = false;
    for (const std::string& t : TrackedTables()) tracked = tracked || t == table;
    if (!tracked || !d.TableExists(table)) continue;
    const auto current = d.OpenRecordset("SELECT CAST(" + Ident(field) + " AS TEXT) FROM " +
                                             Ident(table) + " WHERE ID = ?",
                                         RecordsetType::Snapshot, {Value(row)});
    const std::optional<std::string> now =
        current->IsEOF() ? std::nullopt : TextOrNone(current->Field(0));
    if (now != value)
      problems.push_back(table + " row " + std::to_string(row) + " " + field + " is " + show(now) +
                         " but its last recorded change left " + show(value));
  }
  return problems;
}

}  // namespace orv::tarnby
