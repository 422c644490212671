#include "ResultJson.h"

#include <cstdlib>

#include <fmt/format.h>
#include <nlohmann/json.hpp>

#include "Numbers.h"

namespace orv::calc {

namespace {

using Json = nlohmann::ordered_json;

// The decimal a result reads back as ("0.00"), as a JSON number.
double TwoDecimals(float v) { return std::strtod(orv::FormatPattern(v, "0.00").c_str(), nullptr); }

// A single written with nine significant digits, as a JSON number.
double NineDigits(float v) {
  return std::strtod(fmt::format("{:.9g}", static_cast<double>(v)).c_str(), nullptr);
}

}  // namespace

Json ResultObject(const CalcOutcome& o) {
  Json doc;
  doc["ok"] = o.ok;
  doc["validation_error"] = o.validation_error ? Json(*o.validation_error) : Json(nullptr);
  if (o.error) {
    doc["error"] = {{"number", o.error->Number()},
                    {"source", o.error->Source()},
                    {"description", o.error->Description()}};
  } else {
    doc["error"] = nullptr;
  }
  doc["engine_version"] = o.engine_version;
  doc["dust_data_version"] = o.dust_data_version;
  Json results = Json::object();
  for (const auto& [name, value] : o.results) results[name] = TwoDecimals(value);
  doc["results"] = results;
  Json jobs = Json::array();
  for (const JobResult& j : o.jobs) {
    Json job;
    job["colliery"] = j.colliery;
    job["coal_area"] = j.coal_area;
    job["start_year"] = j.start_year;
    job["end_year"] = j.end_year;
    job["open_range_check"] = j.open_range_check;
    for (const auto& [name, value] : j.values) job[name] = NineDigits(value);
    jobs.push_back(job);
  }
  doc["jobs"] = jobs;
  doc["report"] = o.report;
  return doc;
}

std::string ResultJson(const CalcOutcome& o) {
  return ResultObject(o).dump(2, ' ', false, Json::error_handler_t::replace) + "\n";
}

}  // namespace orv::calc
