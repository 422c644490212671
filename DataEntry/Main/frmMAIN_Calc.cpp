// The main form's calculation, output settings, factor lists and the
// screens opened from its menus.
#include <QApplication>

#include "CalcTab.h"
#include "ClaimantCalc.h"
#include "ClaimantTab.h"
#include "Dates.h"
#include "Dialogs.h"
#include "MessageBox.h"
#include "OrvError.h"
#include "Shell.h"
#include "SmokeTab.h"
#include "WorkTab.h"
#include "frmMAIN.h"

#include "ClaimantProof.h"
#include "modDataEntry.h"

namespace orv::tarnby {

namespace {

std::string Box(const QLineEdit* box) { return box->text().toStdString(); }

}  // namespace

void frmMAIN::LoadFactorCombos() {
  step_ = "Clearing Job Factor List combo";
  if (!ClaimantDatabase->TableExists("USERFACTOR")) {
    no_user_factors_ = true;
    Settings.AllowUserDefine = false;
  }
  step_ = "Setting up Job Factor List object";
  tab1_->FillFactorCombos(no_user_factors_);
  step_ = "Loading user defined factors";
  UpdateUserFactorMenu();
}

void frmMAIN::UpdateUserFactorMenu() {
  ui_.mnuToolsUserFactors->setVisible(Settings.AllowUserDefine && !no_user_factors_);
}

void frmMAIN::ClearOldResults() {
  try {
    if (CurrentClaimantID() == 0) return;
    for (const char* field :
         {"CALCDATE", "ENGINEVERSION", "DUSTDATAVERSION", "RECOVERABLEQUANTUM"}) {
      claimant_.SetFieldValue(field, Value());
    }
    claimant_.Save();
    mapper_.revert();
    proof_->Refresh(CurrentClaimantID(), Settings.Jurisdiction);
  } catch (...) {
    ShowProgramError("An error occurred while clearing the old calculation results", true);
  }
}

void frmMAIN::Calculate() {
  try {
    tab3_->ClearOutput();
    output_claimant_ = CurrentClaimantID();
    refusal_.clear();
    tab1_->LoadGrid();
    tab2_->LoadGrid();
    // Told in the report before the stored result is cleared: whether it was
    // calculated from another history than the one calculated now.
    std::string note;
    if (const int32_t id = CurrentClaimantID(); id != 0) {
      claimcalc::ClaimantSource source(ClaimantDatabase);
      note = claimcalc::HistoryChangedNote(source.Read(id), engine_.model->Jurisdiction());
    }
    ClearOldResults();
    // The collections from the stored histories through the path the
    // command-line calculator takes too, so that both give the same result.
    std::optional<claimcalc::StoredClaimant> calculated;
    if (const int32_t id = CurrentClaimantID(); id != 0) {
      claimcalc::ClaimantSource source(ClaimantDatabase);
      calculated = source.Read(id);
      claimcalc::LoadHistories(*calculated, *engine_.jobs, *engine_.smoking);
    }
    dust::DustModel& model = *engine_.model;
    model.SetCoalJobCollection(engine_.jobs);
    model.SetSmokeHistoryCollection(engine_.smoking);
    Ui::ClaimantTab& f = tab0_->Form();
    model.SetClaimantName(
        JoinWords(Box(f.txtTitle), Box(f.txtFirstname), Box(f.txtMiddleNames), Box(f.txtSurname)));
    model.SetClaimantExtraLabel(claimcalc::kAddressLabel);
    model.SetClaimantExtra(
        JoinNonEmpty(", ", {Box(f.txtAddress1), Box(f.txtAddress2), Box(f.txtAddress3),
                            Box(f.txtAddress4), Box(f.txtCounty), Box(f.txtPostcode)}));
    model.SetSolicitorRef(Box(f.txtReference));
    model.SetZURIRRef(Box(f.txtZURIRREF));
    model.SetHeadingNote(note);
    model.SetPrintDetail(Settings.DustDetail);
    model.SetIncludeExposureChart(Settings.DustChart);
    model.SetOutputOption(Settings.DustOutputOption);
    if (model.OutputOption() == dust::orvHTMLFile) model.SetHTMLFile(Settings.HTMLFile);
    QApplication::setOverrideCursor(Qt::WaitCursor);
    bool ok = false;
    try {
      ok = model.Calculate();
    } catch (...) {
      QApplication::restoreOverrideCursor();
      throw;
    }
    QApplication::restoreOverrideCursor();
    if (ok && CurrentClaimantID() != 0 && !StoreCalculatedResult(*calculated)) {
      // Another user saved a change to his histories while this ran: the
      // report is of the history as it was read, and storing it would give
      // the new history an old figure.
      MsgBox("The claimant's history was changed by another user during the calculation, "
             "so its result was not stored.\n\nCalculate again to work from the history as "
             "it is now.",
             mb::kExclamation, "Result Not Stored");
    }
    if (!ok) {
      // What the engine wrote before it refused is not a result: only the
      // refusal stays on the screen.
      const QString no_result = tr("No result: the calculation was refused and nothing was stored.");
      tab3_->ClearOutput();
      tab3_->AppendLine(no_result);
      if (!refusal_.empty()) tab3_->AppendLine(QString::fromStdString(refusal_));
      // The engine has shown the preview of what it wrote before refusing:
      // emptied and closed, it cannot be read, printed or saved as a result.
      if (model.OutputOption() == dust::orvShowForm) {
        if (const std::shared_ptr<IOutput> output = model.OutputObject()) {
          output->KillDoc();
          output->SetHeader("");
          output->SetFooter("");
          output->UnloadForm();
        }
        tab3_->ShowOutputBox(false, no_result);
      }
      return;
    }
    // A refusal before may have left its note where the output goes.
    ShowWhereOutputGoes(model.OutputOption());
    if (model.OutputOption() == dust::orvHTMLFile) ShowInBrowser(Settings.HTMLFile);
  } catch (...) {
    ShowProgramError("An error occurred while calculating", true);
  }
}

bool frmMAIN::StoreCalculatedResult(const claimcalc::StoredClaimant& calculated) {
  const dust::DustModel& model = *engine_.model;
  claimcalc::ClaimantResult result;
  result.outcome = claimcalc::Outcome::kCalculated;
  result.Jurisdiction = model.Jurisdiction();
  result.RecoverableQuantum = model.RecoverableQuantumPercent();
  result.EngineVersion = model.EngineVersion();
  result.DustDataVersion = model.DustDataVersion();
  // The same store as the command-line calculator's: inside one write
  // transaction it reads the claimant again, and writes nothing when his
  // history or stored result is no longer the one calculated.
  bool stored = false;
  {
    claimcalc::ClaimantSource source(ClaimantDatabase);
    claimcalc::WriteTransaction transaction(*ClaimantDatabase);
    stored = claimcalc::StoreResult(source, calculated, result, std::chrono::system_clock::now());
    transaction.Commit();
  }
  // The form shows the row as it now stands, stored or not.
  if (db::Recordset* rs = claimant_.Recordset(); rs && claimant_.HasRow())
    rs->SetBookmark(rs->GetBookmark());
  claimant_.Refresh();
  mapper_.revert();
  proof_->Refresh(CurrentClaimantID(), model.Jurisdiction());
  return stored;
}

void frmMAIN::ShowWhereOutputGoes(int32_t option) {
  static const char* const kWhere[] = {"", "The report is shown in the print preview.",
                                       "The report is not shown.",
                                       "The report opens in the web browser."};
  tab3_->ShowOutputBox(option == dust::orvRaiseEvent,
                       option >= 0 && option <= 3 ? tr(kWhere[option]) : QString());
}

void frmMAIN::SetOutputOption(int32_t option) {
  Settings.DustOutputOption = option;
  ui_.mnuViewScreen->setChecked(option == dust::orvRaiseEvent);
  ui_.mnuViewPreview->setChecked(option == dust::orvShowForm);
  ui_.mnuViewHTML->setChecked(option == dust::orvHTMLFile);
  ShowWhereOutputGoes(option);
  if (current_tab_ == kCalcTab && !EngineSetupFailed) Calculate();
}

void frmMAIN::SetDetail(bool detail) {
  Settings.DustDetail = detail;
  ui_.mnuViewDetail->setChecked(detail);
}

void frmMAIN::SetChart(bool chart) {
  Settings.DustChart = chart;
  ui_.mnuViewChart->setChecked(chart);
}

void frmMAIN::ShowInBrowser(const std::string& path) {
  // Where the report is, said on the tab as well: with no browser installed
  // the desktop's opener fails after it has started, out of our sight.
  tab3_->ShowOutputBox(false, tr("The report opens in the web browser. It was written to %1")
                                  .arg(QString::fromStdString(path)));
  try {
    // Told in a box only when the opener says it could not open the file:
    // it ends on its own, later, so its word comes back to this thread.
    ShellOpen(path, [path](const std::string& why) {
      QCoreApplication* app = QCoreApplication::instance();
      if (!app) return;
      QMetaObject::invokeMethod(
          app,
          [path, why] {
            MsgBox("The report could not be opened in a web browser: " + why +
                       ".\nIt was written to " + path,
                   mb::kInformation | mb::kOkOnly, kApplicationTitle);
          },
          Qt::QueuedConnection);
    });
  } catch (...) {
    ShowProgramError("Failed to show results in internet browser\nThe report was written to " +
                         path,
                     true);
  }
}

void frmMAIN::ShowOptions() {
  try {
    tarnby::ShowOptionsModal(this, [this] {
      ShowHelpTopic(tarnby::help::kContext, tarnby::help::kTopicOptions,
                    "An error occurred while displaying the help file contents");
    });
    AfterOptionsClosed();
  } catch (...) {
    ShowProgramError("An error occurred while displaying the options screen", true);
  }
}

void frmMAIN::AfterOptionsClosed() {
  if (engine_.model) engine_.model->SetJurisdiction(Settings.Jurisdiction);
  if (SettingsChanged &&
      MsgBox("You must exit and restart the program for changes to take effect, exit now ?",
             mb::kQuestion | mb::kYesNo, "Tarnby Options Change") == mb::kYes &&
      IsSafeToExit()) {
    close();
  }
}

void frmMAIN::ShowFactorScreen() {
  try {
    tarnby::ShowFactorOverride(this, ClaimantDatabase);
    LoadFactorCombos();
  } catch (...) {
    ShowProgramError("An error occurred while displaying the user defined factors screen", true);
  }
}

void frmMAIN::ShowAbout() {
  try {
    tarnby::AboutInfo info;
    if (engine_.model) {
      info.EngineVersion = engine_.model->EngineVersion();
      info.DustDatabaseVersion = engine_.model->DustDataVersion();
    }
    tarnby::ShowAbout(this, info);
  } catch (...) {
    ShowProgramError("An error occurred while showing the About screen", true);
  }
}

void frmMAIN::ShowHelpTopic(int32_t command, int32_t topic, const char* failure) {
  try {
    if (!help_)
      throw OrvError(err::kInvalidCall, "cHelpDlg:ShowHelp", "Help has not been initialised.");
    help_->ShowHelp(command, topic);
  } catch (...) {
    ShowProgramError(failure, true);
  }
}

}  // namespace orv::tarnby
