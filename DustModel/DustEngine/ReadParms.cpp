// The model parameters of the dust data database and the version rule.
#include <string>
#include <string_view>
#include <type_traits>
#include <variant>

#include "Connection.h"
#include "Dates.h"
#include "Numbers.h"
#include "OrvError.h"
#include "Value.h"
#include "modGlobals.h"

namespace orv::dust {

namespace {

using Field = std::variant<std::string ModelParms::*, float ModelParms::*, int16_t ModelParms::*,
                           int32_t ModelParms::*, bool ModelParms::*>;

struct ParmInfo {
  const char* key;
  const char* message;  // the step text, and the description when missing
  Field field;
};

// Every key in the order it is read.
const ParmInfo kParms[] = {
    {"Version", "Error reading Version model parameter", &ModelParms::Version},
    {"AvgYrPXR", "Error reading AvgYrPXR model parameter", &ModelParms::AvgYrPXR},
    {"BordPillarTFac", "Error reading BordPillarTFac model parameter", &ModelParms::BordPillarTFac},
    {"AnnSmokeUnit", "Error reading AnnSmokeUnit model parameter", &ModelParms::AnnSmokeUnit},
    {"PctPrevCat1", "Error reading PctPrevCat1 model parameter", &ModelParms::PctPrevCat1},
    {"YearsAvgSmokeEquiv", "Error reading YearsAvgSmokeEquiv model parameter",
     &ModelParms::YearsAvgSmokeEquiv},
    {"BordPillarID", "Error reading BordPillarID model parameter", &ModelParms::BordPillarID},
    {"LimitationYear", "Error reading LimitationYear model parameter", &ModelParms::LimitationYear},
    {"RespiratorYear", "Error reading RespiratorYear model parameter", &ModelParms::RespiratorYear},
    {"LimitYearVal", "Error reading LimitYearVal model parameter", &ModelParms::LimitYearVal},
    {"RespYearVal", "Error reading RespYearVal model parameter", &ModelParms::RespYearVal},
    {"BaseYear", "Error reading BaseYear model parameter", &ModelParms::BaseYear},
    {"AAvgStartYear", "Error reading AAvgStartYear model parameter", &ModelParms::AAvgStartYear},
    {"AAvgEndYear", "Error reading AAvgEndYear model parameter", &ModelParms::AAvgEndYear},
    {"RespEndYear", "Error reading RespEndYear model parameter", &ModelParms::RespEndYear},
    {"RespEndYearVal", "Error reading RespEndYearVal model parameter", &ModelParms::RespEndYearVal},
    {"SmallMineJobID", "Error reading ID of Job Factor to be used for Small Mines",
     &ModelParms::SmallMineJobID},
    {"SmallMineRespID", "Error reading ID of Respirator Factor to be used for Small Mines",
     &ModelParms::SmallMineRespID},
    {"RespiratorWornRespID",
     "Error reading ID of Respirator Factor to be used when a respirator was worn",
     &ModelParms::RespiratorWornRespID},
    {"ScottishLimitationYear", "Error reading ScottishLimitationYear model parameter",
     &ModelParms::ScottishLimitationYear},
    {"ScottishLimitYearVal", "Error reading ScottishLimitYearVal model parameter",
     &ModelParms::ScottishLimitYearVal},
    {"SurfaceData", "Error reading SurfaceData model parameter", &ModelParms::SurfaceData},
    {"MatrixReady", "Error reading MatrixReady model parameter", &ModelParms::MatrixReady},
    {"AreaAvgMode", "Error reading AreaAvgMode model parameter", &ModelParms::AreaAvgMode},
    {"CheckJobRespSurface", "Error reading CheckJobRespSurface model parameter",
     &ModelParms::CheckJobRespSurface},
    {"MaxYearsPastClosure", "Error reading MaxYearsPastClosure model parameter",
     &ModelParms::MaxYearsPastClosure},
    {"LiabilitySplitEnhancements", "Error reading LiabilitySplitEnhancements model parameter",
     &ModelParms::LiabilitySplitEnhancements},
};

// The one key whose absence is allowed (it then reads as false).
constexpr std::string_view kOptionalKey = "LiabilitySplitEnhancements";

constexpr int32_t kErrMissingParm = 9999;
constexpr int32_t kErrOldVersion = 1234;

void Store(ModelParms& parms, const Field& field, const Value& v) {
  std::visit(
      [&](auto member) {
        using T = std::remove_reference_t<decltype(parms.*member)>;
        if constexpr (std::is_same_v<T, std::string>) parms.*member = v.TextOrEmpty();
        if constexpr (std::is_same_v<T, float>) parms.*member = v.AsSingle();
        if constexpr (std::is_same_v<T, int16_t>) parms.*member = v.AsInt16();
        if constexpr (std::is_same_v<T, int32_t>) parms.*member = v.AsInt32();
        if constexpr (std::is_same_v<T, bool>) parms.*member = v.AsBool();
      },
      field);
}

// A data version below the required one stops the connection; a version that
// is not a number fails with the type-mismatch error.
void CheckVersion(const std::string& version) {
  const int16_t v = Value(version).AsInt16();
  if (v < kRequiredDataVersion)
    throw OrvError(kErrOldVersion, "Dust Model Data",
                   "The version of your dust database is " + version +
                       " which is less than the required version of " +
                       std::to_string(kRequiredDataVersion));
}

}  // namespace

bool ReadParms() {
  std::string step;
  try {
    detail::ConnectionState& c = detail::Conn();
    if (!c.database) RaiseStandard(91);
    detail::Prepared& q = c.queries[detail::kGetParm];
    q.cursor.reset();
    q.def = c.database->QueryDefs("qGetParm");
    for (const ParmInfo& info : kParms) {
      step = info.message;
      q.def->SetParameter("WhatParm", info.key);
      if (!q.cursor)
        q.cursor = q.def->OpenRecordset(db::RecordsetType::Snapshot);
      else
        q.cursor->Requery(q.def.get());
      if (q.cursor->IsEOF()) {
        if (info.key == kOptionalKey) {
          c.parms.LiabilitySplitEnhancements = false;
          continue;
        }
        throw OrvError(kErrMissingParm, "ReadParms", info.message);
      }
      Store(c.parms, info.field, q.cursor->Field("PARMVALUE"));
      if (std::string_view(info.key) == "Version") CheckVersion(c.parms.Version);
      if (std::string_view(info.key) == "BaseYear") {
        c.def_start_year = c.parms.BaseYear;
        c.def_end_year = ToInt16(CurrentYear() + 100);
      }
    }
    return true;
  } catch (...) {
    RaiseDataError(CurrentError().Number(), "ReadParms: " + step);
  }
}

}  // namespace orv::dust
