// The checks an employment or smoking entry must pass before it is saved.
// Each failed rule adds a carriage return, a line feed and its message to
// one text; an empty text means the entry passes.
#pragma once

#include <cstdint>
#include <string>

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

// True for a number in the usual decimal form (blanks around allowed).
bool IsNumericText(const std::string& text);

}  // namespace orv::tarnby
