// One pass of the dust model over the work history (library-private). The
// first pass counts equivalent underground, surface and total years and
// meets the validations that both passes make; the second validates the
// history fully, walks it year by year writing the report, writes the
// per-job results into each CoalJob, and ends with the claimant totals and
// the liability split.
#pragma once

#include <cstdint>
#include <string>
#include <type_traits>
#include <vector>

#include "CoalJob.h"
#include "DustModel.h"
#include "ExposureChart.h"
#include "Report.h"
#include "colCoalJobs.h"
#include "colSmokeEntry.h"
#include "detail/ReportChannel.h"
#include "modGlobals.h"

namespace orv::dust::detail {

// The year totals and split types that the first pass hands to the second.
struct PassTotals {
  float UndergroundYears = 0;
  float SurfaceYears = 0;
  float AllYears = 0;
  int32_t SplitTypes = 0;
};

// The limitation year and value of the jurisdiction in force.
struct Limitation {
  int16_t year = 0;
  float value = 0;
};

// A history that fails a validation: the text reported to the host.
struct ValidationFailure {
  std::string message;
};

class CalculationPass {
 public:
  // `report` false is the first pass, true the second.
  CalculationPass(bool report, colCoalJobs& jobs, colSmokeEntry& smoking, Limitation limitation,
                  PassTotals& totals, ClaimantResults& results, Report& out);

  // CalculatePass: true when the pass ran through. A validation failure is
  // reported (DustError, then CompleteOutput) and gives false. A run-time
  // failure is raised with the source "DustModel:Calculate - <description>".
  bool Run();

  // The second pass writes each year of each job into `years` (cleared
  // first) and hands the chart to the report before completing it.
  void RecordYears(std::vector<orv::ExposureYear>& years) { years_ = &years; }

 private:
  enum class Special { kNone, kStrike, kJobBreak, kNoData };

  // Values of the job in hand; all restart at 0 for every job.
  struct JobValues {
    float EmployedYears = 0;
    float StrikeYears = 0;
    float PXR = 0;
    float WeightedPXR = 0;
    float WeightedPostLimit = 0;
    float ClosedYears = 0;
    float TortiousPostLimit = 0;
    float EquivalentYears = 0;  // first pass: sum of DustFraction
    float uplift = 1;
    bool no_data = false;
    bool halve_start = false;
    bool halve_end = false;
    bool discounted = false;
    Special special = Special::kNone;
    int number = 0;  // 1-based, in the collection's order
  };

  // Values of the year in hand.
  struct YearValues {
    int16_t year = 0;
    float base_fraction = 0;
    float YearFraction = 0;
    float DustFraction = 0;
    bool halved = false;
    // What the second pass records of the year (see orv::ExposureYear).
    std::string marker;
    float raw = 0;
    float w = 0;
    float dust_share = 0;
    float post_limit_units = 0;
    float tortious_percent = 0;
    float tortious = 0;
    float respirator_share = 0;
  };

  void Walk();
  void Start();
  void SmokingLines();
  void SurfaceDecision();
  void JobStart(int n, CoalJob& job);
  void JobChecks(CoalJob& job);
  void Halving(int n, CoalJob& job);
  void JobYears(CoalJob& job);
  void Year(CoalJob& job, int16_t y);
  void Fraction(CoalJob& job, YearValues& yv);
  // The matrix entry and its marker; sets the year's DustFraction.
  void Classify(CoalJob& job, YearValues& yv, float& raw);
  void Dust(CoalJob& job, YearValues& yv, float raw, float& w);
  bool PostLimitation(CoalJob& job, YearValues& yv, float w);
  void Tortious(CoalJob& job, YearValues& yv, float& tw);
  void RespiratorPeriod(CoalJob& job, YearValues& yv, float tw);
  void JobEndFirst(CoalJob& job);
  void JobEndSecond(int n, CoalJob& job);
  void CheckYearTotals() const;
  void ClaimantTotals();
  void LiabilitySplit();
  void RecordYear(const CoalJob& job, const YearValues& yv, bool post_limitation);
  orv::ExposureChartData ChartData() const;

  [[noreturn]] static void Refuse(std::string message);
  // The dust insult conversion K(x).
  float K(float x) const;
  // The same conversion for the year series, which never stops the
  // calculation: 0 where K fails for a parameter of 0, as computed where
  // it overflows (K fails there at the job's end).
  float KUnchecked(float x) const;
  static Special SpecialOf(const CoalJob& job);
  void SameFactorTexts(const CoalJob& job, const char* kind) const;
  // Report lines: B both reports, D detail only, N normal only. Numbers
  // with two decimals unless told. The label is a text, or a function that
  // makes it: called only when the line is written, so that a report
  // nobody reads (the first pass's, a normal report's detail lines, a
  // calculation without a report) builds no texts.
  // Whether a line printed now would be written anywhere (the channel is
  // events, the preview or an HTML file), and a detail or normal line.
  bool Writes() const { return ChannelWrites(out_.Settings().output_option); }
  bool WritesDetail() const { return out_.Settings().print_detail && Writes(); }
  bool WritesNormal() const { return !out_.Settings().print_detail && Writes(); }
  static const std::string& Text(const std::string& label) { return label; }
  static std::string Text(const char* label) { return label; }
  template <class Make>
    requires std::is_invocable_r_v<std::string, const Make&>
  static std::string Text(const Make& make) {
    return make();
  }
  template <class Label>
  void B(const Label& label) {
    if (Writes()) out_.LinePrint(Text(label));
  }
  template <class Label>
  void B(const Label& label, float v, int d = 2) {
    if (Writes()) out_.LinePrint(Text(label), v, d);
  }
  template <class Label>
  void D(const Label& label) {
    if (WritesDetail()) out_.DetailPrint(Text(label));
  }
  template <class Label>
  void D(const Label& label, float v, int d = 2) {
    if (WritesDetail()) out_.DetailPrint(Text(label), v, d);
  }
  template <class Label>
  void N(const Label& label) {
    if (WritesNormal()) out_.NormalPrint(Text(label));
  }
  template <class Label>
  void N(const Label& label, float v, int d = 2) {
    if (WritesNormal()) out_.NormalPrint(Text(label), v, d);
  }

  const bool report_;
  colCoalJobs& jobs_;
  colSmokeEntry& smoking_;
  const Limitation limitation_;
  PassTotals& totals_;
  ClaimantResults& results_;
  Report& out_;
  const ModelParms& parms_;

  std::vector<CoalJobPtr> list_;
  std::vector<orv::ExposureYear>* years_ = nullptr;
  bool ExcludeSurface_ = false;
  int16_t previous_end_ = 0;
  JobValues job_;

  // Claimant accumulators of the pass.
  float TotalYears_ = 0;
  float TotalStrikeYears_ = 0;
  float PostLimitYears_ = 0;
  float PostLimitNonRespYears_ = 0;
  float RespPeriodYears_ = 0;
  float PostLimitTortious_ = 0;
  float NonRespTortious_ = 0;
  float RespFactorSum_ = 0;
  float ClaimantWeightedPXR_ = 0;
};

}  // namespace orv::dust::detail
