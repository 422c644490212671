// Stored history rows into the engine's jobs and smoking entries, one row at
// a time, as the history grids load and save them. The rows and their
// reading are the calculation's own (ClaimantCalc.h), so that a grid and a
// calculation of the same claimant hold the same jobs. A job whose job
// factor is a user-defined factor (ID 10000 or more) takes all its factor
// values from the claimant database's USERFACTOR row; a job whose factor row
// is gone becomes the "Missing user defined factor" placeholder.
#pragma once

#include <cstdint>
#include <optional>
#include <string>

#include "ClaimantCalc.h"
#include "Database.h"
#include "HistoryLoader.h"
#include "OrvError.h"
#include "colCoalJobs.h"
#include "colSmokeEntry.h"

namespace orv::tarnby {

using claimcalc::ReadSmokeRow;
using claimcalc::ReadWorkRow;
using claimcalc::RowKey;
using claimcalc::SmokeRow;
using claimcalc::WorkRow;

// Removes what a collection holds under `key`, when it holds anything (an
// entry being added has nothing held yet).
template <typename Collection>
void RemoveIfHeld(Collection& collection, const std::string& key) {
  try {
    collection.Remove(key);
  } catch (const OrvError&) {
    // Not held.
  }
}

// The USERFACTOR row of that ID; none when the row is missing.
std::optional<dust::UserFactor> ReadUserFactor(db::Database& database, int32_t id);

// Adds the row's job to `jobs` under RowKey, first removing a job already
// held under that key. With `no_user_factors` (the database has no
// USERFACTOR table) a user-defined factor job is the placeholder. Lookup
// failures of the engine are raised unchanged.
dust::CoalJobPtr AddWorkJob(dust::colCoalJobs& jobs, db::Database& database, bool no_user_factors,
                            WorkRow row);
dust::SmokeEntryPtr AddSmokeEntry(dust::colSmokeEntry& smoking, const SmokeRow& row);

}  // namespace orv::tarnby
