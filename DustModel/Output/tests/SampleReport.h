// A detailed calculation report of several jobs, fed line by line as the
// engine feeds it: for the tests and the preview screenshot.
#pragma once

#include <cstdio>
#include <string>
#include <vector>

#include "IOutput.h"

namespace orv::dusto::testing {

struct SampleLine {
  std::string line;
  std::string value;
};

inline std::string Fixed2(double v) {
  char buf[32];
  std::snprintf(buf, sizeof buf, "%.2f", v);
  return buf;
}

// The lines of a detailed report for `jobs` jobs of `years` years each.
inline std::vector<SampleLine> SampleLines(int jobs, int years) {
  std::vector<SampleLine> out;
  const auto add = [&](int indent, std::string text, std::string value = {}) {
    out.push_back({std::string(static_cast<size_t>(indent), '\t') + text, std::move(value)});
  };
  add(0, "Claimant: Arthur Pennock");
  add(0, "Solicitor Reference: SOL/4471/B");
  add(0, "ZURIR Reference: ZR-20931");
  add(0, "");
  add(0, "Dust Calculation Engine Version: 3.12");
  add(0, "Dust Data Version: 48");
  add(0, "Calculation time and date: 14:05 on 07 Dec 2026");
  add(0, "Jurisdiction: England and Wales");
  add(0, "");
  add(0, "Smoking insult Cigarettes 10-20 a day from 1958 to 1984 (26 years)", "18.20");
  add(0, "F110: Total Smoking Insult", "18.20");
  add(0, "");
  add(0, "Number of jobs: " + std::to_string(jobs));
  add(0, "");
  const char* collieries[] = {"Barrowfield", "Kelmscott Main", "Hollin Bank", "Stannerby"};
  for (int j = 1; j <= jobs; ++j) {
    const int start = 1950 + (j - 1) * years;
    add(0, "Starting job number " + std::to_string(j));
    add(1, std::string("Colliery: ") + collieries[(j - 1) % 4] + ", Area: North Eastern");
    add(1, "From " + std::to_string(start) + " to " + std::to_string(start + years - 1));
    add(1, "Start year will be halved");
    for (int y = start; y < start + years; ++y) {
      add(2, "Processing year " + std::to_string(y));
      add(3, "Dust matrix marker: [SURVEY], raw value", Fixed2(2.1 + (y % 7) * 0.37));
      add(3, "PXR value after uplift of 1.16", Fixed2((2.1 + (y % 7) * 0.37) * 1.16));
      add(3, "Tortious dust for whole year %", Fixed2(40 + (y % 5) * 6.5));
      add(3, "Respirator Factor: Worn intermittently at the coal face and on development drivages",
          "0.85");
    }
    add(1, "Accumulated Dust Years", Fixed2(years - 0.5));
    add(1, "Job Factor: Coal face worker", "1.00");
    add(1, "Uplift:", "1.16");
    add(1, "Average Annual Weighted PXR Score", Fixed2(3.41 + j * 0.1));
    add(1, "Cumulative Weighted Dust Insult Units", Fixed2(97.25 + j * 12.5));
    add(0, "End of job number " + std::to_string(j));
    add(0, "");
  }
  add(0, "F210: Recoverable quantum after smoking adjustment %", "62.75");
  return out;
}

inline const char* SampleHeader() {
  return "Dust Calculation for Arthur Pennock\r\nRef: SOL/4471/B\tZURIR Ref: ZR-20931";
}

// Feeds a whole report the way the engine does.
inline void FeedSample(IOutput& output, int jobs, int years) {
  output.KillDoc();
  output.StartDoc();
  output.SetHeader(SampleHeader());
  output.SetFooter("Page %d");
  for (const SampleLine& l : SampleLines(jobs, years)) output.DetailLine(l.line, l.value);
  output.EndDoc();
}

}  // namespace orv::dusto::testing
