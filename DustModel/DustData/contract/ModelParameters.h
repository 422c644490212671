// The model parameters of a dust data database (table PARMS, one row per
// key): every key the engine reads, in the order it reads them, with the
// kind of value each holds, the text the engine names it by when it cannot
// be read, and the value a missing key reads as. The engine's ReadParms,
// the database's check and the documentation all walk this one table.
#pragma once

#include <cstdint>

namespace orv::dustdata {

// The oldest data version (model parameter Version) the engine accepts.
inline constexpr int16_t kRequiredDataVersion = 48;

// The key that says whether the matrix has been expanded ("0": not yet).
inline constexpr const char* kMatrixReadyKey = "MatrixReady";

enum class ParmKind { Text, Single, Int16, Int32, Bool };

struct ModelParameter {
  const char* key;
  ParmKind kind;
  const char* message;        // the engine's step text, and its description when missing
  const char* missing_value;  // what a missing key reads as; nullptr: the key is required
};

inline constexpr ModelParameter kModelParameters[] = {
    {"Version", ParmKind::Text, "Error reading Version model parameter", nullptr},
    {"AvgYrPXR", ParmKind::Single, "Error reading AvgYrPXR model parameter", nullptr},
    {"BordPillarTFac", ParmKind::Single, "Error reading BordPillarTFac model parameter", nullptr},
    {"AnnSmokeUnit", ParmKind::Single, "Error reading AnnSmokeUnit model parameter", nullptr},
    {"PctPrevCat1", ParmKind::Single, "Error reading PctPrevCat1 model parameter", nullptr},
    {"YearsAvgSmokeEquiv", ParmKind::Single, "Error reading YearsAvgSmokeEquiv model parameter",
     nullptr},
    {"BordPillarID", ParmKind::Int32, "Error reading BordPillarID model parameter", nullptr},
    {"LimitationYear", ParmKind::Int16, "Error reading LimitationYear model parameter", nullptr},
    {"RespiratorYear", ParmKind::Int16, "Error reading RespiratorYear model parameter", nullptr},
    {"LimitYearVal", ParmKind::Single, "Error reading LimitYearVal model parameter", nullptr},
    {"RespYearVal", ParmKind::Single, "Error reading RespYearVal model parameter", nullptr},
    {"BaseYear", ParmKind::Int16, "Error reading BaseYear model parameter", nullptr},
    {"AAvgStartYear", ParmKind::Int16, "Error reading AAvgStartYear model parameter", nullptr},
    {"AAvgEndYear", ParmKind::Int16, "Error reading AAvgEndYear model parameter", nullptr},
    {"RespEndYear", ParmKind::Int16, "Error reading RespEndYear model parameter", nullptr},
    {"RespEndYearVal", ParmKind::Single, "Error reading RespEndYearVal model parameter", nullptr},
    {"SmallMineJobID", ParmKind::Int32, "Error reading ID of Job Factor to be used for Small Mines",
     nullptr},
    {"SmallMineRespID", ParmKind::Int32,
     "Error reading ID of Respirator Factor to be used for Small Mines", nullptr},
    {"RespiratorWornRespID", ParmKind::Int32,
     "Error reading ID of Respirator Factor to be used when a respirator was worn", nullptr},
    {"ScottishLimitationYear", ParmKind::Int16,
     "Error reading ScottishLimitationYear model parameter", nullptr},
    {"ScottishLimitYearVal", ParmKind::Single, "Error reading ScottishLimitYearVal model parameter",
     nullptr},
    {"SurfaceData", ParmKind::Int16, "Error reading SurfaceData model parameter", nullptr},
    {"MatrixReady", ParmKind::Int16, "Error reading MatrixReady model parameter", nullptr},
    {"AreaAvgMode", ParmKind::Int16, "Error reading AreaAvgMode model parameter", nullptr},
    {"CheckJobRespSurface", ParmKind::Int16, "Error reading CheckJobRespSurface model parameter",
     nullptr},
    {"MaxYearsPastClosure", ParmKind::Int16, "Error reading MaxYearsPastClosure model parameter",
     nullptr},
    {"LiabilitySplitEnhancements", ParmKind::Bool,
     "Error reading LiabilitySplitEnhancements model parameter", "False"},
};

}  // namespace orv::dustdata
