// The dust model's properties and Calculate: the report's start, the sort
// of the work history, and the two passes.
#include "DustModel.h"

#include "DataLookups.h"
#include "Numbers.h"
#include "detail/ClassError.h"
#include "detail/DustModelPass.h"
#include "detail/EngineFactory.h"
#include "modGlobals.h"

namespace orv::dust {

// The library's private pieces (the member guard, the calculation pass,
// the class table).
using namespace detail;

namespace {

constexpr const char* kPrefix = "DustModel:";

const EngineClassRegistrar kRegistrar(DustModel::kClassName,
                                      [] { return static_cast<orv::Component*>(new DustModel); });

}  // namespace

DustModel::DustModel() { SetJurisdiction(orvEnglandWales); }

DustModel::~DustModel() = default;

void DustModel::SetJurisdiction(int32_t value) {
  ClassGuard(kPrefix, "Property Let Jurisdiction", [&] {
    // Anything but the two would be calculated as Scotland without a word.
    if (value != orvEnglandWales && value != orvScotland) {
      throw OrvError(err::kInvalidPropertyValue, "Jurisdiction",
                     "The jurisdiction " + std::to_string(value) +
                         " is not known: 0 is England and Wales, 1 Scotland.");
    }
    jurisdiction_ = value;
    const ModelParms& p = Parms();
    if (value == orvEnglandWales) {
      limitation_year_ = p.LimitationYear;
      limit_year_val_ = p.LimitYearVal;
    } else {
      limitation_year_ = p.ScottishLimitationYear;
      limit_year_val_ = p.ScottishLimitYearVal;
    }
  });
}

void DustModel::SetDustDatabase(const std::string& sDatabaseFile) {
  ClassGuard(kPrefix, "Property Let DustDatabase", [&] {
    if (!SetupDataDB(sDatabaseFile)) RaiseStandard(err::kInvalidPropertyValue);
  });
}

std::string DustModel::DustDataVersion() const { return Parms().Version; }

bool DustModel::Calculate() {
  ReportHeading heading;
  heading.jurisdiction = jurisdiction_;
  heading.engine_version = EngineVersion();
  heading.data_version = DustDataVersion();
  report_.SetupOutput(heading);
  try {
    if (!jobs_ || !smoking_) RaiseStandard(err::kObjectNotSet);
    const DataReadSpan span;
    jobs_->Sort();
    PassTotals totals;
    const Limitation limitation{limitation_year_, limit_year_val_};
    CalculationPass first(false, *jobs_, *smoking_, limitation, totals, results_, report_);
    if (!first.Run()) return false;
    CalculationPass second(true, *jobs_, *smoking_, limitation, totals, results_, report_);
    return second.Run();
  } catch (...) {
    // The file stays readable and is not left open by a failure.
    report_.AbandonOutput();
    RaiseClassError(kPrefix, "Calculate", CurrentError().Description());
  }
}

float DustModel::SmokingInsult() const { return RoundTo2(results_.SmokingInsult); }
float DustModel::RecoverableQuantumPercent() const {
  return RoundTo2(results_.RecoverableQuantumPercent);
}
float DustModel::RecoverableQuantumWithoutSmokingPercent() const {
  return RoundTo2(results_.RecoverableQuantumWithoutSmokingPercent);
}
float DustModel::AveragePostLimitTotalTortiousDustCappedPercent() const {
  return RoundTo2(results_.AveragePostLimitTotalTortiousDustCappedPercent);
}
float DustModel::AveragePostLimitTotalTortiousDustUncorrectedPercent() const {
  return RoundTo2(results_.AveragePostLimitTotalTortiousDustUncorrectedPercent);
}
float DustModel::InRespTotalTortiousDustPercent() const {
  return RoundTo2(results_.InRespTotalTortiousDustPercent);
}
float DustModel::InRespIrreducibleMinimumDustPercent() const {
  return RoundTo2(results_.InRespIrreducibleMinimumDustPercent);
}
float DustModel::ProportionDueToDustPercent() const {
  return RoundTo2(results_.ProportionDueToDustPercent);
}
float DustModel::AverageRespiratorFactor() const {
  return RoundTo2(results_.AverageRespiratorFactor);
}
float DustModel::TotalTortiousDustPercent() const {
  return RoundTo2(results_.TotalTortiousDustPercent);
}
float DustModel::AveragePostLimitTortiousDustPercent() const {
  return RoundTo2(results_.AveragePostLimitTortiousDustPercent);
}
float DustModel::EquivalentDustInsult() const { return RoundTo2(results_.EquivalentDustInsult); }
float DustModel::CumulativeWeightedDustPXR() const {
  return RoundTo2(results_.CumulativeWeightedDustPXR);
}
float DustModel::PercentEmploymentPostLimitation() const {
  return RoundTo2(results_.PercentEmploymentPostLimitation);
}
float DustModel::ActualYearsWorked() const { return RoundTo2(results_.ActualYearsWorked); }

float DustModel::Result(const ResultProperty& property) const {
  return RoundTo2(results_.*(property.field));
}

}  // namespace orv::dust
