// Dates as the system writes them.
#pragma once

#include <chrono>
#include <string>

namespace orv {

using Clock = std::chrono::system_clock;

// "14:05 on 07 Dec 2026" (local time).
std::string FormatReportTime(Clock::time_point t);
// "20261207" (local time).
std::string FormatYmd(Clock::time_point t);
// "2026-12-07 14:05:33" (local time), as dates are stored in the databases.
std::string FormatIsoDateTime(Clock::time_point t);
// A stored "2026-12-07 14:05:33" as the report writes times: "14:05 on 07
// Dec 2026". A text that is no such date is given back as it is.
std::string ReportTimeOfStored(const std::string& stored);
// The calendar year of the current local date.
int CurrentYear();

}  // namespace orv
