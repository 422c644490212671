// Dust data databases for tests: the one set of base reference rows every
// suite starts from (a CSV file per table, each test replacing the files it
// cares about), the richer fixture folder with an expanded matrix, and
// small helpers to read what a database holds.
#pragma once

#include <filesystem>
#include <map>
#include <string>
#include <vector>

#include "Database.h"
#include "TempDir.h"

namespace orv::dustdata::test {

using orv::test::TempDir;

// CSV file name -> its whole text. The base set: every model parameter (data
// version 48, matrix not expanded, BaseYear 1940, area averages 1947-1990,
// three years past closure); areas 1 "Northfield" (area-average colliery
// 901), 2 "Southmoor" (902), 3 the national average (903), 4 small mines
// (904, split type 1) and 5 "Westdale" (none); the four pseudo collieries
// and no other; no surveys; one survey round 1960-1964; tortious values for
// the pseudo collieries only; one job factor "FW", one respirator factor and
// one smoking category.
using CsvFiles = std::map<std::string, std::string>;
CsvFiles BaseFiles();

// A file of the base set with more rows after its own (for collieries.csv:
// a test's collieries after the four pseudo collieries).
std::string BaseWith(const std::string& file, const std::string& rows);

// The model parameter rows of the base set with some values replaced (key ->
// value; a key not in the base set is added): parms.csv's whole text.
std::string ParmsCsv(const std::map<std::string, std::string>& values = {});

// Writes `files` (the base set with these replaced or added) as a CSV folder
// `<name>.csv` in `dir`, builds it into `dir`/`name` and returns its path.
std::string BuildDb(const TempDir& dir, const CsvFiles& files, const std::string& name = "DUST.db");

// The fixture folder: a small national set with an expanded matrix
// (dust_matrix.csv), quoted texts and both boolean spellings.
std::string FixtureDir();
// A copy of the fixture folder at `to` (its parent created), to change.
std::filesystem::path CopyFixture(const std::filesystem::path& to);

// Opens a dust data database with its password.
orv::db::DatabasePtr OpenDb(const std::string& path, bool read_only = false);

// Every row of a query, each value as text ("<null>" for null).
std::vector<std::vector<std::string>> Rows(orv::db::Database& db, const std::string& sql);

// A whole file, and a file written whole.
std::string ReadText(const std::filesystem::path& p);
void WriteText(const std::filesystem::path& p, const std::string& text);
// Replaces line `n` (1-based) of a file (removes it when `line` is empty),
// or appends when n is 0.
void SetLine(const std::filesystem::path& p, int n, const std::string& line);

}  // namespace orv::dustdata::test
