// One owner's share of a liability split: the units added under the owner's
// key and, once the split has been proportioned, the owner's percentage of
// the split's total. Library-private.
#pragma once

#include <string>

namespace orv::dust {

class clsLiabilityEntry {
 public:
  // The owner's key: the upper-cased, trimmed owner description.
  const std::string& Key() const { return key_; }
  void SetKey(std::string key) { key_ = std::move(key); }

  // Sum of the units added; 0 at creation.
  float TotalUnits() const { return total_units_; }
  void AddUnits(float units);

  // The owner's share of the split's total, in percent; 0 until set.
  float Percent() const { return percent_; }
  void SetPercent(float percent) { percent_ = percent; }

 private:
  std::string key_;
  float total_units_ = 0;
  float percent_ = 0;
};

}  // namespace orv::dust
