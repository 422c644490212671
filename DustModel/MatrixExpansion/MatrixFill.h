// The filling of the dust matrix: empties the matrix table and builds it
// again colliery by colliery from the area averages and the surveys, in five
// phases (area-average collieries; pits with surveys; pits without surveys;
// mergers and equivalent pits; the years after closure), on one
// CollieryMatrix reused for every colliery.
#pragma once

#include <cstdint>
#include <memory>
#include <string>

#include "AreaAverages.h"
#include "CollieryMatrix.h"
#include "Database.h"
#include "ExpansionRun.h"
#include "OpenRange.h"
#include "Value.h"

namespace orv::dustm {

// The years an equivalents row covers: the colliery's open years (the run's
// defaults where they are not known), narrowed by the row's own start and
// end years where those are given (above 0).
void FixRange(const Value& open_start, const Value& open_end, const Value& start, const Value& end,
              const RunValues& run, int16_t& start_year, int16_t& end_year);

class MatrixFill {
 public:
  MatrixFill(ExpansionRun& run, OpenRanges& ranges, AreaAverages& averages);
  ~MatrixFill();

  // Runs every phase. True when all ran; a failure is reported through the
  // error reporter (logged and shown) and answers false. An equivalents row
  // whose years are back to front is shown as "ambiguous" and skipped.
  [[nodiscard]] bool FillMatrix();

  // What a walk over break points writes for each point, and which rows of
  // the recordset are points.
  struct BreakPointKind {
    const char* only_marker;  // rows with another Marker are passed over; nullptr: every row
    bool round_points;        // the point's own entry takes the rounded value
    const char* marker;
    const char* source;
  };

 private:
  void Prepare();
  void AreaAverageCollieries();
  void PitsWithSurveys();
  void PitsWithoutSurveys();
  void MergersAndEquivalents();
  void YearsAfterClosure();

  // Adds a range unless it is empty (start after end).
  void AddRange(int16_t from, int16_t to, float value, const Value& marker, const char* source);
  // One entry for each year strictly between two points and after
  // `covered_to`, the running value growing by a constant step through
  // every year between the points.
  void LinearRun(int16_t from_year, float from_value, int16_t to_year, float to_value,
                 int16_t covered_to);
  // The walk over a colliery's break points (area averages or surveys, in
  // year order): each point's own entry, flat extrapolation back to
  // `first_year` before the first, a linear run from each point's first year
  // to the next point, and flat extrapolation from the year after the last
  // point's years to `last_year`. No year held by a point gets a second entry.
  void SpreadBreakPoints(orv::db::Recordset& rs, const BreakPointKind& kind, int16_t first_year,
                         int16_t last_year);
  // Re-marks the strike and closed years of the colliery's raw data rows.
  void MarkStrikesAndClosures();
  void WriteAndClear();

  ExpansionRun& run_;
  OpenRanges& ranges_;
  AreaAverages& averages_;
  std::unique_ptr<CollieryMatrix> matrix_;
  std::string step_;

  orv::db::RecordsetPtr aa_collieries_;
  orv::db::QueryDefPtr aa_data_;
  orv::db::RecordsetPtr aa_data_rs_;
  orv::db::RecordsetPtr with_surveys_;
  orv::db::QueryDefPtr raw_;
  orv::db::RecordsetPtr raw_rs_;
  orv::db::RecordsetPtr without_surveys_;
  orv::db::QueryDefPtr empty_matrix_;
  orv::db::RecordsetPtr equivalents_;
  orv::db::QueryDefPtr closed_;
};

}  // namespace orv::dustm
