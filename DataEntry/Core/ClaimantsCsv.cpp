// Import and export of claimant folders.
#include "ClaimantsCsv.h"

#include <filesystem>
#include <map>
#include <optional>
#include <set>
#include <system_error>

#include "Csv.h"
#include "Database.h"
#include "Numbers.h"
#include "OrvError.h"
#include "SafeFiles.h"
#include "StepProgress.h"
#include "Text.h"
#include "UserFactor.h"
#include "modTarnbyDatabase.h"

namespace orv::claimants {

namespace {

namespace fs = std::filesystem;
using db::FieldDef;
using db::FieldType;
using csv::Cell;
using csv::CsvReader;
using csv::CsvWriter;
using orv::InputError;

// The files of a folder, in the order they are read and written.
struct TableFile {
  const char* table;
  const char* file;
  bool optional;
};
constexpr TableFile kFiles[] = {
    {"CLAIMANT", "claimants.csv", false},
    {"WORKHISTORY", "work_history.csv", false},
    {"SMOKEHISTORY", "smoke_history.csv", false},
    {"USERFACTOR", "user_factors.csv", true},
};

bool IsDate(const std::string& s) {
  auto digits = [&s](size_t from, size_t n) {
    for (size_t i = from; i < from + n; ++i) {
      if (i >= s.size() || s[i] < '0' || s[i] > '9') return false;
    }
    return true;
  };
  const bool date = s.size() >= 10 && digits(0, 4) && s[4] == '-' && digits(5, 2) &&
                    s[7] == '-' && digits(8, 2);
  if (!date) return false;
  if (s.size() == 10) return true;
  return s.size() == 19 && (s[10] == ' ' || s[10] == 'T') && digits(11, 2) && s[13] == ':' &&
         digits(14, 2) && s[16] == ':' && digits(17, 2);
}

// The current record's cell for `f`, converted to the field's type.
Value CellValue(const CsvReader& csv, const FieldDef& f) {
  const Cell cell = csv.Get(f.name);
  if (!cell) {
    if (f.required && !f.auto_increment) throw csv.Error(f.name, "a value is required");
    return Value();
  }
  switch (f.type) {
    case FieldType::Long:
      return Value(*csv.GetInt32(f.name));
    case FieldType::Integer:
      return Value(*csv.GetInt16(f.name));
    case FieldType::Single:
      return Value(*csv.GetSingle(f.name));
    case FieldType::Double:
    case FieldType::Currency:
      try {
        return Value(ParseNumber(*cell));
      } catch (const OrvError&) {
        throw csv.Error(f.name, "not a number: \"" + *cell + "\"");
      }
    case FieldType::YesNo:
      return Value(*csv.GetBool(f.name));
    case FieldType::DateTime:
      if (!IsDate(*cell)) throw csv.Error(f.name, "not a date (yyyy-mm-dd [hh:mm:ss]): \"" + *cell + "\"");
      return Value(*cell);
    case FieldType::Text:
    case FieldType::Memo: {
      // The apostrophe export puts before a text a spreadsheet would evaluate.
      const std::string text = csv::UnprotectFormula(*cell);
      if (text.empty() && !f.allow_zero_length) throw csv.Error(f.name, "may not be empty");
      if (f.type == FieldType::Text && f.size > 0 && csv::Utf8Length(text) > f.size) {
        throw csv.Error(f.name, "longer than " + std::to_string(f.size) + " characters");
      }
      return Value(text);
    }
  }
  return Value(*cell);
}

std::string QuoteName(const std::string& name) { return "\"" + name + "\""; }

bool IsRowFault(const OrvError& e) {
  switch (e.Number()) {
    case db::dberr::kDuplicateKey:
    case db::dberr::kFieldTooSmall:
    case db::dberr::kNumericOverflow:
    case err::kTypeMismatch:
    case err::kOverflow:
      return true;
    default:
      // A CHECK, NOT NULL or foreign constraint of the table.
      return e.Number() == db::dberr::kGeneric &&
             e.Description().find("constraint failed") != std::string::npos;
  }
}

// Reads one file and adds its rows; `check` sees each row before it is
// added (field name -> value) and may throw an InputError. `progress` is
// told the bytes of the file read.
template <typename Check>
int64_t ImportFile(db::Database& d, const std::string& path, const char* table,
                   const ProgressFn& progress, Check check) {
  const std::vector<FieldDef> fields = d.Fields(table);
  std::vector<std::string> names;
  for (const FieldDef& f : fields) names.push_back(f.name);
  CsvReader csv(path, names);
  std::vector<const FieldDef*> present;
  std::string columns, slots;
  for (const FieldDef& f : fields) {
    if (!csv.HasColumn(f.name)) {
      if (f.required && !f.auto_increment) {
        throw InputError(path, 1, f.name, "the column is required");
      }
      continue;
    }
    present.push_back(&f);
    columns += (columns.empty() ? "" : ", ") + QuoteName(f.name);
    slots += slots.empty() ? "?" : ", ?";
  }
  if (present.empty()) return 0;
  const std::string sql =
      "INSERT INTO " + QuoteName(table) + " (" + columns + ") VALUES (" + slots + ")";
  int64_t rows = 0;
  tarnby::StepProgress step(progress, "Importing " + fs::path(path).filename().string(), csv.Size());
  while (csv.Next()) {
    std::vector<Value> values;
    std::map<std::string, Value> row;
    for (const FieldDef* f : present) {
      values.push_back(CellValue(csv, *f));
      row[UpperAscii(f->name)] = values.back();
    }
    check(csv, row);
    try {
      d.Execute(sql, values);
    } catch (const OrvError& e) {
      // The row's fault (a key taken, a value that does not fit) names the
      // line; the database's (read-only, disk full, locked, damaged) names
      // the database and stays a run-time failure.
      if (!IsRowFault(e)) {
        throw OrvError(e.Number(), e.Source(),
                       "Cannot add the rows of " + path + " to the claimant database " + d.Name() +
                           ": " + e.Description());
      }
      const std::string field = e.Number() == db::dberr::kDuplicateKey ? "ID" : "";
      throw InputError(path, csv.Line(), field, "the database refused the row: " + e.Description());
    }
    if (++rows % tarnby::StepProgress::kEvery == 0) step.Tell(csv.BytesRead());
  }
  ContinueCounters(d, table);
  step.End();
  return rows;
}

// The IDs already in a table.
std::set<int64_t> Ids(db::Database& d, const char* table) {
  std::set<int64_t> ids;
  auto rs = d.OpenRecordset(std::string("SELECT ID FROM ") + table, db::RecordsetType::Snapshot);
  for (; !rs->IsEOF(); rs->MoveNext()) ids.insert(rs->Field(0).AsInt64());
  return ids;
}

Value Get(const std::map<std::string, Value>& row, const char* field) {
  const auto it = row.find(field);
  return it == row.end() ? Value() : it->second;
}

void RequireLatest(db::Database& d) {
  const int16_t level = tarnby::StructureLevel(d);
  if (level < tarnby::kLatestStructureLevel) {
    throw OrvError(3000, "tarnby-claimants",
                   "The claimant database is at structure level " + std::to_string(level) +
                       "; upgrade it to level " +
                       std::to_string(tarnby::kLatestStructureLevel) + " first");
  }
}

void ImportAll(db::Database& d, const fs::path& dir, const ProgressFn& progress,
               ImportCounts& counts) {
  std::set<int64_t> claimants = Ids(d, "CLAIMANT");
  std::set<int64_t> factors = Ids(d, "USERFACTOR");

  counts.claimants = ImportFile(d, (dir / "claimants.csv").string(), "CLAIMANT", progress,
                                [&](const CsvReader& csv, const std::map<std::string, Value>& row) {
                                  const Value id = Get(row, "ID");
                                  if (!id.IsNull()) claimants.insert(id.AsInt64());
                                  const Value j = Get(row, "JURISDICTION");
                                  if (!j.IsNull() && j.AsInt64() != 0 && j.AsInt64() != 1) {
                                    throw csv.Error("JURISDICTION",
                                                    j.AsText() + " is not a jurisdiction (0 "
                                                    "England and Wales, 1 Scotland)");
                                  }
                                });
  const fs::path uf = dir / "user_factors.csv";
  std::error_code ec;
  if (fs::exists(uf, ec)) {
    counts.user_factors =
        ImportFile(d, uf.string(), "USERFACTOR", progress,
                   [&](const CsvReader& csv, const std::map<std::string, Value>& row) {
                     const int64_t id = Get(row, "ID").AsInt64();
                     if (id < dust::kFirstUserFactorID) {
                       throw csv.Error("ID", "a user-defined factor's ID must be 10000 or more");
                     }
                     factors.insert(id);
                   });
  }
  auto claimant_exists = [&](const CsvReader& csv, const std::map<std::string, Value>& row) {
    const int64_t id = Get(row, "CLAIMANTID").AsInt64();
    if (!claimants.count(id)) {
      throw csv.Error("CLAIMANTID", "no claimant " + std::to_string(id) +
                                        " in claimants.csv or the database");
    }
  };
  counts.work = ImportFile(
      d, (dir / "work_history.csv").string(), "WORKHISTORY", progress,
      [&](const CsvReader& csv, const std::map<std::string, Value>& row) {
        claimant_exists(csv, row);
        for (const char* field : {"JOBFACTORID", "RESPFACTORID"}) {
          const Value v = Get(row, field);
          if (!v.IsNull() && v.AsInt64() >= dust::kFirstUserFactorID && !factors.count(v.AsInt64())) {
            throw csv.Error(field, "no user-defined factor " + v.AsText());
          }
        }
      });
  counts.smoking = ImportFile(d, (dir / "smoke_history.csv").string(), "SMOKEHISTORY", progress,
                              claimant_exists);
}

std::optional<std::string> ExportCell(const Value& v, const FieldDef& f) {
  if (v.IsNull()) return std::nullopt;
  switch (f.type) {
    case FieldType::YesNo:
      return v.AsBool() ? "1" : "0";
    case FieldType::Single:
      return csv::ExactText(v.AsSingle());
    case FieldType::Double:
    case FieldType::Currency:
      return csv::ExactText(v.AsDouble());
    case FieldType::Long:
    case FieldType::Integer:
      return std::to_string(v.AsInt64());
    case FieldType::Text:
    case FieldType::Memo:
      return csv::ProtectFormula(v.AsText());
    default:
      return v.AsText();
  }
}

}  // namespace

ImportCounts ImportFolder(const std::string& db_path, const std::string& source_dir,
                          const ProgressFn& progress) {
  const fs::path dir(source_dir);
  std::error_code ec;
  if (!fs::is_directory(dir, ec)) throw InputError(source_dir, 0, "", "not a folder");
  for (const TableFile& tf : kFiles) {
    if (!tf.optional && !fs::exists(dir / tf.file, ec)) {
      throw InputError((dir / tf.file).string(), 0, "", "the file is missing");
    }
  }
  db::OpenOptions whole_file;
  whole_file.check = db::OpenCheck::WholeFile;
  whole_file.check_progress = tarnby::WholeFileCheckProgress(progress);
  db::DatabasePtr d = tarnby::OpenClaimantDatabase(db_path, whole_file);
  RequireLatest(*d);
  ImportCounts counts;
  std::optional<tarnby::StepProgress> writing;  // the commit, then a server's statistics
  d->BeginTrans();
  try {
    ImportAll(*d, dir, progress, counts);
    writing.emplace(progress, "Writing the import", 2);
    d->CommitTrans();
  } catch (...) {
    try {
      d->Rollback();
    } catch (...) {
      // The failure in hand is the one to report.
    }
    d->Close();
    throw;
  }
  std::vector<std::string> tables;
  for (const TableFile& tf : kFiles) tables.emplace_back(tf.table);
  writing->Tell(1);
  tarnby::RefreshStatistics(*d, tables);
  writing->End();
  d->Close();
  return counts;
}

ImportCounts ExportFolder(const std::string& db_path, const std::string& output_dir,
                          const ProgressFn& progress) {
  db::DatabasePtr d = tarnby::OpenForReading(db_path, db::OpenCheck::WholeFile,
                                             tarnby::WholeFileCheckProgress(progress));
  // Every file is written in full before any replaces the folder's old one,
  // so a failure midway (a full disk) leaves the old export as it was.
  files::StagedFolder staged(output_dir);
  ImportCounts counts;
  int64_t* count_of[] = {&counts.claimants, &counts.work, &counts.smoking, &counts.user_factors};
  int i = 0;
  // One read transaction: the four files are one picture of the database,
  // so no history row names a claimant that a save in between removed.
  d->BeginTrans(false);
  for (const TableFile& tf : kFiles) {
    int64_t& count = *count_of[i++];
    if (!d->TableExists(tf.table)) {
      if (tf.optional) continue;
      throw OrvError(db::dberr::kTableOrQueryNotFound, "tarnby-claimants",
                     std::string("The claimant database ") + d->Name() + " has no table " +
                         tf.table + "; nothing was exported.");
    }
    const std::vector<FieldDef> fields = d->Fields(tf.table);
    std::vector<std::string> names;
    for (const FieldDef& f : fields) names.push_back(f.name);
    CsvWriter out((fs::path(staged.Folder()) / tf.file).string(), names);
    // The rows to come, counted only for someone to tell.
    int64_t rows = 0;
    if (progress) {
      auto n = d->OpenRecordset("SELECT COUNT(*) FROM " + QuoteName(tf.table),
                                db::RecordsetType::Snapshot);
      rows = n->Field(0).AsInt64();
    }
    tarnby::StepProgress step(progress, std::string("Exporting ") + tf.file, rows);
    auto rs = d->OpenRecordset("SELECT * FROM " + QuoteName(tf.table) + " ORDER BY ID",
                               db::RecordsetType::Snapshot);
    for (; !rs->IsEOF(); rs->MoveNext()) {
      std::vector<Cell> cells;
      for (const FieldDef& f : fields) {
        try {
          cells.push_back(ExportCell(rs->Field(f.name), f));
        } catch (const OrvError& e) {
          // A value another program stored that does not fit its field
          // (text in a number field): the table, the row and the field.
          if (e.Number() != err::kTypeMismatch && e.Number() != err::kOverflow) throw;
          throw InputError(d->Name(), 0, std::string(tf.table) + "." + f.name,
                           "the row with ID " + rs->Field(0).TextOrEmpty() + " holds a value the " +
                               "field cannot take (" + e.Description() + ")");
        }
      }
      out.Row(cells);
      ++count;
      step.Add();
    }
    out.Commit();
    step.End();
  }
  d->CommitTrans();
  d->Close();
  staged.Commit();
  return counts;
}

}  // namespace orv::claimants
