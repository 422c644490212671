#include <gtest/gtest.h>

#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <limits>
#include <random>
#include <string>
#include <type_traits>
#include <vector>

#include "Numbers.h"
#include "OrvError.h"

namespace orv {
namespace {

TEST(FloatToText, ShortestSevenDigitForm) {
  struct Case { float v; const char* text; };
  const Case cases[] = {
      {1.16f, "1.16"}, {12.5f, "12.5"}, {10.0f, "10"}, {0.5f, "0.5"},
      {0.0f, "0"}, {-2.25f, "-2.25"}, {1.0f / 3.0f, "0.3333333"},
      {0.1f + 0.2f, "0.3"}, {123456.7f, "123456.7"}, {9999999.0f, "9999999"},
      {0.000001f, "1E-06"}, {12345678.0f, "1.234568E+07"}, {0.00001f, "0.00001"},
  };
  for (const auto& c : cases) EXPECT_EQ(FloatToText(c.v), c.text) << c.text;
}

TEST(FormatPattern, RoundsTheSevenDigitDecimalHalfAwayFromZero) {
  struct Case { float v; const char* pattern; const char* text; };
  const Case cases[] = {
      {2.675f, "0.00", "2.68"},   // binary value is below 2.675, decimal is not
      {12.345678f, "0.00", "12.35"}, {0.125f, "0.00", "0.13"},
      {-0.125f, "0.00", "-0.13"},  {4.995f, "0.00", "5.00"},
      {4.994999f, "0.00", "4.99"}, {0.0f, "0.00", "0.00"},
      {9.995f, "0.0", "10.0"},     {0.8f, "#.##", ".8"},
      {1.0f, "#.##", "1."},        {1.25f, "#.##", "1.25"},
      {0.05f, "0.0", "0.1"},       {2.5f, "0", "3"},
      {-0.001f, "0.00", "0.00"},   {1234.5f, "0.00", "1234.50"},
  };
  for (const auto& c : cases) EXPECT_EQ(FormatPattern(c.v, c.pattern), c.text) << c.v;
}

TEST(Rounding, ReadBackAndTiesToEven) {
  EXPECT_EQ(RoundTo2(2.675f), 2.68f);
  EXPECT_EQ(RoundTo2(33.333332f), 33.33f);
  EXPECT_EQ(RoundTiesEven(2.125f, 2), 2.12f);
  EXPECT_EQ(RoundTiesEven(2.135f, 2), 2.14f);
  EXPECT_EQ(RoundTiesEven(47.5f, 0), 48.0f);
  EXPECT_EQ(RoundTiesEven(48.5f, 0), 48.0f);
  EXPECT_EQ(FormatPercent(0.5f), "50.00%");
}

TEST(ParseNumber, AcceptsDecimalFormsOnly) {
  EXPECT_EQ(ParseNumber("  42 "), 42.0);
  EXPECT_EQ(ParseNumber("-1.5e2"), -150.0);
  EXPECT_EQ(ParseNumber(".5"), 0.5);
  EXPECT_EQ(ParseNumber("+3."), 3.0);
  for (const char* bad : {"", " ", "abc", "1.2.3", "0x10", "inf", "nan", "1e", "--1", "1 2"}) {
    try {
      ParseNumber(bad);
      ADD_FAILURE() << "accepted '" << bad << "'";
    } catch (const OrvError& e) {
      EXPECT_EQ(e.Number(), 13) << bad;
      EXPECT_EQ(e.Description(), "Type mismatch");
    }
  }
}

TEST(IntegerConversion, RoundsHalfToEvenAndChecksRange) {
  EXPECT_EQ(ToInt16(47.5), 48);
  EXPECT_EQ(ToInt16(46.5), 46);
  EXPECT_EQ(ParseInt16("48"), 48);
  EXPECT_EQ(ToInt32(-2.5), -2);
  try {
    ToInt16(32768);
    FAIL();
  } catch (const OrvError& e) {
    EXPECT_EQ(e.Number(), 6);
  }
  EXPECT_THROW(ParseInt32("3000000000"), OrvError);
}

TEST(Booleans, TextAndNumbers) {
  EXPECT_EQ(BoolToText(true), "True");
  EXPECT_TRUE(ParseBool("TRUE"));
  EXPECT_FALSE(ParseBool("false"));
  EXPECT_TRUE(ParseBool("-1"));
  EXPECT_FALSE(ParseBool("0"));
  EXPECT_THROW(ParseBool("yes"), OrvError);
}


// The significant digits of a number's text, without sign, point, exponent
// or the zeros before and after them.
std::string SignificantDigits(const std::string& text) {
  std::string digits;
  for (char c : text) {
    if (c == 'e' || c == 'E') break;
    if (c >= '0' && c <= '9') digits += c;
  }
  digits.erase(0, digits.find_first_not_of('0'));
  while (!digits.empty() && digits.back() == '0') digits.pop_back();
  return digits;
}

// The digits FloatToText and DoubleToText choose, found the plain way:
// printf's correctly rounded decimal of 1, 2, ... digits until one reads
// back as the value.
template <typename T>
std::string PlainShortest(T value, int max_digits) {
  char buf[64];
  for (int p = 1; p <= max_digits; ++p) {
    std::snprintf(buf, sizeof buf, "%.*e", p - 1, static_cast<double>(value));
    const T back = std::is_same_v<T, float> ? std::strtof(buf, nullptr) : std::strtod(buf, nullptr);
    if (back == value) return SignificantDigits(buf);
  }
  std::snprintf(buf, sizeof buf, "%.*e", max_digits - 1, static_cast<double>(value));
  return SignificantDigits(buf);
}

// Every kind of float (random bit patterns across the whole range,
// subnormals, the largest, powers of two where the spacing changes) gets
// the digits the plain search finds.
TEST(FloatToText, ChoosesTheDigitsOfThePlainSearch) {
  std::mt19937 gen(20261207);
  std::vector<float> values = {std::numeric_limits<float>::max(),
                               std::numeric_limits<float>::min(),
                               std::numeric_limits<float>::denorm_min()};
  for (int e = -149; e <= 127; ++e) {
    const float p = std::ldexp(1.0f, e);
    values.insert(values.end(), {p, std::nextafter(p, 0.0f), std::nextafter(p, std::numeric_limits<float>::infinity())});
  }
  for (int i = 0; i < 200000; ++i) {
    const uint32_t bits = static_cast<uint32_t>(gen());
    float v;
    std::memcpy(&v, &bits, sizeof v);
    if (std::isfinite(v) && v != 0) values.push_back(v);
  }
  int mismatches = 0;
  for (const float v : values) {
    const std::string text = FloatToText(v);
    if (SignificantDigits(text) != PlainShortest(v, 7) && ++mismatches <= 5)
      ADD_FAILURE() << v << ": " << text << " against " << PlainShortest(v, 7);
  }
  EXPECT_EQ(mismatches, 0);
  for (int i = 0; i < 20000; ++i) {
    const uint64_t bits = (uint64_t{gen()} << 32) | gen();
    double v;
    std::memcpy(&v, &bits, sizeof v);
    if (!std::isfinite(v) || v == 0) continue;
    EXPECT_EQ(SignificantDigits(DoubleToText(v)), PlainShortest(v, 15)) << v;
  }
}

}  // namespace
}  // namespace orv
