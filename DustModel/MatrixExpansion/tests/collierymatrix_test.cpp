// The range arithmetic of a colliery's matrix, the years of an entry, and
// reading and writing a colliery's rows.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "OrvError.h"
#include "TestDb.h"
#include "detail/CollieryMatrix.h"

namespace orv::dustm {

// The expansion's private pieces.
using namespace detail;
namespace {

using test::RowText;

struct Range {
  int start;
  int end;
  float value;
  const char* marker;  // nullptr: none
};

Value MarkerOf(const char* m) { return m ? Value(m) : Value(); }

std::vector<std::string> Texts(CollieryMatrix& m) {
  std::vector<std::string> out;
  for (const auto& e : m) {
    out.push_back(RowText(e->Start(), e->End(), e->DustVal(), e->Marker(), e->Source()));
  }
  return out;
}

class CollieryMatrixTest : public ::testing::Test {
 protected:
  CollieryMatrixTest() : run_(test::TestRunValues()) {
    run_.db = test::OpenDb(test::BuildDb(dir_, {}));
    EXPECT_TRUE(matrix_.SetupDB(run_.db));
    matrix_.SetCollieryID(101);
  }
  void Fill(const std::vector<Range>& ranges) {
    for (const Range& r : ranges) {
      matrix_.Add(Value(r.start), Value(r.end), r.value, MarkerOf(r.marker), Value("src"));
    }
  }

