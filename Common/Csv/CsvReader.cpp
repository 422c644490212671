#include <cmath>
#include <fstream>
#include <sstream>

#include "Csv.h"
#include "Numbers.h"
#include "OrvError.h"
#include "Text.h"

namespace orv::csv {
namespace {

constexpr std::string_view kBom = "\xEF\xBB\xBF";

std::string Quoted(std::string_view s) { return "\"" + std::string(s) + "\""; }

}  // namespace

CsvReader::CsvReader(std::string path, std::vector<std::string> allowed_columns)
    : path_(std::move(path)), allowed_(std::move(allowed_columns)) {
  std::ifstream in(path_, std::ios::binary);
  if (!in) throw InputError(path_, 0, {}, "the file cannot be opened");
  std::ostringstream all;
  all << in.rdbuf();
  text_ = all.str();
  if (text_.compare(0, kBom.size(), kBom) == 0) pos_ = kBom.size();

  std::vector<Cell> names;
  record_line_ = line_;
  if (!ReadRecord(names)) throw InputError(path_, 1, {}, "the header row is missing");
  for (const Cell& name : names) {
    const std::string n = TrimWhite(name.value_or(""));
    if (n.empty()) throw InputError(path_, 1, {}, "a column has no name");
    const std::string canonical = CanonicalName(n);
    if (canonical.empty()) throw InputError(path_, 1, n, "unknown column");
    for (const std::string& seen : header_) {
      if (seen == canonical) throw InputError(path_, 1, canonical, "the column appears twice");
    }
    header_.push_back(canonical);
  }
}

std::string CsvReader::CanonicalName(std::string_view column) const {
  for (const std::string& a : allowed_) {
    if (IEquals(a, column)) return a;
  }
  return {};
}

int CsvReader::ColumnIndex(std::string_view column) const {
  for (size_t i = 0; i < header_.size(); ++i) {
    if (IEquals(header_[i], column)) return static_cast<int>(i);
  }
  return -1;
}

bool CsvReader::HasColumn(std::string_view name) const { return ColumnIndex(name) >= 0; }

// One record from pos_: cells separated by commas, ended by CR LF, LF, CR
// or the end of the text. Quoted cells may hold commas, quotes (doubled)
// and line breaks.
bool CsvReader::ReadRecord(std::vector<Cell>& cells) {
  cells.clear();
  const size_t n = text_.size();
  if (pos_ >= n) return false;
  record_line_ = line_;
  auto at_line_end = [&](size_t i) { return i >= n || text_[i] == '\n' || text_[i] == '\r'; };
  auto end_line = [&](size_t& i) {
    if (i < n && text_[i] == '\r') ++i;
    if (i < n && text_[i] == '\n') ++i;
    ++line_;
  };
  size_t i = pos_;
  for (;;) {
    const int64_t cell_number = static_cast<int64_t>(cells.size()) + 1;
    if (i < n && text_[i] == '"') {
      std::string value;
      ++i;
      for (;;) {
        if (i >= n) {
          throw InputError(path_, record_line_, {},
                           "cell " + std::to_string(cell_number) + " has no closing quote");
        }
        const char c = text_[i];
        if (c == '"') {
          if (i + 1 < n && text_[i + 1] == '"') {
            value += '"';
            i += 2;
            continue;
          }
          ++i;
          break;
        }
        if (c == '\n' || (c == '\r' && !(i + 1 < n && text_[i + 1] == '\n'))) ++line_;
        value += c;
        ++i;
      }
      if (!(at_line_end(i) || text_[i] == ',')) {
        throw InputError(path_, line_, {},
                         "text after the closing quote of cell " + std::to_string(cell_number));
      }
      cells.emplace_back(std::move(value));
    } else {
      const size_t start = i;
      while (!at_line_end(i) && text_[i] != ',') {
        if (text_[i] == '"') {
          throw InputError(path_, line_, {},
                           "a quote inside unquoted cell " + std::to_string(cell_number));
        }
        ++i;
      }
      if (i == start) {
        cells.emplace_back(std::nullopt);
      } else {
        cells.emplace_back(text_.substr(start, i - start));
      }
    }
    if (i < n && text_[i] == ',') {
      ++i;
      continue;
    }
    end_line(i);
    break;
  }
  pos_ = i;
  for (const Cell& c : cells) {
    if (c && !IsValidUtf8(*c)) throw InputError(path_, record_line_, {}, "the text is not UTF-8");
  }
  return true;
}

bool CsvReader::Next() {
  for (;;) {
    if (!ReadRecord(cells_)) {
      cells_.clear();
      return false;
    }
    // A completely empty line is no record.
    if (cells_.size() == 1 && !cells_[0]) continue;
    if (cells_.size() != header_.size()) {
      throw InputError(path_, record_line_, {},
                       "the record has " + std::to_string(cells_.size()) +
                           " cells but the header has " + std::to_string(header_.size()));
    }
    return true;
  }
}

Cell CsvReader::Get(std::string_view column) const {
  if (CanonicalName(column).empty()) {
    throw OrvError(err::kInvalidCall, "CsvReader",
                   "column " + std::string(column) + " is not one of the file's columns");
  }
  const int i = ColumnIndex(column);
  if (i < 0 || static_cast<size_t>(i) >= cells_.size()) return std::nullopt;
  const Cell& cell = cells_[static_cast<size_t>(i)];
  // A NUL ends a text early for some readers, letting the rest past a limit.
  if (cell && cell->find('\0') != std::string::npos) throw Error(column, "holds a NUL character");
  return cell;
}

InputError CsvReader::Error(std::string_view column, std::string reason) const {
  const std::string name = CanonicalName(column);
  return InputError(path_, record_line_, name.empty() ? std::string(column) : name,
                    std::move(reason));
}

namespace {

// Null for a missing or empty (also quoted empty) cell, else the number.
template <typename T, typename Convert>
std::optional<T> Converted(const CsvReader& r, std::string_view column, const char* what,
                           Convert convert) {
  const Cell c = r.Get(column);
  if (!c || TrimWhite(*c).empty()) return std::nullopt;
  try {
    return convert(*c);
  } catch (const OrvError& e) {
    if (e.Number() == err::kOverflow) {
      throw r.Error(column, Quoted(*c) + " is out of range for " + what);
    }
    throw r.Error(column, Quoted(*c) + " is not " + what);
  }
}

double WholeNumber(const std::string& text) {
  const double v = ParseNumber(text);
  // trunc, not a cast to a whole-number type: a huge value ("1e30") would
  // not fit that type; it is whole and then out of range for the column.
  if (v != std::trunc(v)) RaiseStandard(err::kTypeMismatch);
  return v;
}

}  // namespace

std::optional<int32_t> CsvReader::GetInt32(std::string_view column) const {
  return Converted<int32_t>(*this, column, "a 32-bit whole number",
                            [](const std::string& t) { return ToInt32(WholeNumber(t)); });
}

std::optional<int16_t> CsvReader::GetInt16(std::string_view column) const {
  return Converted<int16_t>(*this, column, "a 16-bit whole number",
                            [](const std::string& t) { return ToInt16(WholeNumber(t)); });
}

std::optional<float> CsvReader::GetSingle(std::string_view column) const {
  return Converted<float>(*this, column, "a number",
                          [](const std::string& t) { return ParseSingle(t); });
}

std::optional<bool> CsvReader::GetBool(std::string_view column) const {
  return Converted<bool>(*this, column, "Y, N, 0, 1, True or False", [](const std::string& t) {
    const std::string v = TrimWhite(t);
    if (v == "0" || IEquals(v, "false") || IEquals(v, "n")) return false;
    if (v == "1" || IEquals(v, "true") || IEquals(v, "y")) return true;
    RaiseStandard(err::kTypeMismatch);
  });
}

}  // namespace orv::csv
