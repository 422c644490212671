// The claimant tab's word on the stored result, and the change history
// screen it leads to.
#include "MainFormFixture.h"

#include <QApplication>
#include <QLabel>
#include <QPushButton>
#include <QRegularExpression>
#include <QTableWidget>
#include <QTextDocument>

#include "ChangeHistory.h"
#include "ChangeHistoryDialog.h"
#include "Dates.h"
#include "ClaimantProof.h"

namespace orv::tarnby::test {
namespace {

TEST_F(MainFormTest, ClaimantTabSaysWhetherTheStoredResultIsCurrentAndShowsWhoChangedWhat) {
  frmMAIN& f = LoadForm();
  AddClaimant(QStringLiteral("Rowley"), QStringLiteral("Arthur"));
  AddJob(QStringLiteral("Ashby"), QStringLiteral("1955"), QStringLiteral("1965"),
         QStringLiteral("Face"), QStringLiteral("No resp"));
  const int32_t id = f.CurrentClaimantID();
  ASSERT_NE(id, 0);
  // Saving the job cleared any result: nothing stored yet.
  EXPECT_TRUE(f.Proof().Status()->text().startsWith(QStringLiteral("No stored result")))
      << f.Proof().Status()->text().toStdString();

  OpenTab(frmMAIN::kCalcTab);
  f.Tab3().Form().cmdCalc->click();
  EXPECT_TRUE(boxes_->shown.empty()) << Boxes();
  EXPECT_EQ(f.Proof().Status()->text(),
            QStringLiteral("The stored result is current for the history on screen."));
  EXPECT_TRUE(f.Proof().HistoryButton()->isEnabledTo(f.Proof().HistoryButton()->parentWidget()));
  EXPECT_EQ(f.Proof().HistoryButton()->text(), QStringLiteral("Change &History..."));

  // Another program changes the job's years without clearing the result.
  {
    const db::DatabasePtr other = db::OpenDatabase(Settings.Database);
    ASSERT_EQ(other->Execute("UPDATE WORKHISTORY SET ENDYEAR = 1964"), 1);
  }
  OpenTab(frmMAIN::kClaimantTab);
  f.Proof().Refresh(id, Settings.Jurisdiction);
  EXPECT_TRUE(f.Proof().Status()->text().startsWith(QStringLiteral("History changed since the last calculation")))
      << f.Proof().Status()->text().toStdString();

  // Newest first: the other program's change, unnamed, then the program's
  // own store of the result and its inserts, named.
  ChangeHistoryDialog dialog(*ClaimantDatabase, id, &f);
  QTableWidget* t = dialog.Table();
  ASSERT_GT(t->rowCount(), 3);
  EXPECT_EQ(t->item(0, 1)->text(), QStringLiteral("(another program)"));
  EXPECT_EQ(t->item(0, 3)->text(), QStringLiteral("WORKHISTORY"));
  EXPECT_EQ(t->item(0, 6)->text(), QStringLiteral("ENDYEAR"));
  EXPECT_EQ(t->item(0, 7)->text(), QStringLiteral("1965"));
  EXPECT_EQ(t->item(0, 8)->text(), QStringLiteral("1964"));
  EXPECT_EQ(t->item(1, 1)->text(), QString::fromStdString(LoginName()));
  EXPECT_EQ(t->item(1, 3)->text(), QStringLiteral("CLAIMANT"));
  EXPECT_EQ(t->item(t->rowCount() - 1, 5)->text(), QStringLiteral("insert"));
  for (int r = 1; r < t->rowCount(); ++r)
    EXPECT_GE(t->item(r - 1, 0)->text(), t->item(r, 0)->text()) << r;

  // Pictures for a person to look at, when a folder is named.
  if (const char* dir = std::getenv("TARNBY_SCREENSHOT_DIR")) {
    f.resize(1000, 680);
    f.show();
    dialog.show();
    QApplication::processEvents();
    EXPECT_TRUE(f.grab().save(QString::fromUtf8(dir) + "/claimant-result-state.png"));
    EXPECT_TRUE(dialog.grab().save(QString::fromUtf8(dir) + "/change-history.png"));
  }
}

// The report says when the stored result it replaces was calculated from
// another history, once, and only then.
TEST_F(MainFormTest, ReportSaysTheHistoryChangedSinceTheLastCalculation) {
  frmMAIN& f = LoadForm();
  AddClaimant(QStringLiteral("Rowley"), QStringLiteral("Arthur"));
  AddJob(QStringLiteral("Ashby"), QStringLiteral("1955"), QStringLiteral("1965"),
         QStringLiteral("Face"), QStringLiteral("No resp"));
  OpenTab(frmMAIN::kCalcTab);
  const auto calculate = [&] {
    f.Tab3().Form().cmdCalc->click();
    EXPECT_TRUE(boxes_->shown.empty()) << Boxes();
    return f.Tab3().Output();
  };
  const QString line = QStringLiteral("History changed since the last calculation: ");
  // A first calculation, and one of the same history: no line.
  EXPECT_FALSE(calculate().contains(line));
  const QString current = calculate();
  EXPECT_FALSE(current.contains(line));

  // Another program changes the job's years without clearing the result.
  std::string calcdate;
  {
    const db::DatabasePtr other = db::OpenDatabase(Settings.Database);
    ASSERT_EQ(other->Execute("UPDATE WORKHISTORY SET ENDYEAR = 1964"), 1);
    calcdate = other->OpenRecordset("SELECT CALCDATE FROM CLAIMANT", db::RecordsetType::Snapshot)
                   ->Field(0)
                   .AsText();
  }
  const QString changed = calculate();
  const QString expected = line + QString::fromStdString(ReportTimeOfStored(calcdate));
  EXPECT_EQ(changed.count(line), 1);
  const QStringList lines =
      changed.split(QRegularExpression(QStringLiteral("[\\r\\n]+")), Qt::SkipEmptyParts);
  const qsizetype at = lines.indexOf(expected);
  ASSERT_GT(at, 0) << changed.toStdString();
  EXPECT_EQ(lines[at - 1], QStringLiteral("Jurisdiction: England/Wales"));
  // Calculated again, the stored result is his history's.
  EXPECT_FALSE(calculate().contains(line));
}

// An operator saves a change to the history while another's calculation of
// the same claimant runs: the calculation's result belongs to the history it
// read, and is not stored over the new one.
TEST_P(MainFormEngineTest, CalculationStoresNothingWhenTheHistoryChangesWhileItRuns) {
  frmMAIN& f = LoadForm();
  AddClaimant(QStringLiteral("Rowley"), QStringLiteral("Arthur"));
  AddJob(QStringLiteral("Ashby"), QStringLiteral("1955"), QStringLiteral("1965"),
         QStringLiteral("Face"), QStringLiteral("No resp"));
  OpenTab(frmMAIN::kCalcTab);
  const db::DatabasePtr other = db::OpenDatabase(Settings.Database);
  const auto stored = [&] {
    return other->OpenRecordset("SELECT CALCDATE, RECOVERABLEQUANTUM FROM CLAIMANT",
                                db::RecordsetType::Snapshot);
  };

  // The other operator's save lands as the report's first line is written:
  // the job's years and, as every history save does, the stored result
  // cleared in the same transaction.
  bool saved = false;
  const QMetaObject::Connection during = QObject::connect(
      f.Tab3().Form().rtfBox->document(), &QTextDocument::contentsChanged, [&] {
        if (saved || f.Tab3().Output().isEmpty()) return;
        saved = true;
        other->BeginTrans();
        EXPECT_EQ(other->Execute("UPDATE WORKHISTORY SET ENDYEAR = 1964"), 1);
        other->Execute(
            "UPDATE CLAIMANT SET CALCDATE = NULL, ENGINEVERSION = NULL, DUSTDATAVERSION = NULL, "
            "RECOVERABLEQUANTUM = NULL");
        other->CommitTrans();
      });
  f.Tab3().Form().cmdCalc->click();
  QObject::disconnect(during);
  ASSERT_TRUE(saved);
  ASSERT_EQ(boxes_->shown.size(), 1u) << Boxes();
  EXPECT_EQ(boxes_->shown[0].title, "Result Not Stored");
  EXPECT_NE(boxes_->shown[0].prompt.find("changed by another user"), std::string::npos);
  EXPECT_TRUE(stored()->Field(0).IsNull());
  EXPECT_TRUE(stored()->Field(1).IsNull());
  EXPECT_TRUE(f.Proof().Status()->text().startsWith(QStringLiteral("No stored result")))
      << f.Proof().Status()->text().toStdString();

  // Calculated again, the result is the new history's, and shown as current.
  boxes_->shown.clear();
  f.Tab3().Form().cmdCalc->click();
  EXPECT_TRUE(boxes_->shown.empty()) << Boxes();
  EXPECT_FALSE(stored()->Field(0).IsNull());
  EXPECT_EQ(f.Proof().Status()->text(),
            QStringLiteral("The stored result is current for the history on screen."));
}

}  // namespace
}  // namespace orv::tarnby::test
