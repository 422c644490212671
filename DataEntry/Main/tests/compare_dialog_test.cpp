// "Compare..." on the calculation tab: the variant editor, the two reports
// side by side with the differing lines marked, the figures, the preview,
// and a claimant database left exactly as it was.
#include "MainFormFixture.h"

#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QLabel>
#include <QPointer>
#include <QPushButton>
#include <QRegularExpression>
#include <QSpinBox>
#include <QTableWidget>

#include "CompareDialog.h"
#include "PdfText.h"
#include "ReportCompare.h"

namespace orv::tarnby::test {
namespace {

constexpr int kWorkTo = 2;
constexpr int kCategory = 0;
constexpr int kSmokeTo = 2;
constexpr int kSmokeYears = 3;

// Every row of the tables a comparison could touch, the change history
// included, as text.
std::string DatabaseText(db::Database& d) {
  std::string all;
  for (const char* table : {"CLAIMANT", "WORKHISTORY", "SMOKEHISTORY", "CHANGEHISTORY"}) {
    const db::RecordsetPtr r =
        d.OpenRecordset(std::string("SELECT * FROM ") + table, db::RecordsetType::Snapshot);
    for (; !r->IsEOF(); r->MoveNext()) {
      all += table;
      for (int i = 0; i < r->FieldCount(); ++i) all += "|" + r->Field(i).TextOrEmpty();
      all += "\n";
    }
  }
  return all;
}

class CompareTest : public MainFormTest {
 protected:
  // A claimant with two jobs and a light smoker's years, calculated once.
  frmMAIN& ClaimantWithHistory() {
    frmMAIN& f = LoadForm();
    AddClaimant(QStringLiteral("Rowley"), QStringLiteral("Arthur"));
    AddJob(QStringLiteral("Ashby"), QStringLiteral("1950"), QStringLiteral("1960"),
           QStringLiteral("Face"), QStringLiteral("No resp"));
    AddJob(QStringLiteral("Ashby"), QStringLiteral("1961"), QStringLiteral("1975"),
           QStringLiteral("Face"), QStringLiteral("No resp"));
    OpenTab(frmMAIN::kSmokeTab);
    AddSmokingPeriod(QStringLiteral("L"), QStringLiteral("1950"), QStringLiteral("1980"));
    OpenTab(frmMAIN::kCalcTab);
    f.Tab3().Form().cmdCalc->click();
    EXPECT_TRUE(boxes_->shown.empty()) << Boxes();
    return f;
  }

  // Opens the comparison from the calculation tab, where Alt+M is its alone.
  CompareDialog* OpenCompare(frmMAIN& f) {
    EXPECT_EQ(VisibleMnemonics(f, Qt::Key_M), QStringList{QStringLiteral("cmdCompare")});
    f.Tab3().Form().cmdCompare->click();
    auto* dialog = f.findChild<CompareDialog*>();
    if (dialog) {
      QApplication::setActiveWindow(dialog);
      QApplication::processEvents();
    }
    return dialog;
  }

  // The visible buttons and labels of `w` that Alt+`key` reaches.
  static QStringList VisibleMnemonics(QWidget& w, Qt::Key key) {
    QStringList names;
    for (QWidget* c : w.findChildren<QWidget*>()) {
      QString text;
      if (auto* b = qobject_cast<QAbstractButton*>(c)) text = b->text();
      if (auto* l = qobject_cast<QLabel*>(c)) text = l->text();
      if (c->isVisible() && QKeySequence::mnemonic(text) == QKeySequence(Qt::ALT | key))
        names << c->objectName();
    }
    return names;
  }

  // Alt+`key` reaches the button `name` alone in `w`; it is pressed.
  static void ClickMnemonic(QWidget& w, Qt::Key key, const QString& name) {
    EXPECT_EQ(VisibleMnemonics(w, key), QStringList{name});
    if (auto* b = w.findChild<QAbstractButton*>(name)) b->click();
  }

