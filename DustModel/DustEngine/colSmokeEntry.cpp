#include "colSmokeEntry.h"

#include "Numbers.h"
#include "OrvError.h"
#include "detail/ClassError.h"
#include "detail/EngineFactory.h"

namespace orv::dust {

// The library's private pieces (the member guard, the calculation pass,
// the class table).
using namespace detail;

namespace {

constexpr std::string_view kPrefix = "colSmokeEntry:";

const EngineClassRegistrar kRegistrar(colSmokeEntry::kClassName, [] { return new colSmokeEntry; });

}  // namespace

SmokeEntryPtr colSmokeEntry::Add(const std::string& sKey, int32_t SmokeFactorID,
                                 const std::string& SmokeFactorCode, int32_t Years,
                                 int16_t StartYear, int16_t EndYear) {
  return ClassGuard(kPrefix, "Add", [&] {
    auto entry = std::make_shared<SmokeEntry>();
    if (SmokeFactorID != 0)
      entry->SetID(SmokeFactorID);
    else
      entry->SetCode(SmokeFactorCode);
    entry->SetStartYear(StartYear);
    entry->SetEndYear(EndYear);
    entry->SetYears(ToInt16(Years));

    // Before the first entry that starts later; equal start years keep the
    // order in which they came.
    for (int32_t i = 1; i <= entries_.Count(); ++i) {
      if (entries_.Item(i)->StartYear() > entry->StartYear()) {
        entries_.Add(entry, sKey, i);
        return entry;
      }
    }
    entries_.Add(entry, sKey);
    return entry;
  });
}

SmokeEntryPtr colSmokeEntry::Item(int32_t index) {
  return ClassGuard(kPrefix, "Property Get Item", [&] { return entries_.Item(index); });
}

SmokeEntryPtr colSmokeEntry::Item(std::string_view key) {
  return ClassGuard(kPrefix, "Property Get Item", [&] { return entries_.Item(key); });
}

void colSmokeEntry::Remove(int32_t index) {
  ClassGuard(kPrefix, "Remove", [&] { entries_.Remove(index); });
}

void colSmokeEntry::Remove(std::string_view key) {
  ClassGuard(kPrefix, "Remove", [&] { entries_.Remove(key); });
}

void colSmokeEntry::Clear() {
  ClassGuard(kPrefix, "Clear", [&] {
    while (entries_.Count() > 0) entries_.Remove(1);
  });
}

}  // namespace orv::dust
