// How the expansion passes a failure on to its caller. The error goes out
// with its number plus the component error base when the number is 1 or
// more (a number that already carries the base goes out as it is), the
// given source text, and a description: the failure's own when one is
// being passed on, otherwise the standard text of the number. Each such
// failure is written to the expansion's error log on its way.
#pragma once

#include <cstdint>
#include <string>

#include "ExpansionRun.h"

namespace orv::dustm::detail {

// Numbers the expansion raises itself.
inline constexpr int32_t kErrRecursionTooDeep = 9919;
inline constexpr int32_t kErrNoSurveyRounds = 9997;

// The standard text of a number, with the expansion's own numbers named.
std::string ExpansionErrorText(int32_t number);

// Raises a new failure `number` with `source`.
[[noreturn]] void RaiseExpansionError(ExpansionRun& run, int32_t number, std::string source);

// Passes on the failure in hand under `source`. Call only from a catch
// block.
[[noreturn]] void PassOnExpansionError(ExpansionRun& run, std::string source);

}  // namespace orv::dustm::detail
