// "A sorted collection of jobs in the coal mining industry": the jobs of one
// claim, 1-based, optionally keyed (keys unique, compared ignoring case).
//
// Each job is inserted at its sorted place: ascending StartYear, then
// ascending EndYear, equal years in the order added. A job whose years change
// after insertion is not moved until Sort is called.
//
// Failures of the guarded members (Add, Item, Remove, Clear) are passed on
// with the source "colCoalJobs:<procedure>" ("colCoalJobs:Add",
// "colCoalJobs:Property Get Item"); AddWithFactors, AddWithFactorsPastClosure
// and Sort pass failures on unchanged. A duplicate key fails with 457, a
// position out of range with 9, an absent key with 5.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <utility>

#include "CoalJob.h"
#include "Component.h"
#include "Value.h"
#include "detail/GuardedCollection.h"

namespace orv::dust {

using CoalJobPtr = std::shared_ptr<CoalJob>;

namespace detail {
// The order of jobs: by StartYear, then EndYear.
struct JobYears {
  std::pair<int16_t, int16_t> operator()(const CoalJob& job) const {
    return {job.StartYear(), job.EndYear()};
  }
};
}  // namespace detail

class colCoalJobs : public orv::Component,
                    public detail::GuardedCollection<CoalJob, detail::JobYears> {
 public:
  static constexpr const char* kClassName = "OrvDust.colCoalJobs";
  static constexpr std::string_view kPrefix = "colCoalJobs:";
  colCoalJobs() : GuardedCollection(kPrefix) {}
  std::string ClassName() const override { return kClassName; }

  // A job with all factor values supplied (user-defined factors): no job or
  // respirator lookup; the colliery is looked up when CollieryID is not 0.
  // RespFactorID above 32767 fails with error 6.
  CoalJobPtr AddWithFactors(int32_t JobFactorID, const std::string& JobCode, float JobFactor,
                            const std::string& JobDescr, const std::string& JobSurface,
                            float Uplift, float DustyTime, bool NonCHA, bool NonCHACheck,
                            int32_t RespFactorID, float RespFactor, const std::string& RespDescr,
                            const std::string& RespSurface, int16_t RespStartYear,
                            int16_t RespEndYear, float RespStartYearVal, float RespEndYearVal,
                            const std::string& sKey = {}, int32_t CollieryID = 0,
                            int16_t StartYear = 0, int16_t EndYear = 0,
                            const std::string& PitName = {});
  // The same with the job factor's allowance for work after closure.
  CoalJobPtr AddWithFactorsPastClosure(
      int32_t JobFactorID, const std::string& JobCode, float JobFactor, const std::string& JobDescr,
      const std::string& JobSurface, float Uplift, float DustyTime, bool NonCHA, bool NonCHACheck,
      int32_t RespFactorID, float RespFactor, const std::string& RespDescr,
      const std::string& RespSurface, int16_t RespStartYear, int16_t RespEndYear,
      float RespStartYearVal, float RespEndYearVal, const std::string& sKey = {},
      int32_t CollieryID = 0, int16_t StartYear = 0, int16_t EndYear = 0,
      const std::string& PitName = {}, float YearsPastClose = 0);
  // A job looked up by identifiers and codes: the respirator always; the job
  // factor by JobFactorID when not 0, else by JobFactorCode (empty: none);
  // the colliery when CollieryID is not 0. Colliery is accepted and not
  // used. A failing lookup stops Add and nothing is inserted.
  CoalJobPtr Add(const std::string& sKey = {}, int16_t RespFactorID = 0, int32_t JobFactorID = 0,
                 const std::string& JobFactorCode = {}, int32_t CollieryID = 0,
                 const std::string& Colliery = {}, int16_t StartYear = 0, int16_t EndYear = 0,
                 const std::string& PitName = {});

  // Item, Count, Remove, Clear and the enumeration: GuardedCollection.

  // Puts the jobs back in order; equal jobs keep their relative order.
  // Returns the empty value.
  orv::Value Sort();

 private:
  CoalJobPtr AddJob(CoalJobPtr job, const std::string& sKey);
};

}  // namespace orv::dust
