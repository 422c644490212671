// The national-average tortious values: recomputed after the matrix has
// been filled, by a fixed sequence of stored queries over the working tables
// AVERAGECALC, COLLIERYCOUNT and TORTIOUSAVG into the result table
// TORTIOUSDUST that the engine's tortious lookup reads.
#pragma once

#include "ExpansionRun.h"

namespace orv::dustm::detail {

// Runs the thirteen queries in order. True, or fails with the source
// "PrepareTortiousAvg: " and the step in hand.
bool PrepareTortiousAvg(ExpansionRun& run);

}  // namespace orv::dustm::detail
