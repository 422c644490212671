// A dust model on the hand-worked test database, with its report lines and
// validation failures collected.
#pragma once

#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

#include "CalcTestData.h"
#include "DustModel.h"
#include "HistoryLoader.h"

namespace orv::dust::calctest {

// 14:05 on 07 Dec 2026, local time.
orv::Clock::time_point FixedTime();

class CalcFixture : public ::testing::Test {
 protected:
  void SetUp() override;

  // Loads the histories and runs Calculate.
  bool Run(const std::vector<HistoryJob>& history, const std::vector<HistorySmoke>& smoking = {});

  static HistoryJob Job(int32_t colliery, int start, int end, int32_t job_factor,
                        int16_t resp_factor, std::string pit = {});
  static HistorySmoke Smoke(const std::string& code, int years, int start = 0, int end = 0);

  // The n-th job (from 1) of the collection after the calculation.
  CoalJob& JobAt(int n) { return *jobs_->Item(n); }
  // True when `line` is among the report lines.
  bool HasLine(const std::string& line) const;

  std::unique_ptr<DustModel> model_;
  std::shared_ptr<colCoalJobs> jobs_;
  std::shared_ptr<colSmokeEntry> smoking_;
  std::vector<std::string> lines_;
  std::vector<std::string> errors_;
};

}  // namespace orv::dust::calctest
