#include "ResultJson.h"

#include <cstdlib>

#include <fmt/format.h>
#include <nlohmann/json.hpp>

#include "Numbers.h"

namespace orv::calcrun {

namespace {

using Json = nlohmann::ordered_json;

// The decimal a result reads back as ("0.00"), as a JSON number.
double TwoDecimals(float v) { return std::strtod(orv::FormatPattern(v, "0.00").c_str(), nullptr); }

// A single written with nine significant digits, as a JSON number.
double NineDigits(float v) {
  return std::strtod(fmt::format("{:.9g}", static_cast<double>(v)).c_str(), nullptr);
}

const char* KindName(ExposureKind kind) {
  switch (kind) {
    case ExposureKind::kStrike:
      return "strike";
    case ExposureKind::kClosed:
      return "closed";
    case ExposureKind::kJobBreak:
      return "job break";
    case ExposureKind::kNoData:
      return "no data";
    case ExposureKind::kDust:
      break;
  }
  return "dust";
}

Json YearJson(const ExposureYear& e) {
  Json y;
  y["year"] = e.year;
  y["job"] = e.job;
  y["colliery_id"] = e.colliery_id;
  y["colliery"] = e.colliery;
  y["job_factor"] = e.job_factor;
  y["marker"] = e.marker;
  y["kind"] = KindName(e.kind);
  y["dust_share"] = NineDigits(e.dust_share);
  y["dust_value"] = NineDigits(e.dust_value);
  y["weighted_pxr"] = NineDigits(e.weighted_pxr);
  y["weighted_dust_insult"] = NineDigits(e.weighted_dust_insult);
  y["post_limitation"] = e.post_limitation;
  y["post_limitation_share"] = NineDigits(e.post_limitation_share);
  y["post_limitation_pxr"] = NineDigits(e.post_limitation_pxr);
  y["post_limitation_insult"] = NineDigits(e.post_limitation_insult);
  y["tortious_percent"] = NineDigits(e.tortious_percent);
  y["tortious"] = NineDigits(e.tortious);
  y["respirator_period"] = e.respirator_period;
  y["respirator_share"] = NineDigits(e.respirator_share);
  y["respirator_reduction"] = NineDigits(e.respirator_reduction);
  return y;
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
  Json years = Json::array();
  for (const ExposureYear& e : o.years) years.push_back(YearJson(e));
  doc["years"] = years;
  return doc;
}

std::string ResultJson(const CalcOutcome& o) {
  return ResultObject(o).dump(2, ' ', false, Json::error_handler_t::replace) + "\n";
}

}  // namespace orv::calcrun
