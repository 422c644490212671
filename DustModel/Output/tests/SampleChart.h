// An exposure chart to go with the sample report: 36 years at four
// collieries, nine years each from 1950, strikes in 1972 and 1984, the
// limitation date in mid 1954, a respirator from 1975.
#pragma once

#include "ExposureChart.h"

namespace orv::dusto::testing {

inline ExposureChartData SampleChart() {
  ExposureChartData chart;
  const char* names[] = {"Barrowfield", "Kelmscott Main", "Hollin Bank", "Stannerby"};
  for (int y = 1950; y < 1986; ++y) {
    ExposureYear e;
    e.year = static_cast<int16_t>(y);
    e.job = 1 + (y - 1950) / 9;
    e.colliery_id = e.job;
    e.colliery = names[e.job - 1];
    e.kind = y == 1972 || y == 1984 ? ExposureKind::kStrike : ExposureKind::kDust;
    e.weighted_dust_insult = e.kind == ExposureKind::kStrike ? 0 : 3.2f - (y - 1950) * 0.06f;
    e.post_limitation = y >= 1954;
    e.post_limitation_insult = e.post_limitation ? e.weighted_dust_insult : 0;
    e.tortious_percent = static_cast<float>(72 - (y - 1950));
    e.respirator_period = y >= 1975;
    chart.years.push_back(e);
  }
  chart.limitation_year = 1954;
  chart.limitation_value = 0.5f;
  chart.recoverable_before_smoking = 48.31f;
  chart.recoverable_after_smoking = 35.02f;
  chart.smoking_insult = 18.2f;
  return chart;
}

}  // namespace orv::dusto::testing
