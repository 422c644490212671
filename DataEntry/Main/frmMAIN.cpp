#include "frmMAIN.h"

#include <QActionGroup>
#include <QCloseEvent>
#include <QDateTime>
#include <QLocale>
#include <QScreen>
#include <QShortcut>
#include <QTabBar>
#include <QToolButton>

#include "CalcTab.h"
#include "ClaimantProof.h"
#include "ClaimantTab.h"
#include "CompareDialog.h"
#include "Dialogs.h"
#include "MessageBox.h"
#include "OrvError.h"
#include "QuickCombo.h"
#include "SmokeTab.h"
#include "WorkTab.h"
#include "modDataEntry.h"

namespace orv::tarnby {

namespace {

// The help line of each tab.
const char* const kHelpLines[] = {
    "Enter the basic details about the claimant - while this is not needed for the dust "
    "model calculation it identifies the claimant.",
    "Click Add to add a new employment history entry, Edit to edit the highlighted entry or "
    "Delete to delete the highlighted entry. For each entry choose the appropriate colliery, job "
    "type and respirator factor and enter the start and end years of employment.",
    "Click Add to add a new smoking history entry, Edit to edit the highlighted entry or Delete "
    "to delete the highlighted entry. For each entry choose the appropriate level of smoking and "
    "either enter the start and end years or the total number of years.",
    "Use the View menu to choose where you want the output to go and whether or not detailed "
    "output is required. Click Do Calculation to calculate or use Tools/Options to set up "
    "autocalculate.",
};
const int kHelpTopics[] = {tarnby::help::kTopicClaimantTab, tarnby::help::kTopicEmploymentTab,
                           tarnby::help::kTopicSmokingTab, tarnby::help::kTopicResultsTab};

// Where the grids' column widths are kept beside the window's position.
constexpr const char* kWorkColumnsKey = "WorkColumns";
constexpr const char* kSmokeColumnsKey = "SmokeColumns";

constexpr const char* kRepositionError =
    "An error occurred while the claimant recordset repositioned itself";

// How the engine's output line that refuses a calculation begins.
constexpr std::string_view kRefusalPrefix = "ERROR: ";

// The next claimant, else the last one; none when the set is now empty.
void MoveNextOrLast(db::Recordset& rs) {
  try {
    rs.MoveNext();
    if (rs.IsEOF()) rs.MoveLast();
  } catch (const OrvError& e) {
    if (e.Number() != db::dberr::kNoCurrentRecord) throw;
  }
}

// The box of a claimant record the database refused; a lost connection
// says so plainly. What was typed stays in the boxes either way.
void ShowDataError(const char* lost) {
  const OrvError e = CurrentError();
  if (IsConnectionLost(e)) {
    ShowConnectionLost(lost, e);
    return;
  }
  MsgBox("Data error event hit err:" + e.Description(), mb::kCritical, kApplicationTitle);
}

constexpr const char* kClaimantNotSaved = "The claimant's details were not saved.";

}  // namespace

frmMAIN::frmMAIN(QWidget* parent)
    : QMainWindow(parent), claimant_(this), mapper_(this), form_size_(kAppTitle) {
  ui_.setupUi(this);
  setAttribute(Qt::WA_DeleteOnClose, false);
  tab0_ = new ClaimantTab(ui_.sstabCoal);
  proof_ = new ClaimantProof(tab0_->Form(), this);
  tab1_ = new WorkTab(*this, ui_.sstabCoal);
  tab2_ = new SmokeTab(*this, ui_.sstabCoal);
  tab3_ = new CalcTab(ui_.sstabCoal);
  ui_.sstabCoal->addTab(tab0_, tr("Claimant/Case Details"));
  ui_.sstabCoal->addTab(tab1_, tr("Employment History"));
  ui_.sstabCoal->addTab(tab2_, tr("Smoking History"));
  ui_.sstabCoal->addTab(tab3_, tr("Calculation"));
  tab0_->setObjectName(QStringLiteral("fraTab0"));
  tab1_->setObjectName(QStringLiteral("fraTab1"));
  tab2_->setObjectName(QStringLiteral("fraTab2"));
  tab3_->setObjectName(QStringLiteral("fraTab3"));

  mapper_.setModel(&claimant_);
  mapper_.setSubmitPolicy(QDataWidgetMapper::ManualSubmit);

  connect(ui_.sstabCoal, &QTabWidget::currentChanged, this, [this](int tab) {
    if (changing_tab_) return;
    ChangeTab(tab, current_tab_);
  });
  connect(ui_.datClaimant, &RecordControl::MoveRequested, this, &frmMAIN::MoveClaimant);
  // A failure met while the boxes were filled is reported once the filling
  // is over.
  connect(
      &claimant_, &RecordModel::ReadFailed, this,
      [this] {
        if (const std::optional<OrvError> e = claimant_.TakeFailure()) {
          ShowProgramError(kRepositionError, *e);
        }
        // Boxes that could not be read are not for typing into.
        if (claimant_.Unread()) tab0_->Form().fraClaimant->setEnabled(false);
      },
      Qt::QueuedConnection);
  connect(ui_.cmdSearch, &QPushButton::clicked, this, &frmMAIN::Search);
  connect(ui_.cmdAdd, &QPushButton::clicked, this, &frmMAIN::AddClaimant);
  connect(ui_.cmdDelete, &QPushButton::clicked, this, &frmMAIN::DeleteClaimant);
  connect(ui_.cmdRefresh, &QPushButton::clicked, this, &frmMAIN::RefreshClaimants);
  connect(tab3_->Form().cmdCalc, &QPushButton::clicked, this, &frmMAIN::Calculate);
  connect(tab3_->Form().cmdCompare, &QPushButton::clicked, this,
          [this] { ShowCompareDialog(this, CurrentClaimantID()); });
  ConnectMenus();
  // Tab goes from the tab bar into the open tab's own controls, and only
  // then to the record bar and the claimant buttons (the tabs are made after
  // them, so by default their controls came last).
  QWidget* last_in_tabs = ui_.sstabCoal;
  for (QWidget* w = ui_.sstabCoal->nextInFocusChain(); w != ui_.sstabCoal;
       w = w->nextInFocusChain()) {
    if (ui_.sstabCoal->isAncestorOf(w) && (w->focusPolicy() & Qt::TabFocus)) last_in_tabs = w;
  }
  QList<QWidget*> bar;
  for (QToolButton* b : ui_.datClaimant->findChildren<QToolButton*>()) bar << b;
  bar << ui_.cmdSearch << ui_.cmdAdd << ui_.cmdDelete << ui_.cmdRefresh;
  for (QWidget* w : bar) {
    setTabOrder(last_in_tabs, w);
    last_in_tabs = w;
  }
  // The focus goes to a combo's inner box: it carries the combo's name for
  // screen readers.
  for (QuickCombo* combo : findChildren<QuickCombo*>()) {
    combo->Combo()->setAccessibleName(combo->accessibleName());
  }
}

frmMAIN::~frmMAIN() = default;

void frmMAIN::ConnectMenus() {
  // The output choices exclude each other and show as radio items.
  auto* output = new QActionGroup(this);
  output->setExclusive(true);
  for (QAction* choice : {ui_.mnuViewScreen, ui_.mnuViewPreview, ui_.mnuViewHTML}) {
    choice->setCheckable(true);
    output->addAction(choice);
  }
  connect(ui_.mnuFileAbout, &QAction::triggered, this, &frmMAIN::ShowAbout);
  connect(ui_.mnuFileExit, &QAction::triggered, this, &QWidget::close);
  connect(ui_.mnuViewScreen, &QAction::triggered, this, [this] { SetOutputOption(0); });
  connect(ui_.mnuViewPreview, &QAction::triggered, this, [this] { SetOutputOption(1); });
  connect(ui_.mnuViewHTML, &QAction::triggered, this, [this] { SetOutputOption(3); });
  connect(ui_.mnuViewDetail, &QAction::triggered, this,
          [this] { SetDetail(!Settings.DustDetail); });
  connect(ui_.mnuViewChart, &QAction::triggered, this,
          [this] { SetChart(!Settings.DustChart); });
  connect(ui_.mnuToolsOptions, &QAction::triggered, this, &frmMAIN::ShowOptions);
  connect(ui_.mnuToolsUserFactors, &QAction::triggered, this, &frmMAIN::ShowFactorScreen);
  connect(ui_.mnuHelpContents, &QAction::triggered, this, [this] {
    ShowHelpTopic(tarnby::help::kContents, tarnby::help::kTopicContents,
                  "An error occurred while displaying the help file contents");
  });
  connect(ui_.mnuHelpSupport, &QAction::triggered, this, [this] {
    ShowHelpTopic(tarnby::help::kContext, tarnby::help::kTopicSupport,
                  "An error occurred while displaying the help file support page");
  });
  // The claimant's Delete has a key of its own: Alt+D is Do Calculation.
  auto* delete_claimant = new QShortcut(QKeySequence(Qt::CTRL | Qt::Key_Delete), this);
  connect(delete_claimant, &QShortcut::activated, this, [this] {
    if (ui_.cmdDelete->isEnabled()) DeleteClaimant();
  });
  // The tabs by keyboard, forward and back, as in other tabbed programs.
  const std::pair<QKeySequence, int> tab_keys[] = {
      {QKeySequence(Qt::CTRL | Qt::Key_Tab), 1},
      {QKeySequence(Qt::CTRL | Qt::SHIFT | Qt::Key_Backtab), -1},
      {QKeySequence(Qt::CTRL | Qt::SHIFT | Qt::Key_Tab), -1},
      {QKeySequence(Qt::CTRL | Qt::Key_PageDown), 1},
      {QKeySequence(Qt::CTRL | Qt::Key_PageUp), -1},
  };
  for (const auto& [keys, step] : tab_keys) {
    auto* shortcut = new QShortcut(keys, this);
    connect(shortcut, &QShortcut::activated, this, [this, step = step] { StepTab(step); });
  }
  auto* f1 = new QShortcut(QKeySequence::HelpContents, this);
  connect(f1, &QShortcut::activated, this, [this] {
    ShowHelpTopic(tarnby::help::kContext, help_topic_,
                  "An error occurred while displaying the help file contents");
  });
}

void frmMAIN::Load() {
  EngineSetupFailed = true;
  try {
    engine_.Create(Settings.DustDatabase, Settings.Jurisdiction, step_);
    engine_.model->SetOutputLineHandler([this](const std::string& line) {
      try {
        // The engine's refusal ends its output with this line.
        if (line.rfind(kRefusalPrefix, 0) == 0) refusal_ = line.substr(kRefusalPrefix.size());
        tab3_->AppendLine(QString::fromStdString(line));
      } catch (...) {
        ShowProgramError("An error occurred while adding output from calculation engine", true);
      }
    });
    step_ = "Setting up claimant data recordset";
    BindClaimantFields();
    SetupClaimantRecords();
    step_ = "Setting up work and smoking grids";
    tab1_->SetColWidths();
    tab2_->SetColWidths();
    step_ = "Setting up Colliery List object";
    tab1_->FillCollieries();
    step_ = "Setting initial job record";
    tab1_->LoadEntry(0);
    step_ = "Loading factor combos";
    LoadFactorCombos();
    step_ = "Setting up Smoking Category List object";
    tab2_->FillCategories();
    step_ = "Setting initial smoking record";
    tab2_->LoadEntry(0);
    step_ = "Setting tabs to zero";
    changing_tab_ = true;
    ui_.sstabCoal->setCurrentIndex(kClaimantTab);
    changing_tab_ = false;
    step_ = "Calling tab click 0 routine";
    ChangeTab(kClaimantTab, kClaimantTab);
    step_ = "Sizing screen";
    form_size_.SetMinimumSizeInPixels(760, 520);
    {
      // The first start opens centred, not in a corner where a window
      // manager may put the title bar off the screen.
      int32_t left = 0, top = 0, width = 900, height = 640;
      form_size_.SetDefaultSizeInPixels(left, top, width, height, true);
    }
    form_size_.SetForm(this, "frmMAIN");
    centre_frame_ = form_size_.GetBaggage("Left").empty();
    tab1_->RestoreColumnWidths(form_size_.GetBaggage(kWorkColumnsKey));
    tab2_->RestoreColumnWidths(form_size_.GetBaggage(kSmokeColumnsKey));
    UpdateUserFactorMenu();
    ui_.mnuViewDetail->setChecked(Settings.DustDetail);
    ui_.mnuViewChart->setChecked(Settings.DustChart);
    SetOutputOption(Settings.DustOutputOption);
    EngineSetupFailed = false;
  } catch (...) {
    ShowProgramError("An error occurred while: \n" + step_, true);
  }
}

void frmMAIN::BindClaimantFields() {
  claimant_.SetRecordset(rsClaimant.get());
  claimant_.SetFormat("CALCDATE", [](const Value& v) {
    const QString stored = QString::fromStdString(v.TextOrEmpty());
    QDateTime when = QDateTime::fromString(QString(stored).replace(QLatin1Char(' '), 'T'),
                                           Qt::ISODate);
    return when.isValid() ? QLocale().toString(when, QLocale::ShortFormat) : stored;
  });
  // With the report's two decimals.
  claimant_.SetFormat("RECOVERABLEQUANTUM", [](const Value& v) {
    bool ok = false;
    const double figure = QString::fromStdString(v.TextOrEmpty()).toDouble(&ok);
    return ok ? QString::number(figure, 'f', 2) : QString::fromStdString(v.TextOrEmpty());
  });
  Ui::ClaimantTab& f = tab0_->Form();
  const std::pair<QWidget*, const char*> fields[] = {
      {f.txtReference, "REF"},
      {f.txtID, "ID"},
      {f.txtZURIRREF, "ZURIRREF"},
      {f.txtSurname, "SURNAME"},
      {f.txtFirstname, "FIRSTNAME"},
      {f.txtMiddleNames, "MIDDLENAMES"},
      {f.txtTitle, "TITLE"},
      {f.txtAddress1, "ADD1"},
      {f.txtAddress2, "ADD2"},
      {f.txtAddress3, "ADD3"},
      {f.txtAddress4, "ADD4"},
      {f.txtCounty, "COUNTY"},
      {f.txtPostcode, "POSTCODE"},
      {f.txtAddressee, "ADDRESSEE"},
      {f.txtSalutation, "SALUTATION"},
      {f.txtCalcDate, "CALCDATE"},
      {f.txtEngineVersion, "ENGINEVERSION"},
      {f.txtDustDataversion, "DUSTDATAVERSION"},
      {f.txtQuantumPercent, "RECOVERABLEQUANTUM"},
  };
  mapper_.clearMapping();
  for (const auto& [box, field] : fields) {
    const int column = claimant_.Column(field);
    if (column >= 0) mapper_.addMapping(box, column);
    // The first change the user types puts the record in edit, so that a
    // change another user saves meanwhile is refused, not overwritten.
    auto* edit = qobject_cast<QLineEdit*>(box);
    if (edit && !edit->isReadOnly()) {
      connect(edit, &QLineEdit::textEdited, this, [this] {
        try {
          if (claimant_.HasRow() && !claimant_.Adding()) claimant_.BeginEdit();
        } catch (...) {
          ShowDataError("Your change to the claimant could not be started.");
        }
      });
    }
  }
  mapper_.setCurrentIndex(0);
}

// --- claimants ------------------------------------------------------------------

void frmMAIN::SetupClaimantRecords() {
  claimant_filtered_ = !(SearchName.empty() && SearchRef.empty() && SearchZurir.empty());
  claimant_.Refresh();
  claimant_count_ = -1;
  Reposition();
}

void frmMAIN::Reposition() {
  if (repositioning_) return;
  repositioning_ = true;
  QWidget* frame = tab0_->Form().fraClaimant;
  try {
    db::Recordset& rs = *rsClaimant;
    if (!claimant_.Adding() && NoClaimants()) {
      frame->setEnabled(false);
      ui_.datClaimant->SetCaption(claimant_filtered_ ? tr("No Records - Click Add or Clear Search")
                                                     : tr("No Records - Click Add"));
      ui_.datClaimant->SetEnds(true, true);
      claimant_count_ = 0;
    } else {
      if (claimant_count_ == -1 && !claimant_.Adding() && claimant_.HasRow()) {
        const db::Recordset::Bookmark here = rs.GetBookmark();
        rs.MoveLast();
        claimant_count_ = rs.RecordCount();
        rs.SetBookmark(here);
      }
      frame->setEnabled(true);
      QString caption = claimant_filtered_ ? tr("Filtered record: ") : tr("Record: ");
      if (claimant_.Adding()) {
        caption += tr("new");
        ui_.datClaimant->SetEnds(false, false);
      } else {
        const int32_t position = rs.AbsolutePosition() + 1;
        caption += QString::number(position) + tr(" of ");
        caption += claimant_count_ < 0 ? QStringLiteral("...") : QString::number(claimant_count_);
        ui_.datClaimant->SetEnds(position <= 1, claimant_count_ >= 0 && position >= claimant_count_);
      }
      ui_.datClaimant->SetCaption(caption);
    }
    mapper_.revert();
    const int32_t shown = claimant_.Adding() ? 0 : CurrentClaimantID();
    proof_->Refresh(shown, Settings.Jurisdiction);
    // Another claimant's report is not left on the calculation tab, where it
    // would read as this one's.
    if (shown != output_claimant_) {
      tab3_->ClearOutput();
      output_claimant_ = 0;
    }
  } catch (...) {
    repositioning_ = false;
    ShowProgramError(kRepositionError, true);
    return;
  }
  repositioning_ = false;
}

void frmMAIN::SaveClaimant() {
  mapper_.submit();
  claimant_.ThrowIfFailed();
  if (!claimant_.Dirty()) return;
  const bool added = claimant_.Adding();
  claimant_.Save();
  if (added && claimant_count_ >= 0) ++claimant_count_;
  mapper_.revert();
}

void frmMAIN::MoveClaimant(RecordControl::Move move) {
  try {
    SaveClaimant();
  } catch (...) {
    ShowDataError(kClaimantNotSaved);
    return;
  }
  try {
    db::Recordset& rs = *rsClaimant;
    if (rs.IsEOF() && rs.IsBOF()) return;
    switch (move) {
      case RecordControl::Move::kFirst:
        rs.MoveFirst();
        break;
      case RecordControl::Move::kPrevious:
        rs.MovePrevious();
        if (rs.IsBOF()) rs.MoveFirst();
        break;
      case RecordControl::Move::kNext:
        MoveNextOrLast(rs);
        break;
      case RecordControl::Move::kLast:
        rs.MoveLast();
        break;
    }
    claimant_.Refresh();
  } catch (...) {
    // A move the database refused (a lock that outlasted the wait, a file
    // found damaged) leaves the set where it was: the boxes show that row.
    ShowProgramError(kRepositionError, true);
    // The boxes are read again for the row the set is on now; the same
    // cause is not reported twice.
    Reposition();
    (void)claimant_.TakeFailure();
    if (claimant_.Unread()) tab0_->Form().fraClaimant->setEnabled(false);
    return;
  }
  Reposition();
  // A history tab shows the new claimant's history at once.
  if (current_tab_ != kClaimantTab) ChangeTab(current_tab_, current_tab_);
}

void frmMAIN::Search() {
  try {
    SaveClaimant();
    if (!tarnby::ShowSearch(this)) return;
    ApplySearch();
  } catch (...) {
    ShowProgramError("An error occurred in the search routine", true);
  }
}

void frmMAIN::ApplySearch() {
  try {
    auto pattern = [](const std::string& text) { return text.empty() ? std::string("*") : text; };
    qdclaimant->SetParameter("WHATNAME", Value(pattern(SearchName)));
    qdclaimant->SetParameter("WHATREF", Value(pattern(SearchRef)));
    qdclaimant->SetParameter("WHATZURIR", Value(pattern(SearchZurir)));
    const int32_t was = CurrentClaimantID();
    rsClaimant->Requery(qdclaimant.get());
    // A cleared search stays on the claimant the operator was looking at;
    // a new search starts at its first match.
    if (SearchName.empty() && SearchRef.empty() && SearchZurir.empty() && was != 0) {
      MoveToClaimant(was);
    }
    SetupClaimantRecords();
    ChangeTab(current_tab_, current_tab_);
  } catch (...) {
    ShowProgramError("An error occurred in the search routine", true);
  }
}

void frmMAIN::MoveToClaimant(int32_t id) {
  db::Recordset& rs = *rsClaimant;
  if (rs.IsEOF() && rs.IsBOF()) return;
  if (!rs.FindFirst("ID", id)) rs.MoveFirst();
}

void frmMAIN::AddClaimant() {
  try {
    SaveClaimant();
    claimant_.BeginAdd();
    mapper_.revert();
    tab0_->Form().fraClaimant->setEnabled(true);
    Reposition();
    if (current_tab_ != kClaimantTab) ui_.sstabCoal->setCurrentIndex(kClaimantTab);
    tab0_->Form().txtReference->setFocus(Qt::OtherFocusReason);
  } catch (...) {
    ShowProgramError("Error adding new claimant record", true);
  }
}

void frmMAIN::DeleteClaimant() {
  try {
    const std::string name = JoinWords(claimant_.FieldValue("FIRSTNAME").TextOrEmpty(),
                                       claimant_.FieldValue("SURNAME").TextOrEmpty());
    const std::string who = name.empty() ? "this claimant" : "claimant " + name;
    if (MsgBox("Are you sure you want to delete this record\n\nDelete " + who +
                   " and his histories?",
               mb::kQuestion | mb::kYesNo | kSecondButtonDefault, "Delete Entry") != mb::kYes) {
      return;
    }
    const bool was_adding = claimant_.Adding();
    claimant_.Cancel();
    db::Recordset& rs = *rsClaimant;
    if (!was_adding && claimant_.HasRow()) {
      // The claimant's histories go with him, in the same transaction.
      const Value id = claimant_.FieldValue("ID");
      ClaimantDatabase->BeginTrans();
      try {
        ClaimantDatabase->Execute("DELETE FROM WORKHISTORY WHERE CLAIMANTID=?", {id});
        ClaimantDatabase->Execute("DELETE FROM SMOKEHISTORY WHERE CLAIMANTID=?", {id});
        rs.Delete();
        ClaimantDatabase->CommitTrans();
      } catch (...) {
        ClaimantDatabase->Rollback();
        throw;
      }
      if (claimant_count_ > 0) --claimant_count_;
      MoveNextOrLast(rs);
    }
    claimant_.Refresh();
    Reposition();
    ChangeTab(current_tab_, current_tab_);
  } catch (...) {
    ShowProgramError("An error has occurred while deleting the record", true);
  }
}

void frmMAIN::RefreshClaimants() {
  try {
    claimant_.Cancel();
    rsClaimant->Requery(qdclaimant.get());
    claimant_.Refresh();
    claimant_count_ = -1;
    Reposition();
    ChangeTab(current_tab_, current_tab_);
  } catch (...) {
    ShowProgramError("An error has occurred while trying to refresh the record", true);
  }
}

bool frmMAIN::NoClaimants() const {
  const db::Recordset& rs = *rsClaimant;
  // After the last row is deleted the set has no current row at all.
  return (rs.IsEOF() && rs.IsBOF()) || rs.AbsolutePosition() < 0;
}

int32_t frmMAIN::CurrentClaimantID() {
  if (claimant_.Adding() || !claimant_.HasRow()) return 0;
  const Value id = claimant_.FieldValue("ID");
  return id.IsNull() ? 0 : id.AsInt32();
}

void frmMAIN::SetTabsEnabled(bool enabled) {
  ui_.sstabCoal->tabBar()->setEnabled(enabled);
  // Moving to another claimant mid-entry would leave the entry behind.
  ui_.datClaimant->setEnabled(enabled);
  ui_.cmdSearch->setEnabled(enabled);
  ui_.cmdAdd->setEnabled(enabled);
  ui_.cmdDelete->setEnabled(enabled);
  ui_.cmdRefresh->setEnabled(enabled);
}

// --- tabs -----------------------------------------------------------------------

QWidget* frmMAIN::TabFrame(int tab) const {
  switch (tab) {
    case kClaimantTab:
      return tab0_;
    case kWorkTab:
      return tab1_;
    case kSmokeTab:
      return tab2_;
    default:
      return tab3_;
  }
}

void frmMAIN::StepTab(int step) {
  // While an entry is edited the tabs stay where they are.
  if (!ui_.sstabCoal->tabBar()->isEnabled()) return;
  const int count = ui_.sstabCoal->count();
  ui_.sstabCoal->setCurrentIndex((ui_.sstabCoal->currentIndex() + step + count) % count);
}

QString frmMAIN::HelpLine() const { return ui_.lblHelp->text(); }

void frmMAIN::ChangeTab(int new_tab, int previous_tab) {
  try {
    current_tab_ = new_tab;
    for (int t = 0; t < 4; ++t) TabFrame(t)->setEnabled(false);
    db::Recordset& rs = *rsClaimant;
    if (!NoClaimants()) {
      TabFrame(new_tab)->setEnabled(true);
      if (new_tab != kClaimantTab) {
        mapper_.submit();
        if (claimant_.Dirty()) {
          SaveClaimant();
          Reposition();
        }
      }
    } else if (claimant_.Adding()) {
      SaveClaimant();
      rs.MoveLast();
      claimant_.Refresh();
      claimant_count_ = -1;
      Reposition();
      TabFrame(new_tab)->setEnabled(true);
    } else {
      if (new_tab != kClaimantTab) {
        // Without claimants only the details tab can be opened.
        ui_.sstabCoal->setCurrentIndex(kClaimantTab);
        return;
      }
      TabFrame(kClaimantTab)->setEnabled(true);
      tab0_->Form().fraClaimant->setEnabled(false);
    }
    if (ui_.sstabCoal->currentIndex() != new_tab) {
      changing_tab_ = true;
      ui_.sstabCoal->setCurrentIndex(new_tab);
      changing_tab_ = false;
    }
    help_topic_ = kHelpTopics[new_tab];
    ui_.lblHelp->setText(tr(kHelpLines[new_tab]));
    switch (new_tab) {
      case kWorkTab:
        tab1_->LoadGrid();
        break;
      case kSmokeTab:
        tab2_->LoadGrid();
        break;
      case kCalcTab:
        if (previous_tab != kCalcTab) tab3_->ClearOutput();
        if (Settings.DustAutoCalc) Calculate();
        break;
      default:
        break;
    }
  } catch (...) {
    ShowProgramError("An error occurred while changing tabs", true);
  }
}

void frmMAIN::resizeEvent(QResizeEvent* event) {
  QMainWindow::resizeEvent(event);
  form_size_.AdjustToMinimum();
}

bool frmMAIN::event(QEvent* event) {
  // The frame is there by the first paint or activation of the window.
  if (centre_frame_ && (event->type() == QEvent::Paint || event->type() == QEvent::WindowActivate ||
                        event->type() == QEvent::Move))
    CentreFrame();
  return QMainWindow::event(event);
}

void frmMAIN::CentreFrame() {
  if (!centre_frame_ || !isVisible() || !screen()) return;
  const QRect frame = frameGeometry();
  if (frame == geometry()) return;  // no frame yet
  centre_frame_ = false;
  QRect centred = frame;
  centred.moveCenter(screen()->availableGeometry().center());
  if (centred.topLeft() != frame.topLeft()) move(centred.topLeft());
}

// --- leaving ----------------------------------------------------------------------

bool frmMAIN::IsSafeToExit() {
  if (tab1_->Editing() || tab2_->Editing()) {
    MsgBox("Please save or cancel edit before leaving", mb::kOkOnly, "Save work");
    return false;
  }
  return true;
}

void frmMAIN::closeEvent(QCloseEvent* event) {
  if (!IsSafeToExit()) {
    event->ignore();
    return;
  }
  try {
    SaveClaimant();
  } catch (...) {
    ShowDataError(kClaimantNotSaved);
  }
  if (!unloaded_) {
    unloaded_ = true;
    (void)SaveSettings();
    try {
      form_size_.SavePosition();
      form_size_.SaveBaggage(kWorkColumnsKey, tab1_->ColumnWidths());
      form_size_.SaveBaggage(kSmokeColumnsKey, tab2_->ColumnWidths());
    } catch (...) {
      // The position is a convenience; leaving goes on.
    }
    QApplication::restoreOverrideCursor();
  }
  event->accept();
  emit Unloaded();
}

}  // namespace orv::tarnby
