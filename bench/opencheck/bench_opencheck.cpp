// The integrity check made when a database file is opened: what it costs and
// what cheaper checks would find. Builds a claimant-like database of ROWS
// rows (100,000 by default, about 25 MB) in a scratch folder, or uses FILE,
// then times, each on a fresh connection with the file in the system's cache
// (best of seven):
//   - a bare open that reads the header and the application id (the floor),
//   - a header check: the page count the header records against the file's
//     size, and that the count is current (cheap, reads one page),
//   - the quick check as the open runs it, on a read-only and on a
//     read-write connection, then with the file memory-mapped,
//   - the full integrity check, for comparison,
//   - OpenDatabase itself, shared and read-only.
//   - the open's structure check (OpenCheck::Structure: the header's page
//     count against the file's size, the quick check of the schema and the
//     layer's own tables), shared and read-only, and beside it a candidate
//     that also reads the first row of every table and index.
// Then damages copies of the file the ways the damaged-file tests do, and
// once more with a row that breaks a declared size (as a program other than
// ours could write it), and shows which of the checks finds each.
//
// Usage: bench_opencheck [ROWS | FILE]
#include <sqlite3.h>
#include <unistd.h>

#include <algorithm>
#include <cctype>
#include <chrono>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <functional>
#include <regex>
#include <string>
#include <vector>

#include "Database.h"
#include "OrvError.h"
#include "SpoiltFiles.h"

