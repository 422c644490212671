#include "HistoryRows.h"

#include "OrvError.h"

namespace orv::tarnby {

namespace {

int32_t Int(const db::Recordset& rs, const char* field) {
  const Value v = rs.Field(field);
  return v.IsNull() ? 0 : v.AsInt32();
}

float Single(const db::Recordset& rs, const char* field) {
  const Value v = rs.Field(field);
  return v.IsNull() ? 0.0f : v.AsSingle();
}

}  // namespace

WorkRow ReadWorkRow(const db::Recordset& rs) {
  WorkRow r;
  r.ID = Int(rs, "ID");
  r.CollieryID = Int(rs, "CollieryID");
  r.JobFactorID = Int(rs, "JobFactorID");
  r.RespFactorID = Int(rs, "RespFactorID");
  r.StartYear = static_cast<int16_t>(Int(rs, "StartYear"));
  r.EndYear = static_cast<int16_t>(Int(rs, "EndYear"));
  r.PitName = rs.Field("PitName").TextOrEmpty();
  return r;
}

SmokeRow ReadSmokeRow(const db::Recordset& rs) {
  SmokeRow r;
  r.ID = Int(rs, "ID");
  r.SmokeCategoryID = Int(rs, "SmokeCategoryID");
  r.Years = Int(rs, "Years");
  r.StartYear = static_cast<int16_t>(Int(rs, "StartYear"));
  r.EndYear = static_cast<int16_t>(Int(rs, "EndYear"));
  return r;
}

std::string RowKey(int32_t id) { return "ID" + std::to_string(id); }

dust::UserFactor UserFactorFromRow(const db::Recordset& rs) {
  dust::UserFactor f;
  f.ID = Int(rs, "ID");
  f.Code = rs.Field("CODE").TextOrEmpty();
  f.Descr = rs.Field("DESCR").TextOrEmpty();
  f.JobFactor = Single(rs, "JOBFACTOR");
  f.DustyTimeFactor = Single(rs, "DUSTYTIMEFACTOR");
  f.RespFactor = Single(rs, "RESPFACTOR");
  f.StartYear = static_cast<int16_t>(Int(rs, "STARTYEAR"));
  f.EndYear = static_cast<int16_t>(Int(rs, "ENDYEAR"));
  f.StartYearVal = Single(rs, "STARTYEARVAL");
  f.EndYearVal = Single(rs, "ENDYEARVAL");
  f.YearsPastClosure = Single(rs, "YEARSPASTCLOSURE");
  return f;
}

std::optional<dust::UserFactor> ReadUserFactor(db::Database& database, int32_t id) {
  db::RecordsetPtr rs = database.OpenRecordset("SELECT * FROM USERFACTOR WHERE ID=?",
                                               db::RecordsetType::Snapshot, {Value(id)});
  if (rs->IsEOF()) return std::nullopt;
  return UserFactorFromRow(*rs);
}

dust::CoalJobPtr AddWorkJob(dust::colCoalJobs& jobs, db::Database& database, bool no_user_factors,
                            const WorkRow& row) {
  const std::string key = RowKey(row.ID);
  try {
    jobs.Remove(key);
  } catch (const OrvError&) {
    // Not held yet.
  }
  if (row.JobFactorID < dust::kFirstUserFactorID) {
    return jobs.Add(key, static_cast<int16_t>(row.RespFactorID), row.JobFactorID, "",
                    row.CollieryID, "", row.StartYear, row.EndYear, row.PitName);
  }
  std::optional<dust::UserFactor> f;
  if (!no_user_factors) f = ReadUserFactor(database, row.JobFactorID);
  if (f) {
    return jobs.AddWithFactorsPastClosure(
        f->ID, f->Code, f->JobFactor, dust::UserFactorJobText(*f), "N", dust::kUserFactorUplift,
        f->DustyTimeFactor, true, false, f->ID, f->RespFactor, dust::UserFactorRespText(*f), "N",
        f->StartYear, f->EndYear, f->StartYearVal, f->EndYearVal, key, row.CollieryID,
        row.StartYear, row.EndYear, row.PitName, f->YearsPastClosure);
  }
  return jobs.AddWithFactorsPastClosure(
      row.JobFactorID, "??", 0, dust::kMissingUserFactorText, "N", 0, 0, true, false,
      row.JobFactorID, 0, dust::kMissingUserFactorText, "N", 1900, 1900, 1.0f, 1.0f, key,
      row.CollieryID, row.StartYear, row.EndYear, row.PitName, 0);
}

dust::SmokeEntryPtr AddSmokeEntry(dust::colSmokeEntry& smoking, const SmokeRow& row) {
  const std::string key = RowKey(row.ID);
  try {
    smoking.Remove(key);
  } catch (const OrvError&) {
    // Not held yet.
  }
  return smoking.Add(key, row.SmokeCategoryID, "", row.Years, row.StartYear, row.EndYear);
}

}  // namespace orv::tarnby
