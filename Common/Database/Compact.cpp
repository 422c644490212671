// Compaction: the closed database is copied into a new file with VACUUM INTO,
// which writes every table (the info table with the password among them) and
// the application_id mark afresh, without free pages. The source is opened
// exclusively, so the copy is refused while anyone else has the file open
// and nobody can write to it during the copy.
#include <filesystem>
#include <system_error>

#include "Impl.h"
#include "OrvError.h"

namespace orv::db {

void CompactDatabase(const std::string& source, const std::string& destination,
                     const std::string& source_connect) {
  constexpr const char* kSource = "DAO.DBEngine";
  std::error_code ec;
  const std::filesystem::path dest = std::filesystem::absolute(destination, ec);
  if (ec || destination.empty()) {
    detail::Raise(dberr::kPathNotValid, kSource, "'" + destination + "' is not a valid path.");
  }
  if (std::filesystem::exists(dest, ec)) {
    detail::Raise(detail::kDatabaseExists, kSource, "Database already exists.");
  }
  OpenOptions options;
  options.read_only = true;
  options.exclusive = true;
  options.connect = source_connect;
  const DatabasePtr db = OpenDatabase(source, options);
  try {
    db->CopyTo(dest.string());
  } catch (OrvError& e) {
    e.SetSource(kSource);
    throw;
  }
  db->Close();
}

}  // namespace orv::db
