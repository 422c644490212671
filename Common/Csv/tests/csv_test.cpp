#include <gtest/gtest.h>

#include <cstdio>
#include <filesystem>
#include <fstream>

#include "Csv.h"
#include "TempDir.h"

namespace fs = std::filesystem;
using orv::InputError;
using orv::csv::Cell;
using orv::csv::CsvReader;
using orv::csv::CsvWriter;

namespace {

class CsvTest : public ::testing::Test {
 protected:
  orv::test::TempDir tmp_;
  fs::path dir_ = tmp_.path();

  std::string Write(const std::string& text) {
    const std::string p = (dir_ / "t.csv").string();
    std::ofstream(p, std::ios::binary) << text;
    return p;
  }
};

const std::vector<std::string> kCols = {"ID", "NAME", "VAL"};

TEST_F(CsvTest, ReadsQuotingLineBreaksAndNullsByColumnName) {
  // Columns in another order and case; a quoted cell with comma, quote and
  // a line break; CR LF endings; a blank line; BOM; no final newline.
  const std::string p =
      Write("\xEF\xBB\xBFval,Id,name\r\n1.5,1,\"a, \"\"b\"\"\r\nc\"\r\n\r\n,2,\"\"\r\n3,3,x");
  CsvReader r(p, kCols);
  ASSERT_TRUE(r.Next());
  EXPECT_EQ(r.Line(), 2);
  EXPECT_EQ(*r.GetInt32("ID"), 1);
  EXPECT_EQ(*r.Get("name"), "a, \"b\"\r\nc");
  EXPECT_FLOAT_EQ(*r.GetSingle("VAL"), 1.5f);
  ASSERT_TRUE(r.Next());
  EXPECT_EQ(r.Line(), 5);  // the quoted line break counts, the blank line is skipped
  EXPECT_FALSE(r.GetSingle("VAL").has_value());
  EXPECT_EQ(r.Get("NAME"), Cell(""));  // quoted empty is the empty text
  ASSERT_TRUE(r.Next());
  EXPECT_EQ(r.Line(), 6);
  EXPECT_EQ(*r.Get("NAME"), "x");
  EXPECT_FALSE(r.Next());
}

TEST_F(CsvTest, MissingColumnReadsNull) {
  CsvReader r(Write("ID\n4\n"), kCols);
  ASSERT_TRUE(r.Next());
  EXPECT_FALSE(r.HasColumn("NAME"));
  EXPECT_FALSE(r.Get("NAME").has_value());
}

struct BadCase {
  const char* text;
  int64_t line;
  const char* field;
  const char* reason_part;
};

TEST_F(CsvTest, BadInputNamesFileLineAndField) {
  const BadCase cases[] = {
      {"ID,COLOUR\n", 1, "COLOUR", "unknown column"},
      {"ID,id\n", 1, "ID", "twice"},
      {"ID,,VAL\n", 1, "", "no name"},
      {"", 1, "", "header row is missing"},
      {"ID,VAL\n1,2\n3\n", 3, "", "1 cells but the header has 2"},
      {"ID,NAME\n1,\"abc\n", 2, "", "no closing quote"},
      {"ID,NAME\n1,\"abc\"d\n", 2, "", "after the closing quote"},
      {"ID,NAME\n1,ab\"c\n", 2, "", "quote inside"},
      {"ID,NAME\n1,\xC3\x28\n", 2, "", "not UTF-8"},
      {"ID,VAL\n1,2\nx,3\n", 3, "ID", "\"x\" is not a 32-bit whole number"},
      {"ID,VAL\n1.5,3\n", 2, "ID", "is not a 32-bit whole number"},
      {"ID,VAL\n3000000000,3\n", 2, "ID", "out of range"},
      {"ID,VAL\n1e30,3\n", 2, "ID", "out of range"},
      {"ID,VAL\n1,1e99\n", 2, "VAL", "out of range"},
      {"ID,VAL\n1,4.5.6\n", 2, "VAL", "\"4.5.6\" is not a number"},
  };
  for (const BadCase& c : cases) {
    SCOPED_TRACE(c.text);
    const std::string p = Write(c.text);
    try {
      CsvReader r(p, kCols);
      while (r.Next()) {
        (void)r.GetInt32("ID");
        (void)r.GetSingle("VAL");
      }
      FAIL() << "no error";
    } catch (const InputError& e) {
      EXPECT_EQ(e.File(), p);
      EXPECT_EQ(e.Line(), c.line);
      EXPECT_EQ(e.Field(), c.field);
      EXPECT_NE(std::string(e.what()).find(c.reason_part), std::string::npos) << e.what();
    }
  }
}

TEST_F(CsvTest, TypedReads) {
  CsvReader r(Write("ID,NAME,VAL\n-32768, 7 ,true\n32768,x,0\n"), {"ID", "NAME", "VAL"});
  ASSERT_TRUE(r.Next());
  EXPECT_EQ(*r.GetInt16("ID"), -32768);
  EXPECT_EQ(*r.GetInt16("NAME"), 7);
  EXPECT_TRUE(*r.GetBool("VAL"));
  ASSERT_TRUE(r.Next());
  EXPECT_THROW((void)r.GetInt16("ID"), InputError);
  EXPECT_FALSE(*r.GetBool("VAL"));
  EXPECT_THROW((void)r.GetBool("NAME"), InputError);
}

TEST_F(CsvTest, MissingFileIsInputError) {
  EXPECT_THROW(CsvReader((dir_ / "none.csv").string(), kCols), InputError);
}

TEST_F(CsvTest, WriterRoundTripsThroughReader) {
  const std::vector<Cell> rows[] = {
      {Cell("1"), Cell("plain"), std::nullopt},
      {Cell("2"), Cell(""), Cell("x\"y")},
      {Cell("3"), Cell(" lead, trail "), Cell("two\nlines")},
      {Cell("4"), Cell("Ünïcode"), Cell("\r")},
  };
  const std::string p = (dir_ / "w.csv").string();
  {
    CsvWriter w(p, kCols);
    for (const auto& row : rows) w.Row(row);
    EXPECT_FALSE(fs::exists(p));  // appears only on commit
    w.Commit();
  }
  CsvReader r(p, kCols);
  for (const auto& row : rows) {
    ASSERT_TRUE(r.Next());
    EXPECT_EQ(r.Get("ID"), row[0]);
    EXPECT_EQ(r.Get("NAME"), row[1]);
    EXPECT_EQ(r.Get("VAL"), row[2]);
  }
  EXPECT_FALSE(r.Next());
}

TEST_F(CsvTest, UncommittedWriterLeavesNothing) {
  const std::string p = (dir_ / "w.csv").string();
  { CsvWriter w(p, kCols); }
  EXPECT_TRUE(fs::is_empty(dir_));
}

TEST(Utf8, ValidityAndLength) {
  EXPECT_TRUE(orv::csv::IsValidUtf8("abc \xC3\xA9 \xE2\x82\xAC \xF0\x9F\x98\x80"));
  EXPECT_EQ(orv::csv::Utf8Length("a\xC3\xA9\xE2\x82\xAC"), 3);
  for (const char* bad : {"\xC3", "\xC0\xAF", "\xED\xA0\x80", "\xF5\x80\x80\x80", "\x80"}) {
    EXPECT_FALSE(orv::csv::IsValidUtf8(bad)) << bad;
  }
}

}  // namespace

