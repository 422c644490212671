#include "Dates.h"

#include <cstdio>
#include <ctime>

#include <fmt/format.h>

namespace orv {

namespace {
std::tm Local(Clock::time_point t) {
  const std::time_t tt = Clock::to_time_t(t);
  std::tm tm{};
  localtime_r(&tt, &tm);
  return tm;
}
constexpr const char* kMonths[] = {"Jan", "Feb", "Mar", "Apr", "May", "Jun",
                                   "Jul", "Aug", "Sep", "Oct", "Nov", "Dec"};
}  // namespace

std::string FormatReportTime(Clock::time_point t) {
  const std::tm tm = Local(t);
  return fmt::format("{:02}:{:02} on {:02} {} {:04}", tm.tm_hour, tm.tm_min, tm.tm_mday,
                     kMonths[tm.tm_mon], tm.tm_year + 1900);
}

std::string FormatYmd(Clock::time_point t) {
  const std::tm tm = Local(t);
  return fmt::format("{:04}{:02}{:02}", tm.tm_year + 1900, tm.tm_mon + 1, tm.tm_mday);
}

std::string FormatIsoDateTime(Clock::time_point t) {
  const std::tm tm = Local(t);
  return fmt::format("{:04}-{:02}-{:02} {:02}:{:02}:{:02}", tm.tm_year + 1900,
                     tm.tm_mon + 1, tm.tm_mday, tm.tm_hour, tm.tm_min, tm.tm_sec);
}

std::string ReportTimeOfStored(const std::string& stored) {
  int year = 0, month = 0, day = 0, hour = 0, minute = 0;
  char tail = 0;
  if (std::sscanf(stored.c_str(), "%4d-%2d-%2d %2d:%2d%c", &year, &month, &day, &hour, &minute,
                  &tail) < 5 ||
      month < 1 || month > 12 || day < 1 || day > 31 || hour > 23 || minute > 59)
    return stored;
  return fmt::format("{:02}:{:02} on {:02} {} {:04}", hour, minute, day, kMonths[month - 1], year);
}

int CurrentYear() { return Local(Clock::now()).tm_year + 1900; }

}  // namespace orv
