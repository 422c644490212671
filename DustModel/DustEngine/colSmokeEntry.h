// "A sorted collection of smoking histor entries": the smoking entries of one
// claim, 1-based, optionally keyed, in ascending order of StartYear (equal
// start years in the order added). An entry whose StartYear changes later is
// not moved; there is no re-sort.
//
// Failures are passed on with the source "colSmokeEntry:<procedure>"
// ("colSmokeEntry:Add", "colSmokeEntry:Property Get Item", ...).
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <string_view>

#include "Component.h"
#include "SmokeEntry.h"
#include "detail/GuardedCollection.h"

namespace orv::dust {

using SmokeEntryPtr = std::shared_ptr<SmokeEntry>;

namespace detail {
// The order of smoking entries: by StartYear.
struct SmokeStartYear {
  int16_t operator()(const SmokeEntry& entry) const { return entry.StartYear(); }
};
}  // namespace detail

class colSmokeEntry : public orv::Component,
                      public detail::GuardedCollection<SmokeEntry, detail::SmokeStartYear> {
 public:
  static constexpr const char* kClassName = "OrvDust.colSmokeEntry";
  static constexpr std::string_view kPrefix = "colSmokeEntry:";
  colSmokeEntry() : GuardedCollection(kPrefix) {}
  std::string ClassName() const override { return kClassName; }

  // A new entry: category by SmokeFactorID when not 0, else by
  // SmokeFactorCode (empty: no category, no error); then StartYear, EndYear
  // and Years (above 32767 fails with error 6), so an added entry always
  // counts its years as given. Fails with 9100 before the connection is
  // ready; a failing assignment inserts nothing.
  SmokeEntryPtr Add(const std::string& sKey = {}, int32_t SmokeFactorID = 0,
                    const std::string& SmokeFactorCode = {}, int32_t Years = 0,
                    int16_t StartYear = 0, int16_t EndYear = 0);
  // Item, Count, Remove, Clear and the enumeration: GuardedCollection.
};

}  // namespace orv::dust
