#include "colCoalJobs.h"

#include <algorithm>
#include <vector>

#include "OrvError.h"
#include "detail/ClassError.h"
#include "detail/EngineFactory.h"

namespace orv::dust {

// The library's private pieces (the member guard, the calculation pass,
// the class table).
using namespace detail;

namespace {

constexpr std::string_view kPrefix = "colCoalJobs:";

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
  InsertSorted(job, sKey);
  job->WatchYears(years_changed_);
  return job;
}

namespace {
// True when a job belongs after another: it starts later, or starts in the
// same year and ends later.
bool Later(const CoalJob& a, int16_t start, int16_t end) {
  return a.StartYear() > start || (a.StartYear() == start && a.EndYear() > end);
}
}  // namespace

// Before the first job that starts later, or starts in the same year and
// ends later; so equal jobs stay in the order they came. Reads each job's
// years as they are now. While no held job's years have changed the jobs are
// in order, and that first later job is found by halving; once some have
// changed, by walking from the start, which also finds out whether the jobs
// happen to be in order again.
void colCoalJobs::InsertSorted(CoalJobPtr job, const std::string& key) {
  const int16_t start = job->StartYear();
  const int16_t end = job->EndYear();
  const int32_t n = jobs_.Count();
  int32_t at = n + 1;
  if (!*years_changed_) {
    int32_t lo = 1, hi = n + 1;
    while (lo < hi) {
      const int32_t mid = lo + (hi - lo) / 2;
      if (Later(*jobs_.Item(mid), start, end))
        hi = mid;
      else
        lo = mid + 1;
    }
    at = lo;
  } else {
    bool ordered = true;
    for (int32_t i = 1; i <= n; ++i) {
      const CoalJob& other = *jobs_.Item(i);
      if (at > n && Later(other, start, end)) at = i;
      if (i > 1 && Later(*jobs_.Item(i - 1), other.StartYear(), other.EndYear())) ordered = false;
    }
    // Inserting at the first later job keeps an ordered collection ordered.
    if (ordered) *years_changed_ = false;
  }
  if (at <= n)
    jobs_.Add(std::move(job), key, at);
  else
    jobs_.Add(std::move(job), key);
}

CoalJobPtr colCoalJobs::Item(int32_t index) {
  return ClassGuard(kPrefix, "Property Get Item", [&] { return jobs_.Item(index); });
}

CoalJobPtr colCoalJobs::Item(std::string_view key) {
  return ClassGuard(kPrefix, "Property Get Item", [&] { return jobs_.Item(key); });
}

void colCoalJobs::Remove(int32_t index) {
  ClassGuard(kPrefix, "Remove", [&] {
    CoalJobPtr job = jobs_.Item(index);
    jobs_.Remove(index);
    job->WatchYears(nullptr);
  });
}

void colCoalJobs::Remove(std::string_view key) {
  ClassGuard(kPrefix, "Remove", [&] {
    CoalJobPtr job = jobs_.Item(key);
    jobs_.Remove(key);
    job->WatchYears(nullptr);
  });
}

void colCoalJobs::Clear() {
  ClassGuard(kPrefix, "Clear", [&] {
    for (CoalJobPtr& job : jobs_) job->WatchYears(nullptr);
    jobs_.Clear();
    *years_changed_ = false;
  });
}

// A stable sort by start year, then end year: the order inserting each job
// in turn at its sorted place gives.
orv::Value colCoalJobs::Sort() {
  struct Held {
    CoalJobPtr job;
    std::string key;
    int16_t start, end;
  };
  std::vector<Held> held;
  held.reserve(static_cast<size_t>(jobs_.Count()));
  for (int32_t i = 1; i <= jobs_.Count(); ++i) {
    const CoalJobPtr& job = jobs_.Item(i);
    held.push_back({job, job->Key(), job->StartYear(), job->EndYear()});
  }
  std::stable_sort(held.begin(), held.end(), [](const Held& a, const Held& b) {
    return a.start < b.start || (a.start == b.start && a.end < b.end);
  });
  Container sorted;
  for (Held& h : held) sorted.Add(std::move(h.job), h.key);
  jobs_ = std::move(sorted);
  *years_changed_ = false;
  return {};
}

}  // namespace orv::dust
