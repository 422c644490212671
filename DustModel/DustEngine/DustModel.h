// The dust model ("OrvDust.DustModel"): turns a claimant's work history
// (colCoalJobs) and smoking history (colSmokeEntry) into the recoverable
// proportion of quantum, with an itemised report.
//
// Use: assign DustDatabase (opens the thread's dust data connection), then
// Jurisdiction (copies the limitation year and value from the model
// parameters in force at that moment), set both collections, the report
// options and the claimant's identification, and call Calculate.
//
// Calculate answers true when the calculation succeeded, false when the
// history failed a validation: the reason has then been reported through
// the Error handler (ErrorMode orvRaiseErrorEvent) or a message box "Dust
// Model Error" (orv::MsgBox; any other ErrorMode), and written to the report
// as "ERROR: <reason>". A run-time failure is raised as orv::OrvError with
// its own number and description and the source "DustModel:Calculate - "
// followed by the description; a failure to start the report keeps the
// source "DustModel:SetupOutput..." (for an HTML file in a folder that does
// not exist, error 76 with "... check this is a valid path").
//
// The fifteen results read back rounded to two decimals; they are zeroed at
// the start of every Calculate and complete only after one that answered
// true. The per-job results are written into each CoalJob.
//
// Single-threaded: handlers run inside Calculate on the caller's thread.
#pragma once

#include <cstdint>
#include <iterator>
#include <memory>
#include <string>
#include <vector>

#include "Component.h"
#include "DustModelTypes.h"
#include "ExposureChart.h"
#include "IOutput.h"
#include "Report.h"
#include "colCoalJobs.h"
#include "colSmokeEntry.h"

namespace orv::dust {

// The fifteen claimant results, unrounded, as the calculation keeps them.
struct ClaimantResults {
  float SmokingInsult = 0;
  float RecoverableQuantumPercent = 0;
  float RecoverableQuantumWithoutSmokingPercent = 0;
  float AveragePostLimitTotalTortiousDustCappedPercent = 0;
  float AveragePostLimitTotalTortiousDustUncorrectedPercent = 0;
  float InRespTotalTortiousDustPercent = 0;
  float InRespIrreducibleMinimumDustPercent = 0;
  float ProportionDueToDustPercent = 0;
  float AverageRespiratorFactor = 0;
  float TotalTortiousDustPercent = 0;
  float AveragePostLimitTortiousDustPercent = 0;
  float EquivalentDustInsult = 0;
  float CumulativeWeightedDustPXR = 0;
  float PercentEmploymentPostLimitation = 0;
  float ActualYearsWorked = 0;
};

// The fifteen result properties by name, in the order the dust model lists
// them: what hosts, writers and tests walk instead of naming each.
struct ResultProperty {
  const char* name;
  float ClaimantResults::*field;
};
inline constexpr ResultProperty kResultProperties[] = {
    {"SmokingInsult", &ClaimantResults::SmokingInsult},
    {"RecoverableQuantumPercent", &ClaimantResults::RecoverableQuantumPercent},
    {"RecoverableQuantumWithoutSmokingPercent",
     &ClaimantResults::RecoverableQuantumWithoutSmokingPercent},
    {"AveragePostLimitTotalTortiousDustCappedPercent",
     &ClaimantResults::AveragePostLimitTotalTortiousDustCappedPercent},
    {"AveragePostLimitTotalTortiousDustUncorrectedPercent",
     &ClaimantResults::AveragePostLimitTotalTortiousDustUncorrectedPercent},
    {"InRespTotalTortiousDustPercent", &ClaimantResults::InRespTotalTortiousDustPercent},
    {"InRespIrreducibleMinimumDustPercent", &ClaimantResults::InRespIrreducibleMinimumDustPercent},
    {"ProportionDueToDustPercent", &ClaimantResults::ProportionDueToDustPercent},
    {"AverageRespiratorFactor", &ClaimantResults::AverageRespiratorFactor},
    {"TotalTortiousDustPercent", &ClaimantResults::TotalTortiousDustPercent},
    {"AveragePostLimitTortiousDustPercent", &ClaimantResults::AveragePostLimitTortiousDustPercent},
    {"EquivalentDustInsult", &ClaimantResults::EquivalentDustInsult},
    {"CumulativeWeightedDustPXR", &ClaimantResults::CumulativeWeightedDustPXR},
    {"PercentEmploymentPostLimitation", &ClaimantResults::PercentEmploymentPostLimitation},
    {"ActualYearsWorked", &ClaimantResults::ActualYearsWorked},
};
static_assert(std::size(kResultProperties) == 15, "the fifteen results");

// The engine's own version, "major.minor.revision".
inline constexpr const char* kEngineVersion = "1.0.0";

class DustModel : public orv::Component {
 public:
  static constexpr const char* kClassName = "OrvDust.DustModel";
  std::string ClassName() const override { return kClassName; }

