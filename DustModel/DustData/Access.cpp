#include "detail/Access.h"

#include <filesystem>

#include "InputError.h"
#include "DustDataPassword.h"

namespace orv::dustdata::detail {

orv::db::DatabasePtr OpenDustData(const std::string& path, bool read_only) {
  if (!std::filesystem::is_regular_file(path)) {
    throw orv::InputError(path, 0, {}, "no such database file");
  }
  orv::db::OpenOptions options;
  options.read_only = read_only;
  options.connect = orv::DustDataConnect();
  options.kind = orv::db::DatabaseKind::DustData;
  return orv::db::OpenDatabase(path, options);
}

std::optional<std::string> ReadParm(orv::db::Database& db, const std::string& key) {
  auto rs = db.OpenRecordset("SELECT PARMVALUE FROM PARMS WHERE PARM = ? COLLATE NOCASE",
                             orv::db::RecordsetType::Snapshot, {orv::Value(key)});
  if (rs->IsEOF()) return std::nullopt;
  return rs->Field(0).TextOrEmpty();
}

}  // namespace orv::dustdata::detail
