// The set-up the main form tests share: a per-process home for settings and
// logs, a dust data database built from the fixture CSV files, a new claimant
// database at the latest structure (a file, or for MainFormEngineTest's
// server runs a database on the tests' own server), scripted message boxes,
// file dialogs and shell, and the loaded main form.
#pragma once

#include <gtest/gtest.h>

#include <unistd.h>
#include <QApplication>
#include <QTest>
#include <QToolButton>
#include <filesystem>
#include <memory>
#include <string>

#include "CalcTab.h"
#include "ClaimantTab.h"
#include "DustDataBuild.h"
#include "FileDialog.h"
#include "MessageBox.h"
#include "Shell.h"
#include "SmokeTab.h"
#include "TempDir.h"
#include "TestServer.h"
#include "WorkTab.h"
#include "frmMAIN.h"
#include "modDataEntry.h"
#include "modTarnbyDatabase.h"

namespace orv::tarnby::test {

namespace fs = std::filesystem;

// A folder of its own for each test process, removed at the end.
inline fs::path TestHome() {
  static const orv::test::TempDir folder;
  static const fs::path home = [] {
    const fs::path p = folder.path();
    setenv("HOME", p.c_str(), 1);
    setenv("XDG_CONFIG_HOME", (p / "config").c_str(), 1);
    setenv("XDG_DATA_HOME", (p / "data").c_str(), 1);
    return p;
  }();
  return home;
}

// The fixture dust data database, built once per process.
inline std::string DustDatabasePath() {
  static const std::string path = [] {
    const fs::path p = TestHome() / "DUSTDATA.db";
    orv::dustdata::BuildFromCsv(TARNBY_DUSTDATA_FIXTURE, p.string(), true);
    return p.string();
  }();
  return path;
}

class MainFormTest : public ::testing::Test {
 protected:
  void SetUp() override {
    folder_ = TestHome() / ::testing::UnitTest::GetInstance()->current_test_info()->name();
    fs::remove_all(folder_);
    fs::create_directories(folder_);
    old_boxes_ = SetMessageBoxService(boxes_);
    old_dialogs_ = SetFileDialogService(dialogs_);
    old_shell_ = SetShellService(shell_);
    CloseClaimantDatabase();
    SetDefaultSettings();
    SettingsFile = (folder_ / "TARNBY.INI").string();
    Settings.Database =
        OnServer() ? orv::testing::NewServerDatabase(
                         "m_" + std::string(::testing::UnitTest::GetInstance()
                                                ->current_test_info()
                                                ->name()))
                   : (folder_ / "TARNBY.db").string();
    Settings.DustDatabase = DustDatabasePath();
    Settings.HTMLFile = (folder_ / "ORVDUST.HTM").string();
    Settings.DustOutputOption = 0;
    Settings.DustDetail = false;
    Settings.DustAutoCalc = false;
    Settings.AllowUserDefine = true;
    SearchName.clear();
    SearchRef.clear();
    SearchZurir.clear();
    CreateClaimantDatabase(Settings.Database);
    PrepareDatabase();
    ASSERT_TRUE(SetupDatabase());
  }

  void TearDown() override {
    form_.reset();
    CloseClaimantDatabase();
    if (OnServer()) {
      try {
        orv::testing::ServerAdmin("DROP DATABASE IF EXISTS " + ServerDatabaseName() +
                                  " WITH (FORCE)");
      } catch (...) {
        // Left to the server's end.
      }
    }
    SetMessageBoxService(old_boxes_);
    SetFileDialogService(old_dialogs_);
    SetShellService(old_shell_);
    std::error_code ec;
    fs::remove_all(folder_, ec);
  }

  // Rows a test wants in the claimant database before the form opens.
  virtual void PrepareDatabase() {}
  // True for a claimant database on the tests' own server.
  virtual bool OnServer() const { return false; }
  // The server's name of the claimant database (on the server).
  std::string ServerDatabaseName() const {
    return Settings.Database.substr(14, Settings.Database.find('?') - 14);
  }
  // Ends every connection the program has to its claimant database, as a
  // restarted server or a broken network would; waits until they are gone.
  void LoseConnection() const {
    orv::testing::ServerAdmin(
        "SELECT pg_terminate_backend(pid, 5000) FROM pg_stat_activity WHERE datname = '" +
        ServerDatabaseName() + "' AND pid <> pg_backend_pid()");
  }

  // Runs SQL against the claimant database before SetupDatabase opens it.
  void Exec(const std::string& sql, const std::vector<Value>& values = {}) {
    db::DatabasePtr d = db::OpenDatabase(Settings.Database);
    d->Execute(sql, values);
    d->Close();
  }

