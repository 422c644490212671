#include "CalcFixture.h"

#include <algorithm>
#include <ctime>

namespace orv::dust::calctest {

orv::Clock::time_point FixedTime() {
  std::tm tm{};
  tm.tm_year = 2026 - 1900;
  tm.tm_mon = 11;
  tm.tm_mday = 7;
  tm.tm_hour = 14;
  tm.tm_min = 5;
  tm.tm_isdst = -1;
  return orv::Clock::from_time_t(std::mktime(&tm));
}

void CalcFixture::SetUp() {
  model_ = std::make_unique<DustModel>();
  model_->SetDustDatabase(HandDb());
  model_->SetJurisdiction(orvEnglandWales);
  model_->SetErrorMode(orvRaiseErrorEvent);
  model_->SetReportClock(FixedTime);
  model_->SetOutputLineHandler([this](const std::string& l) { lines_.push_back(l); });
  model_->SetErrorHandler([this](const std::string& e) { errors_.push_back(e); });
  jobs_ = std::make_shared<colCoalJobs>();
  smoking_ = std::make_shared<colSmokeEntry>();
  model_->SetCoalJobCollection(jobs_);
  model_->SetSmokeHistoryCollection(smoking_);
}

bool CalcFixture::Run(const std::vector<HistoryJob>& history,
                      const std::vector<HistorySmoke>& smoking) {
  LoadJobs(*jobs_, history);
  LoadSmoking(*smoking_, smoking);
  lines_.clear();
  errors_.clear();
  return model_->Calculate();
}

HistoryJob CalcFixture::Job(int32_t colliery, int start, int end, int32_t job_factor,
                            int16_t resp_factor, std::string pit) {
  HistoryJob j;
  j.CollieryID = colliery;
  j.StartYear = static_cast<int16_t>(start);
  j.EndYear = static_cast<int16_t>(end);
  j.JobFactorID = job_factor;
  j.RespFactorID = resp_factor;
  j.PitName = std::move(pit);
  return j;
}

HistorySmoke CalcFixture::Smoke(const std::string& code, int years, int start, int end) {
  HistorySmoke s;
  s.CategoryCode = code;
  s.Years = years;
  s.StartYear = static_cast<int16_t>(start);
  s.EndYear = static_cast<int16_t>(end);
  return s;
}

bool CalcFixture::HasLine(const std::string& line) const {
  return std::find(lines_.begin(), lines_.end(), line) != lines_.end();
}

}  // namespace orv::dust::calctest
