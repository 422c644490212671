// One calculation of tarnby-calc: the dust data connection, the history
// loaded into the engine's collections, the report channel chosen by the
// output format, Calculate, and everything the result formats need.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "ExposureChart.h"
#include "HistoryJson.h"
#include "OrvError.h"

namespace orv::calcrun {

enum class Format { kJson, kText, kHtml, kPdf };

struct CalcOptions {
  std::string dust_db;
  int32_t jurisdiction = 0;
  bool detail = false;
  Format format = Format::kText;
  std::string output;  // empty: standard output (not for kPdf)
};

// One job after the calculation, as the JSON result lists it.
struct JobResult {
  std::string colliery;
  std::string coal_area;
  int16_t start_year = 0;
  int16_t end_year = 0;
  std::string open_range_check;
  // The per-job values under their property names, in interface order.
  std::vector<std::pair<std::string, float>> values;
};

struct CalcOutcome {
  bool ok = false;
  std::optional<std::string> validation_error;  // the text reported when refused
  std::optional<orv::OrvError> error;           // a run-time failure
  std::string engine_version;
  std::string dust_data_version;
  // The fifteen results under their property names, as they read back.
  std::vector<std::pair<std::string, float>> results;
  std::vector<JobResult> jobs;
  // Each year of each job, as the calculation worked it (empty when it
  // did not run through).
  std::vector<orv::ExposureYear> years;
  // The report lines as OutputLine events (json and text formats).
  std::vector<std::string> report;
  // The HTML report (html format without an output file).
  std::string html;
};

// Runs the calculation. Never throws for run-time failures: they are kept
// in `error`. With Format::kHtml the engine writes options.output (or a
// temporary file whose text lands in `html`); with Format::kPdf the report
// output object's document is saved to options.output.
CalcOutcome RunCalculation(const CalcOptions& options, const HistoryFile& history);

}  // namespace orv::calcrun