  // Jurisdiction orvEnglandWales, output orvRaiseEvent, error mode orvShowMsg.
  DustModel();
  // Unloads and releases the report output object.
  ~DustModel() override;
  DustModel(const DustModel&) = delete;
  DustModel& operator=(const DustModel&) = delete;

  // --- calculation inputs -------------------------------------------------
  // orvEnglandWales (0): LimitationYear and LimitYearVal; any other value:
  // ScottishLimitationYear and ScottishLimitYearVal, as the connection holds
  // them now.
  void SetJurisdiction(int32_t value);
  int32_t Jurisdiction() const { return jurisdiction_; }
  // Runs SetupDataDB on the file. When it reports failure (the matrix
  // expansion failed): error 380; every failure has the source
  // "DustModel:Property Let DustDatabase".
  void SetDustDatabase(const std::string& sDatabaseFile);
  void SetCoalJobCollection(std::shared_ptr<colCoalJobs> jobs) { jobs_ = std::move(jobs); }
  const std::shared_ptr<colCoalJobs>& CoalJobCollection() const { return jobs_; }
  void SetSmokeHistoryCollection(std::shared_ptr<colSmokeEntry> smoking) {
    smoking_ = std::move(smoking);
  }
  const std::shared_ptr<colSmokeEntry>& SmokeHistoryCollection() const { return smoking_; }

  // "Primary call to the engine to calculate this claim - returns True if
  // successful." Without a job or smoking collection: error 91.
  [[nodiscard]] bool Calculate();

  // --- results, read back rounded to two decimals -------------------------
  float SmokingInsult() const;
  float RecoverableQuantumPercent() const;
  float RecoverableQuantumWithoutSmokingPercent() const;
  float AveragePostLimitTotalTortiousDustCappedPercent() const;
  float AveragePostLimitTotalTortiousDustUncorrectedPercent() const;
  float InRespTotalTortiousDustPercent() const;
  float InRespIrreducibleMinimumDustPercent() const;
  float ProportionDueToDustPercent() const;
  float AverageRespiratorFactor() const;
  float TotalTortiousDustPercent() const;
  float AveragePostLimitTortiousDustPercent() const;
  float EquivalentDustInsult() const;
  float CumulativeWeightedDustPXR() const;
  float PercentEmploymentPostLimitation() const;
  float ActualYearsWorked() const;
  // Any of them by its entry of kResultProperties.
  float Result(const ResultProperty& property) const;

  // "1.0.0"; the Version model parameter of the connection.
  std::string EngineVersion() const { return kEngineVersion; }
  std::string DustDataVersion() const;

