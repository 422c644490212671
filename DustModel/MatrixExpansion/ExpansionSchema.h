// The matrix expansion's own working tables (OPENRANGE, AREAAVERAGE,
// AVERAGECALC, COLLIERYCOUNT, TORTIOUSAVG) and every stored query it
// prepares. A dust data database gets them after its base schema (the dust
// data library's build installs both); TORTIOUSDUST, where the expansion
// leaves the national averages, belongs to the base schema, since the
// engine reads it.
#pragma once

#include <vector>

#include "StoredQuery.h"

namespace orv::db {
class Database;
}

namespace orv::dustm {

// The stored queries the expansion prepares, in the order of its steps.
const std::vector<orv::dustdata::StoredQuery>& ExpansionQueries();

// Creates the working tables, their indexes and the stored queries in an
// open database that has the base schema.
void InstallExpansionSchema(orv::db::Database& db);

}  // namespace orv::dustm
