// What an operator meets in a day's entry: overlapping jobs warned of at
// save, a refused calculation that leaves no report behind, the pit name
// box, the smoking years, the claimant's own delete key, the tabs by
// keyboard, the search that keeps its place, and database failures met in
// use reported instead of shown as blank boxes.
#include "MainFormFixture.h"

#include <QAbstractButton>
#include <QApplication>
#include <QHeaderView>
#include <QToolButton>

namespace orv::tarnby::test {
namespace {

TEST_F(MainFormTest, AnOverlappingJobIsNamedAtSaveAndCanBeCorrected) {
  frmMAIN& f = LoadForm();
  AddClaimant(QStringLiteral("Quarrington"), QStringLiteral("Joseph"));
  AddJob(QStringLiteral("Ashby"), QStringLiteral("1955"), QStringLiteral("1965"),
         QStringLiteral("Face"), QStringLiteral("No resp"));
  ASSERT_TRUE(boxes_->shown.empty()) << Boxes();
  // A job sharing its first year with the last year of the one before is
  // no overlap.
  AddJob(QStringLiteral("Dunm"), QStringLiteral("1965"), QStringLiteral("1970"),
         QStringLiteral("Face"), QStringLiteral("No resp"));
  ASSERT_TRUE(boxes_->shown.empty()) << Boxes();

  // The default answer (No) goes back to the entry.
  boxes_->default_answer = mb::kNo;
  AddJob(QStringLiteral("Bexley"), QStringLiteral("1960"), QStringLiteral("1968"),
         QStringLiteral("Haul"), QStringLiteral("No resp"));
  ASSERT_EQ(boxes_->shown.size(), 1u);
  const MessageBoxRequest& box = boxes_->shown[0];
  EXPECT_NE(box.prompt.find("Ashby Main; North 1955 to 1965 and Bexley Colliery; North 1960 to 1968"),
            std::string::npos)
      << box.prompt;
  EXPECT_NE(box.prompt.find("Bexley Colliery; North 1960 to 1968 and Dunmore; South 1965 to 1970"),
            std::string::npos)
      << box.prompt;
  EXPECT_EQ(box.title, "Tarnby");
  EXPECT_EQ(box.style & kSecondButtonDefault, kSecondButtonDefault);
  EXPECT_EQ(f.Tab1().EntryState(), HistoryTab::kAdding);

  // Corrected, it saves without a word.
  TypeInto(f.Tab1().Form().meStart, QStringLiteral("1971"));
  TypeInto(f.Tab1().Form().meEnd, QStringLiteral("1975"));
  f.Tab1().Form().cmdWorkSave->click();
  EXPECT_EQ(boxes_->shown.size(), 1u) << Boxes();
  EXPECT_EQ(f.Tab1().EntryState(), HistoryTab::kBrowsing);
  EXPECT_EQ(f.Tab1().Grid().Count(), 3);
}

TEST_F(MainFormTest, ARefusedCalculationLeavesNoReportThatReadsAsAResult) {
  frmMAIN& f = LoadForm();
  AddClaimant(QStringLiteral("Quarrington"), QStringLiteral("Joseph"));
  AddJob(QStringLiteral("Ashby"), QStringLiteral("1955"), QStringLiteral("1965"),
         QStringLiteral("Face"), QStringLiteral("No resp"));
  boxes_->answers = {mb::kYes};  // saved as it is, overlap and all
  AddJob(QStringLiteral("Bexley"), QStringLiteral("1960"), QStringLiteral("1968"),
         QStringLiteral("Haul"), QStringLiteral("No resp"));
  ASSERT_EQ(f.Tab1().Grid().Count(), 2) << Boxes();
  OpenTab(frmMAIN::kCalcTab);
  boxes_->shown.clear();
  f.Tab3().Form().cmdCalc->click();
  const QString out = f.Tab3().Output();
  EXPECT_FALSE(out.contains(QStringLiteral("ERROR:"))) << out.toStdString();
  EXPECT_FALSE(out.contains(QStringLiteral("Quarrington"))) << out.toStdString();
  EXPECT_TRUE(out.startsWith(QStringLiteral("No result"))) << out.toStdString();
  EXPECT_TRUE(out.contains(QStringLiteral("Work history overlap for colliery")))
      << out.toStdString();
  // The engine's own box keeps its title.
  ASSERT_FALSE(boxes_->shown.empty());
  EXPECT_EQ(boxes_->shown[0].title, "Dust Model Error");
  db::RecordsetPtr rs = ClaimantDatabase->OpenRecordset("SELECT RECOVERABLEQUANTUM FROM CLAIMANT",
                                                        db::RecordsetType::Snapshot);
  EXPECT_TRUE(rs->Field(0).IsNull());
}

// The preview window the report output library opens, if one is shown.
QWidget* ShownPreview() {
  for (QWidget* w : QApplication::topLevelWidgets()) {
    if (w->isVisible() && QString::fromLatin1(w->metaObject()->className()).endsWith("frmOutput"))
      return w;
  }
  return nullptr;
}

TEST_F(MainFormTest, ARefusedCalculationLeavesNoPreviewOfItsPartialReport) {
  frmMAIN& f = LoadForm();
  AddClaimant(QStringLiteral("Quarrington"), QStringLiteral("Joseph"));
  AddJob(QStringLiteral("Ashby"), QStringLiteral("1955"), QStringLiteral("1965"),
         QStringLiteral("Face"), QStringLiteral("No resp"));
  OpenTab(frmMAIN::kCalcTab);
  f.SetOutputOption(dust::orvShowForm);  // calculates: a result, previewed
  ASSERT_NE(ShownPreview(), nullptr) << Boxes();
  EXPECT_EQ(f.Tab3().Form().lblOutput->text(),
            QStringLiteral("The report is shown in the print preview."));

  OpenTab(frmMAIN::kWorkTab);
  boxes_->answers = {mb::kYes};  // saved as it is, overlap and all
  AddJob(QStringLiteral("Bexley"), QStringLiteral("1960"), QStringLiteral("1968"),
         QStringLiteral("Haul"), QStringLiteral("No resp"));
  ASSERT_EQ(f.Tab1().Grid().Count(), 2) << Boxes();
  OpenTab(frmMAIN::kCalcTab);
  f.Tab3().Form().cmdCalc->click();
  EXPECT_EQ(ShownPreview(), nullptr) << Boxes();
  EXPECT_TRUE(f.Tab3().Form().lblOutput->text().startsWith(QStringLiteral("No result")));
  // The next calculation that gives a result says where it went again.
  OpenTab(frmMAIN::kWorkTab);
  boxes_->answers = {mb::kYes};
  f.Tab1().Form().cmdWorkDelete->click();  // the overlapping job, the current row
  ASSERT_EQ(f.Tab1().Grid().Count(), 1) << Boxes();
  OpenTab(frmMAIN::kCalcTab);
  f.SetOutputOption(dust::orvShowForm);
  EXPECT_EQ(f.Tab3().Form().lblOutput->text(),
            QStringLiteral("The report is shown in the print preview."));
  f.Engine().model->SetOutputOption(0);  // closes the preview
}

TEST_F(MainFormTest, ThePitNameBoxFollowsTheCollieryHoweverItIsChosen) {
  frmMAIN& f = LoadForm();
  AddClaimant(QStringLiteral("Quarrington"), QStringLiteral("Joseph"));
  Ui::WorkTab& w = f.Tab1().Form();
  w.cmdWorkAdd->click();
  EXPECT_FALSE(w.txtPitname->isVisible());
  // Typed, then left with Tab.
  TypeInto(w.qcboColliery, QStringLiteral("Small"));
  QTest::keyClick(w.qcboColliery->Combo(), Qt::Key_Tab);
  EXPECT_TRUE(w.txtPitname->isVisible());
  EXPECT_TRUE(w.lblAreaAvg->isVisible());
  TypeInto(w.txtPitname, QStringLiteral("Hob Drift"));
  TypeInto(w.meStart, QStringLiteral("1950"));
  TypeInto(w.meEnd, QStringLiteral("1952"));
  TypeInto(w.qcboJobFactor, QStringLiteral("Small"));
  TypeInto(w.qcboRespFactor, QStringLiteral("Small"));
  w.cmdWorkSave->click();
  ASSERT_EQ(f.Tab1().EntryState(), HistoryTab::kBrowsing) << Boxes();

  // Changed by typing to a listed pit: hidden; back to the small mine: shown.
  w.cmdWorkEdit->click();
  EXPECT_TRUE(w.txtPitname->isVisible());
  w.qcboColliery->Combo()->lineEdit()->selectAll();
  TypeInto(w.qcboColliery, QStringLiteral("Ashby"));
  EXPECT_FALSE(w.txtPitname->isVisible());
  w.qcboColliery->Combo()->lineEdit()->selectAll();
  TypeInto(w.qcboColliery, QStringLiteral("Small"));
  EXPECT_TRUE(w.txtPitname->isVisible());
  w.cmdWorkCancel->click();
  EXPECT_EQ(f.Tab1().EntryState(), HistoryTab::kBrowsing);
}

// Cancel, by its button or by Esc, abandons an entry whose colliery box has
// refused what was typed in it.
TEST_F(MainFormTest, CancelAlwaysCancelsPastARefusedColliery) {
  frmMAIN& f = LoadForm();
  AddClaimant(QStringLiteral("Quarrington"), QStringLiteral("Joseph"));
  AddJob(QStringLiteral("Ashby"), QStringLiteral("1955"), QStringLiteral("1965"),
         QStringLiteral("Face"), QStringLiteral("No resp"));
  Ui::WorkTab& w = f.Tab1().Form();
  for (const bool by_key : {false, true}) {
    SCOPED_TRACE(by_key ? "Esc" : "Cancel");
    w.cmdWorkEdit->click();
    w.qcboColliery->Combo()->lineEdit()->selectAll();
    TypeInto(w.qcboColliery, QStringLiteral("Zzz unknown pit"));
    // Leaving by Tab: the box refuses and keeps the focus.
    QTest::keyClick(w.qcboColliery->Combo(), Qt::Key_Tab);
    ASSERT_FALSE(boxes_->shown.empty());
    EXPECT_EQ(boxes_->shown.back().title, "Not In List");
    EXPECT_TRUE(w.qcboColliery->Combo()->hasFocus());
    if (by_key) {
      QTest::keyClick(QApplication::focusWidget(), Qt::Key_Escape);
    } else {
      QTest::mouseClick(w.cmdWorkCancel, Qt::LeftButton);
    }
    EXPECT_EQ(f.Tab1().EntryState(), HistoryTab::kBrowsing);
    EXPECT_EQ(w.qcboColliery->Combo()->currentText().toStdString(),
              f.Engine().jobs->Item(1)->Colliery() + "; North");
  }
}

TEST_F(MainFormTest, ASmokingPeriodShowsTheYearsItCountsInTheEntryBox) {
  frmMAIN& f = LoadForm();
  AddClaimant(QStringLiteral("Quarrington"), QStringLiteral("Joseph"));
  OpenTab(frmMAIN::kSmokeTab);
  AddSmokingPeriod(QStringLiteral("L"), QStringLiteral("1950"), QStringLiteral("1980"));
  Ui::SmokeTab& s = f.Tab2().Form();
  ASSERT_EQ(f.Tab2().Grid().Count(), 1) << Boxes();
  const QString years = f.Tab2().Grid().Text(0, 3);
  EXPECT_EQ(years, QStringLiteral("30"));
  // Straight after the save, as the operator sees it, and when chosen again.
  EXPECT_EQ(s.meSmokeYears->text(), years);
  f.Tab2().SelectRow(0);
  EXPECT_EQ(s.meSmokeYears->text(), years);
  EXPECT_FALSE(s.meSmokeYears->isEnabled());
  // Still stored as a period, not as a number of years.
  db::RecordsetPtr rs =
      ClaimantDatabase->OpenRecordset("SELECT YEARS FROM SMOKEHISTORY", db::RecordsetType::Snapshot);
  EXPECT_EQ(rs->Field(0).AsInt32(), 0);
}

TEST_F(MainFormTest, TheClaimantDeleteHasItsOwnKeyAndNamesTheClaimant) {
  frmMAIN& f = LoadForm();
  AddClaimant(QStringLiteral("Quarrington"), QStringLiteral("Joseph"));
  AddJob(QStringLiteral("Ashby"), QStringLiteral("1955"), QStringLiteral("1965"),
         QStringLiteral("Face"), QStringLiteral("No resp"));
  EXPECT_FALSE(f.Form().cmdDelete->text().contains(QLatin1Char('&')));
  EXPECT_NE(f.Form().cmdDelete->text(), f.Tab1().Form().cmdWorkDelete->text().remove('&'));

  // On the calculation tab Alt+D belongs to Do Calculation alone.
  OpenTab(frmMAIN::kCalcTab);
  QStringList alt_d;
  for (QAbstractButton* b : f.findChildren<QAbstractButton*>()) {
    if (b->isVisible() && QKeySequence::mnemonic(b->text()) == QKeySequence(Qt::ALT | Qt::Key_D)) {
      alt_d << b->objectName();
    }
  }
  EXPECT_EQ(alt_d, QStringList{QStringLiteral("cmdCalc")});

  boxes_->shown.clear();
  QTest::keyClick(&f, Qt::Key_Delete, Qt::ControlModifier);
  ASSERT_EQ(boxes_->shown.size(), 1u);
  EXPECT_EQ(boxes_->shown[0].prompt,
            "Are you sure you want to delete this record\n\nDelete claimant Joseph Quarrington "
            "and his histories?");
  EXPECT_EQ(boxes_->shown[0].title, "Delete Entry");
  EXPECT_EQ(boxes_->shown[0].style & kSecondButtonDefault, kSecondButtonDefault);
  EXPECT_EQ(Caption(f), "Record: 1 of 1");  // the scripted box answered the default
}

TEST_F(MainFormTest, ControlKeysStepThroughTheTabs) {
  frmMAIN& f = LoadForm();
  AddClaimant(QStringLiteral("Quarrington"), QStringLiteral("Joseph"));
  OpenTab(frmMAIN::kClaimantTab);
  QTabWidget* tabs = f.Form().sstabCoal;
  f.Tab0().Form().txtSurname->setFocus(Qt::OtherFocusReason);
  struct Step {
    Qt::Key key;
    Qt::KeyboardModifiers modifiers;
    int tab;
  } steps[] = {
      {Qt::Key_Tab, Qt::ControlModifier, frmMAIN::kWorkTab},
      {Qt::Key_PageDown, Qt::ControlModifier, frmMAIN::kSmokeTab},
      {Qt::Key_PageUp, Qt::ControlModifier, frmMAIN::kWorkTab},
      {Qt::Key_Backtab, Qt::ControlModifier | Qt::ShiftModifier, frmMAIN::kClaimantTab},
      {Qt::Key_PageUp, Qt::ControlModifier, frmMAIN::kCalcTab},
  };
  for (const Step& s : steps) {
    QWidget* focus = QApplication::focusWidget() ? QApplication::focusWidget() : &f;
    QTest::keyClick(focus, s.key, s.modifiers);
    EXPECT_EQ(tabs->currentIndex(), s.tab) << "after key " << s.key;
  }
  // While an entry is edited the tabs stay.
  OpenTab(frmMAIN::kWorkTab);
  f.Tab1().Form().cmdWorkAdd->click();
  QTest::keyClick(QApplication::focusWidget(), Qt::Key_PageDown, Qt::ControlModifier);
  EXPECT_EQ(tabs->currentIndex(), frmMAIN::kWorkTab);
}

TEST_F(MainFormTest, OnAHistoryTabTabGoesFromTheGridToItsButtons) {
  frmMAIN& f = LoadForm();
  AddClaimant(QStringLiteral("Quarrington"), QStringLiteral("Joseph"));
  AddJob(QStringLiteral("Ashby"), QStringLiteral("1955"), QStringLiteral("1965"),
         QStringLiteral("Face"), QStringLiteral("No resp"));
  Ui::WorkTab& w = f.Tab1().Form();
  w.fgWork->setFocus(Qt::TabFocusReason);
  QTest::keyClick(w.fgWork, Qt::Key_Tab);
  EXPECT_EQ(QApplication::focusWidget(), w.cmdWorkAdd)
      << QApplication::focusWidget()->objectName().toStdString();
  // From the tab bar, into the open tab first, not through the claimant
  // buttons; after the tab's own controls come the record bar and those.
  f.Form().sstabCoal->tabBar()->setFocus(Qt::TabFocusReason);
  QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
  EXPECT_EQ(QApplication::focusWidget(), w.fgWork)
      << QApplication::focusWidget()->objectName().toStdString();
  QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
  EXPECT_EQ(QApplication::focusWidget(), w.cmdWorkAdd);
  for (int i = 0; i < 12 && f.Tab1().isAncestorOf(QApplication::focusWidget()); ++i)
    QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
  QWidget* after = QApplication::focusWidget();
  EXPECT_TRUE(f.Form().datClaimant->isAncestorOf(after) || after == f.Form().cmdSearch)
      << after->objectName().toStdString();
}

TEST_F(MainFormTest, GridColumnsGiveTheSpareWidthToTheFactorsAndAreKeptBetweenRuns) {
  {
    frmMAIN& f = LoadForm();
    QHeaderView* h = f.Tab1().Form().fgWork->horizontalHeader();
    EXPECT_EQ(h->sectionResizeMode(5), QHeaderView::Stretch);  // job factor
    EXPECT_EQ(h->sectionResizeMode(6), QHeaderView::Stretch);  // respirator factor
    EXPECT_EQ(h->sectionResizeMode(7), QHeaderView::Interactive);  // small-mine pit
    h->resizeSection(1, 261);
    f.close();
  }
  form_.reset();
  frmMAIN& again = LoadForm();
  EXPECT_EQ(again.Tab1().Form().fgWork->horizontalHeader()->sectionSize(1), 261);
  // Widths that do not fit the grid are left alone.
  again.Tab1().RestoreColumnWidths("1,2,x");
  EXPECT_EQ(again.Tab1().Form().fgWork->horizontalHeader()->sectionSize(1), 261);
}

class ThreeClaimants : public MainFormTest {
 protected:
  void PrepareDatabase() override {
    for (const char* name : {"Hollins", "Wood", "Harper"}) {
      Exec("INSERT INTO CLAIMANT (SURNAME, FIRSTNAME) VALUES (?, 'John')", {Value(name)});
    }
  }
};

TEST_F(ThreeClaimants, AFilteredSetEndsWhereItEndsAndAClearedSearchStaysPut) {
  frmMAIN& f = LoadForm();
  QToolButton* next = RecordButton(f, QStringLiteral("Next record"));
  QToolButton* last = RecordButton(f, QStringLiteral("Last record"));
  QToolButton* first = RecordButton(f, QStringLiteral("First record"));
  ASSERT_TRUE(next && last && first);
  EXPECT_FALSE(first->isEnabled());
  EXPECT_TRUE(next->isEnabled());

  SearchName = "H*";
  f.ApplySearch();
  EXPECT_EQ(Caption(f), "Filtered record: 1 of 2");
  next->click();
  EXPECT_EQ(Caption(f), "Filtered record: 2 of 2");
  EXPECT_EQ(f.Tab0().Form().txtSurname->text(), "Harper");
  EXPECT_FALSE(next->isEnabled());
  EXPECT_FALSE(last->isEnabled());
  EXPECT_TRUE(first->isEnabled());

  SearchName.clear();
  f.ApplySearch();
  EXPECT_EQ(Caption(f), "Record: 3 of 3");
  EXPECT_EQ(f.Tab0().Form().txtSurname->text(), "Harper");
  EXPECT_TRUE(boxes_->shown.empty()) << Boxes();
}

// Another connection holds the file's write lock past the wait: the move
// is reported with its number, not shown as a claimant with blank boxes.
TEST_F(ThreeClaimants, ALockThatOutlastsTheWaitIsReportedWhenMoving) {
  frmMAIN& f = LoadForm();
  ASSERT_EQ(f.Tab0().Form().txtSurname->text(), "Hollins");
  db::DatabasePtr other = db::OpenDatabase(Settings.Database);
  other->Execute("BEGIN EXCLUSIVE");
  RecordButton(f, QStringLiteral("Next record"))->click();
  QApplication::processEvents();
  other->Execute("ROLLBACK");
  other->Close();
  ASSERT_FALSE(boxes_->shown.empty());
  EXPECT_EQ(boxes_->shown[0].title, kProgramErrorTitle);
  EXPECT_TRUE(boxes_->shown[0].prompt.starts_with(
      "An error occurred while the claimant recordset repositioned itself\n"))
      << boxes_->shown[0].prompt;
  EXPECT_NE(boxes_->shown[0].prompt.find("Number: " + std::to_string(db::dberr::kCurrentlyLocked)),
            std::string::npos)
      << boxes_->shown[0].prompt;
  // With the lock gone the form reads the claimants again.
  boxes_->shown.clear();
  RecordButton(f, QStringLiteral("Last record"))->click();
  QApplication::processEvents();
  EXPECT_EQ(f.Tab0().Form().txtSurname->text(), "Harper") << Boxes();
}

}  // namespace
}  // namespace orv::tarnby::test