  test::TempDir dir_;
  ExpansionRun run_;
  CollieryMatrix matrix_{run_};
};

struct ArithmeticCase {
  const char* name;
  std::vector<Range> before;
  int from;
  int to;
  std::vector<std::string> after;
};

TEST_F(CollieryMatrixTest, ClearRangeShortensSplitsAndRemoves) {
  const std::vector<ArithmeticCase> cases = {
      {"split",
       {{1950, 1980, 2.5f, "SURVEY"}},
       1960,
       1970,
       {"1950-1959 2.5 SURVEY src", "1971-1980 2.5 SURVEY src"}},
      {"inside", {{1965, 1968, 2.5f, nullptr}}, 1960, 1970, {}},
      {"start inside", {{1965, 1975, 2.5f, nullptr}}, 1960, 1970, {"1971-1975 2.5 - src"}},
      {"end inside", {{1955, 1965, 2.5f, nullptr}}, 1960, 1970, {"1955-1959 2.5 - src"}},
      {"exact", {{1960, 1970, 2.5f, nullptr}}, 1960, 1970, {}},
      {"outside",
       {{1940, 1959, 1.0f, nullptr}, {1971, 1980, 3.0f, nullptr}},
       1960,
       1970,
       {"1940-1959 1 - src", "1971-1980 3 - src"}},
      {"several",
       {{1950, 1961, 1.0f, nullptr}, {1962, 1962, 2.0f, nullptr}, {1963, 1990, 3.0f, "STRIKE"}},
       1961,
       1963,
       {"1950-1960 1 - src", "1964-1990 3 STRIKE src"}},
      {"single year",
       {{1950, 1980, 2.0f, nullptr}},
       1972,
       1972,
       {"1950-1971 2 - src", "1973-1980 2 - src"}},
  };
  for (const ArithmeticCase& c : cases) {
    matrix_.Clear();
    Fill(c.before);
    ASSERT_TRUE(matrix_.ClearRange(static_cast<int16_t>(c.from), static_cast<int16_t>(c.to)));
    EXPECT_EQ(Texts(matrix_), c.after) << c.name;
    EXPECT_EQ(matrix_.Count(), static_cast<int32_t>(c.after.size())) << c.name;
  }
}

TEST_F(CollieryMatrixTest, AlterMarkerKeepsValuesAndMarksOnlyTheSpan) {
  const std::vector<ArithmeticCase> cases = {
      {"around",
       {{1950, 1980, 2.5f, "EXTRAPOLATED"}},
       1960,
       1970,
       {"1960-1970 2.5 STRIKE src", "1950-1959 2.5 EXTRAPOLATED src",
        "1971-1980 2.5 EXTRAPOLATED src"}},
      {"inside", {{1962, 1965, 2.5f, nullptr}}, 1960, 1970, {"1962-1965 2.5 STRIKE src"}},
      {"start inside",
       {{1965, 1975, 2.5f, nullptr}},
       1960,
       1970,
       {"1971-1975 2.5 - src", "1965-1970 2.5 STRIKE src"}},
      {"end inside",
       {{1955, 1965, 2.5f, "SURVEY"}},
       1960,
       1970,
       {"1955-1959 2.5 SURVEY src", "1960-1965 2.5 STRIKE src"}},
      {"outside", {{1940, 1959, 1.0f, nullptr}}, 1960, 1970, {"1940-1959 1 - src"}},
  };
  for (const ArithmeticCase& c : cases) {
    matrix_.Clear();
    Fill(c.before);
    ASSERT_TRUE(matrix_.AlterMarker(Value("STRIKE"), static_cast<int16_t>(c.from),
                                    static_cast<int16_t>(c.to)));
    EXPECT_EQ(Texts(matrix_), c.after) << c.name;
  }
}

TEST_F(CollieryMatrixTest, MakeEquivalentCopiesTheOtherCollierysRowsOverTheSpan) {
  CollieryMatrix other(run_);
  ASSERT_TRUE(other.SetupDB(run_.db));
  other.SetCollieryID(902);
  other.Add(Value(1940), Value(1955), 3.0f, Value("EXTRAPOLATED"), Value("Extrapolated"));
  other.Add(Value(1956), Value(1990), 2.0f, Value("AVERAGE"), Value("Area average break point"));
  ASSERT_TRUE(other.WriteMatrixEntries());

  Fill({{1945, 1965, 9.0f, "SURVEY"}});
  ASSERT_TRUE(matrix_.MakeEquivalent(902, 1950, 1960, Value("Area Average")));
  EXPECT_EQ(Texts(matrix_),
            (std::vector<std::string>{"1945-1949 9 SURVEY src", "1961-1965 9 SURVEY src",
                                      "1950-1955 3 EXTRAPOLATED Area Average",
                                      "1956-1960 2 AVERAGE Area Average"}));
  for (const auto& e : matrix_) EXPECT_EQ(e->CollieryID(), 101);
}

TEST_F(CollieryMatrixTest, WriteReplacesTheStoredRowsAndLoadReadsThemBack) {
  Fill({{1950, 1959, 2.0f, "EXTRAPOLATED"}, {1960, 1960, 2.25f, nullptr}});
  ASSERT_TRUE(matrix_.WriteMatrixEntries());
  matrix_.Clear();
  Fill({{1970, 1975, 4.5f, "SURVEY"}, {1940, 1949, 1.5f, nullptr}});
  ASSERT_TRUE(matrix_.WriteMatrixEntries());
  EXPECT_EQ(test::MatrixRows(*run_.db, 101),
            (std::vector<std::string>{"1940-1949 1.5 - src", "1970-1975 4.5 SURVEY src"}));

  CollieryMatrix reader(run_);
  ASSERT_TRUE(reader.SetupDB(run_.db));
  reader.SetCollieryID(101);
  reader.Add(Value(1900), Value(1901), 1.0f, Value(), Value());
  ASSERT_TRUE(reader.LoadFromDatabase());
  EXPECT_EQ(Texts(reader),
            (std::vector<std::string>{"1940-1949 1.5 - src", "1970-1975 4.5 SURVEY src"}));
}

TEST_F(CollieryMatrixTest, KeysKeepCountingAfterClear) {
  for (int i = 0; i < 10; ++i)
    matrix_.Add(Value(1950 + i), Value(1950 + i), 1.0f, Value(), Value());
  EXPECT_EQ(matrix_.Item(10).Key(), "KEY:10");
  matrix_.Clear();
  EXPECT_EQ(matrix_.Count(), 0);
  EXPECT_EQ(matrix_.Add(Value(1960), Value(1960), 1.0f, Value(), Value()).Key(), "KEY:11");
  EXPECT_EQ(matrix_.Item("key:11").Start(), 1960);
}

TEST_F(CollieryMatrixTest, SetupFailsNamingTheStepWhenAQueryIsMissing) {
  run_.db->DeleteQueryDef("qClearDustMatrixForColliery");
  CollieryMatrix broken(run_);
  try {
    (void)broken.SetupDB(run_.db);
    FAIL() << "SetupDB should fail";
  } catch (const OrvError& e) {
    EXPECT_EQ(e.Number(), 3078 + kComponentErrorBase);
    EXPECT_EQ(e.Source().rfind(
                  "CollieryMatrix:SetupDB - Setting Clear Dust Matrix For Colliery query->", 0),
              0u)
        << e.Source();
  }
}

struct YearCase {
  Value written;
  int16_t expected;    // when accepted
  int32_t real_error;  // 0: accepted
};

TEST(MatrixEntryTest, YearsTakeWholeNumbersAboveZeroAndElseTheDefault) {
  ExpansionRun run(test::TestRunValues());
  const std::vector<YearCase> cases = {
      {Value(1960), 1960, 0},  {Value(), 1940, 0},         {Value(0), 1940, 0},
      {Value(-3), 1940, 0},    {Value("1960"), 1940, 380}, {Value(1960.0), 1940, 380},
      {Value(40000), 1940, 6},
  };
  for (const YearCase& c : cases) {
    MatrixEntry e(run);
    e.SetStartYear(Value(1999));
    try {
      e.SetStartYear(c.written);
      EXPECT_EQ(c.real_error, 0) << c.written.TextOrEmpty();
    } catch (const OrvError& err) {
      EXPECT_EQ(err.Number(), c.real_error + kComponentErrorBase) << c.written.TextOrEmpty();
      EXPECT_EQ(err.Source().rfind("MatrixEntry:StartYear", 0), 0u);
    }
    EXPECT_EQ(e.Start(), c.expected) << c.written.TextOrEmpty();
  }
}

TEST(MatrixEntryTest, TextYearsAreRefusedWithTheEntrysOwnMessage) {
  ExpansionRun run(test::TestRunValues());
  MatrixEntry e(run);
  try {
    e.SetEndYear(Value("soon"));
    FAIL();
  } catch (const OrvError& err) {
    EXPECT_EQ(err.Number(), -2147221124);
    EXPECT_EQ(err.Source(), "MatrixEntry:EndYear");
    EXPECT_EQ(err.Description(), "0x8004017C(380): Unexpected error - End year must be an integer");
  }
  EXPECT_EQ(e.End(), 2030);
}

}  // namespace
}  // namespace orv::dustm
