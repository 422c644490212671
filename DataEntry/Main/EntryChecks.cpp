#include "EntryChecks.h"

#include <algorithm>

#include "OrvError.h"
#include "Text.h"
#include "Value.h"

namespace orv::tarnby {

namespace {

constexpr const char* kNewLine = "\r\n";
constexpr int kFirstYear = 1800;

void Add(std::string& text, const std::string& message) { text += kNewLine + message; }

// A year box: given, numeric and between 1800 and this year.
void CheckYear(std::string& text, const std::string& value, int current_year,
               const std::string& missing, const std::string& range) {
  if (!IsNumericText(value)) {
    Add(text, missing);
    return;
  }
  const double year = Value(Trim(value)).AsDouble();
  if (year < kFirstYear || year > current_year) Add(text, range + std::to_string(current_year));
}

}  // namespace

CollieryKind KindOfColliery(const std::string& colliery_text) {
  const std::string head = UpperAscii(colliery_text.substr(0, 10));
  if (head == "AREA AVERA") return CollieryKind::kAreaAverage;
  if (head == "SMALL MINE") return CollieryKind::kSmallMine;
  return CollieryKind::kListedPit;
}

bool IsNumericText(const std::string& text) {
  const std::string t = Trim(text);
  if (t.empty()) return false;
  try {
    (void)Value(t).AsDouble();
    return true;
  } catch (const OrvError&) {
    return false;
  }
}

std::string CheckWorkEntry(const WorkEntry& e, int current_year) {
  std::string text;
  if (!e.colliery.in_list) {
    if (!e.colliery.text.empty()) {
      Add(text, e.colliery.text +
                    " is not in the list of pits. Check that the pit is not known by another name "
                    "or use the 'Area Average' for the area for unlisted pits");
    } else {
      Add(text,
          "You must choose a pit from the list. Use the 'Area Average' for the area for unlisted "
          "pits");
    }
  }
  const CollieryKind kind = KindOfColliery(e.colliery.text);
  if (kind == CollieryKind::kSmallMine && Trim(e.pit_name).empty()) {
    Add(text, "You must give the name of the pit for a small mine");
  }
  if (kind == CollieryKind::kAreaAverage && !Trim(e.pit_name).empty()) {
    Add(text, "The new 'Small Mine' area averages should be used for non NCB/BC mines now");
  }
  if (!e.job_factor.in_list) {
    Add(text,
        e.job_factor.text.empty()
            ? std::string("You must choose a valid job factor from the list")
            : e.job_factor.text + " is not a valid job factor. You must choose one from the list");
  }
  if (!e.resp_factor.in_list) {
    Add(text, e.resp_factor.text.empty()
                  ? std::string("You must choose a valid respirator factor from the list")
                  : e.resp_factor.text +
                        " is not a valid respirator factor. You must choose one from the list");
  }
  if (e.job_factor.id >= 10000 && e.resp_factor.id != e.job_factor.id) {
    Add(text,
        "When using user defined factors the same factor choice (by name) must be used for the "
        "Job and Respirator factors");
  }
  CheckYear(text, e.start_year, current_year,
            "The start year for the job must be given and must be a valid number",
            "The start year for the job must be between 1800 and ");
  CheckYear(text, e.end_year, current_year,
            "The end year for the job must be given and must be a valid number",
            "The end year for the job must be between 1800 and ");
  return text;
}

std::string CheckSmokeEntry(const SmokeEntryInput& e, int current_year) {
  std::string text;
  if (!e.category.in_list) {
    Add(text, e.category.text.empty()
                  ? std::string("You must choose a valid smoking category from the list")
                  : e.category.text +
                        " is not a valid smoking category. You must choose one from the list");
  }
  if (!e.by_years) {
    CheckYear(text, e.start_year, current_year,
              "The start year for the smoking period must be given and must be a valid number",
              "The start year for the smoking period must be between 1800 and ");
    CheckYear(text, e.end_year, current_year,
              "The end year for the smoking period must be given and must be a valid number",
              "The end year for the smoking period must be between 1800 and ");
  } else if (!IsNumericText(e.years)) {
    Add(text, "The years of smoking must be given and must be a valid number");
  } else {
    const double years = Value(Trim(e.years)).AsDouble();
    if (years < 0 || years > 120) Add(text, "The years of smoking must be between 0 and 120");
  }
  return text;
}

std::string OverlapWarning(std::vector<JobYears> jobs, int32_t entry_id) {
  std::stable_sort(jobs.begin(), jobs.end(), [](const JobYears& a, const JobYears& b) {
    if (a.start != b.start) return a.start < b.start;
    if (a.end != b.end) return a.end < b.end;
    return a.id < b.id;
  });
  auto name = [](const JobYears& j) {
    return j.colliery + " " + std::to_string(j.start) + " to " + std::to_string(j.end);
  };
  std::string text;
  for (size_t i = 1; i < jobs.size(); ++i) {
    const JobYears& before = jobs[i - 1];
    const JobYears& after = jobs[i];
    if (after.start >= before.end) continue;
    if (before.id != entry_id && after.id != entry_id) continue;
    Add(text, name(before) + " and " + name(after));
  }
  return text;
}

}  // namespace orv::tarnby