  // --- report -------------------------------------------------------------
  // orvShowForm creates "OrvDustO.Output" when none is held (failing with the
  // registry's error 429 while no report output library is installed) and
  // shows it; any other value unloads its window. Source of failures:
  // "DustModel:Property Let OutputOption".
  void SetOutputOption(int32_t option) { report_.SetOutputOption(option); }
  int32_t OutputOption() const { return report_.Settings().output_option; }
  void SetPrintDetail(bool v) { report_.Settings().print_detail = v; }
  bool PrintDetail() const { return report_.Settings().print_detail; }
  void SetHTMLFile(std::string v) { report_.Settings().html_file = std::move(v); }
  const std::string& HTMLFile() const { return report_.Settings().html_file; }
  void SetClaimantName(std::string v) { report_.Settings().claimant_name = std::move(v); }
  const std::string& ClaimantName() const { return report_.Settings().claimant_name; }
  void SetZURIRRef(std::string v) { report_.Settings().zurir_ref = std::move(v); }
  const std::string& ZURIRRef() const { return report_.Settings().zurir_ref; }
  void SetSolicitorRef(std::string v) { report_.Settings().solicitor_ref = std::move(v); }
  const std::string& SolicitorRef() const { return report_.Settings().solicitor_ref; }
  void SetClaimantExtra(std::string v) { report_.Settings().claimant_extra = std::move(v); }
  const std::string& ClaimantExtra() const { return report_.Settings().claimant_extra; }
  // Default "Additional information: ".
  void SetClaimantExtraLabel(std::string v) {
    report_.Settings().claimant_extra_label = std::move(v);
  }
  const std::string& ClaimantExtraLabel() const { return report_.Settings().claimant_extra_label; }
  // A label-only line after the heading's jurisdiction; empty (the default): none.
  void SetHeadingNote(std::string v) { report_.Settings().heading_note = std::move(v); }
  const std::string& HeadingNote() const { return report_.Settings().heading_note; }
  void SetErrorMode(int32_t v) { report_.Settings().error_mode = v; }
  int32_t ErrorMode() const { return report_.Settings().error_mode; }

  // --- events -------------------------------------------------------------
  // OutputLine: one report line (orvRaiseEvent), tabs for the detail
  // indentation, " = " and the value when the line has one.
  void SetOutputLineHandler(ReportTextHandler h) { report_.Settings().output_line = std::move(h); }
  // Error: one validation failure text (ErrorMode orvRaiseErrorEvent).
  void SetErrorHandler(ReportTextHandler h) { report_.Settings().error = std::move(h); }

  // The report output object held since orvShowForm was chosen (nullptr
  // before): hosts without a window save its document with SavePdf.
  std::shared_ptr<orv::IOutput> OutputObject() const { return report_.OutputObject(); }

  // The time the heading names (default: now). For tests and re-runs.
  void SetReportClock(std::function<orv::Clock::time_point()> clock) {
    report_.Settings().clock = std::move(clock);
  }

  // The unrounded results of the last Calculate.
  const ClaimantResults& RawResults() const { return results_; }

  // Each year of each job of the last Calculate that answered true, in the
  // order worked (empty after one that did not): the colliery and job, the
  // dust value and weighted dust insult, the share after the limitation
  // date and its tortious dust, the respirator reduction. A job's years add
  // up to its totals and the jobs' totals to the claimant's, as the
  // calculation added them.
  const std::vector<orv::ExposureYear>& Years() const { return years_; }

  // Whether the preview and the HTML report end with the exposure chart
  // (default true). The report's lines are the same either way; the events
  // never carry the chart.
  void SetIncludeExposureChart(bool v) { report_.Settings().exposure_chart = v; }
  bool IncludeExposureChart() const { return report_.Settings().exposure_chart; }

 private:
  int32_t jurisdiction_ = orvEnglandWales;
  int16_t limitation_year_ = 0;
  float limit_year_val_ = 0;
  std::shared_ptr<colCoalJobs> jobs_;
  std::shared_ptr<colSmokeEntry> smoking_;
  ClaimantResults results_;
  std::vector<orv::ExposureYear> years_;
  Report report_;
};

}  // namespace orv::dust
