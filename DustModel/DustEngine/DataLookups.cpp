// The typed lookups of jobs and smoking entries through the connection's
// prepared queries.
#include "DataLookups.h"

#include "OrvError.h"
#include "detail/Connection.h"
#include "modGlobals.h"

namespace orv::dust {

namespace {

using detail::Prepared;

// Runs the query with one parameter and tells whether a row was found.
Prepared* RunWith(detail::QueryId id, const char* param, const Value& value) {
  Prepared& q = detail::Query(id);
  q.def->SetParameter(param, value);
  return detail::Run(q) ? &q : nullptr;
}

Value F(const Prepared& q, const char* name) { return q.cursor->Field(name); }

void ReadJobFactorFields(const Prepared& q, JobFactorRow& row) {
  row.Factor = F(q, "Factor").AsSingle();
  row.Descr = F(q, "Descr").TextOrEmpty();
  row.Surface = F(q, "Surface").TextOrEmpty();
  row.Uplift = F(q, "Uplift").AsSingle();
  row.DustyTimeFactor = F(q, "DUSTYTIMEFACTOR").AsSingle();
  row.NonCHA = F(q, "NonCHA").AsBool();
  row.NonCHACheck = F(q, "NonCHACheck").AsBool();
  row.YearsPastClose = F(q, "YearsPastClose").AsSingle();
}

}  // namespace

bool LookupCollieryByID(int32_t id, CollieryRow& row) {
  const Prepared* q = RunWith(detail::kCollieryByID, "WhatID", id);
  if (!q) return false;
  row.Colliery = F(*q, "Colliery").TextOrEmpty();
  row.AREA = F(*q, "AREA").TextOrEmpty();
  const Value area = F(*q, "CoalAreaID");
  row.CoalAreaID = area.IsNull() ? 0 : area.AsInt32();
  return true;
}

bool LookupJobFactor(int32_t id, JobFactorRow& row) {
  const Prepared* q = RunWith(detail::kJobFactor, "WhatID", id);
  if (!q) return false;
  row.ID = id;
  row.Code = F(*q, "Code").TextOrEmpty();
  ReadJobFactorFields(*q, row);
  return true;
}

bool LookupJobFactorByCode(const std::string& code, JobFactorRow& row) {
  const Prepared* q = RunWith(detail::kJobFactorByCode, "WhatCode", code);
  if (!q) return false;
  row.ID = F(*q, "ID").AsInt32();
  row.Code = code;
  ReadJobFactorFields(*q, row);
  return true;
}

bool LookupRespFactor(int32_t id, RespFactorRow& row) {
  const Prepared* q = RunWith(detail::kRespFactor, "WhatID", id);
  if (!q) return false;
  row.Factor = F(*q, "Factor").AsSingle();
  row.Descr = F(*q, "Descr").TextOrEmpty();
  row.Surface = F(*q, "Surface").TextOrEmpty();
  row.StartYear = F(*q, "StartYear").AsInt16();
  row.EndYear = F(*q, "EndYear").AsInt16();
  row.StartYearVal = F(*q, "StartYearVal").AsSingle();
  row.EndYearVal = F(*q, "EndYearVal").AsSingle();
  return true;
}

bool LookupSmokeFactor(int32_t id, SmokeFactorRow& row) {
  const Prepared* q = RunWith(detail::kSmokeFactor, "WhatID", id);
  if (!q) return false;
  row.ID = id;
  row.Code = F(*q, "Code").TextOrEmpty();
  row.Factor = F(*q, "Factor").AsSingle();
  row.LISTDESCR = F(*q, "LISTDESCR").TextOrEmpty();
  return true;
}

bool LookupSmokeFactorByCode(const std::string& code, SmokeFactorRow& row) {
  const Prepared* q = RunWith(detail::kSmokeFactorByCode, "WhatCode", code);
  if (!q) return false;
  row.ID = F(*q, "ID").AsInt32();
  row.Code = code;
  row.Factor = F(*q, "Factor").AsSingle();
  row.LISTDESCR = F(*q, "LISTDESCR").TextOrEmpty();
  return true;
}

db::DatabasePtr OpenDataDB() {
  const db::DatabasePtr& d = detail::Conn().database;
  if (!d || !d->IsOpen()) RaiseStandard(err::kObjectNotSet);
  return d;
}

SharedListCursor& ListCursor(ListKind kind) {
  return detail::State().lists[static_cast<int>(kind)];
}

DataReadSpan::DataReadSpan() {
  if (DataDBName().empty()) return;
  database_ = OpenDataDB();
  database_->BeginTrans();
}

DataReadSpan::~DataReadSpan() {
  if (!database_) return;
  try {
    database_->CommitTrans();
  } catch (...) {
    // Nothing was written; the lock goes with the transaction either way.
  }
}

}  // namespace orv::dust
