#include "Numbers.h"

#include <algorithm>
#include <charconv>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <limits>
#include <system_error>
#include <type_traits>

#include "OrvError.h"
#include "Text.h"

namespace orv {

namespace {

// A finite decimal: value = 0.d1d2...dn x 10^point, digits without trailing
// zeros (empty for zero).
struct Decimal {
  bool negative = false;
  std::string digits;
  int point = 0;
};

// Parses printf's "%.*e" output ("-1.2345e+03") into a Decimal.
Decimal FromExponentForm(const char* text) {
  Decimal d;
  const char* p = text;
  if (*p == '-') {
    d.negative = true;
    ++p;
  }
  for (; *p && *p != 'e'; ++p)
    if (*p != '.') d.digits.push_back(*p);
  const int exp = (*p == 'e') ? std::atoi(p + 1) : 0;
  d.point = exp + 1;
  while (!d.digits.empty() && d.digits.back() == '0') d.digits.pop_back();
  if (d.digits.empty()) d.point = 0;
  return d;
}

// `value` to `digits` significant digits, correctly rounded, in printf's
// "%.*e" form, and whether that text reads back as `value`.
template <typename T>
bool ReadsBack(T value, int digits, char* buf, size_t size) {
  const std::to_chars_result r = std::to_chars(buf, buf + size - 1, static_cast<double>(value),
                                               std::chars_format::scientific, digits - 1);
  *r.ptr = '\0';
  T back{};
  if (std::from_chars(buf, r.ptr, back).ec != std::errc{}) {
    // Out of range: read as strtof/strtod read it (a subnormal, or 0, or
    // the infinity a rounding past the largest value gives).
    if constexpr (std::is_same_v<T, float>)
      back = std::strtof(buf, nullptr);
    else
      back = std::strtod(buf, nullptr);
  }
  return back == value;
}

// The fewest significant digits, up to max_digits, whose correctly rounded
// decimal reads back as `value`. No decimal of fewer digits than the
// shortest form that reads back (to_chars') can, so the search starts there.
template <typename T>
Decimal Shortest(T value, int max_digits) {
  char buf[64];
  int first = 1;
  const std::to_chars_result r =
      std::to_chars(buf, buf + sizeof buf, value, std::chars_format::scientific);
  if (r.ec == std::errc{}) {
    int digits = 0;
    for (const char* c = buf; c < r.ptr && *c != 'e'; ++c) digits += *c >= '0' && *c <= '9';
    first = std::clamp(digits, 1, max_digits);
  }
  for (int p = first; p <= max_digits; ++p)
    if (ReadsBack(value, p, buf, sizeof buf)) return FromExponentForm(buf);
  (void)ReadsBack(value, max_digits, buf, sizeof buf);
  return FromExponentForm(buf);
}

// Rounds to `decimals` places after the point, half away from zero or, with
// `ties_even`, half to even.
Decimal RoundDecimal(Decimal d, int decimals, bool ties_even) {
  const int keep = d.point + decimals;  // digits kept
  if (keep >= static_cast<int>(d.digits.size())) return d;
  bool up = false;
  if (keep >= 0) {
    const char next = d.digits[keep];
    const bool more = keep + 1 < static_cast<int>(d.digits.size());
    if (next > '5' || (next == '5' && more)) {
      up = true;
    } else if (next == '5') {
      up = !ties_even || (keep > 0 && ((d.digits[keep - 1] - '0') % 2 == 1));
    }
    d.digits.resize(keep);
  } else {
    d.digits.clear();
  }
  if (up) {
    if (keep < 0) {
      // Only reached when keep == -1 would need a carry into a new place;
      // values below half a unit of the last place round to zero.
    } else {
      int i = keep - 1;
      for (; i >= 0; --i) {
        if (d.digits[i] == '9') {
          d.digits[i] = '0';
        } else {
          ++d.digits[i];
          break;
        }
      }
      if (i < 0) {
        d.digits.insert(d.digits.begin(), '1');
        ++d.point;
      }
    }
  }
  while (!d.digits.empty() && d.digits.back() == '0') d.digits.pop_back();
  if (d.digits.empty()) {
    d.point = 0;
    d.negative = false;
  }
  return d;
}

// Integer and fraction digits of a decimal, the fraction padded to `places`.
void Split(const Decimal& d, int places, std::string& int_part, std::string& frac_part) {
  int_part.clear();
  frac_part.clear();
  const int n = static_cast<int>(d.digits.size());
  for (int i = 0; i < d.point; ++i) int_part.push_back(i < n ? d.digits[i] : '0');
  for (int i = d.point; i < d.point + places; ++i)
    frac_part.push_back(i >= 0 && i < n ? d.digits[i] : '0');
}

std::string PlainText(const Decimal& d) {
  if (d.digits.empty()) return "0";
  std::string int_part, frac_part;
  const int places = std::max(0, static_cast<int>(d.digits.size()) - d.point);
  Split(d, places, int_part, frac_part);
  std::string s = d.negative ? "-" : "";
  s += int_part.empty() ? "0" : int_part;
  if (!frac_part.empty()) s += "." + frac_part;
  return s;
}

std::string ExponentText(const Decimal& d) {
  std::string s = d.negative ? "-" : "";
  s += d.digits.substr(0, 1);
  if (d.digits.size() > 1) s += "." + d.digits.substr(1);
  const int exp = d.point - 1;
  char buf[16];
  std::snprintf(buf, sizeof buf, "E%c%02d", exp < 0 ? '-' : '+', std::abs(exp));
  return s + buf;
}

template <typename T>
std::string ToText(T value, int max_digits) {
  if (std::isnan(value)) return "NaN";
  if (std::isinf(value)) return value < 0 ? "-Infinity" : "Infinity";
  if (value == 0) return "0";
  const Decimal d = Shortest(value, max_digits);
  const T mag = std::fabs(value);
  if (mag < static_cast<T>(0.00001) || mag >= static_cast<T>(10000000)) return ExponentText(d);
  return PlainText(d);
}

Decimal DecimalOf(float value) {
  if (value == 0 || !std::isfinite(value)) return {};
  return Shortest(value, 7);
}

float DecimalToFloat(const Decimal& d) {
  return std::strtof(PlainText(d).c_str(), nullptr);
}

}  // namespace

std::string FloatToText(float value) { return ToText(value, 7); }

std::string DoubleToText(double value) { return ToText(value, 15); }

std::string FormatPattern(float value, std::string_view pattern) {
  const auto dot = pattern.find('.');
  const std::string_view int_pat = pattern.substr(0, dot);
  const std::string_view frac_pat =
      dot == std::string_view::npos ? std::string_view{} : pattern.substr(dot + 1);
  for (char c : pattern)
    if (c != '0' && c != '#' && c != '.') RaiseStandard(err::kInvalidCall, "FormatPattern");

  const Decimal d = RoundDecimal(DecimalOf(value), static_cast<int>(frac_pat.size()), false);
  std::string int_part, frac_part;
  Split(d, static_cast<int>(frac_pat.size()), int_part, frac_part);
  // Leading zeros required by the integer pattern.
  const size_t min_int = std::count(int_pat.begin(), int_pat.end(), '0');
  while (int_part.size() < min_int) int_part.insert(int_part.begin(), '0');
  // Optional fraction places are dropped from the right while zero.
  while (!frac_part.empty() && frac_pat[frac_part.size() - 1] == '#' && frac_part.back() == '0')
    frac_part.pop_back();

  std::string s = d.negative ? "-" : "";
  s += int_part;
  if (dot != std::string_view::npos) s += "." + frac_part;
  return s;
}

float RoundTo2(float value) {
  return DecimalToFloat(RoundDecimal(DecimalOf(value), 2, false));
}

float RoundTiesEven(float value, int decimals) {
  return DecimalToFloat(RoundDecimal(DecimalOf(value), decimals, true));
}

std::string FormatPercent(float value) {
  const float pct = value * 100.0f;
  return FormatPattern(pct, "0.00") + "%";
}

double ParseNumber(std::string_view text) {
  const std::string t = TrimWhite(text);
  // [+-]? (digits [. digits?] | . digits) ([eE] [+-]? digits)?
  size_t i = 0;
  const size_t n = t.size();
  auto digits = [&] {
    const size_t start = i;
    while (i < n && t[i] >= '0' && t[i] <= '9') ++i;
    return i - start;
  };
  if (i < n && (t[i] == '+' || t[i] == '-')) ++i;
  size_t mantissa = digits();
  if (i < n && t[i] == '.') {
    ++i;
    mantissa += digits();
  }
  bool ok = mantissa > 0;
  if (ok && i < n && (t[i] == 'e' || t[i] == 'E')) {
    ++i;
    if (i < n && (t[i] == '+' || t[i] == '-')) ++i;
    ok = digits() > 0;
  }
  if (!ok || i != n) RaiseStandard(err::kTypeMismatch);
  const double v = std::strtod(t.c_str(), nullptr);
  if (!std::isfinite(v)) RaiseStandard(err::kOverflow);
  return v;
}

float ParseSingle(std::string_view text) {
  const double v = ParseNumber(text);
  if (std::fabs(v) > std::numeric_limits<float>::max()) RaiseStandard(err::kOverflow);
  return static_cast<float>(v);
}

int16_t ToInt16(double value) {
  const double r = std::nearbyint(value);
  if (!(r >= -32768.0 && r <= 32767.0)) RaiseStandard(err::kOverflow);
  return static_cast<int16_t>(r);
}

int32_t ToInt32(double value) {
  const double r = std::nearbyint(value);
  if (!(r >= -2147483648.0 && r <= 2147483647.0)) RaiseStandard(err::kOverflow);
  return static_cast<int32_t>(r);
}

int16_t ParseInt16(std::string_view text) { return ToInt16(ParseNumber(text)); }
int32_t ParseInt32(std::string_view text) { return ToInt32(ParseNumber(text)); }

std::string BoolToText(bool value) { return value ? "True" : "False"; }

bool ParseBool(std::string_view text) {
  const std::string t = TrimWhite(text);
  if (IEquals(t, "true")) return true;
  if (IEquals(t, "false")) return false;
  return ParseNumber(t) != 0;
}

}  // namespace orv
