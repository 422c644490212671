// The failure convention of the engine's classes: a member guards itself and
// passes a failure on with the same number and description and the source
// "<class prefix><procedure>" (plus " - <extra>" when extra text is given),
// so the host sees the innermost failure under the outermost engine
// procedure's name.
#pragma once

#include <string>
#include <string_view>
#include <utility>

#include "OrvError.h"

namespace orv::dust::detail {

// Call only from a catch block.
[[noreturn]] inline void RaiseClassError(std::string_view class_prefix, std::string_view procedure,
                                         std::string_view extra = {}) {
  if (extra.empty()) RethrowWithSource(class_prefix, procedure);
  std::string p(procedure);
  p += " - ";
  p += extra;
  RethrowWithSource(class_prefix, p);
}

// The guard every engine member's body runs in: the body's value is
// returned, and a failure inside it is passed on by RaiseClassError under the
// class prefix and the procedure's name.
//   float CoalJob::Years() {
//     return ClassGuard(kPrefix, "Property Get Years", [&] { ... });
//   }
template <typename Body>
decltype(auto) ClassGuard(std::string_view class_prefix, std::string_view procedure, Body&& body) {
  try {
    return std::forward<Body>(body)();
  } catch (...) {
    RaiseClassError(class_prefix, procedure);
  }
}

}  // namespace orv::dust::detail
