#include "colSmokeEntry.h"

#include "ClassError.h"
#include "EngineFactory.h"
#include "Numbers.h"
#include "OrvError.h"

namespace orv::dust {

namespace {

constexpr std::string_view kPrefix = "colSmokeEntry:";

const EngineClassRegistrar kRegistrar(colSmokeEntry::kClassName, [] { return new colSmokeEntry; });

}  // namespace

SmokeEntryPtr colSmokeEntry::Add(const std::string& sKey, int32_t SmokeFactorID,
                                 const std::string& SmokeFactorCode, int32_t Years,
                                 int16_t StartYear, int16_t EndYear) {
  try {
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
  } catch (...) {
    RaiseClassError(kPrefix, "Add");
  }
}

SmokeEntryPtr colSmokeEntry::Item(int32_t index) {
  try {
    return entries_.Item(index);
  } catch (...) {
    RaiseClassError(kPrefix, "Property Get Item");
  }
}

SmokeEntryPtr colSmokeEntry::Item(std::string_view key) {
  try {
    return entries_.Item(key);
  } catch (...) {
    RaiseClassError(kPrefix, "Property Get Item");
  }
}

void colSmokeEntry::Remove(int32_t index) {
  try {
    entries_.Remove(index);
  } catch (...) {
    RaiseClassError(kPrefix, "Remove");
  }
}

void colSmokeEntry::Remove(std::string_view key) {
  try {
    entries_.Remove(key);
  } catch (...) {
    RaiseClassError(kPrefix, "Remove");
  }
}

void colSmokeEntry::Clear() {
  try {
    while (entries_.Count() > 0) entries_.Remove(1);
  } catch (...) {
    RaiseClassError(kPrefix, "Clear");
  }
}

}  // namespace orv::dust
