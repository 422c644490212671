#include "SmokeEntry.h"

#include "DataLookups.h"
#include "Numbers.h"
#include "OrvError.h"
#include "Text.h"
#include "detail/ClassError.h"
#include "detail/EngineFactory.h"
#include "modGlobals.h"

namespace orv::dust {

// The library's private pieces (the member guard, the calculation pass,
// the class table).
using namespace detail;

namespace {

constexpr std::string_view kPrefix = "SmokeEntry:";

const EngineClassRegistrar kRegistrar(SmokeEntry::kClassName, [] { return new SmokeEntry; });

}  // namespace

SmokeEntry::SmokeEntry() {
  ClassGuard(kPrefix, "Initialize", [&] { RequireDataReady({}); });
}

int16_t SmokeEntry::Years() {
  if (years_ == 0 && start_year_ != 0 && end_year_ != 0) {
    years_ = ToInt16(end_year_ - start_year_);
    years_given_ = true;
  }
  return years_;
}

void SmokeEntry::SetYears(int16_t v) {
  years_ = v;
  years_given_ = true;
}

void SmokeEntry::SetStartYear(int16_t v) {
  if (v != start_year_) order_.BeforeChange();
  start_year_ = v;
  ComputeYearsFromRange();
}

void SmokeEntry::SetEndYear(int16_t v) {
  end_year_ = v;
  ComputeYearsFromRange();
}

// Both years given: Years follows them, without counting as given.
void SmokeEntry::ComputeYearsFromRange() {
  if (start_year_ != 0 && end_year_ != 0) years_ = ToInt16(end_year_ - start_year_);
}

void SmokeEntry::SetCode(std::string_view c) {
  ClassGuard(kPrefix, "Property Let Code", [&] {
    const std::string code = UpperAscii(Trim(c));
    SmokeFactorRow row;
    if (LookupSmokeFactorByCode(code, row)) {
      code_ = code;
      id_ = row.ID;
      factor_ = row.Factor;
      smoke_text_ = std::move(row.LISTDESCR);
      category_found_ = true;
      return;
    }
    ClearCategory();
    if (!code.empty()) RaiseStandard(err::kInvalidPropertyValue);
  });
}

void SmokeEntry::SetID(int32_t v) {
  ClassGuard(kPrefix, "Property Let ID", [&] {
    SmokeFactorRow row;
    if (LookupSmokeFactor(v, row)) {
      id_ = v;
      code_ = std::move(row.Code);
      factor_ = row.Factor;
      smoke_text_ = std::move(row.LISTDESCR);
      category_found_ = true;
      return;
    }
    ClearCategory();
    if (v != 0) RaiseStandard(err::kInvalidPropertyValue);
  });
}

void SmokeEntry::ClearCategory() {
  code_.clear();
  smoke_text_.clear();
  id_ = 0;
  factor_ = 0;
  category_found_ = false;
}

float SmokeEntry::SmokeValue() {
  const int16_t years = Years();
  if (years > 0 && category_found_ && years_given_)
    return static_cast<float>(static_cast<double>(years) *
                              static_cast<double>(Parms().AnnSmokeUnit) *
                              static_cast<double>(factor_));
  return 0;
}

}  // namespace orv::dust
