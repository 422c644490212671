// The base tables of a dust data database, one per CSV file of a dust data
// source: their columns with types, keys and references. Schema, build,
// export and check all work from this one description.
#pragma once

#include <string>
#include <vector>

namespace orv::dustdata {

enum class ColumnType { Long, Int16, Single, Text, YesNo };

struct Column {
  const char* name;
  ColumnType type;
  int size = 0;                           // text columns: the most characters
  bool nullable = false;                  // may be empty in the CSV (and null in the table)
  bool trim = false;                      // text: blanks at both ends are dropped on build
  bool unique = false;                    // primary key or unique code (text: ignoring case)
  const char* references = nullptr;       // table whose ID this column holds
  bool zero_is_none = false;              // with `references`: 0 or less means no reference
  std::vector<std::string> allowed = {};  // text: the only values taken
  // A surface flag: read as Y/N, 1/0 or True/False in any letter case, kept
  // as a YesNo value or as the text "Y"/"N" (by `type`), written as "Y"/"N".
  bool surface_flag = false;
};

struct Table {
  const char* file;  // "collieries.csv"
  const char* name;  // "COLLIERIES"
  bool optional;     // the CSV file may be left out
  std::vector<Column> columns;
  // Pairs of year columns where the first may not be after the second
  // (checked when both are given and above 0).
  std::vector<std::pair<const char*, const char*>> year_ranges;
  // Columns of the export's row order.
  std::vector<const char*> order_by;

  std::vector<std::string> ColumnNames() const;
  const Column* Find(const std::string& column) const;
};

// Every base table, in build order (a table comes after those it refers to).
const std::vector<Table>& BaseTables();
const Table& BaseTable(const std::string& name);

inline constexpr const char* kDustMatrixFile = "dust_matrix.csv";
inline constexpr const char* kMatrixReadyKey = "MatrixReady";

}  // namespace orv::dustdata
