// Synthetic claimant databases: any number of invented claimants with work
// and smoking histories drawn from a dust data database's own collieries,
// factors and smoking categories, the same for the same seed. For tests and
// benchmarks; every name is invented.
//
// The histories look like miners' careers: starting at 15 to 18, one to five
// jobs at collieries of one home area while they were open, face and
// development work moving to lighter and surface work later, respirators
// from the 1970s, now and then an area-average job, a small mine with its pit
// name or a user-defined factor, a strike-period job; two in three smoked.
#pragma once

#include <cstdint>
#include <functional>
#include <string>

namespace orv::claimcalc {

struct SyntheticOptions {
  int64_t claimants = 1000;
  uint64_t seed = 20261207;
  // User-defined factors created in USERFACTOR (IDs from 10000); a job uses
  // one now and then. 0: none.
  int32_t user_factors = 3;
  // Claimants written per transaction.
  int32_t batch = 5000;
};

// Adds the synthetic claimants to the claimant database `claimants_db` (at
// the latest structure level; create it with CreateClaimantDatabase), taking
// collieries, job and respirator factors and smoking categories from the
// dust data database `dust_db`. `progress`, when given, is told how many
// claimants are written after each batch. Failures are raised as OrvError.
void GenerateClaimants(const std::string& claimants_db, const std::string& dust_db,
                       const SyntheticOptions& options,
                       const std::function<void(int64_t written)>& progress = {});

}  // namespace orv::claimcalc