  frmMAIN& LoadForm() {
    form_ = std::make_unique<frmMAIN>();
    form_->Load();
    EXPECT_FALSE(EngineSetupFailed) << Boxes();
    form_->show();
    QApplication::setActiveWindow(form_.get());
    return *form_;
  }

  // Every box shown so far, for failure messages.
  std::string Boxes() const {
    std::string all;
    for (const MessageBoxRequest& r : boxes_->shown) all += "[" + r.title + "] " + r.prompt + "\n";
    return all;
  }

  // Types into a combo as the user would and leaves it with Tab.
  static void TypeInto(QuickCombo* combo, const QString& text) {
    combo->Combo()->setFocus(Qt::TabFocusReason);
    QTest::keyClicks(combo->Combo(), text);
  }
  static void TypeInto(QLineEdit* box, const QString& text) {
    box->setFocus(Qt::TabFocusReason);
    box->selectAll();
    QTest::keyClicks(box, text);
  }

  void OpenTab(int tab) { form_->Form().sstabCoal->setCurrentIndex(tab); }

  // Adds a claimant through the form and saves him by leaving tab 0.
  void AddClaimant(const QString& surname, const QString& first = QStringLiteral("John")) {
    form_->AddClaimant();
    Ui::ClaimantTab& f = form_->Tab0().Form();
    TypeInto(f.txtReference, QStringLiteral("S/") + surname);
    TypeInto(f.txtSurname, surname);
    TypeInto(f.txtFirstname, first);
    TypeInto(f.txtTitle, QStringLiteral("Mr"));
    TypeInto(f.txtAddress1, QStringLiteral("1 Pit Row"));
    TypeInto(f.txtPostcode, QStringLiteral("NE1 1AA"));
    OpenTab(frmMAIN::kWorkTab);
  }

  // Adds an employment entry by typing into the combos, and saves it.
  void AddJob(const QString& colliery, const QString& start, const QString& end, const QString& job,
              const QString& resp, const QString& pit = {}) {
    Ui::WorkTab& w = form_->Tab1().Form();
    w.cmdWorkAdd->click();
    TypeInto(w.qcboColliery, colliery);
    if (!pit.isEmpty()) TypeInto(w.txtPitname, pit);
    TypeInto(w.meStart, start);
    TypeInto(w.meEnd, end);
    TypeInto(w.qcboJobFactor, job);
    TypeInto(w.qcboRespFactor, resp);
    w.cmdWorkSave->click();
  }

  // A smoking entry of a first and a last year, typed on the smoking tab
  // (which must be open) and saved.
  void AddSmokingPeriod(const QString& category, const QString& start, const QString& end) {
    Ui::SmokeTab& s = form_->Tab2().Form();
    s.cmdSmokeAdd->click();
    TypeInto(s.qcboSmoke, category);
    s.optSmokeYears->click();
    TypeInto(s.meSmokeStart, start);
    TypeInto(s.meSmokeEnd, end);
    s.cmdSmokeSave->click();
  }

  fs::path folder_;
  std::unique_ptr<frmMAIN> form_;
  std::shared_ptr<ScriptedMessageBox> boxes_ = std::make_shared<ScriptedMessageBox>();
  std::shared_ptr<ScriptedFileDialog> dialogs_ = std::make_shared<ScriptedFileDialog>();
  std::shared_ptr<RecordingShell> shell_ = std::make_shared<RecordingShell>();

 private:
  std::shared_ptr<MessageBoxService> old_boxes_;
  std::shared_ptr<FileDialogService> old_dialogs_;
  std::shared_ptr<ShellService> old_shell_;
};

// The main form tests that run on both engines: TEST_P, instantiated with
// BothEngines (the parameter: on the server).
class MainFormEngineTest : public MainFormTest, public ::testing::WithParamInterface<bool> {
 protected:
  bool OnServer() const override { return GetParam(); }
};
inline auto BothEngines() { return ::testing::Bool(); }

// The claimant record bar's caption, and one of its buttons by its tip.
inline QString Caption(frmMAIN& f) { return f.Form().datClaimant->Caption(); }
inline QToolButton* RecordButton(frmMAIN& f, const QString& name) {
  for (QToolButton* b : f.Form().datClaimant->findChildren<QToolButton*>()) {
    if (b->toolTip() == name) return b;
  }
  return nullptr;
}
inline std::string EngineName(const ::testing::TestParamInfo<bool>& info) {
  return info.param ? "Server" : "File";
}

}  // namespace orv::tarnby::test
