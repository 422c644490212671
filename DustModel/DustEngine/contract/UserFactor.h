// A user-defined factor as the engine takes it: plain values, shared with the
// hosts that keep such factors (the claimant database, history files) and
// need no more of the engine to read and write them.
#pragma once

#include <cstdint>
#include <string>

namespace orv::dust {

// The first identifier of a user-defined factor; every job factor
// identifier from here up is one.
inline constexpr int32_t kFirstUserFactorID = 10000;

// A user-defined factor: both the job and the respirator factor of a job.
struct UserFactor {
  int32_t ID = kFirstUserFactorID;
  std::string Code;
  std::string Descr;
  float JobFactor = 0;
  float DustyTimeFactor = 1;  // the time underground as a fraction
  float RespFactor = 0;
  int16_t StartYear = 0;  // respirator period
  int16_t EndYear = 0;
  float StartYearVal = 1;  // 1: the whole year counts; 0.5: from mid-year
  float EndYearVal = 1;
  float YearsPastClosure = 0;

  bool operator==(const UserFactor&) const = default;
};

}  // namespace orv::dust
