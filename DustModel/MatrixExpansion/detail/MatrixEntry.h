// One range of a colliery's dust matrix: a run of years with one dust value,
// the marker that says how the value was obtained and a note on its source.
#pragma once

#include <cstdint>
#include <string>

#include "ExpansionRun.h"
#include "Value.h"

namespace orv::dustm::detail {

class MatrixEntry {
 public:
  // The run gives the default years and the error reporter.
  explicit MatrixEntry(ExpansionRun& run);

  int32_t CollieryID() const { return colliery_id_; }
  void SetCollieryID(int32_t id) { colliery_id_ = id; }

  // The years are read and written as values. Writing: the run's default
  // year first; null keeps it; a whole number above 0 is taken; a whole
  // number of 0 or less keeps the default; any other kind fails with error
  // 380 ("Start year must be an integer" / "End year must be an integer").
  Value StartYear() const { return Value(start_year_); }
  void SetStartYear(const Value& v);
  Value EndYear() const { return Value(end_year_); }
  void SetEndYear(const Value& v);
  // The same years as numbers, for the range arithmetic.
  int16_t Start() const { return start_year_; }
  int16_t End() const { return end_year_; }

  float DustVal() const { return dust_val_; }
  void SetDustVal(float v) { dust_val_ = v; }
  // Text, or null for interpolated years.
  const Value& Marker() const { return marker_; }
  void SetMarker(Value v) { marker_ = std::move(v); }
  const Value& Source() const { return source_; }
  void SetSource(Value v) { source_ = std::move(v); }
  const std::string& Key() const { return key_; }
  void SetKey(std::string k) { key_ = std::move(k); }

 private:
  int16_t TakeYear(const Value& v, int16_t def, const char* source, const char* message);

  ExpansionRun* run_;
  int32_t colliery_id_ = 0;
  int16_t start_year_ = 0;
  int16_t end_year_ = 0;
  float dust_val_ = 0;
  Value marker_;
  Value source_;
  std::string key_;
};

}  // namespace orv::dustm::detail
