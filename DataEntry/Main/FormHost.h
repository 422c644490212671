// What the tabs of the main form ask of the form around them.
#pragma once

#include <cstdint>
#include <string>

#include "EngineObjects.h"
#include "modDataEntry.h"

namespace orv::tarnby {

class FormHost {
 public:
  virtual ~FormHost() = default;
  // The current claimant's ID; 0 when there is none.
  virtual int32_t CurrentClaimantID() = 0;
  // Empties the current claimant's stored calculation result.
  virtual void ClearOldResults() = 0;
  // Lets the user change tabs and claimants, or stops him while a history
  // entry is being edited.
  virtual void SetTabsEnabled(bool enabled) = 0;
  virtual EngineObjects& Engine() = 0;
  // True when the claimant database has no USERFACTOR table.
  virtual bool NoUserFactors() const = 0;
};

// The title of the program's own message boxes where no other is given.
inline constexpr const char* kApplicationTitle = "Tarnby";
// Message box style: the second button (No, Cancel) is the default.
inline constexpr int32_t kSecondButtonDefault = 256;

}  // namespace orv::tarnby
