// Filling the list (single items, a separated text, a row source), the list-control interface
// the engine's lookup lists fill, the drop-down width and the layout.
#include <QAbstractItemView>
#include <vector>

#include "ComboFixture.h"
#include "OrvError.h"
#include "RowSource.h"
#include "Text.h"

namespace orv::test {
namespace {

using ListTest = ComboTest;

QStringList Items(const QuickCombo& c) {
  QStringList items;
  for (int i = 0; i < c.ListCount(); ++i) items << c.List(i);
  return items;
}

TEST_F(ListTest, FillFromStringSplitsAtTheWholeSeparator) {
  struct Case {
    const char* list;
    const char* separator;
    bool ignore_blanks;
    bool sorted;
    QStringList expected;
  };
  const Case cases[] = {
      {"a;;b", ";", true, false, {"a", "b"}},
      {"a;;b", ";", false, false, {"a", "", "b"}},
      {"a, b,c ,d", ", ", true, false, {"a", "b,c ,d"}},
      {"c;a;b", ";", true, true, {"a", "b", "c"}},
      {"c;a;b", ";", true, false, {"c", "a", "b"}},
      {" x ;y", ";", true, false, {" x ", "y"}},
      {"", ";", false, false, {}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.list);
    std::unique_ptr<QuickCombo> combo;
    if (c.sorted)
      combo = std::make_unique<QCombo>();
    else
      combo = std::make_unique<QNSCombo>();
    combo->FillFromString(QString::fromUtf8(c.list), QString::fromUtf8(c.separator),
                          c.ignore_blanks);
    EXPECT_EQ(Items(*combo), c.expected);
  }
}

TEST_F(ListTest, FillFromStringAppendsUnlessToldToClear) {
  QNSCombo combo;
  combo.FillFromString(QStringLiteral("a;b"));
  combo.FillFromString(QStringLiteral("c"));
  EXPECT_EQ(Items(combo), QStringList({"a", "b", "c"}));
  combo.FillFromString(QStringLiteral("d"), QStringLiteral(";"), true, true);
  EXPECT_EQ(Items(combo), QStringList({"d"}));
}

// Rows in memory, with columns by position.
class Rows : public RowSource {
 public:
  explicit Rows(std::vector<std::vector<Value>> rows) : rows_(std::move(rows)) {}
  void MoveFirst() override { at_ = 0; }
  void MoveNext() override { ++at_; }
  bool IsEOF() const override { return at_ >= rows_.size(); }
  int ColumnCount() const override { return static_cast<int>(rows_.at(0).size()); }
  Value Column(int index) const override { return rows_.at(at_).at(static_cast<size_t>(index)); }

