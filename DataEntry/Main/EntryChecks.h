// The checks an employment or smoking entry must pass before it is saved.
// Each failed rule adds a carriage return, a line feed and its message to
// one text; an empty text means the entry passes.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace orv::tarnby {

// What the colliery text says about the entry.
enum class CollieryKind { kListedPit = 0, kAreaAverage = 1, kSmallMine = 2 };
// The first ten characters upper-cased: "AREA AVERA" an area average,
// "SMALL MINE" a small mine, anything else a listed pit.
CollieryKind KindOfColliery(const std::string& colliery_text);

// One combo's choice as the check sees it.
struct ComboChoice {
  bool in_list = false;  // an item of the list is chosen
  std::string text;      // what the box shows
  int32_t id = 0;        // the chosen item's data, 0 without one
};

struct WorkEntry {
  ComboChoice colliery;
  std::string pit_name;
  ComboChoice job_factor;
  ComboChoice resp_factor;
  std::string start_year;
  std::string end_year;
};

struct SmokeEntryInput {
  ComboChoice category;
  bool by_years = false;  // "or  Number of years" chosen
  std::string start_year;
  std::string end_year;
  std::string years;
};

std::string CheckWorkEntry(const WorkEntry& entry, int current_year);
std::string CheckSmokeEntry(const SmokeEntryInput& entry, int current_year);

// One job of the work history as the overlap warning sees it.
struct JobYears {
  int32_t id = 0;
  std::string colliery;
  int start = 0;
  int end = 0;
};

// The jobs whose years overlap the job `entry_id`, one line each naming both
// jobs and their years ("Ashby 1955 to 1965 and Bexley 1960 to 1970"); empty
// when there are none. The jobs are taken in the order the calculation takes
// them (start year, end year, ID), and a job overlaps the one before it when
// it starts before that one ends, which is what the calculation refuses.
std::string OverlapWarning(std::vector<JobYears> jobs, int32_t entry_id);

// True for a number in the usual decimal form (blanks around allowed).
bool IsNumericText(const std::string& text);

}  // namespace orv::tarnby
