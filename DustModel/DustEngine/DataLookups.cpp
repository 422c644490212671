// The typed lookups of jobs and smoking entries through the connection's
// prepared queries.
#include "DataLookups.h"

#include <optional>

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

// The remembered answer of a lookup by one parameter: `read` fills the row
// from the query's cursor when the query finds one.
template <class Key, class Row, class Read>
bool Recall(detail::Remembered<Key, std::optional<Row>>& memory, detail::QueryId id,
            const char* param, const Key& key, Row& row, Read read) {
  const std::optional<Row>& answer = memory.Recall(key, [&]() -> std::optional<Row> {
    const Prepared* q = RunWith(id, param, key);
    if (!q) return std::nullopt;
    Row found;
    read(*q, found);
    return found;
  });
  if (!answer) return false;
  row = *answer;
  return true;
}

detail::LookupMemory& Memory() { return detail::Conn().remembered; }

}  // namespace

bool LookupCollieryByID(int32_t id, CollieryRow& row) {
  return Recall(Memory().colliery, detail::kCollieryByID, "WhatID", id, row,
                [](const Prepared& q, CollieryRow& r) {
                  r.Colliery = F(q, "Colliery").TextOrEmpty();
                  r.AREA = F(q, "AREA").TextOrEmpty();
                  const Value area = F(q, "CoalAreaID");
                  r.CoalAreaID = area.IsNull() ? 0 : area.AsInt32();
                });
}

bool LookupJobFactor(int32_t id, JobFactorRow& row) {
  return Recall(Memory().job_factor, detail::kJobFactor, "WhatID", id, row,
                [id](const Prepared& q, JobFactorRow& r) {
                  r.ID = id;
                  r.Code = F(q, "Code").TextOrEmpty();
                  ReadJobFactorFields(q, r);
                });
}

bool LookupJobFactorByCode(const std::string& code, JobFactorRow& row) {
  return Recall(Memory().job_factor_by_code, detail::kJobFactorByCode, "WhatCode", code, row,
                [&code](const Prepared& q, JobFactorRow& r) {
                  r.ID = F(q, "ID").AsInt32();
                  r.Code = code;
                  ReadJobFactorFields(q, r);
                });
}

bool LookupRespFactor(int32_t id, RespFactorRow& row) {
  return Recall(Memory().resp_factor, detail::kRespFactor, "WhatID", id, row,
                [](const Prepared& q, RespFactorRow& r) {
                  r.Factor = F(q, "Factor").AsSingle();
                  r.Descr = F(q, "Descr").TextOrEmpty();
                  r.Surface = F(q, "Surface").TextOrEmpty();
                  r.StartYear = F(q, "StartYear").AsInt16();
                  r.EndYear = F(q, "EndYear").AsInt16();
                  r.StartYearVal = F(q, "StartYearVal").AsSingle();
                  r.EndYearVal = F(q, "EndYearVal").AsSingle();
                });
}

bool LookupSmokeFactor(int32_t id, SmokeFactorRow& row) {
  return Recall(Memory().smoke_factor, detail::kSmokeFactor, "WhatID", id, row,
                [id](const Prepared& q, SmokeFactorRow& r) {
                  r.ID = id;
                  r.Code = F(q, "Code").TextOrEmpty();
                  r.Factor = F(q, "Factor").AsSingle();
                  r.LISTDESCR = F(q, "LISTDESCR").TextOrEmpty();
                });
}

bool LookupSmokeFactorByCode(const std::string& code, SmokeFactorRow& row) {
  return Recall(Memory().smoke_factor_by_code, detail::kSmokeFactorByCode, "WhatCode", code, row,
                [&code](const Prepared& q, SmokeFactorRow& r) {
                  r.ID = F(q, "ID").AsInt32();
                  r.Code = code;
                  r.Factor = F(q, "Factor").AsSingle();
                  r.LISTDESCR = F(q, "LISTDESCR").TextOrEmpty();
                });
}

db::DatabasePtr OpenDataDB() {
  const db::DatabasePtr& d = detail::Conn().database;
  if (!d || !d->IsOpen()) RaiseStandard(err::kObjectNotSet);
  return d;
}

SharedListCursor& ListCursor(ListKind kind) {
  return detail::State().lists[static_cast<int>(kind)];
}

DataReadSpan::DataReadSpan() : active_(!DataDBName().empty()) {
  if (active_) ++detail::State().read_spans;
}

DataReadSpan::~DataReadSpan() {
  if (!active_) return;
  detail::ThreadState& st = detail::State();
  if (--st.read_spans > 0 || !st.span_database) return;
  const db::DatabasePtr database = std::move(st.span_database);
  st.span_database.reset();
  try {
    database->CommitTrans();
  } catch (...) {
    // Nothing was written; the lock goes with the transaction either way.
  }
}

}  // namespace orv::dust
