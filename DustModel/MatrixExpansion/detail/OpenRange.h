// The years in which each colliery was open. PrepareOpenRange builds the
// working table OPENRANGE once per run from the collieries' open years and
// their equivalents (a colliery without open years of its own takes those
// of the colliery it stands for); GetOpenRange then answers colliery by
// colliery, following equivalents at most ten deep.
#pragma once

#include <cstdint>

#include "Database.h"
#include "ExpansionRun.h"

namespace orv::dustm::detail {

class OpenRanges {
 public:
  explicit OpenRanges(ExpansionRun& run) : run_(run) {}

  // Fills OPENRANGE and prepares the lookup. True, or fails with the source
  // "PrepareOpenRange: " and the step in hand.
  bool PrepareOpenRange();

  // The open years of a colliery: the run's default years where they are
  // not known. True, or fails with the source "Retrieving colliery open
  // range, colliery " and the identifier; equivalents nested more than ten
  // deep (a cycle among them included) fail with 9919.
  bool GetOpenRange(int32_t lCollieryID, int16_t& iStartYear, int16_t& iEndYear);

 private:
  static constexpr int kMaxDepth = 10;
  static constexpr int kMaxEquivRuns = 10;

  ExpansionRun& run_;
  orv::db::QueryDefPtr lookup_;
  orv::db::RecordsetPtr row_;
  int depth_ = 0;
};

}  // namespace orv::dustm::detail
