// The model parameters of the dust data database and the version rule.
#include <iterator>
#include <string>
#include <string_view>
#include <type_traits>
#include <variant>

#include "Dates.h"
#include "ModelParameters.h"
#include "Numbers.h"
#include "OrvError.h"
#include "Value.h"
#include "detail/Connection.h"
#include "modGlobals.h"

namespace orv::dust {

namespace {

using Field = std::variant<std::string ModelParms::*, float ModelParms::*, int16_t ModelParms::*,
                           int32_t ModelParms::*, bool ModelParms::*>;

using orv::dustdata::kModelParameters;
using orv::dustdata::ModelParameter;

// Where each parameter of the model parameter table is kept, in the table's
// order (the engine's tests check that the two agree key by key).
constexpr Field kFields[] = {
    &ModelParms::Version,
    &ModelParms::AvgYrPXR,
    &ModelParms::BordPillarTFac,
    &ModelParms::AnnSmokeUnit,
    &ModelParms::PctPrevCat1,
    &ModelParms::YearsAvgSmokeEquiv,
    &ModelParms::BordPillarID,
    &ModelParms::LimitationYear,
    &ModelParms::RespiratorYear,
    &ModelParms::LimitYearVal,
    &ModelParms::RespYearVal,
    &ModelParms::BaseYear,
    &ModelParms::AAvgStartYear,
    &ModelParms::AAvgEndYear,
    &ModelParms::RespEndYear,
    &ModelParms::RespEndYearVal,
    &ModelParms::SmallMineJobID,
    &ModelParms::SmallMineRespID,
    &ModelParms::RespiratorWornRespID,
    &ModelParms::ScottishLimitationYear,
    &ModelParms::ScottishLimitYearVal,
    &ModelParms::SurfaceData,
    &ModelParms::MatrixReady,
    &ModelParms::AreaAvgMode,
    &ModelParms::CheckJobRespSurface,
    &ModelParms::MaxYearsPastClosure,
    &ModelParms::LiabilitySplitEnhancements,
};
static_assert(std::size(kFields) == std::size(kModelParameters),
              "one field for each model parameter");

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

std::vector<orv::dustdata::ParmKind> detail::ParmFieldKinds() {
  std::vector<orv::dustdata::ParmKind> kinds;
  for (const Field& f : kFields) {
    kinds.push_back(std::visit(
        [](auto member) {
          using T = std::remove_reference_t<decltype(ModelParms{}.*member)>;
          if constexpr (std::is_same_v<T, std::string>) return orv::dustdata::ParmKind::Text;
          if constexpr (std::is_same_v<T, float>) return orv::dustdata::ParmKind::Single;
          if constexpr (std::is_same_v<T, int16_t>) return orv::dustdata::ParmKind::Int16;
          if constexpr (std::is_same_v<T, int32_t>) return orv::dustdata::ParmKind::Int32;
          return orv::dustdata::ParmKind::Bool;
        },
        f));
  }
  return kinds;
}

bool ReadParms() {
  std::string step;
  try {
    detail::ConnectionState& c = detail::Conn();
    if (!c.database) RaiseStandard(err::kObjectNotSet);
    detail::Prepared& q = c.queries[detail::kGetParm];
    q.cursor.reset();
    q.def = c.database->QueryDefs("qGetParm");
    for (size_t i = 0; i < std::size(kModelParameters); ++i) {
      const ModelParameter& info = kModelParameters[i];
      step = info.message;
      q.def->SetParameter("WhatParm", info.key);
      if (!q.cursor)
        q.cursor = q.def->OpenRecordset(db::RecordsetType::Snapshot);
      else
        q.cursor->Requery(q.def.get());
      if (q.cursor->IsEOF()) {
        if (info.missing_value == nullptr)
          throw OrvError(kErrMissingParm, "ReadParms", info.message);
        Store(c.parms, kFields[i], Value(info.missing_value));
        continue;
      }
      Store(c.parms, kFields[i], q.cursor->Field("PARMVALUE"));
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
