// tarnby-claimants copy: a whole claimant database from a file or a server
// to a file or a server, at its structure level, written in one transaction
// on the destination and then compared row by row with the source.
#include <filesystem>
#include <map>
#include <optional>

#include "ChangeHistory.h"
#include "ClaimantsCsv.h"
#include "Database.h"
#include "InputError.h"
#include "OrvError.h"
#include "StepProgress.h"
#include "Text.h"
#include "modTarnbyDatabase.h"

namespace orv::claimants {

namespace {

int64_t Rows(db::Database& d, const std::string& table) {
  auto rs = d.OpenRecordset("SELECT COUNT(*) FROM " + table, db::RecordsetType::Snapshot);
  return rs->Field(0).AsInt64();
}

// The rows of a table in the order of its fields, first field first.
db::RecordsetPtr Ordered(db::Database& d, const std::string& table,
                         const std::vector<db::FieldDef>& fields) {
  std::string order;
  for (const db::FieldDef& f : fields) {
    if (f.type == db::FieldType::Memo) continue;  // not every engine orders long text
    order += (order.empty() ? "\"" : ", \"") + f.name + "\"";
  }
  return d.OpenRecordset("SELECT * FROM \"" + table + "\"" + (order.empty() ? "" : " ORDER BY " + order),
                         db::RecordsetType::Snapshot);
}

}  // namespace

CopyReport CopyDatabase(const std::string& source, const std::string& destination, bool replace,
                        const ProgressFn& progress) {
  db::DatabasePtr src = tarnby::OpenForReading(source);
  const int16_t level = tarnby::StructureLevel(*src);
  std::error_code ec;
  const bool exists = db::IsServerPath(destination)
                          ? [&] {
                              try {
                                tarnby::OpenClaimantDatabase(destination)->Close();
                                return true;
                              } catch (const OrvError& e) {
                                // An empty server database is made into one.
                                if (e.Description().find("not a database of this system") ==
                                    std::string::npos)
                                  throw;
                                return false;
                              }
                            }()
                          : std::filesystem::exists(destination, ec);
  if (!exists) tarnby::CreateClaimantDatabase(destination, level);
  db::DatabasePtr dst = tarnby::OpenClaimantDatabase(destination);
  if (exists) {
    if (tarnby::StructureLevel(*dst) != level) {
      throw InputError(destination, 0, "",
                       "it is at structure level " + std::to_string(tarnby::StructureLevel(*dst)) +
                           ", the source at " + std::to_string(level) +
                           "; copy into a new database");
    }
    if (dst->TableExists("CLAIMANT") && Rows(*dst, "CLAIMANT") > 0 && !replace) {
      throw InputError(destination, 0, "",
                       "it already holds claimants; give --replace to write over them");
    }
  }

  CopyReport report;
  const std::vector<std::string> tables = src->TableNames();
  std::map<std::string, int64_t> copied;  // rows of each table written
  std::optional<tarnby::StepProgress> writing;  // the commit, then a server's statistics
  dst->BeginTrans();
  try {
    // The source's change history comes along as it is: the rows copied
    // leave no records of their own, and a replaced history goes.
    tarnby::SuspendChangeRecording(*dst);
    for (const std::string& table : tables) {
      if (!dst->TableExists(table)) continue;
      const std::vector<db::FieldDef> fields = src->Fields(table);
      std::string cols, marks;
      for (const db::FieldDef& f : fields) {
        cols += (cols.empty() ? "\"" : ", \"") + f.name + "\"";
        marks += marks.empty() ? "?" : ", ?";
      }
      tarnby::StepProgress step(progress, "Copying " + table, progress ? Rows(*src, table) : 0);
      dst->Execute("DELETE FROM \"" + table + "\"");
      const std::string insert = "INSERT INTO \"" + table + "\" (" + cols + ") VALUES (" + marks + ")";
      auto rs = Ordered(*src, table, fields);
      std::vector<Value> values(fields.size());
      int64_t rows = 0;
      for (; !rs->IsEOF(); rs->MoveNext()) {
        for (size_t i = 0; i < fields.size(); ++i) values[i] = rs->Field(static_cast<int>(i));
        dst->Execute(insert, values);
        ++rows;
        step.Add();
      }
      ContinueCounters(*dst, table);
      step.End();
      copied[table] = rows;
      report.rows += rows;
      ++report.tables;
    }
    tarnby::ResumeChangeRecording(*dst);
    writing.emplace(progress, "Writing the copy", 2);
    dst->CommitTrans();
  } catch (...) {
    try {
      dst->Rollback();
    } catch (...) {
      // The failure in hand is the one to report.
    }
    throw;
  }

  writing->Tell(1);
  tarnby::RefreshStatistics(*dst, tables);
  writing->End();

  // Every row again, from both, compared value by value.
  for (const std::string& table : tables) {
    if (!dst->TableExists(table)) continue;
    const std::vector<db::FieldDef> fields = src->Fields(table);
    // Told before the rows are asked for: each engine sorts them first.
    tarnby::StepProgress step(progress, "Comparing " + table, copied[table]);
    auto a = Ordered(*src, table, fields);
    auto b = Ordered(*dst, table, fields);
    int64_t row = 0;
    for (; !a->IsEOF() && !b->IsEOF(); a->MoveNext(), b->MoveNext(), ++row, step.Add()) {
      for (const db::FieldDef& f : fields) {
        if (!(a->Field(f.name) == b->Field(f.name))) {
          throw OrvError(3000, "CopyDatabase",
                         "The copy differs from the source in " + table + ", row " +
                             std::to_string(row + 1) + ", field " + f.name + ": '" +
                             a->Field(f.name).TextOrEmpty() + "' against '" +
                             b->Field(f.name).TextOrEmpty() + "'.");
        }
      }
    }
    if (!a->IsEOF() || !b->IsEOF()) {
      throw OrvError(3000, "CopyDatabase", "The copy of " + table + " has another number of rows.");
    }
    step.End();
  }
  report.level = level;
  dst->Close();
  src->Close();
  return report;
}

void ContinueCounters(db::Database& d, const std::string& table) {
  if (!d.IsServer()) return;
  for (const db::FieldDef& f : d.Fields(table)) {
    if (!f.auto_increment) continue;
    // Never back: a number given before and deleted since is not given again.
    d.Execute("SELECT setval(s, GREATEST(COALESCE((SELECT max(\"" + f.name + "\") FROM \"" +
                  table + "\"), 0), COALESCE(pg_sequence_last_value(s::regclass), 0)) + 1, false) "
                  "FROM (SELECT pg_get_serial_sequence(?, ?) AS s) AS q",
              {Value(LowerAscii(table)), Value(LowerAscii(f.name))});
  }
}

}  // namespace orv::claimants
