#include "colCoalJobs.h"

#include "OrvError.h"
#include "detail/ClassError.h"
#include "detail/EngineFactory.h"

namespace orv::dust {

// The library's private pieces (the member guard, the calculation pass,
// the class table).
using namespace detail;

namespace {

const EngineClassRegistrar kRegistrar(colCoalJobs::kClassName, [] { return new colCoalJobs; });

}  // namespace

CoalJobPtr colCoalJobs::AddWithFactors(
    int32_t JobFactorID, const std::string& JobCode, float JobFactor, const std::string& JobDescr,
    const std::string& JobSurface, float Uplift, float DustyTime, bool NonCHA, bool NonCHACheck,
    int32_t RespFactorID, float RespFactor, const std::string& RespDescr,
    const std::string& RespSurface, int16_t RespStartYear, int16_t RespEndYear,
    float RespStartYearVal, float RespEndYearVal, const std::string& sKey, int32_t CollieryID,
    int16_t StartYear, int16_t EndYear, const std::string& PitName) {
  return AddWithFactorsPastClosure(
      JobFactorID, JobCode, JobFactor, JobDescr, JobSurface, Uplift, DustyTime, NonCHA, NonCHACheck,
      RespFactorID, RespFactor, RespDescr, RespSurface, RespStartYear, RespEndYear,
      RespStartYearVal, RespEndYearVal, sKey, CollieryID, StartYear, EndYear, PitName, 0);
}

CoalJobPtr colCoalJobs::AddWithFactorsPastClosure(
    int32_t JobFactorID, const std::string& JobCode, float JobFactor, const std::string& JobDescr,
    const std::string& JobSurface, float Uplift, float DustyTime, bool NonCHA, bool NonCHACheck,
    int32_t RespFactorID, float RespFactor, const std::string& RespDescr,
    const std::string& RespSurface, int16_t RespStartYear, int16_t RespEndYear,
    float RespStartYearVal, float RespEndYearVal, const std::string& sKey, int32_t CollieryID,
    int16_t StartYear, int16_t EndYear, const std::string& PitName, float YearsPastClose) {
  auto job = std::make_shared<CoalJob>();
  job->SetJobFactor(JobFactorID, JobCode, JobFactor, JobDescr, JobSurface, Uplift, DustyTime,
                    NonCHA, NonCHACheck, YearsPastClose);
  job->SetRespFactor(RespFactorID, RespFactor, RespDescr, RespSurface, RespStartYear, RespEndYear,
                     RespStartYearVal, RespEndYearVal);
  if (CollieryID != 0) job->SetCollieryID(CollieryID);
  job->SetStartYear(StartYear);
  job->SetEndYear(EndYear);
  job->SetPitName(PitName);
  return AddJob(std::move(job), sKey);
}

CoalJobPtr colCoalJobs::Add(const std::string& sKey, int16_t RespFactorID, int32_t JobFactorID,
                            const std::string& JobFactorCode, int32_t CollieryID,
                            const std::string& /*Colliery*/, int16_t StartYear, int16_t EndYear,
                            const std::string& PitName) {
  return ClassGuard(kPrefix, "Add", [&] {
    auto job = std::make_shared<CoalJob>();
    job->SetRespiratorFactorID(RespFactorID);
    if (JobFactorID != 0)
      job->SetJobFactorID(JobFactorID);
    else
      job->SetJobFactorCode(JobFactorCode);
    if (CollieryID != 0) job->SetCollieryID(CollieryID);
    job->SetStartYear(StartYear);
    job->SetEndYear(EndYear);
    job->SetPitName(PitName);
    return AddJob(std::move(job), sKey);
  });
}

CoalJobPtr colCoalJobs::AddJob(CoalJobPtr job, const std::string& sKey) {
  if (!sKey.empty()) job->SetKey(sKey);
  AddInOrder(job, sKey);
  return job;
}

orv::Value colCoalJobs::Sort() {
  SortByKeys();
  return {};
}

}  // namespace orv::dust
