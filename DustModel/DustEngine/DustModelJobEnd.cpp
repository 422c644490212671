// The end of a job in the second pass: its values written back into the
// CoalJob and its summary lines.
#include "detail/DustModelPass.h"

#include "Numbers.h"

namespace orv::dust::detail {

void CalculationPass::JobEndSecond(int n, CoalJob& job) {
  out_.SetDetailLevel(1);
  const JobValues& v = job_;
  ClaimantWeightedPXR_ += v.WeightedPXR;

  job.SetEmployedYears(v.EmployedYears);
  job.SetStrikeYears(v.StrikeYears);
  job.SetWorkingYears(v.EmployedYears - v.StrikeYears);
  job.SetCumulativeDustInsultUnits(v.PXR);
  job.SetYearsAfterClosure(v.ClosedYears);
  job.SetTortiousPostLimit(v.TortiousPostLimit);
  job.SetAverageWeightedAnnualPXRScore(v.EmployedYears > 0 ? v.WeightedPXR / v.EmployedYears
                                                           : 0.0f);
  job.SetAverageAnnualDustInsultUnits(K(job.AverageWeightedAnnualPXRScore()));
  job.SetCumulativeWeightedDustInsultUnits(K(v.WeightedPXR));
  job.SetCumulativeWgtDustInsultUnitsPostLimit(K(v.WeightedPostLimit));

  if (totals_.SplitTypes & 1)
    D("Weighted dust insult units post limitation for this job",
      job.CumulativeWgtDustInsultUnitsPostLimit());
  D("Accumulated Dust Years", job.EmployedYears());
  D("Strike years while employed in job", v.StrikeYears);
  D("Working years in job", job.WorkingYears());
  N([&] {
    return "Working Years in Job (" + FormatPattern(job.EmployedYears(), "0.##") + " less " +
           FloatToText(v.StrikeYears) + " strike)";
  },
    job.WorkingYears());
  B([&] { return "Job Factor: " + job.JobFactorText(); }, job.JobFactor());
  B("Uplift:", v.uplift);
  B([&] {
    return "Respirator Factor %: " + job.RespiratorFactorText() + " applies from " +
           (job.RespStartYearVal() == 0.5f ? "mid " : "") + std::to_string(job.RespStartYear()) +
           " to " + (job.RespEndYearVal() == 0.5f ? "mid " : "") +
           std::to_string(job.RespEndYear());
  },
    job.RespFactor());
  B("Average Annual Weighted PXR Score", job.AverageWeightedAnnualPXRScore());
  B("Average Annual Dust Insult Units", job.AverageAnnualDustInsultUnits());
  B("Cumulative Weighted Dust Insult Units", job.CumulativeWeightedDustInsultUnits());
  if (totals_.SplitTypes & 2) D("Tortious dust in job post limitation", job.TortiousPostLimit());
  out_.SetDetailLevel(0);
  D([&] { return "End of job number " + std::to_string(n); });
  B("");
}

}  // namespace orv::dust::detail
