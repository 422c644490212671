#include "FactorChecks.h"

#include <optional>

#include "Numbers.h"
#include "OrvError.h"
#include "Text.h"

namespace orv::tarnby {

namespace {

std::optional<double> Numeric(const std::string& text) {
  try {
    return orv::ParseNumber(text);
  } catch (const orv::OrvError&) {
    return std::nullopt;
  }
}

// One numeric box: not a number, or outside [low, high], adds its message.
std::optional<double> CheckRange(const std::string& text, double low, double high,
                                 const std::string& not_numeric, const std::string& outside,
                                 std::vector<std::string>& failures) {
  const std::optional<double> v = Numeric(text);
  if (!v) {
    failures.push_back(not_numeric);
    return std::nullopt;
  }
  if (*v < low || *v > high) {
    failures.push_back(outside);
    return std::nullopt;
  }
  return v;
}

}  // namespace

std::vector<std::string> CheckFactor(const FactorEntry& e) {
  std::vector<std::string> f;
  if (orv::Trim(e.Descr).empty()) f.push_back("You must give a description for the factor");
  if (orv::Trim(e.Code).empty()) f.push_back("You must give a unique code for the factor");
  CheckRange(e.JobFactor, 0, 5, "You must give a numeric value for the Job Factor",
             "The Job Factor should be between 0 and 5", f);
  CheckRange(e.DustyTimeFactor, 0, 100, "You must give a numeric value for the Time Underground",
             "The Time Underground should be between 0 and 100", f);
  CheckRange(e.RespFactor, 0, 100, "You must give a numeric value for the Respirator Factor",
             "The Respirator Factor should be between 0 and 100", f);
  const auto start =
      CheckRange(e.StartYear, 1900, 2100, "You must give a numeric value for the Respirator Start Year",
                 "The Respirator Start Year should be between 1900 and 2100", f);
  const auto end =
      CheckRange(e.EndYear, 1900, 2100, "You must give a numeric value for the Respirator End Year",
                 "The Respirator End Year should be between 1900 and 2100", f);
  if (start && end && *end < *start)
    f.push_back("The Respirator End Year should be on or after the Respirator Start Year");
  CheckRange(e.YearsPastClose, 0, 5, "You must give a numeric value for Years allowed past close",
             "The Years allowed past close should be between 0 and 5", f);
  return f;
}

std::string ValidationMessage(const std::vector<std::string>& failures) {
  std::string text = "Validation failed:";
  for (const std::string& m : failures) text += "\r\n" + m;
  return text + "\r\nCorrect the errors and try again or cancel";
}

}  // namespace orv::tarnby
