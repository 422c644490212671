// The change history read back: as CSV, and checked against itself and the
// rows it records.
#include <fmt/format.h>

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <map>
#include <optional>
#include <tuple>
#include <vector>

#include "ChangeHistory.h"
#include "Csv.h"
#include "StepProgress.h"
#include "Text.h"

namespace orv::tarnby {

namespace {

using db::RecordsetType;

std::string Ident(const std::string& name) { return "\"" + name + "\""; }

// A number written as its text, whole; none otherwise.
std::optional<double> NumberIn(const std::string& text) {
  if (text.empty()) return std::nullopt;
  char* end = nullptr;
  const double x = std::strtod(text.c_str(), &end);
  if (end != text.c_str() + text.size()) return std::nullopt;
  return x;
}

// Whether two texts a record and a row (or two records) give for a field of
// type `type` are the same value. A number's text depends on the engine
// that wrote it: a file writes a Single field's 0.6 as 0.600000023841858 (the
// single widened) and 15 digits of a Double, a server 0.6 and every digit
// needed, a Currency with four decimals. A history copied from one engine
// to the other holds the first's texts beside the second's.
bool SameValue(std::optional<db::FieldType> type, const std::optional<std::string>& a,
               const std::optional<std::string>& b) {
  if (a == b) return true;
  if (!a || !b || !type) return false;
  const std::optional<double> x = NumberIn(*a), y = NumberIn(*b);
  if (!x || !y) return false;
  switch (*type) {
    case db::FieldType::Single:
      return static_cast<float>(*x) == static_cast<float>(*y);
    case db::FieldType::Double:
      return fmt::format("{:.15g}", *x) == fmt::format("{:.15g}", *y);
    case db::FieldType::Currency:
      return std::llround(*x * 10000) == std::llround(*y * 10000);
    default:
      return *x == *y;  // whole numbers, written "1" or "1.0"
  }
}

// The type of each field of the tracked tables, by table and field in capitals.
std::map<std::string, std::map<std::string, db::FieldType>> FieldTypes(db::Database& d) {
  std::map<std::string, std::map<std::string, db::FieldType>> out;
  for (const std::string& table : TrackedTables()) {
    if (!d.TableExists(table)) continue;
    auto& fields = out[UpperAscii(table)];
    for (const db::FieldDef& f : d.Fields(table)) fields[UpperAscii(f.name)] = f.type;
  }
  return out;
}

std::optional<db::FieldType> TypeOf(
    const std::map<std::string, std::map<std::string, db::FieldType>>& types,
    const std::string& table, const std::string& field) {
  const auto t = types.find(table);
  if (t == types.end()) return std::nullopt;
  const auto f = t->second.find(field);
  if (f == t->second.end()) return std::nullopt;
  return f->second;
}

std::optional<std::string> TextOrNone(const Value& v) {
  if (v.IsNull()) return std::nullopt;
  return v.AsText();
}

}  // namespace

void WriteHistoryCsv(db::Database& d, std::ostream& out, std::optional<int32_t> claimant,
                     const std::optional<std::string>& since, const ProgressFn& progress) {
  out << "TIME,USER,PROGRAM,TABLE,ROWID,CLAIMANTID,ACTION,FIELD,OLD,NEW\r\n";
  // An empty text is written as an empty cell, as a missing one is.
  const auto cell = [](const std::optional<std::string>& v) {
    return orv::csv::QuoteCell(v && !v->empty() ? v : std::nullopt);
  };
  ForEachChange(d, claimant, since, [&](const ChangeRecord& c) {
    out << cell(c.time) << ',' << cell(c.user) << ',' << cell(c.program) << ',' << cell(c.table)
        << ',' << c.row << ',' << (c.claimant ? std::to_string(*c.claimant) : std::string()) << ','
        << cell(c.action) << ',' << cell(c.field) << ',' << cell(c.old_value) << ','
        << cell(c.new_value) << "\r\n";
  }, progress);
}

std::vector<std::string> CheckChangeHistory(db::Database& d, const ProgressFn& progress) {
  std::vector<std::string> problems;
  if (!d.TableExists(kChangeHistoryTable)) return problems;
  std::vector<std::string> tables = TrackedTables();
  std::sort(tables.begin(), tables.end());
  // One statement over the whole history, then one per table.
  StepProgress step(progress, "Checking the change history",
                    1 + static_cast<int64_t>(tables.size()));
  // The records of one row and field, in the order they were written, are
  // compared by the database itself (a window over the history, which it
  // sorts on disk when it must): only what is wrong comes back. The whole
  // history of a national database is tens of millions of records; held
  // here with one look-up per row and field, it took gigabytes and a
  // statement per field.
  const auto show = [](const std::optional<std::string>& v) {
    return v ? "\"" + *v + "\"" : std::string("empty");
  };
  const char* kKey = "UPPER(TABLENAME), COALESCE(ROWKEY, 0), UPPER(FIELD)";
  // Texts that differ are looked at once more here: the same number
  // written by the other engine is not a problem.
  const auto types = FieldTypes(d);
  // A record whose old value is not what the record before it left.
  for (auto r = d.OpenRecordset(
           std::string("SELECT ID, T, R, F, o, p FROM (SELECT ID, UPPER(TABLENAME) AS T, "
                       "COALESCE(ROWKEY, 0) AS R, UPPER(FIELD) AS F, CAST(OLDVALUE AS TEXT) AS o, "
                       "LAG(CAST(NEWVALUE AS TEXT)) OVER w AS p, ROW_NUMBER() OVER w AS n FROM "
                       "CHANGEHISTORY WINDOW w AS (PARTITION BY ") +
               kKey + " ORDER BY ID)) x WHERE n > 1 AND o IS DISTINCT FROM p ORDER BY ID",
           RecordsetType::Snapshot);
       !r->IsEOF(); r->MoveNext()) {
    if (SameValue(TypeOf(types, r->Field(1).TextOrEmpty(), r->Field(3).TextOrEmpty()),
                  TextOrNone(r->Field(4)), TextOrNone(r->Field(5))))
      continue;
    problems.push_back("change record " + r->Field(0).AsText() + ": " + r->Field(1).TextOrEmpty() +
                       " row " + std::to_string(r->Field(2).AsInt64()) + " " +
                       r->Field(3).TextOrEmpty() + " was " + show(TextOrNone(r->Field(4))) +
                       " before it, but the record before left " + show(TextOrNone(r->Field(5))));
  }
  step.Tell(1);
  // A row whose current value is not what its last record left, table by
  // table in the order of their names, then by row and field.
  for (size_t i = 0; i < tables.size(); step.Tell(static_cast<int64_t>(2 + i++))) {
    const std::string& table = tables[i];
    if (!d.TableExists(table)) continue;
    std::string now = "CASE k.F";
    for (const db::FieldDef& f : d.Fields(table))
      now += " WHEN '" + UpperAscii(f.name) + "' THEN CAST(t." + Ident(f.name) + " AS TEXT)";
    now += " END";
    struct Found {
      int64_t row;
      std::string field;
      std::optional<std::string> now, left;
    };
    std::vector<Found> found;
    for (auto r = d.OpenRecordset(
             "SELECT R, F, c, v FROM (SELECT k.R, k.F, " + now + " AS c, k.v FROM (SELECT "
             "COALESCE(ROWKEY, 0) AS R, UPPER(FIELD) AS F, CAST(NEWVALUE AS TEXT) AS v, "
             "ROW_NUMBER() OVER (PARTITION BY COALESCE(ROWKEY, 0), UPPER(FIELD) ORDER BY ID DESC) "
             "AS n FROM CHANGEHISTORY WHERE UPPER(TABLENAME) = ?) k LEFT JOIN " + Ident(table) +
             " t ON t." + Ident("ID") + " = k.R WHERE k.n = 1) x WHERE c IS DISTINCT FROM v",
             RecordsetType::Snapshot, {Value(UpperAscii(table))});
         !r->IsEOF(); r->MoveNext()) {
      Found f{r->Field(0).AsInt64(), r->Field(1).TextOrEmpty(), TextOrNone(r->Field(2)),
              TextOrNone(r->Field(3))};
      if (!SameValue(TypeOf(types, UpperAscii(table), f.field), f.now, f.left))
        found.push_back(std::move(f));
    }
    std::sort(found.begin(), found.end(), [](const Found& a, const Found& b) {
      return std::tie(a.row, a.field) < std::tie(b.row, b.field);
    });
    for (const Found& f : found)
      problems.push_back(table + " row " + std::to_string(f.row) + " " + f.field + " is " +
                         show(f.now) + " but its last recorded change left " + show(f.left));
  }
  step.End();
  return problems;
}

}  // namespace orv::tarnby
