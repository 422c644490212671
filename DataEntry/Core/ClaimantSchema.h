// The claimant database's tables, queries and structure levels, as
// modTarnbyDatabase applies them. Private to the data-entry core.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "Database.h"

namespace orv::tarnby::schema {

// The base structure every claimant database has: PARMS with VERSION 3,
// CLAIMANT, WORKHISTORY, SMOKEHISTORY and the queries qdclaimant, qdWork,
// qdJob, qdSmoke and qdSmokeEntry.
void CreateBase(db::Database& database);

// Every table some structure level defines (a database at a lower level
// has fewer of them). The claimant database has no views; its only triggers
// are the change history's (ChangeHistoryTriggers).
const std::vector<std::string>& DefinedTables();

// One structure level's changes (not its PCVERSION record).
struct Level {
  int16_t number;
  void (*apply)(db::Database& database);
};

// Levels 1 to 21 in ascending order; there is no level 13.
const std::vector<Level>& Levels();

// The SQL pattern test of a text column against a parameter written with
// "*" and "?" wildcards (matched ignoring case; "%", "_" and "\" in the
// pattern stand for themselves). On a server, whose LIKE heeds case, it is
// ILIKE.
std::string LikePattern(const std::string& column, const std::string& parameter,
                        bool server = false);

}  // namespace orv::tarnby::schema
