// The JSON result of tarnby-calc.
#pragma once

#include <string>

#include "CalcRun.h"

namespace orv::calc {

// {"ok", "validation_error", "error", "engine_version", "dust_data_version",
// "results", "jobs", "report"}: results as they read back (two decimals),
// per-job values as singles with nine significant digits.
std::string ResultJson(const CalcOutcome& outcome);

}  // namespace orv::calc
