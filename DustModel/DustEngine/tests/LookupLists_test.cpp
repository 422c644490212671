// The lookup lists: cursor members, combo filling, the list-filling callback,
// shared cursors and creation by class identifier.
#include <gtest/gtest.h>

#include <map>

#include "LookupLists.h"
#include "OrvError.h"
#include "Registry.h"
#include "TestDustData.h"
#include "Text.h"
#include "detail/EngineFactory.h"
#include "modGlobals.h"

namespace orv::dust {
namespace {

class FakeCombo : public ListControl {
 public:
  explicit FakeCombo(std::string type) : type_(std::move(type)) {}
  std::string TypeName() const override { return type_; }
  void AddItem(const std::string& text) override {
    items.push_back(text);
    data.push_back(0);
  }
  int32_t NewIndex() const override { return static_cast<int32_t>(items.size()) - 1; }
  void SetItemData(int32_t i, int32_t d) override { data.at(static_cast<size_t>(i)) = d; }
  int32_t ItemData(int32_t i) const override { return data.at(static_cast<size_t>(i)); }
  std::vector<std::string> items;
  std::vector<int32_t> data;

 private:
  std::string type_;
};

// Every row of the list from its first, as identifier -> entry text.
std::map<int32_t, std::string> Rows(LookupList& list) {
  std::map<int32_t, std::string> rows;
  for (list.MoveFirst(); !list.IsEOF(); list.MoveNext()) rows[list.ID()] = list.ListEntry();
  return rows;
}

class Lists : public ::testing::Test {
 protected:
  void SetUp() override { ASSERT_TRUE(SetupDataDB(test::FixtureDb())); }
};

TEST(ListsBeforeConnection, CreationFailsWith9100) {
  test::OnFreshThread([] {
    try {
      CollieryList list;
      ADD_FAILURE();
    } catch (const OrvError& e) {
      EXPECT_EQ(e.Number(), 9100);
      EXPECT_EQ(e.Source(), "CollieryList:Initialize");
    }
  });
}

TEST_F(Lists, EntriesJoinTheirFields) {
  CollieryList collieries;
  EXPECT_EQ(Rows(collieries).at(103), "Carrow Pit; South");
  SmokeFactorList smoke;
  EXPECT_EQ(Rows(smoke).at(4), "H; Heavy (over 20 a day)");
  JobFactorList jobs;
  EXPECT_EQ(Rows(jobs).at(9), "Airway Borer");
  CoalAreaList areas;
  EXPECT_EQ(Rows(areas).size(), 4u);
}

TEST_F(Lists, ComboFillAppendsAndLeavesTheCursorAtTheEnd) {
  RespFactorList list;
  const auto rows = Rows(list);
  for (const char* type : {"ComboBox", "QCombo", "COMBOBOX"}) {
    SCOPED_TRACE(type);
    FakeCombo combo(type);
    combo.AddItem("already there");
    list.ComboFill(&combo);
    list.ComboFill(&combo);
    ASSERT_EQ(combo.items.size(), 1 + 2 * rows.size());
    for (size_t i = 1; i < combo.items.size(); ++i)
      EXPECT_EQ(rows.at(combo.data[i]), combo.items[i]);
    EXPECT_TRUE(list.IsEOF());
    EXPECT_THROW(list.RecordCount(), OrvError);
    list.MoveFirst();
    EXPECT_EQ(list.RecordCount(), static_cast<int32_t>(rows.size()));
  }
}

TEST_F(Lists, ComboFillRefusesOtherControls) {
  SmokeFactorList list;
  for (const char* type : {"TextBox", "QNSCombo", "ListBox"}) {
    FakeCombo control(type);
    try {
      list.ComboFill(&control);
      FAIL() << type;
    } catch (const OrvError& e) {
      EXPECT_EQ(e.Number(), 5);
      EXPECT_EQ(e.Description(), "Can only fill combo boxes - not " + UpperAscii(type));
      EXPECT_EQ(e.Source(), "SmokeFactorList:ComboFill");
    }
    EXPECT_TRUE(control.items.empty());
  }
}

TEST_F(Lists, ListsOfOneKindShareOneCursor) {
  CollieryList first;
  CollieryList second;
  const size_t all = Rows(second).size();
  first.SetCoalAreaID(2);
  EXPECT_EQ(second.ListEntry(), first.ListEntry());
  const auto south = Rows(second);
  EXPECT_LT(south.size(), all);
  EXPECT_TRUE(south.count(103) && south.count(104) && !south.count(101));
  EXPECT_EQ(first.CoalAreaIDOfColliery(101), 1);
  EXPECT_EQ(first.CoalAreaIDOfColliery(999), 0);
  {
    CollieryList third;  // reopens the shared cursor for all collieries
    EXPECT_EQ(Rows(first).size(), all);
  }
  try {
    first.MoveFirst();
    FAIL() << "the shared cursor ended with the third list";
  } catch (const OrvError& e) {
    EXPECT_EQ(e.Number(), 91);
    EXPECT_EQ(e.Source(), "CollieryList:MoveFirst");
  }
}

TEST_F(Lists, AccessListFillAnswersTheProtocol) {
  const Value none;
  CollieryList collieries;
  JobFactorList jobs;
  auto ask = [&](LookupList& l, int code, int row = 0, int col = 0) {
    return l.AccessListFill(nullptr, none, row, col, code);
  };
  EXPECT_EQ(ask(collieries, 4).AsInt32(), 3);
  EXPECT_EQ(ask(jobs, 4).AsInt32(), 2);
  EXPECT_EQ(ask(collieries, 5, 0, 1).AsInt32(), -1);
  EXPECT_EQ(ask(jobs, 5, 0, 1).AsInt32(), 0);
  EXPECT_EQ(ask(collieries, 5, 0, 2).AsInt32(), 0);
  EXPECT_EQ(ask(jobs, 7).AsInt32(), -1);
  EXPECT_TRUE(ask(jobs, 2).IsNull());

  EXPECT_TRUE(ask(collieries, 0).AsBool());
  const int32_t n = ask(collieries, 3).AsInt32();
  EXPECT_EQ(n, collieries.RecordCount());
  bool seen = false;
  for (int r = 0; r < n; ++r) {
    if (ask(collieries, 6, r, 2).AsInt32() != 103) continue;
    seen = true;
    EXPECT_EQ(ask(collieries, 6, r, 0).AsText(), "Carrow Pit");
    EXPECT_EQ(ask(collieries, 6, r, 1).AsText(), "South");
  }
  EXPECT_TRUE(seen);
  EXPECT_FALSE(collieries.IsEOF());  // back at the first row
  EXPECT_TRUE(ask(collieries, 9).IsNull());
  EXPECT_EQ(ask(collieries, 3).AsInt32(), 0);
}

TEST_F(Lists, RespFactorListIsADataSource) {
  RespFactorList list;
  EXPECT_EQ(list.GetDataMember(""), nullptr);
  const auto rs = list.GetDataMember("Resp");
  ASSERT_NE(rs, nullptr);
  int rows = 0;
  for (rs->MoveFirst(); !rs->IsEOF(); rs->MoveNext()) ++rows;
  EXPECT_EQ(rows, 8);
  // As a row source the list itself gives the entry text and the identifier.
  list.MoveFirst();
  EXPECT_EQ(list.Column(0).AsText(), list.ListEntry());
  EXPECT_EQ(list.Column(1).AsInt32(), list.ID());
}

TEST_F(Lists, ClassesAreCreatedByIdentifier) {
  for (const char* id : {"OrvDust.colCoalJobs", "OrvDust.colSmokeEntry", "OrvDust.SmokeEntry",
                         "OrvDust.CollieryList", "OrvDust.JobFactorList", "OrvDust.RespFactorList",
                         "OrvDust.SmokeFactorList", "orvdust.coalarealist"}) {
    SCOPED_TRACE(id);
    const ComponentPtr obj = CreateObject(id);
    EXPECT_TRUE(IEquals(obj->ClassName(), id));
  }
  EXPECT_EQ(OrvCreateObject("OrvDust.Nothing"), nullptr);
  EXPECT_NE(As<CollieryList>(CreateObject("OrvDust.CollieryList")), nullptr);
}

}  // namespace
}  // namespace orv::dust
