// CSV files as the tools read and write them: RFC 4180 quoting, a header
// row, columns in any order and named ignoring case, UTF-8 text.
//
// Reading: an empty cell is null; a cell written as "" (quoted, nothing
// inside) is the empty text, so that text survives a write and a read.
// Unknown, repeated or empty column names, a record with the wrong number
// of cells, broken quoting and text that is not UTF-8 are InputErrors
// naming the file, the line and (where there is one) the field.
// Writing: the file appears under its name only when Commit() succeeds.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "InputError.h"

namespace orv::csv {

using Cell = std::optional<std::string>;

class CsvReader {
 public:
  // Reads `path` and its header row. `allowed_columns` lists the column
  // names the file may have; any other name in the header is an error.
  // A missing file is an InputError (line 0).
  CsvReader(std::string path, std::vector<std::string> allowed_columns);

  const std::string& Path() const noexcept { return path_; }
  // Whether the header has this column (ignoring case).
  bool HasColumn(std::string_view name) const;

  // Moves to the next record; false at the end of the file. Lines that are
  // completely empty are skipped.
  [[nodiscard]] bool Next();
  // The line on which the current record starts (the header is line 1).
  int64_t Line() const noexcept { return record_line_; }

  // The current record's cell of an allowed column; null when the cell is
  // empty or the file has no such column. A cell holding a NUL character is
  // an InputError.
  Cell Get(std::string_view column) const;

  // Typed reads of the current record's cell; null stays null. A cell that
  // does not convert is an InputError naming the line and the column.
  // Whole numbers must be written as such ("12", not "12.5").
  std::optional<int32_t> GetInt32(std::string_view column) const;
  std::optional<int16_t> GetInt16(std::string_view column) const;
  std::optional<float> GetSingle(std::string_view column) const;
  // Y/N, 1/0 or True/False, in any letter case.
  std::optional<bool> GetBool(std::string_view column) const;

  // An InputError at the current record and column.
  InputError Error(std::string_view column, std::string reason) const;

  // How far reading has got, in bytes of the file.
  int64_t BytesRead() const noexcept { return static_cast<int64_t>(pos_); }
  int64_t Size() const noexcept { return static_cast<int64_t>(text_.size()); }

 private:
  // Reads one record from pos_ into `cells`; false at the end of the text.
  bool ReadRecord(std::vector<Cell>& cells);
  int ColumnIndex(std::string_view column) const;  // -1 when absent
  std::string CanonicalName(std::string_view column) const;

  std::string path_;
  std::string text_;
  size_t pos_ = 0;
  int64_t line_ = 1;  // line at pos_
  int64_t record_line_ = 0;
  std::vector<std::string> allowed_;
  std::vector<std::string> header_;  // as allowed_ spells them
  std::vector<Cell> cells_;
};

class CsvWriter {
 public:
  // Starts writing `path` (through a temporary file beside it) with the
  // header row `columns`. Fails with OrvError when the file cannot be made.
  CsvWriter(std::string path, std::vector<std::string> columns);
  ~CsvWriter();  // without Commit(): the temporary file is removed
  CsvWriter(const CsvWriter&) = delete;
  CsvWriter& operator=(const CsvWriter&) = delete;

  // One record, a cell per column: null is written empty, the empty text
  // as "".
  void Row(const std::vector<Cell>& cells);
  // Finishes the file and gives it its name, replacing an older file.
  void Commit();

 private:
  void Write(const std::vector<Cell>& cells);

  std::string path_;
  std::string side_;  // the private folder the file is written in
  std::string temp_path_;
  size_t columns_;
  std::string buffer_;
  bool committed_ = false;
};

// A cell as it is written in a CSV file.
std::string QuoteCell(const Cell& cell);

// Text cells a spreadsheet would take for a formula (beginning with "=",
// "+", "-", "@", a tab or a carriage return) are written with an apostrophe
// before them, which spreadsheets show as text and do not evaluate; so is a
// text that already begins with apostrophes followed by one of those, so
// that reading removes exactly the one apostrophe writing added and every
// text comes back as it was. Only for text: numbers are written as they are.
std::string ProtectFormula(std::string text);
// The text as it was before ProtectFormula.
std::string UnprotectFormula(std::string text);

// A number cell that reads back as exactly the same value: the shortest
// decimal text that does (at most 9 significant digits for a single, 17 for
// a double), in the exponent form "1e+30" where that is shorter.
std::string ExactText(float value);
std::string ExactText(double value);

// Whether `s` is well-formed UTF-8, and its length in characters (code
// points) when it is.
bool IsValidUtf8(std::string_view s);
int64_t Utf8Length(std::string_view s);

}  // namespace orv::csv

// The names front ends written while these files lived in tools/ still use;
// new code names orv::csv.
namespace orv::tools {
using csv::Cell;
using csv::CsvReader;
using csv::CsvWriter;
}  // namespace orv::tools
