#include <unistd.h>

#include <cerrno>
#include <charconv>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <fstream>

#include "Csv.h"
#include "Numbers.h"
#include "OrvError.h"
#include "SafeFiles.h"

namespace orv::csv {
namespace {

constexpr size_t kFlushSize = 1 << 20;

[[noreturn]] void RaiseWriteError(const std::string& path, const std::string& what) {
  throw OrvError(err::kFileAccess, "CsvWriter", what + " " + path + ": " + std::strerror(errno));
}

void AppendToFile(const std::string& path, const std::string& text, bool truncate) {
  std::FILE* f = std::fopen(path.c_str(), truncate ? "wb" : "ab");
  if (f == nullptr) RaiseWriteError(path, "cannot write");
  const size_t written = std::fwrite(text.data(), 1, text.size(), f);
  const bool closed = std::fclose(f) == 0;
  if (written != text.size() || !closed) RaiseWriteError(path, "cannot write");
}

}  // namespace

std::string QuoteCell(const Cell& cell) {
  if (!cell) return {};
  const std::string& s = *cell;
  const bool needs_quotes = s.empty() || s.find_first_of(",\"\r\n") != std::string::npos ||
                            s.front() == ' ' || s.back() == ' ';
  if (!needs_quotes) return s;
  std::string out = "\"";
  for (char c : s) {
    if (c == '"') out += '"';
    out += c;
  }
  return out + "\"";
}

namespace {
bool StartsFormula(char c) {
  return c == '=' || c == '+' || c == '-' || c == '@' || c == '\t' || c == '\r';
}

// Apostrophes followed by a character that starts a formula.
bool NeedsApostrophe(std::string_view s) {
  const size_t first = s.find_first_not_of('\'');
  return first != std::string_view::npos && StartsFormula(s[first]);
}
}  // namespace

std::string ProtectFormula(std::string text) {
  if (NeedsApostrophe(text)) text.insert(text.begin(), '\'');
  return text;
}

std::string UnprotectFormula(std::string text) {
  if (!text.empty() && text.front() == '\'' && NeedsApostrophe(text)) text.erase(0, 1);
  return text;
}

// The file is written in a private folder beside its target, created
// exclusively, so no one can redirect or read it while it is written.
CsvWriter::CsvWriter(std::string path, std::vector<std::string> columns)
    : path_(std::move(path)), columns_(columns.size()) {
  side_ = files::MakeSideFolder(path_);
  temp_path_ = side_ + "/part.csv";
  try {
    ::close(files::CreateExclusive(temp_path_));
    std::vector<Cell> header(columns.begin(), columns.end());
    Write(header);
    AppendToFile(temp_path_, buffer_, true);
  } catch (...) {
    std::error_code ignored;
    std::filesystem::remove_all(side_, ignored);
    throw;
  }
  buffer_.clear();
}

CsvWriter::~CsvWriter() {
  std::error_code ignored;
  std::filesystem::remove_all(side_, ignored);
}

void CsvWriter::Write(const std::vector<Cell>& cells) {
  for (size_t i = 0; i < cells.size(); ++i) {
    if (i > 0) buffer_ += ',';
    buffer_ += QuoteCell(cells[i]);
  }
  buffer_ += '\n';
}

void CsvWriter::Row(const std::vector<Cell>& cells) {
  if (cells.size() != columns_) {
    throw OrvError(err::kInvalidCall, "CsvWriter",
                   "a row of " + std::to_string(cells.size()) + " cells for " +
                       std::to_string(columns_) + " columns in " + path_);
  }
  Write(cells);
  if (buffer_.size() >= kFlushSize) {
    AppendToFile(temp_path_, buffer_, false);
    buffer_.clear();
  }
}

void CsvWriter::Commit() {
  AppendToFile(temp_path_, buffer_, false);
  buffer_.clear();
  std::error_code ec;
  // A file replaced keeps its mode and group; a new one gets the user's usual mode.
  if (std::filesystem::exists(path_, ec)) {
    files::KeepModeAndGroup(path_, temp_path_);
  } else {
    files::GiveDefaultMode(temp_path_);
  }
  std::filesystem::rename(temp_path_, path_, ec);
  if (ec) {
    errno = ec.value();
    RaiseWriteError(path_, "cannot create");
  }
  committed_ = true;
}

namespace {
template <typename T>
std::string ShortestText(T value, int digits) {
  char buffer[64];
  const auto r = std::to_chars(buffer, buffer + sizeof buffer, value);
  std::string text(buffer, r.ptr);
  // Read back as the readers read numbers; where that would round
  // differently, all the digits the type has.
  const double back = orv::ParseNumber(text);
  if (static_cast<T>(back) != value) {
    std::snprintf(buffer, sizeof buffer, "%.*g", digits, static_cast<double>(value));
    text = buffer;
  }
  return text;
}
}  // namespace

std::string ExactText(float value) { return ShortestText(value, 9); }
std::string ExactText(double value) { return ShortestText(value, 17); }

bool IsValidUtf8(std::string_view s) {
  size_t i = 0;
  while (i < s.size()) {
    const auto c = static_cast<unsigned char>(s[i]);
    size_t extra = 0;
    uint32_t cp = 0;
    if (c < 0x80) {
      ++i;
      continue;
    } else if ((c & 0xE0) == 0xC0) {
      extra = 1;
      cp = c & 0x1F;
    } else if ((c & 0xF0) == 0xE0) {
      extra = 2;
      cp = c & 0x0F;
    } else if ((c & 0xF8) == 0xF0) {
      extra = 3;
      cp = c & 0x07;
    } else {
      return false;
    }
    if (i + extra >= s.size()) return false;
    for (size_t k = 1; k <= extra; ++k) {
      const auto d = static_cast<unsigned char>(s[i + k]);
      if ((d & 0xC0) != 0x80) return false;
      cp = (cp << 6) | (d & 0x3F);
    }
    // Overlong forms, surrogates and values beyond Unicode are not UTF-8.
    static constexpr uint32_t kMin[] = {0, 0x80, 0x800, 0x10000};
    if (cp < kMin[extra] || cp > 0x10FFFF || (cp >= 0xD800 && cp <= 0xDFFF)) return false;
    i += extra + 1;
  }
  return true;
}

int64_t Utf8Length(std::string_view s) {
  int64_t n = 0;
  for (char c : s) {
    if ((static_cast<unsigned char>(c) & 0xC0) != 0x80) ++n;
  }
  return n;
}

}  // namespace orv::csv
