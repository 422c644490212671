// The expansion run: opens the dust data database for writing, builds the
// open ranges, area averages, matrix and tortious averages in that order,
// and marks the database as expanded.
#pragma once

#include <string>

#include "ExpansionRun.h"

namespace orv::dustm {

// True when the whole expansion ran and the database is marked expanded
// (model parameter MatrixReady "1"); the database is closed either way.
// False when the filling failed (the reason has been logged and shown);
// other failures are raised with the source "Failed to expand dust data
// matrix - this requires read/write access to the dust data database: " and
// the step in hand. A run that stops after the open ranges were built
// leaves the database marked not expanded ("0"), with the matrix it had
// before the run.
[[nodiscard]] bool DoMatrix(ExpansionRun& run, const std::string& DBName,
                            const std::string& DBPass);

// The same, with the run values and progress display given.
[[nodiscard]] bool RunExpansion(const RunValues& values, const std::string& DBName,
                                const std::string& DBPass, ProgressSink* progress = nullptr);

}  // namespace orv::dustm
