// Area averages: for every coal area and survey round, the mean surveyed
// dust value of the area's collieries in that round, stored as two break
// points (the round's first and last year) of the area's area-average
// colliery; the national-average area averages the surveys that count for
// it; small-mine areas are completed by the database afterwards.
#pragma once

#include <cstdint>
#include <vector>

#include "Database.h"
#include "ExpansionRun.h"

namespace orv::dustm::detail {

class AreaAverages {
 public:
  explicit AreaAverages(ExpansionRun& run) : run_(run) {}

  // Prepares the queries once per run (later calls do nothing). True, or
  // fails with the source "SetupAreaAverage: " and the step in hand.
  bool SetupAreaAverage();

  // Empties the area average table and fills it again. True, or fails with
  // the source "MakeAreaAverages: " and the step in hand; with no survey
  // round recorded, fails with 9997 after emptying the table.
  bool MakeAreaAverages();

  // The area-average colliery of a coal area (query qAreaAvgCollieryByArea,
  // field ID): 0 when the area has none. Prepared by SetupAreaAverage.
  int32_t AreaAverageColliery(int32_t area_id);

 private:
  struct Round {
    int16_t start;
    int16_t end;
  };

  void AverageArea(int32_t area_id, bool normal, int32_t average_colliery, int32_t& next_id);
  void AddAverage(int32_t& next_id, int32_t colliery_id, int16_t year, float value);

  ExpansionRun& run_;
  bool ready_ = false;
  std::vector<Round> rounds_;
  orv::db::QueryDefPtr surveys_;
  orv::db::RecordsetPtr surveys_rs_;
  orv::db::QueryDefPtr nat_surveys_;
  orv::db::RecordsetPtr nat_surveys_rs_;
  orv::db::QueryDefPtr avg_colliery_;
  orv::db::RecordsetPtr avg_colliery_rs_;
  orv::db::RecordsetPtr areas_;
  orv::db::QueryDefPtr add_;
  orv::db::QueryDefPtr empty_;
  orv::db::QueryDefPtr small_mines_;
};

}  // namespace orv::dustm::detail
