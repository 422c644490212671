// The liability split at the end of the second pass: owners measured in
// tortious dust take their share of the claimant's post-limitation tortious
// total first; the rest is shared by post-limitation weighted dust insult
// units between "NCB/BC" and the other owners. Reported only; the claimant
// results do not change.
#include "Numbers.h"
#include "clsLiabilitySplit.h"
#include "detail/DustModelPass.h"

namespace orv::dust::detail {

namespace {

constexpr const char* kDefaultOwner = "NCB/BC";

float R2(float x) { return RoundTiesEven(x, 2); }

}  // namespace

void CalculationPass::LiabilitySplit() {
  const int32_t types = totals_.SplitTypes;
  const float RQ2 = R2(results_.RecoverableQuantumPercent);
  float remaining = 100;
  float sum_r2 = 0;

  clsLiabilitySplit tortious;
  clsLiabilitySplit units;
  for (const CoalJobPtr& job : list_) {
    if (job->LiabilitySplitType() == 2)
      tortious.Add(job->LiabilitySplitDescr(), job->TortiousPostLimit());
    else if (job->LiabilitySplitType() == 1)
      units.Add(job->LiabilitySplitDescr(), job->CumulativeWgtDustInsultUnitsPostLimit());
    else
      units.Add(kDefaultOwner, job->CumulativeWgtDustInsultUnitsPostLimit());
  }

  if (types & 2) {
    tortious.SetTotal(
        R2(PostLimitYears_ * results_.AveragePostLimitTotalTortiousDustCappedPercent));
    D("Total tortious value post limitation with progressively capped respirator correction for "
      "all jobs",
      tortious.Total());
    tortious.CalculateProportions();
    for (const LiabilityEntryPtr& e : tortious) {
      D("Total tortious value post limitation for " + e->Key(), e->TotalUnits());
      D("Proportion of liability for " + e->Key() + " %", e->Percent());
      sum_r2 = sum_r2 + R2(e->Percent());
      B("Final Proportion of Quantum for " + e->Key() + " %", R2(e->Percent()) / 100 * RQ2);
    }
    sum_r2 = R2(sum_r2);
    remaining = 100 - sum_r2;
    if (types & 1) {
      D("Proportion of liability remaining %", remaining);
      B("Proportion of Quantum remaining %", RQ2 * (remaining / 100));
    } else {
      D("Proportion of liability for NCB/BC %", remaining);
      B("Final Proportion of Quantum for NCB/BC %", RQ2 * (remaining / 100));
    }
  }

  if (types & 1) {
    units.CalculateProportions();
    D((types & 2) ? "Total Weighted Units post Limitation for all jobs not already proportioned"
                  : "Total Weighted Units post Limitation for all jobs",
      units.Total());
    for (const LiabilityEntryPtr& e : units) {
      D("Total Weighted Units post Limitation for " + e->Key(), e->TotalUnits());
      D("Proportion of liability for " + e->Key() + " %", R2(e->Percent()) * remaining / 100);
      B("Final Proportion of Quantum for " + e->Key() + " %",
        RQ2 * ((R2(e->Percent()) / 100 * remaining) / 100));
    }
  }
}

}  // namespace orv::dust::detail
