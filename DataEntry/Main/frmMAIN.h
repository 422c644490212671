// The main form "Tarnby Dust Exposure Model Data Entry": the claimant
// record control and buttons, the four tabs (claimant details, employment
// history, smoking history, calculation), the help line and the menus.
// It owns the calculation engine's objects for the whole run.
#pragma once

#include <QDataWidgetMapper>
#include <QMainWindow>
#include <cstdint>
#include <memory>
#include <string>

#include "EngineObjects.h"
#include "FormHost.h"
#include "FormSize.h"
#include "RecordControl.h"
#include "RecordModel.h"
#include "ui_frmMAIN.h"

namespace orv::tarnby {
class cHelpDlg;
}

namespace orv::tarnby {

class CalcTab;
class ClaimantTab;
class ClaimantProof;
class SmokeTab;
class WorkTab;

class frmMAIN : public QMainWindow, public FormHost {
  Q_OBJECT

 public:
  enum Tab { kClaimantTab = 0, kWorkTab = 1, kSmokeTab = 2, kCalcTab = 3 };

  explicit frmMAIN(QWidget* parent = nullptr);
  ~frmMAIN() override;

  // The form's load: creates the engine, binds the claimant records, fills
  // the lists and opens tab 0. EngineSetupFailed is cleared only at its very
  // end; a failure is reported and leaves it set.
  void Load();
  // The help object the menus and tabs use (owned by the caller).
  void SetHelp(tarnby::cHelpDlg* help) { help_ = help; }

  // False, after telling the user, while a history entry is being added or
  // edited.
  bool IsSafeToExit();

  // --- claimants ------------------------------------------------------------
  void SetupClaimantRecords();
  // Brings the caption, the frame and the boxes in line with the current
  // claimant.
  void Reposition();
  void Search();
  // Filters the claimants by the three search texts ("*" for an empty one).
  void ApplySearch();
  void AddClaimant();
  void DeleteClaimant();
  void RefreshClaimants();
  // Saves the claimant's unsaved changes (a new claimant included) and
  // makes the saved record current. Database failures are raised.
  void SaveClaimant();
  // True when the claimant recordset has no row to show.
  bool NoClaimants() const;
  bool ClaimantFiltered() const { return claimant_filtered_; }
  int32_t ClaimantCount() const { return claimant_count_; }
  RecordModel& ClaimantRecord() { return claimant_; }

  // --- tabs -----------------------------------------------------------------
  void ChangeTab(int new_tab, int previous_tab);
  // The next (1) or previous (-1) tab, wrapping round.
  void StepTab(int step);
  int HelpTopic() const { return help_topic_; }
  QString HelpLine() const;

  // --- lists ----------------------------------------------------------------
  void LoadFactorCombos();

  // --- calculation ----------------------------------------------------------
  void Calculate();
  void SetOutputOption(int32_t option);
  void SetDetail(bool detail);
  // View menu "Include exposure chart": remembered with the other output choices.
  void SetChart(bool chart);
  void ShowInBrowser(const std::string& path);
  // Says on the Calculation tab where the report goes, showing the output
  // box only when the report is written there.
  void ShowWhereOutputGoes(int32_t option);

  // After the options screen: the jurisdiction at once, and the restart
  // question when a path that needs one was changed.
  void AfterOptionsClosed();

  // --- FormHost -------------------------------------------------------------
  int32_t CurrentClaimantID() override;
  void ClearOldResults() override;
  void SetTabsEnabled(bool enabled) override;
  EngineObjects& Engine() override { return engine_; }
  bool NoUserFactors() const override { return no_user_factors_; }

  Ui::frmMAIN& Form() { return ui_; }
  ClaimantTab& Tab0() { return *tab0_; }
  WorkTab& Tab1() { return *tab1_; }
  SmokeTab& Tab2() { return *tab2_; }
  CalcTab& Tab3() { return *tab3_; }
  ClaimantProof& Proof() { return *proof_; }
  // The step of the load in progress (or the last one).
  const std::string& Step() const { return step_; }

 signals:
  // The user asked for the program to end and it is safe to do so.
  void Unloaded();

 protected:
  void closeEvent(QCloseEvent* event) override;
  void resizeEvent(QResizeEvent* event) override;
  bool event(QEvent* event) override;

 private:
  // On a first start the window is centred again, frame and all, once the
  // window manager has put its frame round it (its size is not known before).
  // Declared before every member that is a child object: making a child
  // sends the window an event, which reads this.
  bool centre_frame_ = false;

  void ConnectMenus();
  void BindClaimantFields();
  void MoveClaimant(RecordControl::Move move);
  // Makes the claimant of that ID current, else the first one.
  void MoveToClaimant(int32_t id);
  void ShowOptions();
  void ShowFactorScreen();
  void ShowAbout();
  void ShowHelpTopic(int32_t command, int32_t topic, const char* failure);
  void UpdateUserFactorMenu();
  QWidget* TabFrame(int tab) const;

  Ui::frmMAIN ui_;
  ClaimantTab* tab0_;
  ClaimantProof* proof_ = nullptr;  // the stored result's state, the change history
  WorkTab* tab1_;
  SmokeTab* tab2_;
  CalcTab* tab3_;
  RecordModel claimant_;
  QDataWidgetMapper mapper_;
  EngineObjects engine_;
  FormSize form_size_;
  // The claimant whose report the calculation tab shows (0: none).
  int32_t output_claimant_ = 0;
  void CentreFrame();
  tarnby::cHelpDlg* help_ = nullptr;
  std::string step_;
  // Why the engine refused the calculation in progress; empty when it did not.
  std::string refusal_;

  bool claimant_filtered_ = false;
  int32_t claimant_count_ = -1;
  bool no_user_factors_ = false;
  bool repositioning_ = false;
  bool changing_tab_ = false;
  bool unloaded_ = false;
  int current_tab_ = 0;
  int help_topic_ = 0;
};

}  // namespace orv::tarnby
