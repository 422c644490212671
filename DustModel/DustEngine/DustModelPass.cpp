// The pass over the work history: its start, the per-job steps before the
// year walk, and the validations of a job.
#include "detail/DustModelPass.h"

#include <cmath>

#include "Numbers.h"
#include "Text.h"
#include "detail/ClassError.h"

namespace orv::dust::detail {

namespace {

// The job totals with and without the non-CHA jobs do not agree.
constexpr int32_t kErrChaTotals = 909;

std::string Num(int v) { return std::to_string(v); }

// Every "%PITNAME%", in any letter case, replaced by the pit name.
std::string SubstitutePitName(const std::string& descr, const std::string& pit) {
  static const std::string kToken = "%PITNAME%";
  std::string out;
  const std::string upper = UpperAscii(descr);
  size_t from = 0;
  for (size_t at = upper.find(kToken); at != std::string::npos; at = upper.find(kToken, from)) {
    out.append(descr, from, at - from);
    out += pit;
    from = at + kToken.size();
  }
  out.append(descr, from, std::string::npos);
  return out;
}

}  // namespace

CalculationPass::CalculationPass(bool report, colCoalJobs& jobs, colSmokeEntry& smoking,
                                 Limitation limitation, PassTotals& totals,
                                 ClaimantResults& results, Report& out)
    : report_(report),
      jobs_(jobs),
      smoking_(smoking),
      limitation_(limitation),
      totals_(totals),
      results_(results),
      out_(out),
      parms_(Parms()) {}

void CalculationPass::Refuse(std::string message) { throw ValidationFailure{std::move(message)}; }

float CalculationPass::K(float x) const {
  if (parms_.PctPrevCat1 == 0 || parms_.AvgYrPXR == 0) RaiseStandard(err::kDivisionByZero);
  const float k = KUnchecked(x);
  if (!std::isfinite(k)) RaiseStandard(err::kOverflow);
  return k;
}

float CalculationPass::KUnchecked(float x) const {
  if (parms_.PctPrevCat1 == 0 || parms_.AvgYrPXR == 0) return 0;
  return (parms_.YearsAvgSmokeEquiv / parms_.PctPrevCat1) * (x / parms_.AvgYrPXR);
}

bool CalculationPass::Run() {
  try {
    Walk();
    return true;
  } catch (const ValidationFailure& failure) {
    out_.DustError(failure.message);
    out_.CompleteOutput();
    return false;
  } catch (...) {
    RaiseClassError("DustModel:", "Calculate", CurrentError().Description());
  }
}

void CalculationPass::Walk() {
  results_ = ClaimantResults{};
  if (years_) years_->clear();
  if (report_) {
    Start();
  } else {
    totals_ = PassTotals{};
    ExcludeSurface_ = false;
  }
  for (const CoalJobPtr& job : jobs_) list_.push_back(job);
  for (size_t i = 0; i < list_.size(); ++i) {
    CoalJob& job = *list_[i];
    const int n = static_cast<int>(i) + 1;
    JobStart(n, job);
    JobChecks(job);
    Halving(n, job);
    JobYears(job);
    if (report_)
      JobEndSecond(n, job);
    else
      JobEndFirst(job);
    previous_end_ = job.EndYear();
  }
  if (!report_) {
    CheckYearTotals();
    return;
  }
  ClaimantTotals();
  if (totals_.SplitTypes != 0) LiabilitySplit();
  // The chart only for a channel that shows it: a run without a report
  // (the bulk recalculation) copies nothing.
  if (years_ && out_.ShowsExposureChart()) {
    const orv::ExposureChartData chart = ChartData();
    out_.CompleteOutput(&chart);
  } else {
    out_.CompleteOutput();
  }
}

orv::ExposureChartData CalculationPass::ChartData() const {
  orv::ExposureChartData chart;
  chart.years = *years_;
  chart.limitation_year = limitation_.year;
  chart.limitation_value = limitation_.value;
  chart.recoverable_before_smoking = RoundTo2(results_.RecoverableQuantumWithoutSmokingPercent);
  chart.recoverable_after_smoking = RoundTo2(results_.RecoverableQuantumPercent);
  chart.smoking_insult = results_.SmokingInsult;
  return chart;
}

void CalculationPass::Start() {
  out_.SetDetailLevel(0);
  SmokingLines();
  SurfaceDecision();
  D([&] { return "Number of jobs: " + Num(jobs_.Count()); });
  D("");
}

void CalculationPass::SmokingLines() {
  for (const SmokeEntryPtr& entry : smoking_) {
    const float value = entry->SmokeValue();
    results_.SmokingInsult += value;
    const std::string years = Num(entry->Years());
    if (entry->StartYear() != 0) {
      D([&] {
        return "Smoking insult " + entry->SmokeText() + " from " + Num(entry->StartYear()) +
               " to " + Num(entry->EndYear()) + " (" + years + " years)";
      },
        value);
    } else {
      D([&] { return "Smoking insult " + entry->SmokeText() + " for " + years + " years"; }, value);
    }
  }
  D("F110: Total Smoking Insult", results_.SmokingInsult);
  N("Total Smoking Insult", results_.SmokingInsult);
  B("");
}

void CalculationPass::SurfaceDecision() {
  ExcludeSurface_ = false;
  if (!(totals_.SurfaceYears > 0)) return;
  B("Total equivalent years (adjusted and excl strikes) in surface work", totals_.SurfaceYears);
  B("Total equivalent years (adjusted and excl strikes) underground", totals_.UndergroundYears);
  B("Total equivalent years (adjusted and excl strikes) all jobs", totals_.AllYears);
  if (totals_.UndergroundYears <= 4.99f) {
    ExcludeSurface_ = true;
    B("Surface Dusty jobs will be excluded as <5 years underground");
  } else {
    B("Surface Dusty jobs will be included as >=5 years underground");
  }
  B("");
}

void CalculationPass::JobStart(int n, CoalJob& job) {
  job_ = JobValues{};
  job_.number = n;
  job_.special = SpecialOf(job);
  job_.uplift = job.Colliery().find("UK Coal") != std::string::npos ? 1.0f : job.Uplift();
  if (report_) {
    D([&] { return "Starting job number " + Num(n); });
    out_.SetDetailLevel(1);
    D([&] { return "Colliery: " + job.Colliery() + ", Area: " + job.CoalArea(); });
  }
  // Each calculation takes the split type afresh, so a job whose colliery
  // has no split keeps none from an earlier calculation.
  std::string descr;
  const int16_t type = GetLiabilitySplitType(job.CollieryID(), descr);
  job.SetLiabilitySplitType(type);
  job.SetLiabilitySplitDescr(type != 0 ? SubstitutePitName(descr, job.PitName()) : std::string());
  totals_.SplitTypes |= type;
}

void CalculationPass::JobChecks(CoalJob& job) {
  if (job.LiabilitySplitType() != 1 && !job.PitName().empty())
    Refuse(
        "If you are giving the name of a non NCB/BC Small Mine then you must use the Small Mine "
        "Area Averages for the colliery");
  if (!report_) return;
  if (job.LiabilitySplitType() == 1) {
    B([&] { return "SMALL MINE: " + job.PitName(); });
    if (job.JobFactorID() != parms_.SmallMineJobID)
      Refuse("You must use the small mines job factor for all work in small mines");
    if (job.RespiratorFactorID() != parms_.RespiratorWornRespID &&
        job.RespiratorFactorID() != parms_.SmallMineRespID)
      Refuse(
          "You must use the small mines or respirator worn respirator factor for all work in "
          "small mines");
  }
  D([&] { return "From " + Num(job.StartYear()) + " to " + Num(job.EndYear()); });
  N([&] {
    return "Colliery: " + job.Colliery() + ", area: " + job.CoalArea() + " from " +
           Num(job.StartYear()) + " to " + Num(job.EndYear());
  });
  if (job.Surface() == "Y")
    B(ExcludeSurface_ ? "This is a surface job and will be discounted"
                      : "This is a surface job but will be included");
  if (job.JobDustyTimeFactor() != 1)
    B("Proportion of job considered to be in a dusty environment %", job.JobDustyTimeFactor() * 100,
      1);
  if (job.StartYear() < previous_end_)
    Refuse("Work history overlap for colliery " + job.Colliery());
  if (job.Surface() == "Y" && parms_.SurfaceData == 0)
    B("WARNING - SURFACE JOB BUT SURFACE DATA NOT YET AVAILABLE");
  if (job.Surface() != job.RespSurface())
    Refuse("Surface marker for Job Factor (" + job.Surface() +
           ") does not match marker for Respirator Factor (" + job.RespSurface() + ")");
}

// A job that starts in the year after the previous one ended has a full
// first year; one that starts in that same year, or after a gap, a half one.
// The same rule holds between a job's end and the next job's start, and the
// last job's end year is always halved.
void CalculationPass::Halving(int n, CoalJob& job) {
  const int start = job.StartYear();
  const int end = job.EndYear();
  const int prev = previous_end_;
  job_.halve_start = !(start != prev && start - prev <= 1);
  if (job_.halve_start && report_) D("Start year will be halved");
  if (n == static_cast<int>(list_.size())) {
    job_.halve_end = true;
    if (report_) D("End year will be halved - last in list");
    return;
  }
  const int next = list_[static_cast<size_t>(n)]->StartYear();
  job_.halve_end = !(next != end && next - end <= 1);
  if (job_.halve_end && report_) D("End year will be halved");
  if (start == end && start == prev && start == next) {
    job_.discounted = true;
    if (report_)
      D("Discounting single year job which is the same as end of previous and start of next job");
  }
}

void CalculationPass::JobYears(CoalJob& job) {
  if (job.CollieryID() < 1) Refuse("Job found without colliery");
  if (job.EndYear() < job.StartYear() || job.StartYear() <= 0)
    Refuse("Entry for colliery " + job.Colliery() + " has invalid start/end years");
  for (int y = job.StartYear(); y <= job.EndYear(); ++y) Year(job, static_cast<int16_t>(y));
}

void CalculationPass::JobEndFirst(CoalJob& job) {
  if (job.Surface() == "Y")
    totals_.SurfaceYears += job_.EquivalentYears;
  else
    totals_.UndergroundYears += job_.EquivalentYears;
  totals_.AllYears += job_.EquivalentYears;
}

void CalculationPass::CheckYearTotals() const {
  const float gap = totals_.AllYears - totals_.UndergroundYears - totals_.SurfaceYears;
  if (!(std::fabs(gap) <= 0.001f))
    throw OrvError(kErrChaTotals, "Check for non CHA jobs",
                   "CHA & non CHA job totals do not add up");
}

CalculationPass::Special CalculationPass::SpecialOf(const CoalJob& job) {
  const std::string& jt = job.JobFactorText();
  const std::string& rt = job.RespiratorFactorText();
  const auto either = [&](const char* p) { return IStartsWith(jt, p) || IStartsWith(rt, p); };
  if (either("STRIKE")) return Special::kStrike;
  if (either("JOB BREAK")) return Special::kJobBreak;
  if (either("NO DATA")) return Special::kNoData;
  return Special::kNone;
}

void CalculationPass::SameFactorTexts(const CoalJob& job, const char* kind) const {
  if (job.JobFactorText() != job.RespiratorFactorText())
    Refuse(std::string("If using the special ") + kind +
           " job or respirator factor both the Job and Respirator factor must be set to the "
           "same value");
}

}  // namespace orv::dust::detail
