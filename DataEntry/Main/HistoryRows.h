// Stored history rows turned into the engine's jobs and smoking entries,
// one row at a time, as the history grids load and save them. A job whose
// job factor is a user-defined factor (ID 10000 or more) takes all its
// factor values from the claimant database's USERFACTOR row; a job whose
// factor row is gone becomes the "Missing user defined factor" placeholder.
#pragma once

#include <cstdint>
#include <optional>
#include <string>

#include "Database.h"
#include "HistoryLoader.h"
#include "colCoalJobs.h"
#include "colSmokeEntry.h"

namespace orv::tarnby {

struct WorkRow {
  int32_t ID = 0;
  int32_t CollieryID = 0;
  int32_t JobFactorID = 0;
  int32_t RespFactorID = 0;
  int16_t StartYear = 0;
  int16_t EndYear = 0;
  std::string PitName;
};

struct SmokeRow {
  int32_t ID = 0;
  int32_t SmokeCategoryID = 0;
  int32_t Years = 0;
  int16_t StartYear = 0;
  int16_t EndYear = 0;
};

// The current row of a work or smoking recordset (null numbers read as 0).
WorkRow ReadWorkRow(const db::Recordset& rs);
SmokeRow ReadSmokeRow(const db::Recordset& rs);

// The collection key of a row: "ID" and the row's ID.
std::string RowKey(int32_t id);

// The USERFACTOR row of that ID; none when the row (or, with
// `no_user_factors`, the table) is missing.
std::optional<dust::UserFactor> ReadUserFactor(db::Database& database, int32_t id);
dust::UserFactor UserFactorFromRow(const db::Recordset& rs);

// Adds the row's job to `jobs` under RowKey, first removing a job already
// held under that key. Lookup failures of the engine are raised unchanged.
dust::CoalJobPtr AddWorkJob(dust::colCoalJobs& jobs, db::Database& database, bool no_user_factors,
                            const WorkRow& row);
dust::SmokeEntryPtr AddSmokeEntry(dust::colSmokeEntry& smoking, const SmokeRow& row);

}  // namespace orv::tarnby
