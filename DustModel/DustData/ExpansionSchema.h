// The matrix expansion's working tables (OPENRANGE, AREAAVERAGE,
// AVERAGECALC, COLLIERYCOUNT, TORTIOUSAVG) and every stored query it
// prepares: part of a dust data database's structure, installed by the
// build after the base schema and checked by the check, so they are kept
// here with the rest of the file's structure; the expansion runs them and
// calls on this library, never the other way round. TORTIOUSDUST, where the
// expansion leaves the national averages, belongs to the base schema, since
// the engine reads it.
#pragma once

#include <string>
#include <vector>

#include "StoredQuery.h"

namespace orv::db {
class Database;
}

namespace orv::dustdata {

// The stored queries the expansion prepares, in the order of its steps.
const std::vector<StoredQuery>& ExpansionQueries();

// The expansion's action queries (those that change rows) whose SQL in `db`
// is not this program's own text, by name; a missing one counts as well.
std::vector<std::string> ForeignActionQueries(orv::db::Database& db);

// Refuses (3033, naming the query and the file) a database whose action
// queries are not this program's own: the expansion writes to the file
// only through queries whose text it knows.
void RequireOwnActionQueries(orv::db::Database& db);

// Creates the working tables, their indexes and the stored queries in an
// open database that has the base schema.
void InstallExpansionSchema(orv::db::Database& db);

}  // namespace orv::dustdata
