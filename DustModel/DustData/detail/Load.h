// Reading a dust data source folder into memory, checked cell by cell and
// row by row, before anything is written.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "DustDataBuild.h"
#include "Tables.h"
#include "Value.h"

namespace orv::dustdata::detail {

struct LoadedRow {
  int64_t line;                    // where the record starts in its file (0: added by the build)
  std::vector<orv::Value> values;  // one per column of the table
};

struct LoadedTable {
  const Table* table;
  std::string path;
  bool present;  // the file exists
  std::vector<LoadedRow> rows;
};

// Reads every CSV file of `source_dir`. Fails with InputError on anything
// that cannot be taken: a missing required file, a cell that does not
// convert, a required cell left empty, a text too long or not allowed, a
// repeated key, a year range that ends before it starts, a reference to a
// row that does not exist.
std::vector<LoadedTable> LoadSource(const std::string& source_dir, const ProgressFn& progress);

}  // namespace orv::dustdata::detail
