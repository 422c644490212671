// The base schema of a dust data database: tables, indexes and the stored
// queries the engine's data connection and lookup lists read.
#pragma once

#include <string>
#include <vector>

namespace orv::db {
class Database;
}

namespace orv::dustdata {

struct StoredQuery {
  const char* name;
  const char* parameters;  // "WhatCollieryID Long; WhatYear Integer"
  const char* sql;
  const char* returns;  // one line for the documentation
};

// The stored queries of the base schema, in the order the engine prepares
// them, then the list queries.
const std::vector<StoredQuery>& BaseQueries();

// Creates the base tables, their indexes and the base stored queries.
void InstallBaseSchema(orv::db::Database& db);

// The model parameter keys the engine reads, in its reading order, with the
// kind of value each must hold.
enum class ParmKind { Text, Single, Int16, Int32, Bool };
struct ModelParameter {
  const char* key;
  ParmKind kind;
  bool required;  // false only for LiabilitySplitEnhancements
};
const std::vector<ModelParameter>& ModelParameters();

}  // namespace orv::dustdata
