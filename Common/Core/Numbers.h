// Numbers as text, pattern formatting and rounding: the one reading of these
// conventions that every part of the system calls.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

namespace orv {

// The standard text form of a single: the shortest decimal of at most seven
// significant digits that reads back as the same single, no trailing zeros
// or point; exponent form ("1E-06", "1.234568E+07") only below 0.00001 or
// from 10,000,000 up.
std::string FloatToText(float value);

// The standard text form of a double (at most fifteen significant digits).
std::string DoubleToText(double value);

// Formats with a pattern such as "0.00", "0.0", "0", "#.##": the single's
// standard decimal rounded half away from zero to the pattern's decimals;
// "0" places always shown, "#" places only when not zero; the point shown
// whenever the pattern has one. Throws error 5 for a pattern it does not know.
std::string FormatPattern(float value, std::string_view pattern);

// The value formatted as "0.00" and read back: how engine results read.
float RoundTo2(float value);

// Rounds the single's standard decimal to `decimals` places, ties to even.
float RoundTiesEven(float value, int decimals);

// "50.00%" for 0.5.
std::string FormatPercent(float value);

// Reads a number written in the usual decimal form (sign, exponent and
// surrounding blanks allowed). Anything else fails with error 13.
double ParseNumber(std::string_view text);
float ParseSingle(std::string_view text);

// Converts to 16- or 32-bit integers, rounding halves to even; outside the
// type's range fails with error 6.
int16_t ToInt16(double value);
int32_t ToInt32(double value);
int16_t ParseInt16(std::string_view text);
int32_t ParseInt32(std::string_view text);

// Booleans as text: "True"/"False" written; reading accepts those in any
// case and numbers (0 is false). Anything else fails with error 13.
std::string BoolToText(bool value);
bool ParseBool(std::string_view text);

}  // namespace orv