namespace {

namespace fs = std::filesystem;
using Clock = std::chrono::steady_clock;
using orv::db::FieldDef;
using orv::db::FieldType;

constexpr int kRepeats = 7;

double Millis(Clock::time_point from) {
  return std::chrono::duration<double, std::milli>(Clock::now() - from).count();
}

void Build(const std::string& path, int rows) {
  auto db = orv::db::CreateDatabase(path);
  FieldDef id = MakeField("ID", FieldType::Long);
  id.auto_increment = true;
  db->CreateTable(
      "CLAIMANT",
      {id, MakeField("SURNAME", FieldType::Text, 40), MakeField("FORENAMES", FieldType::Text, 60),
       MakeField("ADDRESS1", FieldType::Text, 50), MakeField("TOWN", FieldType::Text, 40),
       MakeField("NINO", FieldType::Text, 13), MakeField("DOB", FieldType::DateTime),
       MakeField("SOLICITORREF", FieldType::Text, 30), MakeField("RESULTTOTAL", FieldType::Single),
       MakeField("RESULTTEXT", FieldType::Memo)});
  db->CreateIndex("CLAIMANT", orv::db::IndexDef{"BySurname", {"SURNAME", "FORENAMES"}});
  db->CreateTable(
      "WORK",
      {MakeField("CLAIMANTID", FieldType::Long), MakeField("COLLIERYID", FieldType::Long),
       MakeField("STARTYEAR", FieldType::Integer), MakeField("ENDYEAR", FieldType::Integer)});
  db->CreateIndex("WORK", orv::db::IndexDef{"ByClaimant", {"CLAIMANTID"}});
  static const char* kSurnames[] = {"Smith", "Jones",  "Brown",   "Taylor",  "Wilson", "Davies",
                                    "Evans", "Thomas", "Johnson", "Roberts", "Walker", "Wright"};
  db->BeginTrans();
  for (int i = 0; i < rows; ++i) {
    const std::string n = std::to_string(i);
    db->Execute(
        "INSERT INTO CLAIMANT (SURNAME, FORENAMES, ADDRESS1, TOWN, NINO, DOB, SOLICITORREF, "
        "RESULTTOTAL, RESULTTEXT) VALUES (?, ?, ?, 'Tarnby', ?, '1931-04-12 00:00:00', ?, ?, ?)",
        {std::string(kSurnames[i % 12]) + n.substr(n.size() - 1), "John William " + n,
         n + " Pit Lane", "AB" + n + "C", "SOL/" + n, 123.5f + static_cast<float>(i % 97),
         "Total exposure " + n + " gm-3.hrs; share 25%."});
    for (int j = 0; j < 3; ++j)
      db->Execute("INSERT INTO WORK VALUES (?, ?, ?, ?)",
                  {i + 1, 100 + (i + j) % 400, 1950 + j * 8, 1957 + j * 8});
  }
  db->CommitTrans();
}

// A bare connection on the file, read-only unless asked.
sqlite3* Open(const std::string& path, int flags = SQLITE_OPEN_READONLY) {
  sqlite3* h = nullptr;
  if (sqlite3_open_v2(path.c_str(), &h, flags, nullptr) != SQLITE_OK) {
    sqlite3_close(h);
    return nullptr;
  }
  return h;
}

// The first column of the first row, or the error's text.
std::string Read(sqlite3* h, const char* sql) {
  sqlite3_stmt* s = nullptr;
  int rc = sqlite3_prepare_v2(h, sql, -1, &s, nullptr);
  if (rc == SQLITE_OK) rc = sqlite3_step(s);
  std::string v;
  if (rc == SQLITE_ROW) {
    const auto* p = reinterpret_cast<const char*>(sqlite3_column_text(s, 0));
    v = p ? p : "";
  } else if (rc != SQLITE_DONE) {
    v = std::string("error: ") + sqlite3_errmsg(h);
  }
  sqlite3_finalize(s);
  return v;
}

uint32_t BigEndian(const unsigned char* p) {
  return (uint32_t{p[0]} << 24) | (uint32_t{p[1]} << 16) | (uint32_t{p[2]} << 8) | p[3];
}

// Each check answers whether the file passed it.
struct Check {
  const char* name;
  std::function<bool(const std::string&)> passes;
};

bool BareOpen(const std::string& path) {
  sqlite3* h = Open(path);
  if (!h) return false;
  const std::string id = Read(h, "PRAGMA application_id");
  sqlite3_close(h);
  return !id.empty() && id.rfind("error", 0) != 0;
}

// The header's page size and page count against the file's size; the count
// counts only while the header's "valid for" number matches its change
// counter, as SQLite itself reads it.
bool HeaderCheck(const std::string& path) {
  unsigned char header[100];
  std::ifstream in(path, std::ios::binary);
  if (!in.read(reinterpret_cast<char*>(header), sizeof header)) return false;
  if (std::string(reinterpret_cast<char*>(header), 16) != std::string("SQLite format 3\0", 16))
    return false;
  uint32_t page_size = (uint32_t{header[16]} << 8) | header[17];
  if (page_size == 1) page_size = 65536;
  if (page_size < 512 || (page_size & (page_size - 1)) != 0) return false;
  const uint32_t pages = BigEndian(header + 28);
  if (BigEndian(header + 92) != BigEndian(header + 24) || pages == 0) return false;
  std::error_code ec;
  return fs::file_size(path, ec) == uint64_t{pages} * page_size && !ec && BareOpen(path);
}

bool Pragma(const std::string& path, const char* setup, const char* check,
            int flags = SQLITE_OPEN_READONLY) {
  sqlite3* h = Open(path, flags);
  if (!h) return false;
  if (setup) sqlite3_exec(h, setup, nullptr, nullptr, nullptr);
  const std::string result = Read(h, check);
  sqlite3_close(h);
  return result == "ok";
}

bool OpensWith(const std::string& path, const orv::db::OpenOptions& options) {
  try {
    orv::db::OpenDatabase(path, options)->Close();
    return true;
  } catch (const orv::OrvError&) {
    return false;
  }
}

// A cheaper candidate beside the structure check: the first row of every
// table and index, which reads the path from each root page to its first
// leaf (a cost that grows with the number of tables, not of rows).
bool FirstRows(const std::string& path) {
  sqlite3* h = Open(path);
  if (!h) return false;
  sqlite3_stmt* s = nullptr;
  sqlite3_prepare_v2(h, "SELECT name, tbl_name, type FROM sqlite_schema WHERE type IN "
                        "('table', 'index') AND sql IS NOT NULL", -1, &s, nullptr);
  std::vector<std::string> probes;
  while (sqlite3_step(s) == SQLITE_ROW) {
    const std::string name = reinterpret_cast<const char*>(sqlite3_column_text(s, 0));
    const std::string table = reinterpret_cast<const char*>(sqlite3_column_text(s, 1));
    const std::string type = reinterpret_cast<const char*>(sqlite3_column_text(s, 2));
    probes.push_back(type == "table"
                         ? "SELECT * FROM \"" + table + "\" LIMIT 1"
                         : "SELECT 1 FROM \"" + table + "\" INDEXED BY \"" + name + "\" LIMIT 1");
  }
  sqlite3_finalize(s);
  bool ok = true;
  for (const std::string& sql : probes) ok = ok && Read(h, sql.c_str()).rfind("error", 0) != 0;
  sqlite3_close(h);
  return ok;
}

double Best(const std::function<bool()>& run) {
  double best = 1e9;
  for (int i = 0; i < kRepeats; ++i) {
    const auto t = Clock::now();
    if (!run()) std::printf("  (the check failed on the good file)\n");
    best = std::min(best, Millis(t));
  }
  return best;
}

// Another program's write that breaks a declared size: the first text
// column with a size check in a table with rows gets one character too many.
void BreakADeclaredSize(const std::string& path) {
  sqlite3* h = Open(path, SQLITE_OPEN_READWRITE);
  sqlite3_stmt* s = nullptr;
  sqlite3_prepare_v2(h, "SELECT name, sql FROM sqlite_schema WHERE type = 'table'", -1, &s,
                     nullptr);
  static const std::regex size_check(R"re(CHECK \(length\("([^"]+)"\) <= ([0-9]+)\))re");
  std::string update;
  while (update.empty() && sqlite3_step(s) == SQLITE_ROW) {
    const std::string table = reinterpret_cast<const char*>(sqlite3_column_text(s, 0));
    const auto* sql = reinterpret_cast<const char*>(sqlite3_column_text(s, 1));
    std::smatch m;
    const std::string text = sql ? sql : "";
    if (!std::regex_search(text, m, size_check)) continue;
    const std::string count = Read(h, ("SELECT count(*) FROM \"" + table + "\"").c_str());
    if (count == "0") continue;
    update = "UPDATE \"" + table + "\" SET \"" + m[1].str() + "\" = printf('%.*c', " +
             std::to_string(std::stoi(m[2].str()) + 1) +
             ", 'x') WHERE rowid = (SELECT min(rowid) FROM \"" + table + "\")";
  }
  sqlite3_finalize(s);
  sqlite3_exec(h, "PRAGMA ignore_check_constraints=1", nullptr, nullptr, nullptr);
  if (update.empty() || sqlite3_exec(h, update.c_str(), nullptr, nullptr, nullptr) != SQLITE_OK)
    std::printf("(no size to break: %s)\n", sqlite3_errmsg(h));
  sqlite3_close(h);
}

}  // namespace

