#include "CalcRun.h"

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <memory>
#include <sstream>

#include <unistd.h>

#include "DustModel.h"
#include "HistoryLoader.h"

namespace orv::calc {

namespace {

using orv::dust::DustModel;
namespace fs = std::filesystem;

std::vector<std::pair<std::string, float>> ResultsOf(const DustModel& m) {
  std::vector<std::pair<std::string, float>> results;
  for (const auto& p : orv::dust::kResultProperties) results.emplace_back(p.name, m.Result(p));
  return results;
}

JobResult JobOf(orv::dust::CoalJob& j) {
  JobResult r;
  r.colliery = j.Colliery();
  r.coal_area = j.CoalArea();
  r.start_year = j.StartYear();
  r.end_year = j.EndYear();
  r.open_range_check = j.OpenRangeCheck();
  r.values = {
      {"EmployedYears", j.EmployedYears()},
      {"StrikeYears", j.StrikeYears()},
      {"WorkingYears", j.WorkingYears()},
      {"YearsAfterClosure", j.YearsAfterClosure()},
      {"AverageWeightedAnnualPXRScore", j.AverageWeightedAnnualPXRScore()},
      {"AverageAnnualDustInsultUnits", j.AverageAnnualDustInsultUnits()},
      {"CumulativeDustInsultUnits", j.CumulativeDustInsultUnits()},
      {"CumulativeWeightedDustInsultUnits", j.CumulativeWeightedDustInsultUnits()},
      {"CumulativeWgtDustInsultUnitsPostLimit", j.CumulativeWgtDustInsultUnitsPostLimit()},
      {"TortiousPostLimit", j.TortiousPostLimit()},
  };
  return r;
}

// A windowless host still needs a platform for the preview's document.
void PreferOffscreenPlatform() {
  if (std::getenv("QT_QPA_PLATFORM") == nullptr) setenv("QT_QPA_PLATFORM", "offscreen", 0);
}

std::string TemporaryHtmlPath() {
  return (fs::temp_directory_path() /
          ("tarnby-calc-" + std::to_string(static_cast<long>(getpid())) + ".htm"))
      .string();
}

std::string ReadAll(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  std::ostringstream text;
  text << in.rdbuf();
  return text.str();
}

void Calculate(const CalcOptions& options, const HistoryFile& history, CalcOutcome& out,
               std::string& html_path) {
  auto model = std::make_unique<DustModel>();
  model->SetDustDatabase(options.dust_db);
  model->SetJurisdiction(options.jurisdiction);
  out.engine_version = model->EngineVersion();
  out.dust_data_version = model->DustDataVersion();

  auto jobs = std::make_shared<orv::dust::colCoalJobs>();
  auto smoking = std::make_shared<orv::dust::colSmokeEntry>();
  orv::dust::LoadJobs(*jobs, history.jobs);
  orv::dust::LoadSmoking(*smoking, history.smoking);
  model->SetCoalJobCollection(jobs);
  model->SetSmokeHistoryCollection(smoking);
  orv::dust::ApplyIdentity(*model, history.claimant);
  model->SetPrintDetail(options.detail);
  model->SetErrorMode(orv::dust::orvRaiseErrorEvent);
  model->SetErrorHandler([&out](const std::string& text) { out.validation_error = text; });
  model->SetOutputLineHandler([&out](const std::string& line) { out.report.push_back(line); });

  switch (options.format) {
    case Format::kJson:
    case Format::kText:
      model->SetOutputOption(orv::dust::orvRaiseEvent);
      break;
    case Format::kHtml:
      html_path = options.output.empty() ? TemporaryHtmlPath() : options.output;
      model->SetHTMLFile(html_path);
      model->SetOutputOption(orv::dust::orvHTMLFile);
      break;
    case Format::kPdf:
      PreferOffscreenPlatform();
      model->SetOutputOption(orv::dust::orvShowForm);
      break;
  }

  out.ok = model->Calculate();
  out.results = ResultsOf(*model);
  for (const orv::dust::CoalJobPtr& job : *jobs) out.jobs.push_back(JobOf(*job));
  out.years = model->Years();
  if (options.format == Format::kPdf) model->OutputObject()->SavePdf(options.output);
}

}  // namespace

CalcOutcome RunCalculation(const CalcOptions& options, const HistoryFile& history) {
  CalcOutcome out;
  std::string html_path;
  try {
    Calculate(options, history, out, html_path);
  } catch (...) {
    out.ok = false;
    out.error = orv::CurrentError();
  }
  if (options.format == Format::kHtml && options.output.empty() && !html_path.empty()) {
    out.html = ReadAll(html_path);
    std::error_code ec;
    fs::remove(html_path, ec);
  }
  return out;
}

}  // namespace orv::calc
