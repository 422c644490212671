// The five values an expansion run takes from its caller's arguments and
// every step reads.
#pragma once

#include <cstdint>

namespace orv::dustm {

struct RunValues {
  int16_t DefStartYear = 0;         // open start of a colliery whose start is not known
  int16_t DefEndYear = 0;           // open end of a colliery whose end is not known
  int16_t AAStartYear = 0;          // first year of the area-average collieries' matrices
  int16_t AAEndYear = 0;            // last year of the area-average collieries' matrices
  int16_t MaxYearsPastClosure = 0;  // years after closure that get matrix rows
};

}  // namespace orv::dustm
