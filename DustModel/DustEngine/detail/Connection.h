// Library-internal: the thread's connection state behind modGlobals.h and
// DataLookups.h.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "DataLookups.h"
#include "Database.h"
#include "LookupMemory.h"
#include "ModelParameters.h"
#include "modGlobals.h"

namespace orv::dust::detail {

// The prepared queries, in the order SetupDataDB prepares them (qGetParm is
// prepared by ReadParms itself, qCollieryLiabilitySplit after it).
enum QueryId {
  kDustMatrix,
  kTortious,
  kSmokeFactor,
  kSmokeFactorByCode,
  kCollieryByID,
  kRespFactor,
  kJobFactor,
  kJobFactorByCode,
  kOpenRange,
  kGetParm,
  kLiabilitySplit,
  kQueryCount
};

// One stored query definition and its open snapshot cursor. The cursor is
// declared after the definition so that it is released first.
struct Prepared {
  db::QueryDefPtr def;
  db::RecordsetPtr cursor;
};

// What SetupDataDB rebuilds. The database is declared first so that the
// cursors are released before it.
struct ConnectionState {
  db::DatabasePtr database;
  Prepared queries[kQueryCount];
  ModelParms parms;
  int16_t def_start_year = 0;
  int16_t def_end_year = 0;
  LookupMemory remembered;
};

struct ThreadState {
  ConnectionState conn;
  bool data_ready = false;
  // Set while the connection reopens itself after an expansion, so that an
  // expansion that did not mark the matrix as ready is not started again.
  bool reopening_after_expansion = false;
  SharedListCursor lists[kListKinds];
  // DataReadSpans alive, and the dust data database whose read transaction
  // the first lookup inside them began (none while every answer came from
  // memory).
  int read_spans = 0;
  db::DatabasePtr span_database;
};

ThreadState& State();
inline ConnectionState& Conn() { return State().conn; }

// The prepared query; error 91 when the connection has not prepared it.
Prepared& Query(QueryId id);

// Sets the parameters, re-runs the query's cursor with its definition and
// tells whether a row was found; the cursor then stands on that row. Inside
// a DataReadSpan, the first run begins the span's read transaction.
[[nodiscard]] bool Run(Prepared& q);

// The kind of ModelParms field each entry of the model parameter table is
// stored in, in the table's order (for the check that the two agree).
std::vector<orv::dustdata::ParmKind> ParmFieldKinds();

// Forgets every remembered lookup answer of the thread's connection.
inline void ClearLookupMemory() { Conn().remembered.Clear(); }

// Releases every prepared cursor, then the database (a list's cursor may
// still hold it open).
void ReleaseConnection();
// Releases as above and closes the database file (compaction).
void CloseConnection();

}  // namespace orv::dust::detail
