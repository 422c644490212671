// tarnby-calc --claimant: one stored claimant, calculated as the desktop
// program calculates him, with the report formats of --history, and his
// stored result written with --store.
#pragma once

#include <cstdint>
#include <optional>
#include <string>

#include "CalcRun.h"

namespace orv::claimcalc {
struct StoredClaimant;
}

namespace orv::calcrun {

// The history file equivalent of a stored claimant: his identification as
// the desktop names him, and his jobs and smoking entries keyed and ordered
// as the desktop loads them.
HistoryFile HistoryOf(const orv::claimcalc::StoredClaimant& c);

struct ClaimantRunOptions {
  std::string claimant_db;
  int32_t claimant_id = 0;
  bool store = false;
  // --jurisdiction given on the command line; none: the claimant's own.
  std::optional<int32_t> jurisdiction;
};

struct ClaimantRunOutcome {
  CalcOutcome calc;
  // With store: whether the stored result was written (false when the
  // history changed between reading and storing).
  bool stored = false;
};

// Reads the claimant (an unknown ID raises OrvError 3021 "No claimant with
// ID <id>"), calculates with `options` (its jurisdiction replaced as
// above) and, with store, writes the stored result: the values of a
// successful calculation, or the empty result after one that was not.
ClaimantRunOutcome RunStoredClaimant(CalcOptions options, const ClaimantRunOptions& run);

}  // namespace orv::calcrun
