#include "ClaimantCompare.h"

#include "DustModel.h"
#include "DustModelTypes.h"

namespace orv::claimcalc {

namespace {

SideOutcome CalculateSide(const CompareSide& side, bool detail) {
  SideOutcome out;
  orv::dust::DustModel model;
  model.SetPrintDetail(detail);
  model.SetErrorMode(orv::dust::orvRaiseErrorEvent);
  model.SetOutputOption(orv::dust::orvRaiseEvent);
  model.SetOutputLineHandler([&out](const std::string& line) { out.report.push_back(line); });
  const ClaimantResult r = CalculateClaimant(model, side.history, side.jurisdiction);
  model.SetOutputLineHandler({});
  if (r.outcome == Outcome::kCalculated)
    out.figure = r.RecoverableQuantum;
  else
    out.refusal = r.message;
  return out;
}

}  // namespace

ClaimantComparison CompareClaimant(const CompareSide& a, const CompareSide& b, bool detail) {
  ClaimantComparison c;
  c.a = CalculateSide(a, detail);
  c.b = CalculateSide(b, detail);
  c.rows = orv::calcrun::CompareReports(c.a.report, c.b.report);
  c.figures = orv::calcrun::CompareFigures(c.a.figure, c.b.figure);
  return c;
}

}  // namespace orv::claimcalc