  // Edits one cell as an operator does: F2, the editor, Enter.
  template <typename Edit>
  static void EditCell(QTableWidget* table, int row, int column, Edit edit) {
    table->setFocus(Qt::TabFocusReason);
    table->setCurrentCell(row, column);
    QTest::keyClick(table, Qt::Key_F2);
    // The cell's editor, open over the table's view.
    QWidget* editor = nullptr;
    for (QWidget* w : table->viewport()->findChildren<QWidget*>(Qt::FindDirectChildrenOnly))
      if (w->isVisible()) editor = w;
    ASSERT_NE(editor, nullptr);
    edit(editor);
    QTest::keyClick(editor, Qt::Key_Return);
    // The view takes the editor's value once the key has been handled.
    QApplication::processEvents();
  }

  // Every row is marked exactly when its two lines differ (the calculation
  // time aside); returns the marked rows.
  static std::vector<calcrun::ComparedLine> CheckMarks(const CompareDialog& d) {
    std::vector<calcrun::ComparedLine> marked;
    const QTableWidget* lines = d.Lines();
    const auto& rows = d.Comparison().rows;
    EXPECT_EQ(lines->rowCount(), static_cast<int>(rows.size()));
    for (int r = 0; r < lines->rowCount(); ++r) {
      const calcrun::ComparedLine& line = rows[static_cast<size_t>(r)];
      const bool time = line.a && line.a->starts_with("Calculation time and date: ");
      EXPECT_EQ(line.differs, !time && line.a != line.b) << r;
      EXPECT_EQ(lines->item(r, 0)->text(), line.differs ? "*" : "") << r;
      EXPECT_EQ(lines->item(r, 1)->background().color() != QColor(0xff, 0xe0, 0x8a), !line.differs)
          << r;
      if (line.differs) marked.push_back(line);
    }
    return marked;
  }
};

TEST_F(CompareTest, SmokingVariantMarksTheSmokingLinesAndLeavesTheDatabaseAlone) {
  frmMAIN& f = ClaimantWithHistory();
  const QStringList screen =
      f.Tab3().Output().split(QRegularExpression(QStringLiteral("[\\r\\n\\x{2029}]")));
  const std::string before = DatabaseText(*ClaimantDatabase);

  CompareDialog* d = OpenCompare(f);
  ASSERT_NE(d, nullptr) << Boxes();
  EXPECT_TRUE(d->isVisible());
  EXPECT_EQ(d->windowModality(), Qt::WindowModal);
  // Until the variant is edited both sides are the stored history, and the
  // left one is the report "Do Calculation" shows.
  EXPECT_TRUE(CheckMarks(*d).empty());
  EXPECT_EQ(d->Comparison().figures.difference, "0.00");
  QStringList left;
  for (const calcrun::ComparedLine& r : d->Comparison().rows)
    if (r.a && !r.a->empty()) left << QString::fromStdString(*r.a);
  QStringList shown = screen;
  shown.removeAll(QString());
  ASSERT_EQ(left.size(), shown.size());
  for (int i = 0; i < left.size(); ++i) {
    if (!left[i].startsWith(QStringLiteral("Calculation time"))) {
      EXPECT_EQ(left[i], shown[i]) << i;
    }
  }

  // A heavy smoker instead: the category picked in the cell's list.
  QTableWidget* smoke = d->SmokeTable();
  ASSERT_EQ(smoke->rowCount(), 1);
  // The period 1950 to 1980 shows the 30 years it counts, as the tab's grid
  // does; the cell is not typed in, and what is calculated stays the period.
  EXPECT_EQ(smoke->item(0, kSmokeYears)->text(), QStringLiteral("30"));
  EXPECT_FALSE(smoke->item(0, kSmokeYears)->flags() & Qt::ItemIsEditable);
  EXPECT_EQ(d->Variant().history.smoking.at(0).Years, 0);
  EditCell(smoke, 0, kCategory, [](QWidget* editor) {
    auto* box = qobject_cast<QComboBox*>(editor);
    ASSERT_NE(box, nullptr);
    box->setCurrentIndex(box->findText(QStringLiteral("Heavy"), Qt::MatchContains));
  });
  EXPECT_EQ(smoke->item(0, kCategory)->data(Qt::UserRole).toInt(), 4);
  EXPECT_EQ(d->Variant().history.smoking.at(0).SmokeCategoryID, 4);
  ClickMnemonic(*d, Qt::Key_C, QStringLiteral("cmdRunCompare"));

  const std::vector<calcrun::ComparedLine> marked = CheckMarks(*d);
  ASSERT_FALSE(marked.empty());
  bool smoking_line = false;
  for (const calcrun::ComparedLine& r : marked) {
    // The dust lines do not move; what moves is smoking and what follows from it.
    EXPECT_EQ(r.a.value_or("").find("Dust Insult"), std::string::npos) << *r.a;
    smoking_line = smoking_line || r.b.value_or("").find("Smok") != std::string::npos;
  }
  EXPECT_TRUE(smoking_line);
  const calcrun::FigureComparison& fig = d->Comparison().figures;
  ASSERT_TRUE(fig.a && fig.b && fig.difference);
  EXPECT_NE(*fig.a, *fig.b);
  EXPECT_EQ(
      *fig.difference,
      calcrun::CompareFigures(d->Comparison().a.figure, d->Comparison().b.figure).difference.value());
  EXPECT_TRUE(d->Figures()->text().contains(QString::fromStdString(*fig.difference)));
  // The stored side is the stored figure.
  EXPECT_EQ(*fig.a, f.Tab0().Form().txtQuantumPercent->text().toStdString());

  // A shorter period: its counted years follow the last year typed.
  EditCell(smoke, 0, kSmokeTo, [](QWidget* editor) {
    auto* box = qobject_cast<QSpinBox*>(editor);
    ASSERT_NE(box, nullptr);
    box->setValue(1975);
  });
  EXPECT_EQ(smoke->item(0, kSmokeYears)->text(), QStringLiteral("25"));
  EXPECT_EQ(d->Variant().history.smoking.at(0).EndYear, 1975);
  EXPECT_EQ(d->Variant().history.smoking.at(0).Years, 0);

  // Into the preview, and as PDF from there.
  d->PreviewButton()->click();
  EXPECT_TRUE(boxes_->shown.empty()) << Boxes();
  ASSERT_NE(d->Output(), nullptr);
  const std::string pdf = (folder_ / "comparison.pdf").string();
  d->Output()->SavePdf(pdf);
  if (orv::testing::HavePdfToText()) {
    const std::string text = orv::testing::PdfText(pdf);
    EXPECT_NE(text.find("Dust Calculation Comparison for Mr Arthur Rowley"), std::string::npos);
    EXPECT_NE(text.find("As stored"), std::string::npos);
    EXPECT_NE(text.find("Difference (variant - stored)"), std::string::npos);
    EXPECT_NE(text.find(*fig.difference), std::string::npos);
  }

  // Pictures for a person to look at, when a folder is named.
  if (const char* dir = std::getenv("TARNBY_SCREENSHOT_DIR")) {
    QApplication::processEvents();
    EXPECT_TRUE(d->grab().save(QString::fromUtf8(dir) + "/compare-smoking.png"));
    d->Output()->SavePdf(std::string(dir) + "/compare-smoking.pdf");
  }

  // Esc closes it; nothing was written, the change history included.
  d->Output()->UnloadForm();
  QPointer<CompareDialog> gone(d);
  QTest::keyClick(d, Qt::Key_Escape);
  QApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
  EXPECT_TRUE(gone.isNull());
  EXPECT_EQ(DatabaseText(*ClaimantDatabase), before);
}

TEST_F(CompareTest, JobYearsVariantMarksThatJobAndResetPutsTheStoredHistoryBack) {
  frmMAIN& f = ClaimantWithHistory();
  const std::string before = DatabaseText(*ClaimantDatabase);
  CompareDialog* d = OpenCompare(f);
  ASSERT_NE(d, nullptr) << Boxes();

  // The second job ends in 1968 instead of 1975, typed into its cell.
  QTableWidget* work = d->WorkTable();
  ASSERT_EQ(work->rowCount(), 2);
  EditCell(work, 1, kWorkTo, [](QWidget* editor) {
    ASSERT_NE(qobject_cast<QSpinBox*>(editor), nullptr);
    QTest::keyClick(editor, Qt::Key_A, Qt::ControlModifier);
    QTest::keyClicks(editor, QStringLiteral("1968"));
  });
  EXPECT_EQ(d->Variant().history.work.at(1).EndYear, 1968);
  EXPECT_EQ(d->Variant().history.work.at(0).EndYear, 1960);
  d->CompareButton()->click();

  const std::vector<calcrun::ComparedLine> marked = CheckMarks(*d);
  ASSERT_FALSE(marked.empty());
  bool years_line = false;
  for (const calcrun::ComparedLine& r : marked) {
    // The first job's own lines and the smoking history stand.
    EXPECT_EQ(r.a.value_or("").find("1950"), std::string::npos) << *r.a;
    years_line = years_line || r.b.value_or("").find("1968") != std::string::npos;
  }
  EXPECT_TRUE(years_line);
  EXPECT_NE(d->Comparison().figures.a, d->Comparison().figures.b);

  // The variant's jurisdiction is the editor's too.
  d->JurisdictionBox()->setCurrentIndex(1);
  EXPECT_EQ(d->Variant().jurisdiction, 1);

  // Tab order runs through the editor to the buttons; Reset puts it all back.
  d->JurisdictionBox()->setFocus(Qt::TabFocusReason);
  const std::vector<QWidget*> order = {d->WorkTable(),         d->SmokeTable(), d->AddSmokeButton(),
                                       d->RemoveSmokeButton(), d->Lines(),      d->DetailBox()};
  for (QWidget* next : order) {
    QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
    EXPECT_EQ(QApplication::focusWidget(), next) << next->objectName().toStdString();
  }
  ClickMnemonic(*d, Qt::Key_R, QStringLiteral("cmdResetVariant"));
  EXPECT_EQ(d->Variant().jurisdiction, 0);
  EXPECT_EQ(d->Variant().history.work.at(1).EndYear, 1975);

  // An entry added and one removed change the variant only.
  d->AddSmokeButton()->click();
  EXPECT_EQ(d->SmokeTable()->rowCount(), 2);
  EXPECT_EQ(d->Variant().history.smoking.size(), 2u);
  d->SmokeTable()->setCurrentCell(0, 0);
  d->RemoveSmokeButton()->click();
  d->SmokeTable()->setCurrentCell(0, 0);
  d->RemoveSmokeButton()->click();
  EXPECT_TRUE(d->Variant().history.smoking.empty());
  d->CompareButton()->click();
  EXPECT_FALSE(CheckMarks(*d).empty());
  if (const char* dir = std::getenv("TARNBY_SCREENSHOT_DIR")) {
    ClickMnemonic(*d, Qt::Key_R, QStringLiteral("cmdResetVariant"));
    EditCell(work, 1, kWorkTo, [](QWidget* editor) {
      QTest::keyClick(editor, Qt::Key_A, Qt::ControlModifier);
      QTest::keyClicks(editor, QStringLiteral("1968"));
    });
    d->CompareButton()->click();
    QApplication::processEvents();
    EXPECT_TRUE(d->grab().save(QString::fromUtf8(dir) + "/compare-job-years.png"));
  }
  d->close();
  EXPECT_EQ(DatabaseText(*ClaimantDatabase), before);
}

}  // namespace
}  // namespace orv::tarnby::test
