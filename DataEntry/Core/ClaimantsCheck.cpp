// tarnby-claimants check: structure level, row counts and inconsistencies.
#include <map>
#include <optional>

#include "ChangeHistory.h"
#include "ClaimantsCsv.h"
#include "Database.h"
#include "OrvError.h"
#include "SafeFiles.h"
#include "StepProgress.h"
#include "Text.h"
#include "modTarnbyDatabase.h"

namespace orv::claimants {

namespace {

int64_t Count(db::Database& d, const std::string& sql) {
  auto rs = d.OpenRecordset(sql, db::RecordsetType::Snapshot);
  return rs->IsEOF() ? 0 : rs->Field(0).AsInt64();
}

// Each row of `sql` (one text column) becomes a problem.
void Collect(db::Database& d, const std::string& sql, std::vector<std::string>& problems) {
  auto rs = d.OpenRecordset(sql, db::RecordsetType::Snapshot);
  for (; !rs->IsEOF(); rs->MoveNext()) problems.push_back(rs->Field(0).AsText());
}

// The stored queries the structure itself defines at `level`, by name in
// capitals: those of a new database of that level. None when it cannot be
// made.
std::map<std::string, std::string> OwnQueries(int16_t level) {
  std::map<std::string, std::string> own;
  try {
    const orv::files::PrivateTempDir dir("tarnby-check");
    const std::string path = dir.Path() + "/own.db";
    tarnby::CreateClaimantDatabase(path, level);
    const db::DatabasePtr d = db::OpenDatabase(path);
    for (const std::string& q : d->QueryNames()) own[UpperAscii(q)] = d->QueryDefs(q)->SQL();
    d->Close();
  } catch (const std::exception&) {
    own.clear();
  }
  return own;
}

// The program's own action queries: run by a store, not by a check.
bool IsActionQueryName(const std::string& name) {
  for (const char* q : {"qAppendPensionResults", "qUpdatePensionResults"}) {
    if (IEquals(name, q)) return true;
  }
  return false;
}

}  // namespace

CheckReport CheckDatabase(const std::string& db_path, const db::QueryBudget& budget,
                          const ProgressFn& progress) {
  // Opened without the program's refusal of foreign objects, to list them.
  db::OpenOptions read_only;
  read_only.read_only = true;
  read_only.kind = db::DatabaseKind::Claimant;
  read_only.query_budget = budget;
  read_only.check_progress = tarnby::WholeFileCheckProgress(progress);
  db::DatabasePtr d = db::OpenDatabase(db_path, read_only);
  CheckReport r;
  for (const std::string& o : tarnby::ForeignObjects(*d)) {
    r.problems.push_back(o + ": not part of the claimant database's structure");
  }
  if (!d->IsServer()) {  // a server keeps its own storage sound
    // One statement, whose progress the database does not tell.
    tarnby::StepProgress step(progress, "Checking the file's indexes", 1);
    auto rs = d->OpenRecordset("PRAGMA integrity_check", db::RecordsetType::Snapshot);
    for (; !rs->IsEOF(); rs->MoveNext()) {
      const std::string line = rs->Field(0).AsText();
      if (line != "ok") r.problems.push_back("integrity check: " + line);
    }
    step.End();
  }
  bool base_ok = true;
  for (const char* t : {"PARMS", "CLAIMANT", "WORKHISTORY", "SMOKEHISTORY"}) {
    if (!d->TableExists(t)) {
      r.problems.push_back(std::string("the table ") + t + " is missing");
      base_ok = false;
    }
  }
  if (d->TableExists("PARMS")) {
    r.level = tarnby::StructureLevel(*d);
    auto rs = d->OpenRecordset("SELECT Value FROM PARMS WHERE PARM='VERSION'",
                               db::RecordsetType::Snapshot);
    r.base_version = rs->IsEOF() ? "(none)" : rs->Field(0).TextOrEmpty();
  }
  for (const char* t : {"CLAIMANT", "WORKHISTORY", "SMOKEHISTORY", "USERFACTOR", "PENSIONDATA",
                        "PENSIONRESULTS"}) {
    if (d->TableExists(t)) r.row_counts.emplace_back(t, Count(*d, std::string("SELECT COUNT(*) FROM ") + t));
  }
  if (base_ok) {
    tarnby::StepProgress step(progress, "Checking the histories' claimants", 2);
    int64_t done = 0;
    for (const char* t : {"WORKHISTORY", "SMOKEHISTORY"}) {
      Collect(*d,
              std::string("SELECT '") + t + " entry ' || h.ID || ': claimant ' || h.CLAIMANTID || " +
                  "' does not exist' FROM " + t +
                  " h WHERE NOT EXISTS (SELECT 1 FROM CLAIMANT c WHERE c.ID = h.CLAIMANTID) "
                  "ORDER BY h.ID",
              r.problems);
      step.Tell(++done);
    }
    step.End();
  }
  if (base_ok) {
    // Every stored query the program opens to read runs once, under the
    // budget of a query from a file: one another program changed to write,
    // attach a file, never end or fill memory is reported here, naming it.
    // (The action queries, which write, run only when the program stores.)
    // On a file, a query of the structure's own text that goes over the
    // budget is only large at this database's size (a search with no filter
    // over every claimant): not a change another program made. (A server's
    // queries are written in its own dialect, which a new file's are not
    // to be compared with: there every stop is still counted.)
    std::optional<std::map<std::string, std::string>> own;
    const std::vector<std::string> queries = d->QueryNames();
    tarnby::StepProgress step(progress, "Running the stored queries",
                              static_cast<int64_t>(queries.size()));
    for (size_t i = 0; i < queries.size(); step.Tell(static_cast<int64_t>(++i))) {
      const std::string& q = queries[i];
      if (IsActionQueryName(q)) continue;
      try {
        d->QueryDefs(q)->OpenRecordset(db::RecordsetType::Snapshot);
      } catch (const OrvError& e) {
        if (e.Number() == db::dberr::kQueryBudget && !d->IsServer()) {
          if (!own) own = OwnQueries(r.level);
          const auto it = own->find(UpperAscii(q));
          if (it != own->end() && it->second == d->QueryDefs(q)->SQL()) continue;
        }
        const bool named = e.Number() == db::dberr::kNoPermission ||
                           e.Number() == db::dberr::kQueryBudget ||
                           e.Number() == db::dberr::kBrokenQuery;
        r.problems.push_back(named ? e.Description()
                                   : "the stored query " + q + ": " + e.Description());
      }
    }
    step.End();
  }
  // Values another program stored that do not fit their field: text in a
  // number or yes/no field, which the program cannot read. (A server's
  // column types never hold such a value.)
  std::vector<std::pair<std::string, std::string>> numeric;  // table, field
  for (const char* t : {"CLAIMANT", "WORKHISTORY", "SMOKEHISTORY", "USERFACTOR", "PENSIONDATA",
                        "PENSIONRESULTS"}) {
    if (d->IsServer() || !d->TableExists(t)) continue;
    for (const db::FieldDef& f : d->Fields(t)) {
      if (f.type == db::FieldType::Text || f.type == db::FieldType::Memo ||
          f.type == db::FieldType::DateTime)
        continue;
      numeric.emplace_back(t, f.name);
    }
  }
  if (!numeric.empty()) {
    tarnby::StepProgress step(progress, "Checking the fields' values",
                              static_cast<int64_t>(numeric.size()));
    for (size_t i = 0; i < numeric.size(); step.Tell(static_cast<int64_t>(++i))) {
      const auto& [t, field] = numeric[i];
      const std::string q = "\"" + field + "\"";
      Collect(*d,
              "SELECT '" + t + " entry ' || _rowid_ || ': " + field + " holds the text ' || quote(" +
                  q + ") || ', not a number' FROM " + t + " WHERE typeof(" + q +
                  ") IN ('text', 'blob') ORDER BY _rowid_",
              r.problems);
    }
    step.End();
  }
  if (d->TableExists("USERFACTOR")) {
    Collect(*d,
            "SELECT 'USERFACTOR ' || ID || ': a user-defined factor ID below 10000' "
            "FROM USERFACTOR WHERE ID < 10000 ORDER BY ID",
            r.problems);
    if (base_ok) {
      Collect(*d,
              "SELECT 'WORKHISTORY entry ' || h.ID || ': user-defined factor ' || f.X || "
              "' does not exist' FROM (SELECT ID, JOBFACTORID AS X FROM WORKHISTORY UNION ALL "
              "SELECT ID, RESPFACTORID FROM WORKHISTORY) f JOIN WORKHISTORY h ON h.ID = f.ID "
              "WHERE f.X >= 10000 AND NOT EXISTS (SELECT 1 FROM USERFACTOR u WHERE u.ID = f.X) "
              "ORDER BY h.ID",
              r.problems);
    }
  }
  for (const std::string& p : tarnby::CheckChangeHistory(*d, progress))
    r.problems.push_back("change history: " + p);
  d->Close();
  return r;
}

std::vector<std::string> FormatCheckReport(const CheckReport& r) {
  std::vector<std::string> lines;
  lines.push_back("Structure level: " + std::to_string(r.level) +
                  (r.level < tarnby::kLatestStructureLevel
                       ? " (below " + std::to_string(tarnby::kLatestStructureLevel) +
                             ": run upgrade)"
                       : " (latest)"));
  lines.push_back("Base version: " + r.base_version);
  for (const auto& [table, rows] : r.row_counts) {
    lines.push_back(table + ": " + std::to_string(rows) + " rows");
  }
  if (r.problems.empty()) {
    lines.push_back("No inconsistency found.");
  } else {
    lines.push_back(std::to_string(r.problems.size()) + " inconsistencies:");
    for (const std::string& p : r.problems) lines.push_back("  " + p);
  }
  return lines;
}

}  // namespace orv::claimants
