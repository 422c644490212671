#include "TestDustData.h"

#include <exception>
#include <filesystem>

#include "Database.h"
#include "DustDataBuild.h"
#include "DustDataFiles.h"
#include "DustDataPassword.h"

namespace orv::dust::test {

namespace fs = std::filesystem;

const std::string& FixtureDb() {
  static TempDir dir;
  static const std::string path = [] {
    const std::string p = dir.File("DUSTDATA.db");
    orv::dustdata::BuildFromCsv(orv::dustdata::test::FixtureDir(), p, true);
    return p;
  }();
  return path;
}

void EditDb(const std::string& path, const std::vector<Edit>& edits) {
  db::OpenOptions options;
  options.connect = DustDataConnect();
  const db::DatabasePtr d = db::OpenDatabase(path, options);
  for (const Edit& e : edits) d->Execute(e.sql, e.values);
  d->Close();
}

void CopyFixture(const std::string& path, const std::vector<Edit>& edits) {
  fs::copy_file(FixtureDb(), path, fs::copy_options::overwrite_existing);
  if (!edits.empty()) EditDb(path, edits);
}

void BuildUnexpanded(const std::string& path) {
  TempDir csv;
  for (const auto& entry : fs::directory_iterator(orv::dustdata::test::FixtureDir()))
    if (entry.path().filename() != "dust_matrix.csv")
      fs::copy_file(entry.path(), fs::path(csv.path()) / entry.path().filename());
  orv::dustdata::BuildFromCsv(csv.path(), path, true);
}

void OnFreshThread(const std::function<void()>& body) {
  std::exception_ptr failure;
  std::thread t([&] {
    try {
      body();
    } catch (...) {
      failure = std::current_exception();
    }
  });
  t.join();
  if (failure) std::rethrow_exception(failure);
}

}  // namespace orv::dust::test
