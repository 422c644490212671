// Small pieces shared by build, export, check and expand: opening a dust
// data database and reading a model parameter.
#pragma once

#include <optional>
#include <string>

#include "Database.h"

namespace orv::dustdata::detail {

// Opens an existing dust data database with its password. A missing file is
// an InputError (the caller named a file that is not there).
orv::db::DatabasePtr OpenDustData(const std::string& path, bool read_only);

// The stored text of a model parameter (key ignoring case), or nullopt.
std::optional<std::string> ReadParm(orv::db::Database& db, const std::string& key);

}  // namespace orv::dustdata::detail
