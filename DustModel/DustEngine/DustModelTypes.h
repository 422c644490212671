// The enumerations of the dust model's public interface.
#pragma once

#include <cstdint>

namespace orv::dust {

// Selects the limitation year and value of the calculation.
enum Jurisdictions : int32_t {
  orvEnglandWales = 0,
  orvScotland = 1,  // and any other value
};

// Where the calculation report goes.
enum OutputOptions : int32_t {
  orvRaiseEvent = 0,  // one OutputLine event per report line
  orvShowForm = 1,    // the report output object's paged preview ("OrvDustO.Output")
  orvNoOutput = 2,    // nowhere (any value not listed here does the same)
  orvHTMLFile = 3,    // the HTML file named by HTMLFile
};

// How a validation failure is reported.
enum ErrorModes : int32_t {
  orvRaiseErrorEvent = 0,  // the Error event
  orvShowMsg = 1,          // a message box (any value but 0)
};

}  // namespace orv::dust
