// tarnby_generate_claimants: a new claimant database of synthetic claimants
// against a dust data database, the same for the same seed.
//
// Usage: tarnby_generate_claimants DUST_DB OUTPUT_DB [claimants] [seed]
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>

#include "OrvError.h"
#include "SyntheticClaimants.h"
#include "modTarnbyDatabase.h"

int main(int argc, char** argv) {
  if (argc < 3) {
    std::fprintf(stderr, "usage: %s DUST_DB OUTPUT_DB [claimants] [seed]\n", argv[0]);
    return 2;
  }
  orv::claimcalc::SyntheticOptions o;
  if (argc > 3) o.claimants = std::atoll(argv[3]);
  if (argc > 4) o.seed = std::strtoull(argv[4], nullptr, 10);
  try {
    if (std::filesystem::exists(argv[2])) {
      std::fprintf(stderr, "%s exists already\n", argv[2]);
      return 2;
    }
    orv::tarnby::CreateClaimantDatabase(argv[2]);
    orv::claimcalc::GenerateClaimants(argv[2], argv[1], o, [&](int64_t n) {
      std::fprintf(stderr, "\r%lld of %lld claimants", static_cast<long long>(n),
                   static_cast<long long>(o.claimants));
    });
    std::fprintf(stderr, "\n");
  } catch (const orv::OrvError& e) {
    std::fprintf(stderr, "Error %d (%s): %s\n", e.Number(), e.Source().c_str(),
                 e.Description().c_str());
    return 3;
  }
  return 0;
}
