// The program on a claimant database on a server whose connection goes
// while the operator works (a restarted server, a broken network): one
// clear box, what was typed stays in the form, nothing is reported saved
// that the server did not keep, and the next action connects again without
// losing the check against another operator's change.
#include "MainFormFixture.h"

namespace orv::tarnby::test {
namespace {

class ConnectionLostTest : public MainFormTest {
 protected:
  bool OnServer() const override { return true; }
  void PrepareDatabase() override {
    Exec("INSERT INTO CLAIMANT (REF, SURNAME, FIRSTNAME) VALUES ('R/1', 'Barlow', 'Ernest')");
    Exec("INSERT INTO CLAIMANT (REF, SURNAME, FIRSTNAME) VALUES ('R/2', 'Catton', 'Fred')");
  }
  // A field as the server holds it, read on a connection of its own.
  std::string Stored(const std::string& sql) const {
    return orv::testing::ServerAdmin(sql, ServerDatabaseName());
  }
  void Next(frmMAIN& f) const {
    emit f.Form().datClaimant->MoveRequested(RecordControl::Move::kNext);
  }
  // The boxes shown since the last call (`count`, a question included), the
  // last checked as a lost connection's.
  void ExpectConnectionLostBox(const std::string& what, size_t count = 1) {
    ASSERT_EQ(boxes_->shown.size(), count) << Boxes();
    const MessageBoxRequest& box = boxes_->shown.back();
    EXPECT_EQ(box.title, "Connection Lost");
    EXPECT_EQ(box.style, mb::kCritical);
    EXPECT_EQ(box.prompt.rfind(what, 0), 0u) << box.prompt;
    EXPECT_NE(box.prompt.find("the database '" + ServerDatabaseName() + "' on the server"),
              std::string::npos)
        << box.prompt;
    EXPECT_NE(box.prompt.find("was not saved"), std::string::npos) << box.prompt;
    EXPECT_NE(box.prompt.find("still on the screen"), std::string::npos) << box.prompt;
    boxes_->shown.clear();
  }
  // The operator changes the first claimant's surname; the connection goes
  // before he moves on, so the move's save meets it.
  void TypeSurnameAndLoseTheSave(frmMAIN& f) {
    TypeInto(f.Tab0().Form().txtSurname, QStringLiteral("Barlow-Smith"));
    LoseConnection();
    Next(f);
    ExpectConnectionLostBox("The claimant's details were not saved.");
  }
};

TEST_F(ConnectionLostTest, TheClaimantTypedStaysAndTheNextMoveSavesIt) {
  frmMAIN& f = LoadForm();
  Ui::ClaimantTab& t = f.Tab0().Form();
  TypeSurnameAndLoseTheSave(f);
  EXPECT_EQ(t.txtSurname->text(), QStringLiteral("Barlow-Smith"));
  EXPECT_EQ(f.Form().datClaimant->Caption(), QStringLiteral("Record: 1 of 2"));
  EXPECT_EQ(Stored("SELECT SURNAME FROM CLAIMANT WHERE ID = 1"), "Barlow");

  Next(f);
  EXPECT_TRUE(boxes_->shown.empty()) << Boxes();
  EXPECT_EQ(Stored("SELECT SURNAME FROM CLAIMANT WHERE ID = 1"), "Barlow-Smith");
  EXPECT_EQ(f.Form().datClaimant->Caption(), QStringLiteral("Record: 2 of 2"));
  EXPECT_EQ(t.txtSurname->text(), QStringLiteral("Catton"));
}

TEST_F(ConnectionLostTest, AnotherOperatorsChangeMeanwhileIsStillRefusedNotOverwritten) {
  frmMAIN& f = LoadForm();
  TypeSurnameAndLoseTheSave(f);
  // While this operator's connection was down, another saved the row.
  Stored("UPDATE CLAIMANT SET SURNAME = 'Barlowe' WHERE ID = 1");
  Next(f);
  ASSERT_EQ(boxes_->shown.size(), 1u) << Boxes();
  EXPECT_NE(boxes_->shown[0].prompt.find("changed by another user"), std::string::npos) << Boxes();
  EXPECT_EQ(Stored("SELECT SURNAME FROM CLAIMANT WHERE ID = 1"), "Barlowe");
}

TEST_F(ConnectionLostTest, AHistoryEntryStaysInTheFormUnsavedAndTheNextSaveKeepsIt) {
  frmMAIN& f = LoadForm();
  OpenTab(frmMAIN::kWorkTab);
  Ui::WorkTab& w = f.Tab1().Form();
  w.cmdWorkAdd->click();
  TypeInto(w.qcboColliery, QStringLiteral("Ashby"));
  TypeInto(w.meStart, QStringLiteral("1955"));
  TypeInto(w.meEnd, QStringLiteral("1965"));
  TypeInto(w.qcboJobFactor, QStringLiteral("Face"));
  TypeInto(w.qcboRespFactor, QStringLiteral("No resp"));
  ASSERT_TRUE(boxes_->shown.empty()) << Boxes();
  LoseConnection();
  w.cmdWorkSave->click();
  ExpectConnectionLostBox("The work history entry was not saved.");
  EXPECT_EQ(f.Tab1().EntryState(), HistoryTab::kAdding);
  EXPECT_TRUE(w.qcboColliery->Text().startsWith(QStringLiteral("Ashby")))
      << w.qcboColliery->Text().toStdString();
  EXPECT_EQ(w.meEnd->text(), QStringLiteral("1965"));
  EXPECT_EQ(Stored("SELECT count(*) FROM WORKHISTORY WHERE STARTYEAR IS NOT NULL"), "0");

  w.cmdWorkSave->click();
  EXPECT_TRUE(boxes_->shown.empty()) << Boxes();
  EXPECT_EQ(f.Tab1().EntryState(), HistoryTab::kBrowsing);
  EXPECT_EQ(f.Tab1().Grid().Count(), 1);
  EXPECT_EQ(Stored("SELECT STARTYEAR || '-' || ENDYEAR FROM WORKHISTORY WHERE CLAIMANTID = 1"),
            "1955-1965");
}

TEST_F(ConnectionLostTest, ADeleteTheServerNeverKeptIsReportedAndKeepsEverything) {
  frmMAIN& f = LoadForm();
  Stored(
      "INSERT INTO WORKHISTORY (CLAIMANTID, COLLIERYID, STARTYEAR, ENDYEAR) "
      "VALUES (1, 101, 1955, 1965)");
  LoseConnection();
  boxes_->answers = {mb::kYes};
  f.DeleteClaimant();
  ExpectConnectionLostBox("An error has occurred while deleting the record", 2);
  EXPECT_EQ(Stored("SELECT count(*) FROM CLAIMANT"), "2");
  EXPECT_EQ(Stored("SELECT count(*) FROM WORKHISTORY"), "1");
  // The next try connects again and deletes the claimant with his history.
  boxes_->answers = {mb::kYes};
  f.DeleteClaimant();
  EXPECT_EQ(boxes_->shown.size(), 1u) << Boxes();  // the question alone
  EXPECT_EQ(Stored("SELECT count(*) FROM CLAIMANT"), "1");
  EXPECT_EQ(Stored("SELECT count(*) FROM WORKHISTORY"), "0");
}

}  // namespace
}  // namespace orv::tarnby::test
