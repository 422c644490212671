// The dust data connection: starting it (SetupDataDB), its state and the
// lookups the calculation repeats per colliery and year.
#include "modGlobals.h"

#include <atomic>
#include <filesystem>
#include <string>

#include "DustDataPassword.h"
#include "OrvError.h"
#include "detail/Connection.h"

namespace orv::dust {

namespace detail {

ThreadState& State() {
  thread_local ThreadState state;
  return state;
}

Prepared& Query(QueryId id) {
  Prepared& q = Conn().queries[id];
  if (!q.def || !q.cursor) RaiseStandard(err::kObjectNotSet);
  return q;
}

namespace {
std::atomic<bool> g_remember_lookups{true};
}  // namespace

bool RememberingLookups() { return g_remember_lookups.load(std::memory_order_relaxed); }

bool Run(Prepared& q) {
  ThreadState& st = State();
  if (st.read_spans > 0 && !st.span_database && st.conn.database) {
    st.conn.database->BeginTrans();
    st.span_database = st.conn.database;
  }
  q.cursor->Requery(q.def.get());
  return !q.cursor->IsEOF();
}

void ReleaseConnection() {
  ConnectionState& c = Conn();
  for (Prepared& q : c.queries) {
    q.cursor.reset();
    q.def.reset();
  }
  c.database.reset();
}

void CloseConnection() {
  ConnectionState& c = Conn();
  const db::DatabasePtr database = c.database;
  ReleaseConnection();
  if (database) database->Close();
}

}  // namespace detail

namespace {

using detail::Conn;
using detail::QueryId;

// A parameter and its value at preparation: numbers start at 0, texts at the
// given text.
struct InitialParam {
  const char* name;
  const char* text;  // nullptr: the number 0
};

struct PreparedQueryInfo {
  QueryId id;
  const char* query;
  const char* setting_step;
  const char* initialising_step;
  InitialParam params[3];
};

// The lookups prepared before the model parameters are read, in order.
constexpr PreparedQueryInfo kLookups[] = {
    {detail::kDustMatrix,
     "qDustMatrixData",
     "Setting dust matrix query",
     "Initialising dust matrix Recordset",
     {{"WhatCollieryID", nullptr}, {"WhatYear", nullptr}}},
    {detail::kTortious,
     "qTortiousDustData",
     "Setting tortious dust query",
     "Initialising tortious dust Recordset",
     {{"WhatCollieryID", nullptr}, {"WhatYear", nullptr}, {"Surface", "N"}}},
    {detail::kSmokeFactor,
     "qSmokeFactor",
     "Setting smoke factor query",
     "Initialising smoke factor Recordset",
     {{"WhatID", nullptr}}},
    {detail::kSmokeFactorByCode,
     "qSmokeFactorByCode",
     "Setting smoke factor by code query",
     "Initialising smoke factor by code Recordset",
     {{"WhatCode", ""}}},
    {detail::kCollieryByID,
     "qCollieryByID",
     "Setting colliery by ID query",
     "Initialising colliery by ID Recordset",
     {{"WhatID", nullptr}}},
    {detail::kRespFactor,
     "qRespFactor",
     "Setting respiratory factor query",
     "Initialising respiratory factor Recordset",
     {{"WhatID", nullptr}}},
    {detail::kJobFactor,
     "qJobFactor",
     "Setting job factor query",
     "Initialising job factor Recordset",
     {{"WhatID", nullptr}}},
    {detail::kJobFactorByCode,
     "qJobFactorByCode",
     "Setting job factor by code query",
     "Initialising job factor by code Recordset",
     {{"WhatCode", ""}}},
    {detail::kOpenRange,
     "qOpenRangeCheck",
     "Setting colliery open range query",
     "Initialising colliery open range query",
     {{"CollieryID", nullptr}}},
};

constexpr PreparedQueryInfo kLiabilitySplitQuery = {
    detail::kLiabilitySplit,
    "qCollieryLiabilitySplit",
    "Setting colliery liability split check query",
    "Initialising colliery liability split check query",
    {{"WhatID", nullptr}}};

// Prepares one query and opens its cursor, recording each step's text.
void Prepare(const PreparedQueryInfo& info, std::string& step) {
  detail::ConnectionState& c = Conn();
  detail::Prepared& q = c.queries[info.id];
  step = info.setting_step;
  q.def = c.database->QueryDefs(info.query);
  for (const InitialParam& p : info.params) {
    if (p.name == nullptr) break;
    q.def->SetParameter(p.name, p.text ? Value(p.text) : Value(0));
  }
  step = info.initialising_step;
  q.cursor = q.def->OpenRecordset(db::RecordsetType::Snapshot);
}

}  // namespace

bool SetupDataDB(const std::string& DBPath) {
  std::string step;
  try {
    std::error_code ec;
    if (!std::filesystem::is_regular_file(DBPath, ec))
      throw OrvError(err::kFileNotFound, "SetupDataDB",
                     StandardErrorText(err::kFileNotFound) + " - " + DBPath);

    step = "Opening dust data database";
    db::OpenOptions options;
    options.exclusive = false;
    options.read_only = true;
    options.connect = DustDataConnect();
    options.kind = db::DatabaseKind::DustData;
    // The new file is opened before the working connection is let go, so a
    // file that cannot be opened leaves the engine as it was.
    db::DatabasePtr opened = db::OpenDatabase(DBPath, options);
    detail::ConnectionState& c = Conn();
    detail::ReleaseConnection();
    c = detail::ConnectionState{};
    c.database = std::move(opened);

    for (const PreparedQueryInfo& info : kLookups) Prepare(info, step);

    step = "Reading model parameters";
    if (!ReadParms()) return false;

    Prepare(kLiabilitySplitQuery, step);

    step = "Checking/Filling PXR Matrix";
    if (!CheckPXRMatrix()) return false;
    detail::State().data_ready = true;
    return true;
  } catch (...) {
    RaiseDataError(CurrentError().Number(), "SetupDataDB: " + step);
  }
}

bool DataReady() { return detail::State().data_ready; }
const ModelParms& Parms() { return Conn().parms; }
int16_t DefStartYear() { return Conn().def_start_year; }
int16_t DefEndYear() { return Conn().def_end_year; }

std::string DataDBName() {
  const auto& d = Conn().database;
  return d && d->IsOpen() ? d->Name() : std::string();
}

bool GetOpenRange(int32_t CollieryID, int16_t& StartYear, int16_t& EndYear) {
  try {
    const detail::OpenRangeAnswer& a = Conn().remembered.open_range.Recall(CollieryID, [&] {
      detail::OpenRangeAnswer answer{DefStartYear(), DefEndYear()};
      detail::Prepared& q = detail::Query(detail::kOpenRange);
      q.def->SetParameter("CollieryID", CollieryID);
      if (detail::Run(q)) {
        const Value start = q.cursor->Field("StartYear");
        if (!start.IsNull() && start.AsInt16() != 0) answer.start = start.AsInt16();
        const Value end = q.cursor->Field("EndYear");
        if (!end.IsNull() && end.AsInt16() != 0) answer.end = end.AsInt16();
      }
      return answer;
    });
    StartYear = a.start;
    EndYear = a.end;
    return true;
  } catch (...) {
    StartYear = DefStartYear();
    EndYear = DefEndYear();
    RaiseDataError(CurrentError().Number(),
                   "Retrieving colliery open range, colliery " + std::to_string(CollieryID));
  }
}

int16_t GetLiabilitySplitType(int32_t CollieryID, std::string& Descr) {
  try {
    const detail::SplitAnswer& a = Conn().remembered.split.Recall(CollieryID, [&] {
      detail::SplitAnswer answer;
      detail::Prepared& q = detail::Query(detail::kLiabilitySplit);
      q.def->SetParameter("WhatID", CollieryID);
      if (!detail::Run(q)) return answer;
      const Value colliery_type = q.cursor->Field("COLLIERYSPLITTYPE");
      if (!colliery_type.IsNull()) {
        answer.descr = q.cursor->Field("COLLIERYDESCR").TextOrEmpty();
        answer.type = colliery_type.AsInt16();
        return answer;
      }
      const Value area_type = q.cursor->Field("COALAREASPLITTYPE");
      if (!area_type.IsNull()) {
        answer.descr = q.cursor->Field("COALAREADESCR").TextOrEmpty();
        answer.type = area_type.AsInt16();
      }
      return answer;
    });
    Descr = a.descr;
    return a.type;
  } catch (...) {
    Descr.clear();
    RaiseDataError(
        CurrentError().Number(),
        "Retrieving data about need for liability split, colliery " + std::to_string(CollieryID));
  }
}

bool LookupDust(int32_t CollieryID, int16_t Year, std::string& Marker, float& DustVal) {
  const detail::DustAnswer& a =
      Conn().remembered.dust.Recall(detail::CollieryYear(CollieryID, Year), [&] {
        detail::DustAnswer answer;
        detail::Prepared& q = detail::Query(detail::kDustMatrix);
        q.def->SetParameter("WhatCollieryID", CollieryID);
        q.def->SetParameter("WhatYear", Year);
        if (!detail::Run(q)) {
          answer.marker = "NO ENTRY";
          return answer;
        }
        answer.found = true;
        answer.marker = q.cursor->Field("Marker").TextOrEmpty();
        answer.value = q.cursor->Field("DustVal").AsSingle();
        return answer;
      });
  Marker = a.marker;
  DustVal = a.value;
  return a.found;
}

bool LookupTortious(int32_t CollieryID, int16_t Year, const std::string& Surface,
                    float& TortiousVal) {
  const detail::TortiousAnswer& a = Conn().remembered.tortious.Recall(
      detail::CollieryYear(CollieryID, Year), Surface, [&] {
        detail::TortiousAnswer answer;
        detail::Prepared& q = detail::Query(detail::kTortious);
        q.def->SetParameter("WhatCollieryID", CollieryID);
        q.def->SetParameter("WhatYear", Year);
        q.def->SetParameter("Surface", Surface);
        if (!detail::Run(q)) return answer;
        answer.found = true;
        answer.value = q.cursor->Field("TORTIOUSVAL").AsSingle();
        return answer;
      });
  TortiousVal = a.value;
  return a.found;
}

void SetRememberLookups(bool on) { detail::g_remember_lookups.store(on, std::memory_order_relaxed); }
bool RemembersLookups() { return detail::RememberingLookups(); }
size_t RememberedLookups() { return Conn().remembered.Size(); }

void RaiseDataError(int32_t ErrNum, const std::string& Context) {
  RaiseWithBase(ErrNum, Context, CurrentError().Description());
}

void RequireDataReady(const std::string& source) {
  if (!DataReady()) throw OrvError(kErrNotInitialised, source, kNotInitialisedText);
}

}  // namespace orv::dust
