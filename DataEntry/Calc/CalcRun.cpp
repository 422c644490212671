#include "CalcRun.h"

#include <cstdlib>
#include <fstream>
#include <memory>
#include <optional>
#include <sstream>

#include "DustModel.h"
#include "HistoryLoader.h"
#include "SafeFiles.h"

namespace orv::calcrun {

namespace {

using orv::dust::DustModel;

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

std::string ReadAll(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  std::ostringstream text;
  text << in.rdbuf();
  return text.str();
}

// `temp_html` names the report file when the HTML goes to standard output:
// a file in a private temporary folder, never a name another user can
// foresee, plant a link at or read.
void Calculate(const CalcOptions& options, const HistoryFile& history, CalcOutcome& out,
               const std::string& temp_html) {
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
      model->SetHTMLFile(options.output.empty() ? temp_html : options.output);
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
  std::optional<orv::files::PrivateTempDir> temp;
  std::string temp_html;
  try {
    if (options.format == Format::kHtml && options.output.empty()) {
      temp.emplace("tarnby-calc");
      temp_html = temp->File("report.htm");
    }
    Calculate(options, history, out, temp_html);
  } catch (...) {
    out.ok = false;
    out.error = orv::CurrentError();
  }
  if (!temp_html.empty()) out.html = ReadAll(temp_html);
  return out;
}

}  // namespace orv::calcrun
