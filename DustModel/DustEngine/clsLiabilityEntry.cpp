#include "clsLiabilityEntry.h"

#include "ClassError.h"

namespace orv::dust {

void clsLiabilityEntry::AddUnits(float units) {
  try {
    total_units_ += units;
  } catch (...) {
    RaiseClassError("LiabilityEntry:", "AddUnits");
  }
}

}  // namespace orv::dust
