#include "clsLiabilitySplit.h"

#include "Text.h"
#include "detail/ClassError.h"

namespace orv::dust {

// The library's private pieces (the member guard, the calculation pass,
// the class table).
using namespace detail;

namespace {
constexpr const char* kPrefix = "LiabilitySplit:";
}

LiabilityEntryPtr clsLiabilitySplit::Add(std::string_view sKey, float units) {
  return ClassGuard(kPrefix, "Add", [&] {
    total_ += units;
    const std::string key = UpperAscii(Trim(sKey));
    if (entries_.Contains(key)) {
      LiabilityEntryPtr entry = entries_.Item(key);
      entry->AddUnits(units);
      return entry;
    }
    auto entry = std::make_shared<clsLiabilityEntry>();
    entry->SetKey(key);
    entry->AddUnits(units);
    entries_.Add(entry, key);
    return entry;
  });
}

void clsLiabilitySplit::CalculateProportions() {
  ClassGuard(kPrefix, "CalculateProportions", [&] {
    for (const LiabilityEntryPtr& entry : entries_) {
      if (total_ > 0) {
        const double share = static_cast<double>(entry->TotalUnits()) / total_ * 100.0;
        entry->SetPercent(static_cast<float>(share));
      } else {
        entry->SetPercent(0);
      }
    }
  });
}

LiabilityEntryPtr clsLiabilitySplit::Item(int32_t index) const {
  return ClassGuard(kPrefix, "Property Get Item", [&] { return entries_.Item(index); });
}

LiabilityEntryPtr clsLiabilitySplit::Item(std::string_view key) const {
  return ClassGuard(kPrefix, "Property Get Item", [&] { return entries_.Item(key); });
}

void clsLiabilitySplit::Clear() {
  entries_.Clear();
  total_ = 0;
}

}  // namespace orv::dust
