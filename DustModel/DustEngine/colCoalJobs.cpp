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
  InsertSorted(items_, job, sKey);
  return job;
}

// Before the first job that starts later, or starts in the same year and
// ends later; so equal jobs stay in the order they came. Reads each job's
// years as they are now.
void colCoalJobs::InsertSorted(Container& into, CoalJobPtr job, const std::string& key) {
  const int16_t start = job->StartYear();
  const int16_t end = job->EndYear();
  for (int32_t i = 1; i <= into.Count(); ++i) {
    const CoalJob& other = *into.Item(i);
    if (other.StartYear() > start || (other.StartYear() == start && other.EndYear() > end)) {
      into.Add(std::move(job), key, i);
      return;
    }
  }
  into.Add(std::move(job), key);
}

orv::Value colCoalJobs::Sort() {
  Container sorted;
  for (CoalJobPtr& job : items_) InsertSorted(sorted, job, job->Key());
  items_ = std::move(sorted);
  return {};
}

}  // namespace orv::dust
