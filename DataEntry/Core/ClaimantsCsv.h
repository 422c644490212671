// The claimant database as CSV files, and its check: what tarnby-claimants
// import, export and check do, as functions the tests call directly.
//
// A claimant folder holds claimants.csv (the CLAIMANT fields by name),
// work_history.csv (WORKHISTORY), smoke_history.csv (SMOKEHISTORY) and,
// optionally, user_factors.csv (USERFACTOR). Columns come in any order and
// are named ignoring case; a column the table does not have is an error, a
// column left out takes the field's default. Identifiers given are kept, so
// the histories name their claimant by its ID; an ID left empty gets a new
// number. Yes/No fields are written 0/1 and read as 0/1 or True/False,
// dates as ISO-8601 text ("2026-12-07" or "2026-12-07 14:05:33").
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "Database.h"
#include "ProgressFn.h"

namespace orv::db {
class Database;
}

namespace orv::claimants {

struct ImportCounts {
  int64_t claimants = 0;
  int64_t work = 0;
  int64_t smoking = 0;
  int64_t user_factors = 0;
};

// Adds the folder's rows to the claimant database `db_path` (at the latest
// structure level) in one transaction. A row that does not convert, breaks
// a rule (a history naming a claimant that exists neither in the files nor
// in the database, a user-defined factor ID below 10000, a duplicate ID) or
// that the database refuses rejects the whole import: an InputError naming
// the file, the line and the field, and the database is left as it was.
//
// `progress`, when given, is told how far the long steps of these
// functions have come: the whole-file check of a file on opening it (pages
// read), each file or table (import: bytes of the file read; export, copy:
// rows), the copy's row-by-row comparison, the check's stages.
ImportCounts ImportFolder(const std::string& db_path, const std::string& source_dir,
                          const ProgressFn& progress = {});

// Writes the four files (user_factors.csv only when the table exists) into
// `output_dir`, created when missing; rows in ID order.
ImportCounts ExportFolder(const std::string& db_path, const std::string& output_dir,
                          const ProgressFn& progress = {});

struct CheckReport {
  int16_t level = 0;
  std::string base_version;
  std::vector<std::pair<std::string, int64_t>> row_counts;  // table, rows
  std::vector<std::string> problems;
  bool ok() const { return problems.empty(); }
};

// Structure level, row counts and inconsistencies (histories of claimants
// that do not exist, user-defined factor IDs below 10000, history entries
// naming a user-defined factor that does not exist, an integrity-check
// failure, missing base tables, a stored query the program reads with that
// would not only read). Opens the file read-only.
// On a file, a stored query of the structure's own text that goes over
// `budget` (a search with no filter over a large database) is not counted.
CheckReport CheckDatabase(const std::string& db_path, const db::QueryBudget& budget = {},
                          const ProgressFn& progress = {});

struct CopyReport {
  int16_t level = 0;
  int64_t tables = 0;
  int64_t rows = 0;
};

// Copies every table of the claimant database `source` (a file or a server
// URI) into `destination`: made at the source's structure level when it is
// a new file or an empty server database, else it must be at that level and
// hold no claimants unless `replace` (InputError otherwise). Written in one
// transaction, counters continued on a server, then every row compared with
// the source (OrvError naming the first difference).
CopyReport CopyDatabase(const std::string& source, const std::string& destination, bool replace,
                        const ProgressFn& progress = {});
std::vector<std::string> FormatCheckReport(const CheckReport& report);

// On a server, the counters of `table`'s numbering fields go on after the
// highest number it holds: rows written with numbers of their own (a copy,
// an import) leave them behind, and the next row given none would take a
// number already there. Nothing on a file, whose numbering follows its rows.
void ContinueCounters(db::Database& d, const std::string& table);

}  // namespace orv::claimants
