// The JSON result of tarnby-calc.
#pragma once

#include <string>

#include <nlohmann/json.hpp>

#include "CalcRun.h"

namespace orv::calcrun {

// {"ok", "validation_error", "error", "engine_version", "dust_data_version",
// "results", "jobs", "report"}: results as they read back (two decimals),
// per-job values as singles with nine significant digits.
std::string ResultJson(const CalcOutcome& outcome);

// The same as a JSON value, for documents that hold results (a comparison).
nlohmann::ordered_json ResultObject(const CalcOutcome& outcome);

}  // namespace orv::calcrun