int main(int argc, char** argv) {
  const std::string arg = argc > 1 ? argv[1] : "100000";
  const fs::path dir = fs::temp_directory_path() / ("bench_opencheck_" + std::to_string(getpid()));
  fs::create_directories(dir);
  std::string path = (dir / "claimants.db").string();
  try {
    if (!arg.empty() && std::isdigit(static_cast<unsigned char>(arg[0])) && !fs::exists(arg)) {
      const auto t = Clock::now();
      Build(path, std::atoi(arg.c_str()));
      std::printf("built %s rows in %.0f ms\n", arg.c_str(), Millis(t));
    } else {
      fs::copy_file(arg, path);
    }
  } catch (const orv::OrvError& e) {
    std::fprintf(stderr, "Error %d: %s\n", e.Number(), e.Description().c_str());
    return 2;
  }
  const auto size = static_cast<std::streamoff>(fs::file_size(path));
  std::printf("file: %.1f MB, %lld pages of 4096 bytes\n\n", static_cast<double>(size) / 1e6,
              static_cast<long long>(size / 4096));

  orv::db::OpenOptions read_only;
  read_only.read_only = true;
  orv::db::OpenOptions structure;
  structure.check = orv::db::OpenCheck::Structure;
  orv::db::OpenOptions structure_read_only = read_only;
  structure_read_only.check = orv::db::OpenCheck::Structure;
  const std::vector<Check> checks = {
      {"bare open (floor)", BareOpen},
      {"header check", HeaderCheck},
      {"quick_check(1)",
       [](const std::string& p) { return Pragma(p, nullptr, "PRAGMA quick_check(1)"); }},
      {"quick_check(1), read-write",
       [](const std::string& p) {
         return Pragma(p, nullptr, "PRAGMA quick_check(1)", SQLITE_OPEN_READWRITE);
       }},
      {"quick_check(1), mmap",
       [](const std::string& p) {
         return Pragma(p, "PRAGMA mmap_size=1073741824", "PRAGMA quick_check(1)");
       }},
      {"integrity_check(1)",
       [](const std::string& p) { return Pragma(p, nullptr, "PRAGMA integrity_check(1)"); }},
      {"OpenDatabase shared", [](const std::string& p) { return OpensWith(p, {}); }},
      {"OpenDatabase read-only", [&](const std::string& p) { return OpensWith(p, read_only); }},
      {"structure, shared", [&](const std::string& p) { return OpensWith(p, structure); }},
      {"structure, read-only",
       [&](const std::string& p) { return OpensWith(p, structure_read_only); }},
      {"structure + first rows",
       [&](const std::string& p) { return OpensWith(p, structure) && FirstRows(p); }},
  };
  std::printf("%-26s %10s\n", "check", "best ms");
  for (const Check& c : checks)
    std::printf("%-26s %10.1f\n", c.name, Best([&] { return c.passes(path); }));

  // The damaged-file tests' damages, and a row that breaks a declared size.
  std::vector<orv::test::Damage> damages = orv::test::Damages();
  damages.push_back({"a text over its size", BreakADeclaredSize});
  std::printf("\nfound by each check (x = refused):\n%-40s", "damage");
  for (size_t i = 1; i < checks.size(); ++i) std::printf(" %2zu", i);
  std::printf("\n");
  for (const orv::test::Damage& d : damages) {
    const std::string bad = (dir / "bad.db").string();
    std::printf("%-40s", d.name);
    for (size_t i = 1; i < checks.size(); ++i) {
      fs::remove(bad);
      fs::copy_file(path, bad);
      d.spoil(bad);
      std::printf("  %s", checks[i].passes(bad) ? "." : "x");
    }
    std::printf("\n");
  }
  for (size_t i = 1; i < checks.size(); ++i) std::printf("%2zu: %s\n", i, checks[i].name);
  fs::remove_all(dir);
  return 0;
}