 private:
  std::vector<std::vector<Value>> rows_;
  size_t at_ = 99;  // not at the first row until asked
};

TEST_F(ListTest, FillFromRowSourceWithAndWithoutDataValues) {
  Rows rows({{7, "Wistow"}, {3, "Abbey"}, {5, "Kellingley"}});
  QCombo combo;
  combo.AddItem("left over");
  combo.FillFromRS(rows, 1, 0);
  EXPECT_EQ(Items(combo), QStringList({"Abbey", "Kellingley", "Wistow"}));
  EXPECT_EQ(combo.ItemData(0), 3);
  EXPECT_EQ(combo.ItemData(2), 7);

  combo.FillFromRS(rows, 1, -1);
  ASSERT_EQ(combo.ListCount(), 3);
  for (int i = 0; i < 3; ++i) EXPECT_EQ(combo.ItemData(i), 0);
}

TEST_F(ListTest, FillFromRowSourceStopsAtANullText) {
  Rows rows({{1, "Abbey"}, {2, nullptr}, {3, "Wistow"}});
  QNSCombo combo;
  try {
    combo.FillFromRS(rows, 1, 0);
    FAIL() << "no error";
  } catch (const OrvError& e) {
    EXPECT_EQ(e.Number(), err::kInvalidUseOfNull);
  }
  EXPECT_EQ(Items(combo), QStringList({"Abbey"}));
}

// What the engine's lookup lists do with a list control.
TEST_F(ListTest, FilledThroughTheListControlInterface) {
  QCombo sorted;
  QNSCombo unsorted;
  EXPECT_EQ(UpperAscii(static_cast<ListControl&>(sorted).TypeName()), "QCOMBO");
  EXPECT_EQ(static_cast<ListControl&>(unsorted).TypeName(), "QNSCombo");

  ListControl& list = sorted;
  const std::pair<const char*, int32_t> rows[] = {{"Wistow; North", 7}, {"Abbey; South", 3}};
  for (const auto& [text, id] : rows) {
    list.AddItem(text);
    list.SetItemData(list.NewIndex(), id);
  }
  EXPECT_EQ(Items(sorted), QStringList({"Abbey; South", "Wistow; North"}));
  EXPECT_EQ(list.ItemData(0), 3);
  EXPECT_EQ(list.ItemData(1), 7);
}

TEST_F(ListTest, AddingItemsNeitherSelectsNorDisturbsTheText) {
  QCombo combo;
  combo.AddItemExtended(QStringLiteral("Barnsley"), 20);
  EXPECT_EQ(combo.ListIndex(), -1);
  EXPECT_EQ(combo.Combo()->currentText(), "");

  // An explicit index is kept even in a sorted list.
  combo.AddItemExtended(QStringLiteral("Zeta"), 26, 0);
  EXPECT_EQ(combo.NewIndex(), 0);
  EXPECT_EQ(Items(combo), QStringList({"Zeta", "Barnsley"}));
  EXPECT_THROW(combo.AddItem(QStringLiteral("x"), 5), OrvError);
}

TEST_F(ListTest, RemovingTheSelectedItemLeavesNoneSelected) {
  QNSCombo combo;
  combo.FillFromString(QStringLiteral("a;b;c"));
  combo.SetListIndex(1);
  combo.RemoveItem(1);
  EXPECT_EQ(combo.ListIndex(), -1);
  EXPECT_EQ(combo.NewIndex(), 1);  // c moved up
  combo.RemoveItem(1);
  EXPECT_EQ(combo.NewIndex(), -1);
}

TEST_F(ListTest, ItemIndexOutOfRangeFails) {
  QNSCombo combo;
  combo.AddItem("a");
  try {
    (void)combo.ItemData(1);
    FAIL() << "no error";
  } catch (const OrvError& e) {
    EXPECT_EQ(e.Number(), 381);
    EXPECT_EQ(e.Description(), "Invalid property array index");
  }
  EXPECT_THROW(combo.SetListIndex(2), OrvError);
  EXPECT_THROW(combo.RemoveItem(-1), OrvError);
}

TEST_F(ListTest, ListWidthInTwips) {
  Form<QCombo> f;
  if (f.combo->logicalDpiX() != 96) GTEST_SKIP() << "needs 15 twips per pixel";
  f.combo->resize(100, 10);
  f.combo->SetListWidth(3000);
  EXPECT_EQ(f.cbo()->view()->minimumWidth(), 200);
  EXPECT_EQ(f.combo->ListWidth(), 3000);
  // Never narrower than the combo box itself.
  f.combo->SetListWidth(300);
  EXPECT_EQ(f.combo->ListWidth(), 1500);
}

TEST_F(ListTest, LayoutFollowsTheInnerComboBox) {
  QWidget window;
  QCombo combo(&window);
  window.show();
  combo.resize(0, 200);
  EXPECT_EQ(combo.width(), combo.Combo()->width());
  EXPECT_GT(combo.width(), 0);
  EXPECT_EQ(combo.height(), combo.Combo()->height());

  combo.resize(250, 3);
  EXPECT_EQ(combo.Combo()->geometry(), QRect(0, 0, 250, combo.height()));
  QFont big = combo.Font();
  big.setPointSizeF(big.pointSizeF() * 3);
  combo.SetFont(big);
  EXPECT_EQ(combo.height(), combo.Combo()->height());
  EXPECT_EQ(combo.height(), combo.Combo()->sizeHint().height());
}

TEST_F(ListTest, ListStateDropsAndClosesTheList) {
  Form<QNSCombo> f;
  f.combo->FillFromString(QStringLiteral("a;b"));
  int drops = 0;
  QObject::connect(f.combo, &QuickCombo::DropDown, [&drops] { ++drops; });
  f.combo->SetListState(QuickCombo::orvListDropped);
  EXPECT_EQ(f.combo->ListState(), QuickCombo::orvListDropped);
  f.combo->SetListState(QuickCombo::orvListDropped);
  EXPECT_EQ(drops, 1);
  f.combo->SetListState(QuickCombo::orvListClosed);
  EXPECT_EQ(f.combo->ListState(), QuickCombo::orvListClosed);

  f.combo->SetLocked(true);
  f.combo->SetListState(QuickCombo::orvListDropped);
  EXPECT_EQ(f.combo->ListState(), QuickCombo::orvListClosed);
}

TEST_F(ListTest, ClearEmptiesListAndText) {
  QCombo combo;
  combo.FillFromString(QStringLiteral("a;b"));
  combo.SetText(QStringLiteral("b"));
  combo.Clear();
  EXPECT_EQ(combo.ListCount(), 0);
  EXPECT_EQ(combo.Text(), "");
  EXPECT_EQ(combo.NewIndex(), -1);
}

TEST_F(ListTest, AboutBoxNamesTheControlAndItsVersion) {
  QNSCombo combo;
  combo.AboutBox();
  ASSERT_EQ(boxes_->shown.size(), 1u);
  EXPECT_EQ(boxes_->shown[0].prompt, "Tarnby auto-matching combo 1.0.0");
  EXPECT_EQ(boxes_->shown[0].style, mb::kOkOnly);
}

}  // namespace
}  // namespace orv::test
