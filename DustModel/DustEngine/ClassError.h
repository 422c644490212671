// The failure convention of the engine's classes: a member guards itself and
// passes a failure on with the same number and description and the source
// "<class prefix><procedure>" (plus " - <extra>" when extra text is given),
// so the host sees the innermost failure under the outermost engine
// procedure's name.
#pragma once

#include <string>
#include <string_view>

#include "OrvError.h"

namespace orv::dust {

// Call only from a catch block.
[[noreturn]] inline void RaiseClassError(std::string_view class_prefix, std::string_view procedure,
                                         std::string_view extra = {}) {
  if (extra.empty()) RethrowWithSource(class_prefix, procedure);
  std::string p(procedure);
  p += " - ";
  p += extra;
  RethrowWithSource(class_prefix, p);
}

}  // namespace orv::dust
