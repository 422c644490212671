// Building, exporting, checking and expanding dust data databases.
//
// A dust data source is a folder of CSV files (one per base table, see
// docs/dustdata.md). BuildFromCsv turns it into a new database with every
// table, index and stored query the engine and the matrix expansion read;
// ExportToCsv writes the folder back; CheckDatabase reports what a database
// holds and what is wrong with it; ExpandDatabase runs the matrix expansion
// on it now.
//
// Failures:
//   - bad input (a cell that does not convert, an unknown column, a missing
//     file, a reference to a row that does not exist, an existing output
//     without `force`) raises orv::InputError naming the file, line
//     and field;
//   - everything else (the database layer, the file system, the expansion
//     library) raises orv::OrvError.
// No output file is left behind by a failed build.
//
// Tests of other components build small databases from the fixture folder
// whose path orv::dustdata::test::FixtureDir() gives (the test support
// library orvdustdata_testsupport).
#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "InputError.h"
#include "ProgressFn.h"

namespace orv::db {
class Database;
}

namespace orv::dustdata {

// Reports work in hand (the progress callback every long task of the system takes).
using ProgressFn = orv::ProgressFn;

// Builds a new dust data database at `output_db` from the CSV folder
// `source_dir`. The database is written under a temporary name in the same
// folder and renamed to `output_db` only when complete. An existing
// `output_db` is an InputError unless `force`, which replaces it.
// With dust_matrix.csv the matrix is taken as it is and the model parameter
// MatrixReady is set to "1"; without it MatrixReady is "0" (whatever
// parms.csv says) and the matrix is expanded on first open.
void BuildFromCsv(const std::string& source_dir, const std::string& output_db, bool force = false,
                  const ProgressFn& progress = {});

// Writes the CSV folder of database `db` into `out_dir` (created when
// missing; our files in it are replaced). dust_matrix.csv is written only
// when the database's matrix is marked expanded (MatrixReady not "0"), so
// that building the export gives a database with the same content.
void ExportToCsv(const std::string& db, const std::string& out_dir,
                 const ProgressFn& progress = {});

struct CheckReport {
  std::string version;  // the Version model parameter as stored; empty when missing
  // Every model parameter key the engine reads, in its reading order, with
  // the stored text (or "(missing)").
  std::vector<std::pair<std::string, std::string>> parameters;
  bool matrix_ready = false;  // MatrixReady is present and not 0
  // Rows per base table, in the order of the CSV files.
  std::vector<std::pair<std::string, int64_t>> row_counts;
  // Every inconsistency found, one sentence each; empty when the database
  // is sound.
  std::vector<std::string> problems;
  // What is sound but worth knowing (overlapping matrix runs, which the
  // lookup settles), one sentence each.
  std::vector<std::string> warnings;

  bool ok() const { return problems.empty(); }
};

// Opens `db` read-only and reports on it. Fails (OrvError) only when the
// file cannot be opened; everything wrong inside it is a problem.
CheckReport CheckDatabase(const std::string& db);

// The report as the tool prints it, one line per entry.
std::vector<std::string> FormatCheckReport(const CheckReport& report);

// Expands the matrix of `db` in place through "OrvDustM.MakeMatrix" with
// the years its model parameters give, then compacts the file. Fails with
// the registry's error 429 while no expansion library is installed, and
// with error 9999 when the expansion reports failure.
void ExpandDatabase(const std::string& db);

// Installs the tables, indexes and stored queries of a dust data database
// (the base schema, then the matrix expansion's) into an open, empty one.
void InstallSchema(orv::db::Database& db);

}  // namespace orv::dustdata
