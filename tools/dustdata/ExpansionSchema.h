// The matrix expansion's own working tables and stored queries, installed
// after the base schema. A query defined here with the name of a base query
// replaces it.
#pragma once

namespace orv::db {
class Database;
}

namespace orv::dustdata {

void InstallExpansionSchema(orv::db::Database& db);

}  // namespace orv::dustdata
