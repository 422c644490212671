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
    AddInOrder(entry, sKey);
    return entry;
  });
}

}  // namespace orv::dust