// A text a spreadsheet would evaluate gets one apostrophe before it, and
// reading takes exactly that one away.
TEST(Formula, TextThatStartsAFormulaIsProtectedAndComesBackExactly) {
  struct Case {
    std::string text;
    std::string written;
  };
  const Case cases[] = {
      {"=cmd|' /C calc'!A0", "'=cmd|' /C calc'!A0"},
      {"+1", "'+1"},
      {"-2", "'-2"},
      {"@SUM(A1)", "'@SUM(A1)"},
      {"\tx", "'\tx"},
      {"\rx", "'\rx"},
      {"'=x", "''=x"},
      {"''-x", "'''-x"},
      {"'quoted'", "'quoted'"},
      {"O'Brien", "O'Brien"},
      {"a=b", "a=b"},
      {"", ""},
      {"'", "'"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.text);
    EXPECT_EQ(orv::csv::ProtectFormula(c.text), c.written);
    EXPECT_EQ(orv::csv::UnprotectFormula(c.written), c.text);
  }
}

TEST_F(CsvTest, ANulCharacterInACellIsBadInputNamingTheField) {
  const std::string p =
      Write(std::string("ID,NAME,VAL\n1,A") + '\0' + std::string(1000, 'x') + ",2\n");
  CsvReader r(p, kCols);
  ASSERT_TRUE(r.Next());
  try {
    (void)r.Get("NAME");
    ADD_FAILURE() << "read";
  } catch (const InputError& e) {
    EXPECT_EQ(e.Field(), "NAME");
    EXPECT_EQ(e.Line(), 2);
  }
}

TEST_F(CsvTest, AFileIsWrittenWhereNoOtherUserCanPlantALink) {
  const std::string p = (dir_ / "w.csv").string();
  const std::string precious = (dir_ / "precious.txt").string();
  std::ofstream(precious) << "keep me";
  // The names the writer once used beside its target.
  fs::create_symlink(precious, p + ".part");
  {
    CsvWriter w(p, kCols);
    w.Row({std::string("1"), std::string("a"), std::nullopt});
    w.Commit();
  }
  std::ifstream in(precious);
  std::string text;
  std::getline(in, text);
  EXPECT_EQ(text, "keep me");
  EXPECT_TRUE(fs::is_regular_file(fs::symlink_status(p)));
}
