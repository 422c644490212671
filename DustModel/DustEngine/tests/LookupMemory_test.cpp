// The memory of remembered lookup answers: each distinct key asks once and
// gets its own answer back, through the table's growth and after it starts
// afresh when full.
#include <gtest/gtest.h>

#include <stdexcept>
#include <string>

#include "detail/LookupMemory.h"

namespace orv::dust::detail {
namespace {

TEST(LookupMemory, EachKeyIsAskedOnceAndAnsweredWithItsOwnAnswer) {
  RememberedByYear<DustAnswer> memory;
  int asked = 0;
  const auto recall = [&](int32_t colliery, int16_t year) {
    return memory
        .Recall(CollieryYear(colliery, year),
                [&] {
                  ++asked;
                  DustAnswer a;
                  a.found = year % 3 != 0;
                  a.value = static_cast<float>(colliery) * 1000.0f + year;
                  a.marker = std::to_string(colliery) + "/" + std::to_string(year);
                  return a;
                })
        .marker;
  };
  // Neighbouring years and collieries, and the extremes of both, through
  // several doublings of the table; then every one again, from memory.
  int keys = 0;
  for (int pass = 0; pass < 2; ++pass) {
    keys = 0;
    for (int32_t colliery : {1, 2, 450, -1, 0x7fffffff, -0x7fffffff - 1}) {
      for (int year = 1900; year < 2000; ++year, ++keys)
        EXPECT_EQ(recall(colliery, static_cast<int16_t>(year)),
                  std::to_string(colliery) + "/" + std::to_string(year));
      for (int16_t year : {int16_t{-1}, int16_t{0}, int16_t{32767}, int16_t{-32768}}) {
        ++keys;
        EXPECT_EQ(recall(colliery, year), std::to_string(colliery) + "/" + std::to_string(year));
      }
    }
    EXPECT_EQ(asked, keys);
  }
  EXPECT_EQ(memory.Size(), static_cast<size_t>(keys));

  // A failing ask is not remembered: the next recall asks again.
  EXPECT_THROW(memory.Recall(CollieryYear(7, 1950), []() -> DustAnswer {
    throw std::runtime_error("locked");
  }),
               std::runtime_error);
  EXPECT_EQ(recall(7, 1950), "7/1950");
  EXPECT_EQ(asked, keys + 1);

  memory.Clear();
  EXPECT_EQ(memory.Size(), 0u);
  EXPECT_EQ(recall(1, 1950), "1/1950");
  EXPECT_EQ(asked, keys + 2);
}

TEST(LookupMemory, TortiousAnswersAreKeptApartBySurfaceAndBounded) {
  RememberedTortious memory;
  int asked = 0;
  const auto recall = [&](int32_t colliery, int16_t year, const std::string& surface) {
    return memory
        .Recall(CollieryYear(colliery, year), surface,
                [&] {
                  ++asked;
                  TortiousAnswer a;
                  a.found = true;
                  a.value = static_cast<float>(year) + (surface == "S" ? 0.5f : 0.0f) +
                            (surface.empty() ? 0.25f : 0.0f);
                  return a;
                })
        .value;
  };
  for (int pass = 0; pass < 2; ++pass) {
    EXPECT_EQ(recall(3, 1960, "S"), 1960.5f);
    EXPECT_EQ(recall(3, 1960, "U"), 1960.0f);
    EXPECT_EQ(recall(3, 1960, ""), 1960.25f);
    EXPECT_EQ(recall(3, 1960, "s"), 1960.0f);  // texts are told apart exactly
  }
  EXPECT_EQ(asked, 4);
  EXPECT_EQ(memory.Size(), 4u);

  // Full: the memory starts afresh rather than grow past its bound.
  for (int32_t colliery = 0; memory.Size() < kMaxRemembered; ++colliery)
    for (int year = 0; year < 256 && memory.Size() < kMaxRemembered; ++year)
      recall(1000 + colliery, static_cast<int16_t>(year), colliery % 2 ? "S" : "U");
  const int before = asked;
  EXPECT_EQ(recall(3, 1960, "S"), 1960.5f);
  EXPECT_EQ(asked, before + 1);
  EXPECT_EQ(memory.Size(), 1u);
}

}  // namespace
}  // namespace orv::dust::detail
