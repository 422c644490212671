#include "SpoiltFiles.h"

#include <filesystem>
#include <fstream>
#include <random>
#include <sstream>

#include "Database.h"

namespace orv::test {

namespace {

namespace fs = std::filesystem;

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

std::vector<SpoiltFile> SpoilCopies(const Spoiling& s, const std::string& folder) {
  std::vector<SpoiltFile> out;

  const std::string cut = Copy(s.good, folder, "truncated.db");
  fs::resize_file(cut, fs::file_size(cut) / 2);
  out.push_back({"truncated", cut, false, {}});

  const std::string noise = (fs::path(folder) / "random.db").string();
  {
    std::mt19937 gen(20240607);
    std::ofstream f(noise, std::ios::binary);
    for (int i = 0; i < 65536; ++i) f.put(static_cast<char>(gen() & 0xff));
  }
  out.push_back({"random bytes", noise, false, {}});

  const std::string text = (fs::path(folder) / "text.db").string();
  {
    std::ofstream f(text);
    for (int i = 0; i < 500; ++i) f << "ID,SURNAME,FIRSTNAME\n" << i << ",Smith,John\n";
  }
  out.push_back({"a text file", text, false, {}});

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
