#include "CoalJob.h"

#include "DataLookups.h"
#include "Dates.h"
#include "Numbers.h"
#include "OrvError.h"
#include "Text.h"
#include "detail/ClassError.h"
#include "modGlobals.h"

namespace orv::dust {

// The library's private pieces (the member guard, the calculation pass,
// the class table).
using namespace detail;

namespace {

constexpr std::string_view kPrefix = "CoalJob:";

// How far a job may run past the colliery's last open year and still fit.
constexpr float kOpenRangeTolerance = -0.0001f;

}  // namespace

void CoalJob::SetCollieryID(int32_t v) {
  ClassGuard(kPrefix, "Property Let CollieryID", [&] {
    CollieryRow row;
    if (LookupCollieryByID(v, row)) {
      colliery_id_ = v;
      colliery_ = std::move(row.Colliery);
      coal_area_ = std::move(row.AREA);
      return;
    }
    colliery_id_ = 0;
    colliery_.clear();
    coal_area_.clear();
    if (v != 0) RaiseStandard(err::kInvalidPropertyValue);
  });
}

void CoalJob::SetJobFactorCode(std::string_view c) {
  ClassGuard(kPrefix, "Property Let JobFactorCode", [&] {
    const std::string code = UpperAscii(Trim(c));
    JobFactorRow row;
    if (LookupJobFactorByCode(code, row)) {
      SetJobFactor(row.ID, code, row.Factor, row.Descr, row.Surface, row.Uplift,
                   row.DustyTimeFactor, row.NonCHA, row.NonCHACheck, row.YearsPastClose);
      return;
    }
    ClearJobFactor();
    if (!code.empty()) RaiseStandard(err::kInvalidPropertyValue);
  });
}

void CoalJob::SetJobFactorID(int32_t v) {
  ClassGuard(kPrefix, "Property Let JobFactorID", [&] {
    JobFactorRow row;
    if (LookupJobFactor(v, row)) {
      SetJobFactor(v, row.Code, row.Factor, row.Descr, row.Surface, row.Uplift, row.DustyTimeFactor,
                   row.NonCHA, row.NonCHACheck, row.YearsPastClose);
      return;
    }
    ClearJobFactor();
    if (v != 0) RaiseStandard(err::kInvalidPropertyValue);
  });
}

void CoalJob::SetRespiratorFactorID(int16_t v) {
  ClassGuard(kPrefix, "Property Let RespiratorFactorID", [&] {
    RespFactorRow row;
    if (LookupRespFactor(v, row)) {
      SetRespFactor(v, row.Factor, row.Descr, row.Surface, row.StartYear, row.EndYear,
                    row.StartYearVal, row.EndYearVal);
      return;
    }
    ClearRespFactor();
    if (v != 0) RaiseStandard(err::kInvalidPropertyValue);
  });
}

std::string CoalJob::OpenRangeCheck() {
  return ClassGuard(kPrefix, "OpenRangeCheck", [&] {
    GetOpenRange(colliery_id_, open_start_, open_end_);
    const float x =
        static_cast<float>(open_end_) + years_past_close_ - static_cast<float>(end_year_);
    if (x > kOpenRangeTolerance && start_year_ >= open_start_) {
      open_range_message_.clear();
    } else if (open_end_ > CurrentYear()) {
      open_range_message_ =
          "Records show colliery " + colliery_ + " only opened in " + std::to_string(open_start_);
    } else {
      open_range_message_ = "Records show colliery " + colliery_ + " was open between " +
                            std::to_string(open_start_) + " and " + std::to_string(open_end_);
    }
    return open_range_message_;
  });
}

void CoalJob::SetJobFactor(int32_t JobFactorID, std::string JobCode, float JobFactor,
                           std::string JobDescr, std::string JobSurface, float Uplift,
                           float DustyTime, bool NonCHA, bool NonCHACheck, float YearsPastClose) {
  job_factor_id_ = JobFactorID;
  job_factor_code_ = std::move(JobCode);
  job_factor_ = JobFactor;
  job_factor_text_ = std::move(JobDescr);
  surface_ = std::move(JobSurface);
  uplift_ = Uplift;
  job_dusty_time_factor_ = DustyTime;
  non_cha_ = NonCHA;
  non_cha_check_ = NonCHACheck;
  years_past_close_ = YearsPastClose;
}

void CoalJob::SetRespFactor(int32_t RespFactorID, float RespFactor, std::string RespDescr,
                            std::string RespSurface, int16_t RespStartYear, int16_t RespEndYear,
                            float RespStartYearVal, float RespEndYearVal) {
  resp_factor_id_ = ToInt16(RespFactorID);
  resp_factor_ = RespFactor;
  resp_factor_text_ = std::move(RespDescr);
  resp_surface_ = std::move(RespSurface);
  resp_start_year_ = RespStartYear;
  resp_end_year_ = RespEndYear;
  resp_start_year_val_ = RespStartYearVal;
  resp_end_year_val_ = RespEndYearVal;
}

void CoalJob::ClearJobFactor() { SetJobFactor(0, {}, 0, {}, "N", 0, 0, false, false, 0); }

void CoalJob::ClearRespFactor() { SetRespFactor(0, 0, {}, "N", 0, 0, 0, 0); }

}  // namespace orv::dust
