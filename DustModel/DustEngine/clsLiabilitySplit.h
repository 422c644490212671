// The owners of one liability split: a keyed collection of clsLiabilityEntry
// in the order in which each owner was first added, with a running total of
// every unit added. Library-private.
//
// Failures are passed on with the same number and description and the source
// "LiabilitySplit:<procedure>" ("LiabilitySplit:Property Get Item", ...):
// a position out of range fails with 9, an absent key with 5.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <string_view>

#include "Collection.h"
#include "clsLiabilityEntry.h"

namespace orv::dust {

using LiabilityEntryPtr = std::shared_ptr<clsLiabilityEntry>;

class clsLiabilitySplit {
 public:
  // Sum of all units added; 0 at creation. May be overwritten, and
  // CalculateProportions then divides by the value set.
  float Total() const { return total_; }
  void SetTotal(float total) { total_ = total; }

  // Adds units to the owner whose key is the upper-cased, trimmed sKey,
  // creating the owner on its first addition; Total grows by the units.
  // Returns the owner's entry.
  LiabilityEntryPtr Add(std::string_view sKey, float units);

  // Every entry's Percent = TotalUnits / Total x 100 (worked in double
  // precision, kept as a single) when Total > 0, else 0.
  void CalculateProportions();

  LiabilityEntryPtr Item(int32_t index) const;  // 1-based
  LiabilityEntryPtr Item(std::string_view key) const;
  int32_t Count() const { return entries_.Count(); }

  // Removes every entry; Total becomes 0.
  void Clear();

  using Container = orv::KeyedCollection<LiabilityEntryPtr>;
  Container::iterator begin() { return entries_.begin(); }
  Container::iterator end() { return entries_.end(); }

 private:
  Container entries_;
  float total_ = 0;
};

}  // namespace orv::dust
