// The user-defined factor as the factor screen edits it, and its checks.
// Plain C++, so that the checks and the conversions can be tried without a
// window.
#pragma once

#include <string>
#include <vector>

namespace orv::tarnby {

// The boxes of the factor screen, as typed.
struct FactorEntry {
  std::string Descr;
  std::string Code;
  std::string JobFactor;
  std::string DustyTimeFactor;  // a percentage
  std::string RespFactor;
  bool StartOfYear = true;      // "Start of" (else "Mid")
  std::string StartYear;
  bool EndOfYear = true;        // "End of" (else "Mid")
  std::string EndYear;
  std::string YearsPastClose;
};

// The failures of the checks, in their order, each a message; empty when the
// entry may be saved. Every range includes its ends.
std::vector<std::string> CheckFactor(const FactorEntry& entry);

// The text of the box shown when a check fails: "Validation failed:", each
// message on its own line, then "Correct the errors and try again or cancel".
std::string ValidationMessage(const std::vector<std::string>& failures);

}  // namespace orv::tarnby
