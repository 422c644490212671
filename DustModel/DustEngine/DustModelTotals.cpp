// The claimant totals after the year walk: years worked, the share of
// employment after the limitation date, the equivalent dust insult against
// smoking, the tortious dust with and without the respirator correction,
// and the recoverable proportion of quantum.
#include <cmath>

#include "Numbers.h"
#include "detail/DustModelPass.h"

namespace orv::dust::detail {

namespace {

// Short employment bands; each boundary belongs to the higher band.
float ShortEmploymentFactor(float years) {
  if (years < 4) return 0.6f;
  if (years < 6) return 0.7f;
  if (years < 8) return 0.8f;
  if (years < 10) return 0.9f;
  return 1.0f;
}

// Corrections above 10 count half beyond 10.
float ProgressiveCap(float c) { return c > 10 ? (c - 10) / 2 + 10 : c; }

void CheckFinite(const ClaimantResults& r) {
  for (const ResultProperty& p : kResultProperties)
    if (!std::isfinite(r.*(p.field))) RaiseStandard(err::kOverflow);
}

}  // namespace

void CalculationPass::ClaimantTotals() {
  ClaimantResults& r = results_;
  D("Claimant results");
  D("");

  r.ActualYearsWorked = TotalYears_ - TotalStrikeYears_;
  r.PercentEmploymentPostLimitation =
      r.ActualYearsWorked > 0 ? PostLimitYears_ / r.ActualYearsWorked * 100 : 0.0f;
  D("Total years worked - Full and Partial Years Adjusted", TotalYears_);
  D("Total strike years", TotalStrikeYears_);
  D("F99: Total adjusted years worked", r.ActualYearsWorked);
  N("Total adjusted years worked", r.ActualYearsWorked);
  D("Working years post limitation date", PostLimitYears_);
  D("Working years post limitation date not in respirator period", PostLimitNonRespYears_);
  D("Working years in respirator period", RespPeriodYears_);
  D("F114: Proportion of employment post limitation date %", r.PercentEmploymentPostLimitation);
  N("Proportion of employment post limitation date %", r.PercentEmploymentPostLimitation);

  const float short_factor = ShortEmploymentFactor(r.ActualYearsWorked);
  D("Short employment factor", short_factor);
  D("Cumulative Job Factored PXR pre Short employment adjustment", ClaimantWeightedPXR_);
  r.CumulativeWeightedDustPXR = ClaimantWeightedPXR_ * short_factor;
  D("F103: Cumulative Job Factored PXR after Short employment adjustment",
    r.CumulativeWeightedDustPXR);
  N("Cumulative Job Factored PXR after Short employment adjustment", r.CumulativeWeightedDustPXR);

  r.EquivalentDustInsult = K(r.CumulativeWeightedDustPXR);
  D("F105: Equivalent Dust Insult", r.EquivalentDustInsult);
  N("Equivalent Dust Insult", r.EquivalentDustInsult);

  const float dust_share = r.EquivalentDustInsult != 0
                               ? r.EquivalentDustInsult / (r.SmokingInsult + r.EquivalentDustInsult)
                               : 0.0f;
  r.ProportionDueToDustPercent = dust_share * 100;
  D("F112: Proportion due to dust %", r.ProportionDueToDustPercent);
  N("Proportion due to dust %", r.ProportionDueToDustPercent);

  r.AveragePostLimitTortiousDustPercent =
      PostLimitYears_ != 0 ? PostLimitTortious_ / PostLimitYears_ : 0.0f;
  D("F117: Average post limitation date tortious dust %", r.AveragePostLimitTortiousDustPercent);
  N("Average post limitation date tortious dust %", r.AveragePostLimitTortiousDustPercent);

  r.TotalTortiousDustPercent =
      PostLimitNonRespYears_ != 0 ? NonRespTortious_ / PostLimitNonRespYears_ : 0.0f;
  D("F118: Average post limitation not in respirator period tortious dust (Total Tortious "
    "Dust) %",
    r.TotalTortiousDustPercent);
  N("Average post limitation not in respirator period tortious dust (Total Tortious Dust) %",
    r.TotalTortiousDustPercent);

  const float resp_tortious = PostLimitTortious_ - NonRespTortious_;
  r.AverageRespiratorFactor = RespPeriodYears_ > 0 ? RespFactorSum_ / RespPeriodYears_ : 0.0f;
  const auto resp_label = [&] {
    return "Average Respirator Factor %: " + FloatToText(RespFactorSum_) + " for " +
           FloatToText(RespPeriodYears_) + " years";
  };
  D([&] { return "F124: " + resp_label(); }, r.AverageRespiratorFactor);
  N(resp_label, r.AverageRespiratorFactor);

  const float reducible = RespPeriodYears_ > 0 ? resp_tortious / RespPeriodYears_ : 0.0f;
  D("F121: Respirator Period Dust Reducible By DSM %", reducible);
  r.InRespIrreducibleMinimumDustPercent = 100 - reducible;
  D("F125: Respirator Period Irreducible minimum dust %", r.InRespIrreducibleMinimumDustPercent);
  N("Respirator Period Irreducible minimum dust %", r.InRespIrreducibleMinimumDustPercent);

  const float correction = r.InRespIrreducibleMinimumDustPercent * r.AverageRespiratorFactor / 100;
  D("F126: Reduction in dust through respirator correction", correction);
  const float capped = ProgressiveCap(correction);
  D("F131: Reduction in dust through respirator correction - progressively capped", capped);

  r.InRespTotalTortiousDustPercent = reducible + capped;
  D("F127: Respirator Period total tortious dust %", r.InRespTotalTortiousDustPercent);
  N("Respirator Period total tortious dust %", r.InRespTotalTortiousDustPercent);

  r.AveragePostLimitTotalTortiousDustUncorrectedPercent =
      PostLimitYears_ > 0 ? (RespPeriodYears_ * reducible + NonRespTortious_) / PostLimitYears_
                          : 0.0f;
  D("F136: Average Total tortious dust post limitation - no respirator correction %",
    r.AveragePostLimitTotalTortiousDustUncorrectedPercent);
  N("Average Total tortious dust post limitation - no respirator correction %",
    r.AveragePostLimitTotalTortiousDustUncorrectedPercent);

  r.AveragePostLimitTotalTortiousDustCappedPercent =
      PostLimitYears_ > 0
          ? (RespPeriodYears_ * r.InRespTotalTortiousDustPercent + NonRespTortious_) /
                PostLimitYears_
          : 0.0f;
  D("F137: Average Total tortious dust post limitation - with progressively capped respirator "
    "correction %",
    r.AveragePostLimitTotalTortiousDustCappedPercent);
  N("Average Total tortious dust post limitation - with progressively capped respirator "
    "correction %",
    r.AveragePostLimitTotalTortiousDustCappedPercent);

  r.RecoverableQuantumWithoutSmokingPercent =
      r.AveragePostLimitTotalTortiousDustCappedPercent * r.PercentEmploymentPostLimitation / 100;
  r.RecoverableQuantumPercent = r.ProportionDueToDustPercent / 100 *
                                r.PercentEmploymentPostLimitation *
                                r.AveragePostLimitTotalTortiousDustCappedPercent / 100;
  D("F144: Recoverable Proportion of Quantum (before smoking adjustment) %",
    r.RecoverableQuantumWithoutSmokingPercent);
  D("F153: Recoverable Proportion of Quantum (after smoking adjustment) %",
    r.RecoverableQuantumPercent);
  N("Recoverable Proportion of Quantum (before smoking adjustment) %",
    r.RecoverableQuantumWithoutSmokingPercent);
  N("Recoverable Proportion of Quantum (after smoking adjustment) %", r.RecoverableQuantumPercent);
  CheckFinite(r);
}

}  // namespace orv::dust::detail
