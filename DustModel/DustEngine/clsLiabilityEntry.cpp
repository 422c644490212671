#include "clsLiabilityEntry.h"

#include "detail/ClassError.h"

namespace orv::dust {

// The library's private pieces (the member guard, the calculation pass,
// the class table).
using namespace detail;

void clsLiabilityEntry::AddUnits(float units) {
  try {
    total_units_ += units;
  } catch (...) {
    RaiseClassError("LiabilityEntry:", "AddUnits");
  }
}

}  // namespace orv::dust
