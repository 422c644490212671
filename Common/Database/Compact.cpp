// Compaction: the closed database is copied into a new file with VACUUM INTO,
// which writes every table (the info table with the password among them) and
// the application_id mark afresh, without free pages.
#include <filesystem>
#include <system_error>

#include "Impl.h"

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
  options.connect = source_connect;
  const DatabasePtr db = OpenDatabase(source, options);
  const auto& conn = static_cast<detail::SqliteDatabase&>(*db).Conn();
  detail::RunOnce(conn, "VACUUM INTO ?", {Value(dest.lexically_normal().string())}, kSource);
  db->Close();
}

}  // namespace orv::db
