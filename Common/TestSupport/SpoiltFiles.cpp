#include "SpoiltFiles.h"

#include <sqlite3.h>

#include <filesystem>
#include <fstream>
#include <random>
#include <sstream>
#include <stdexcept>

#include "Database.h"

namespace orv::test {

namespace {

namespace fs = std::filesystem;

std::int64_t SizeOf(const std::string& path) {
  return static_cast<std::int64_t>(fs::file_size(path));
}

void CutTo(const std::string& path, std::int64_t size) {
  fs::resize_file(path, static_cast<std::uintmax_t>(size));
}

void OverwritePages(const std::string& path, std::int64_t first, std::int64_t count,
                    unsigned seed) {
  WriteBytes(path, RandomBytes(static_cast<size_t>(count * kPageSize), seed),
             (first - 1) * kPageSize);
}

// What another program writes into the header of a database of its own,
// written as that program would, past this system's layer.
void MarkAsAnotherProgram(const std::string& path) {
  sqlite3* h = nullptr;
  int rc = sqlite3_open_v2(path.c_str(), &h, SQLITE_OPEN_READWRITE, nullptr);
  if (rc == SQLITE_OK) rc = sqlite3_exec(h, "PRAGMA application_id=7", nullptr, nullptr, nullptr);
  sqlite3_close(h);
  if (rc != SQLITE_OK) throw std::runtime_error("cannot mark " + path + " as another program's");
}

}  // namespace

void WriteUnchecked(const std::string& path, const std::string& sql) {
  sqlite3* h = nullptr;
  int rc = sqlite3_open_v2(path.c_str(), &h, SQLITE_OPEN_READWRITE, nullptr);
  if (rc == SQLITE_OK)
    rc = sqlite3_exec(h, ("PRAGMA ignore_check_constraints=1; " + sql).c_str(), nullptr, nullptr,
                      nullptr);
  const std::string why = h ? sqlite3_errmsg(h) : "out of memory";
  sqlite3_close(h);
  if (rc != SQLITE_OK) throw std::runtime_error("cannot write " + path + ": " + why);
}

namespace {

std::string Copy(const std::string& from, const std::string& folder, const std::string& name) {
  const std::string to = (fs::path(folder) / name).string();
  fs::copy_file(from, to, fs::copy_options::overwrite_existing);
  return to;
}

// The copy with `query`'s SQL replaced, as another program could write it.
std::string Tamper(const Spoiling& s, const std::string& folder, const std::string& name,
                   const std::string& sql) {
  const std::string path = Copy(s.good, folder, name);
  db::OpenOptions o;
  o.connect = s.connect;
  db::DatabasePtr d = db::OpenDatabase(path, o);
  d->Execute("UPDATE StoredQueries SET SQL = ? WHERE Name = ?", {Value(sql), Value(s.query)});
  d->Close();
  return path;
}

}  // namespace

std::string RandomBytes(size_t n, unsigned seed) {
  std::mt19937 gen(seed);
  std::string s(n, '\0');
  for (char& c : s) c = static_cast<char>(gen() & 0xff);
  return s;
}

void WriteBytes(const std::string& path, const std::string& bytes, std::int64_t at) {
  std::fstream f(path, std::ios::in | std::ios::out | std::ios::binary);
  if (at >= 0) f.seekp(at);
  f.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
}

const std::vector<Damage>& Damages() {
  static const std::vector<Damage> damages = {
      {"truncated to half", [](const std::string& p) { CutTo(p, SizeOf(p) / 2); }},
      {"the last page cut off", [](const std::string& p) { CutTo(p, SizeOf(p) - kPageSize); }},
      {"truncated inside the first page", [](const std::string& p) { CutTo(p, 1000); }},
      {"page 6 overwritten", [](const std::string& p) { OverwritePages(p, 6, 1, 7); }},
      {"pages 2 to 4 overwritten", [](const std::string& p) { OverwritePages(p, 2, 3, 8); }},
      {"a middle page overwritten",
       [](const std::string& p) { OverwritePages(p, SizeOf(p) / 2 / kPageSize + 1, 1, 7); }},
      {"every page after the first overwritten",
       [](const std::string& p) { OverwritePages(p, 2, SizeOf(p) / kPageSize - 1, 8); }},
      {"random bytes",
       [](const std::string& p) { std::ofstream(p, std::ios::binary) << RandomBytes(65536, 9); }},
      {"a text file",
       [](const std::string& p) {
         std::ofstream out(p, std::ios::trunc);
         for (int i = 0; i < 200; ++i) out << "ID,SURNAME\n" << i << ",Smith\n";
       }},
      {"an empty file", [](const std::string& p) { std::ofstream(p, std::ios::trunc); }},
      {"a database of another program", MarkAsAnotherProgram},
  };
  return damages;
}

const Damage& DamageNamed(std::string_view name) {
  for (const Damage& d : Damages()) {
    if (name == d.name) return d;
  }
  throw std::out_of_range("no damage named " + std::string(name));
}

std::vector<SpoiltFile> SpoilCopies(const Spoiling& s, const std::string& folder) {
  std::vector<SpoiltFile> out;
  int n = 0;
  for (const char* kind : {"truncated to half", "random bytes", "a text file"}) {
    const std::string path = Copy(s.good, folder, "damaged" + std::to_string(++n) + ".db");
    DamageNamed(kind).spoil(path);
    out.push_back({kind, path, false, {}});
  }

  out.push_back({"the other kind", Copy(s.other_kind, folder, "other-kind.db"), false, {}});

  out.push_back(
      {"a query made a DELETE", Tamper(s, folder, "deleting.db", "DELETE FROM " + s.table), true, {}});
  out.push_back({"a query that does not compile",
                 Tamper(s, folder, "broken.db",
                        "SELECT * FROM " + s.table + " WHERE NO_SUCH_COLUMN = 1"),
                 true, {}});
  const std::string attached = (fs::path(folder) / "attached.db").string();
  out.push_back({"a query made an ATTACH",
                 Tamper(s, folder, "attaching.db", "ATTACH DATABASE '" + attached + "' AS other"),
                 true, attached});
  return out;
}

std::string FileBytes(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  std::ostringstream s;
  s << in.rdbuf();
  return s.str();
}

}  // namespace orv::test
