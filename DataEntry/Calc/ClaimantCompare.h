// What-if for a stored claimant: his history as stored and a variant of it
// (another smoking history, a job's years or factors, another jurisdiction)
// calculated one after the other with the dust data connection the thread
// already has, nothing stored, and the two reports aligned as
// tarnby-calc --compare aligns them.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "ClaimantCalc.h"
#include "ReportCompare.h"

namespace orv::claimcalc {

// One side of the comparison: a history and the jurisdiction it is
// calculated with.
struct CompareSide {
  StoredClaimant history;
  int32_t jurisdiction = 0;
};

struct SideOutcome {
  std::vector<std::string> report;  // the report lines as the screen shows them
  std::optional<float> figure;      // RecoverableQuantumPercent when calculated
  std::string refusal;              // the engine's message, or the failure, otherwise
};

struct ClaimantComparison {
  SideOutcome a;
  SideOutcome b;
  std::vector<orv::calcrun::ComparedLine> rows;
  orv::calcrun::FigureComparison figures;
};

// Calculates both sides on fresh engine objects (the caller's own engine
// and its collections are left alone) with the detail or normal report.
// Reads nothing and writes nothing in the claimant database: the histories
// are the caller's. The dust data connection of the thread must be open
// (the program's engine opened it). A side the engine refuses or fails on
// has no figure and its message in `refusal`; it does not raise.
ClaimantComparison CompareClaimant(const CompareSide& a, const CompareSide& b, bool detail);

}  // namespace orv::claimcalc
