#include "detail/AreaAverages.h"

#include <string>

#include "detail/DustRounding.h"
#include "detail/ExpansionError.h"

namespace orv::dustm::detail {
namespace {

using orv::db::RecordsetType;

constexpr const char* kNormalArea = "NORMAL";

}  // namespace

bool AreaAverages::SetupAreaAverage() {
  if (ready_) return true;
  std::string step;
  try {
    orv::db::Database& db = *run_.db;
    step = "Getting survey round query";
    auto rounds = db.QueryDefs("qSurveyRounds");
    step = "Getting survey round details";
    rounds_.clear();
    for (auto rs = rounds->OpenRecordset(RecordsetType::Snapshot); !rs->IsEOF(); rs->MoveNext()) {
      rounds_.push_back({rs->Field("StartYear").AsInt16(), rs->Field("EndYear").AsInt16()});
    }

    step = "Setting up surveys in period query";
    surveys_ = db.QueryDefs("qSurveysInPeriodByArea");
    nat_surveys_ = db.QueryDefs("qNatAvgSurveysInPeriodByArea");
    step = "Setting surveys in period query";
    for (const char* p : {"AREAID", "SYEAR", "EYEAR"}) surveys_->SetParameter(p, Value(0));
    for (const char* p : {"NATAVGAREAID", "SYEAR", "EYEAR"})
      nat_surveys_->SetParameter(p, Value(0));
    step = "Initialising surveys in period recordset";
    surveys_rs_ = surveys_->OpenRecordset(RecordsetType::Snapshot);
    nat_surveys_rs_ = nat_surveys_->OpenRecordset(RecordsetType::Snapshot);

    step = "Setting up Average Area fake colliery information query";
    avg_colliery_ = db.QueryDefs("qAreaAvgCollieryByArea");
    avg_colliery_->SetParameter("WhatAreaID", Value(0));
    step = "Initialising Average Area fake colliery information recordset";
    avg_colliery_rs_ = avg_colliery_->OpenRecordset(RecordsetType::Snapshot);

    step = "Setting up list of coal areas query";
    auto areas = db.QueryDefs("qAreaListForAverages");
    step = "Initialising list of coal areas recordset";
    areas_ = areas->OpenRecordset(RecordsetType::Snapshot);

    step = "Setting up Add Area Average query";
    add_ = db.QueryDefs("qAddAreaAverage");
    step = "Setting up Empty Area Average query";
    empty_ = db.QueryDefs("qEmptyAreaAverage");
    step = "Setting up Small Mine Area Average Query";
    small_mines_ = db.QueryDefs("qAppendSmallMineAverages");
    ready_ = true;
    return true;
  } catch (...) {
    PassOnExpansionError(run_, "SetupAreaAverage: " + step);
  }
}

bool AreaAverages::MakeAreaAverages() {
  std::string step = "Setting up for area averages";
  run_.Show(step, 0.0);
  if (!SetupAreaAverage()) return false;
  try {
    step = "Emptying area average table";
    empty_->Execute();
  } catch (...) {
    PassOnExpansionError(run_, "MakeAreaAverages: " + step);
  }
  if (rounds_.empty()) {
    RaiseExpansionError(run_, kErrNoSurveyRounds,
                        "MakeAreaAverages: Error - no survey rounds recorded");
  }
  try {
    step = "Calculating area averages";
    areas_->Requery();
    const int64_t area_count = areas_->RecordCount();
    run_.ShowCount(step, 0, area_count);
    int32_t next_id = 1;
    int64_t done = 0;
    for (; !areas_->IsEOF(); areas_->MoveNext()) {
      const Value average = areas_->Field("AVERAGE_COLLIERYID");
      const int32_t average_colliery = average.IsNull() ? 0 : average.AsInt32();
      // An area without an area-average colliery has nowhere to keep its
      // averages.
      if (average_colliery > 0) {
        const bool normal = areas_->Field("AREATYPE").TextOrEmpty() == kNormalArea;
        AverageArea(areas_->Field("ID").AsInt32(), normal, average_colliery, next_id);
      }
      run_.ShowCount({}, ++done, area_count);
    }

    step = "Appending small mine averages";
    small_mines_->Execute();
    return true;
  } catch (...) {
    PassOnExpansionError(run_, "MakeAreaAverages: " + step);
  }
}

void AreaAverages::AverageArea(int32_t area_id, bool normal, int32_t average_colliery,
                               int32_t& next_id) {
  orv::db::QueryDef& q = normal ? *surveys_ : *nat_surveys_;
  orv::db::Recordset& rs = normal ? *surveys_rs_ : *nat_surveys_rs_;
  q.SetParameter(normal ? "AREAID" : "NATAVGAREAID", Value(area_id));
  for (const Round& round : rounds_) {
    q.SetParameter("SYEAR", Value(round.start));
    q.SetParameter("EYEAR", Value(round.end));
    rs.Requery(&q);
    int32_t count = 0;
    float sum = 0;
    for (; !rs.IsEOF(); rs.MoveNext()) {
      ++count;
      sum = sum + rs.Field("DustVal").AsSingle();
    }
    if (count == 0) continue;  // the filling interpolates across the gap
    const float average = sum / static_cast<float>(count);
    AddAverage(next_id, average_colliery, round.start, average);
    AddAverage(next_id, average_colliery, round.end, average);
  }
}

void AreaAverages::AddAverage(int32_t& next_id, int32_t colliery_id, int16_t year, float value) {
  add_->SetParameter("NewID", Value(next_id++));
  add_->SetParameter("NewCollieryID", Value(colliery_id));
  add_->SetParameter("NewStartYEar", Value(year));
  add_->SetParameter("NewEndYear", Value(year));
  add_->SetParameter("NewDustVal", Value(static_cast<double>(RoundDustValue(value))));
  add_->SetParameter("NewMarker", Value("AVERAGE"));
  add_->SetParameter("NewNote", Value(""));
  add_->SetParameter("NewEquivCollieryID", Value(0));
  add_->Execute();
}

int32_t AreaAverages::AreaAverageColliery(int32_t area_id) {
  avg_colliery_->SetParameter("WhatAreaID", Value(area_id));
  avg_colliery_rs_->Requery(avg_colliery_.get());
  if (avg_colliery_rs_->IsEOF()) return 0;
  const Value id = avg_colliery_rs_->Field("ID");
  return id.IsNull() ? 0 : id.AsInt32();
}

}  // namespace orv::dustm::detail
