#include <gtest/gtest.h>

#include "Collection.h"
#include "Value.h"

namespace orv {
namespace {

int Code(const auto& f) {
  try {
    f();
  } catch (const OrvError& e) {
    return e.Number();
  }
  return 0;
}

TEST(KeyedCollection, OneBasedKeyedIgnoringCase) {
  KeyedCollection<int> c;
  c.Add(10, "a");
  c.Add(30, "C");
  c.Add(20, "b", 2);  // before position 2
  ASSERT_EQ(c.Count(), 3);
  EXPECT_EQ(c.Item(1), 10);
  EXPECT_EQ(c.Item(2), 20);
  EXPECT_EQ(c.Item(3), 30);
  EXPECT_EQ(c.Item("c"), 30);
  EXPECT_EQ(Code([&] { c.Item(0); }), 9);
  EXPECT_EQ(Code([&] { c.Item(4); }), 9);
  EXPECT_EQ(Code([&] { c.Item("zz"); }), 5);
  EXPECT_EQ(Code([&] { c.Add(1, "A"); }), 457);
  c.Remove("B");
  EXPECT_EQ(c.Item(2), 30);
  int sum = 0;
  for (int v : c) sum += v;
  EXPECT_EQ(sum, 40);
}

TEST(Value, ConversionsFollowTheConventions) {
  EXPECT_EQ(Value().TextOrEmpty(), "");
  EXPECT_EQ(Code([] { (void)Value().AsText(); }), 94);
  EXPECT_EQ(Code([] { (void)Value().AsInt32(); }), 94);
  EXPECT_EQ(Value("12").AsInt32(), 12);
  EXPECT_EQ(Code([] { (void)Value("x").AsInt32(); }), 13);
  EXPECT_EQ(Value(1.16f).AsText(), "1.16");
  EXPECT_EQ(Value(1.16f).AsSingle(), 1.16f);
  EXPECT_EQ(Code([] { (void)Value(70000).AsInt16(); }), 6);
  // A single past its range is an overflow, never infinity.
  for (const Value& v : {Value("1e39"), Value(" -1E39 "), Value(1e39), Value(-3.5e38)}) {
    EXPECT_EQ(Code([&] { (void)v.AsSingle(); }), 6) << v.AsText();
  }
  EXPECT_EQ(Value("3.4e38").AsSingle(), 3.4e38f);
  EXPECT_TRUE(Value("True").AsBool());
  EXPECT_FALSE(Value(0).AsBool());
}

}  // namespace
}  // namespace orv
