#include "HistoryRows.h"

#include "OrvError.h"

namespace orv::tarnby {

std::optional<dust::UserFactor> ReadUserFactor(db::Database& database, int32_t id) {
  db::RecordsetPtr rs = database.OpenRecordset("SELECT * FROM USERFACTOR WHERE ID=?",
                                               db::RecordsetType::Snapshot, {Value(id)});
  if (rs->IsEOF()) return std::nullopt;
  return claimcalc::ReadUserFactorRow(*rs);
}

dust::CoalJobPtr AddWorkJob(dust::colCoalJobs& jobs, db::Database& database, bool no_user_factors,
                            WorkRow row) {
  RemoveIfHeld(jobs, RowKey(row.ID));
  if (row.JobFactorID >= dust::kFirstUserFactorID && !no_user_factors)
    row.user_factor = ReadUserFactor(database, row.JobFactorID);
  return dust::AddJob(jobs, claimcalc::ToHistoryJob(row));
}

dust::SmokeEntryPtr AddSmokeEntry(dust::colSmokeEntry& smoking, const SmokeRow& row) {
  RemoveIfHeld(smoking, RowKey(row.ID));
  return dust::AddSmoke(smoking, claimcalc::ToHistorySmoke(row));
}

}  // namespace orv::tarnby
