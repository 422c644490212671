// Rounding of the dust values the expansion writes: the whole part of
// value x 100 + 0.5, divided by 100, each step in single precision.
#pragma once

#include <cmath>

namespace orv::dustm::detail {

inline float RoundDustValue(float value) {
  const float hundredths = value * 100.0f;
  const float lifted = hundredths + 0.5f;
  return std::floor(lifted) / 100.0f;
}

}  // namespace orv::dustm::detail
