// The base schema of a dust data database: its tables (one per CSV file,
// and TORTIOUSDUST, the calculated national averages the engine's tortious
// lookup prefers), their indexes and the stored queries the engine's data
// connection, its lookup lists and the export read.
#pragma once

#include <vector>

#include "StoredQuery.h"

namespace orv::db {
class Database;
}

namespace orv::dustdata::detail {

// The stored queries of the base schema: the engine's lookups in the order
// it prepares them, then the list queries, then the export's.
const std::vector<StoredQuery>& BaseQueries();

// Creates the base tables, their indexes and the base stored queries.
void InstallBaseSchema(orv::db::Database& db);

// The query the export reads the tortious rows of an expanded database with.
inline constexpr const char* kTortiousExportQuery = "qTortiousExport";

}  // namespace orv::dustdata::detail
