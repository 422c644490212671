#include "frmFactorOverride.h"

#include <algorithm>

#include "Dialogs.h"
#include "MessageBox.h"
#include "Numbers.h"
#include "OrvError.h"
#include "Text.h"
#include "UserFactorFields.h"
#include "modDataEntry.h"

namespace orv::tarnby {

namespace {

constexpr const char* kStartOf = "Start of";
constexpr const char* kEndOf = "End of";
constexpr const char* kMid = "Mid";

QString Q(const std::string& s) { return QString::fromStdString(s); }
std::string S(const QString& s) { return s.toStdString(); }

// A stored number as the screen shows it: the number's standard text, "" for null.
std::string NumberText(const orv::Value& v) {
  return v.IsNull() ? std::string() : orv::FloatToText(v.AsSingle());
}

}  // namespace

frmFactorOverride::frmFactorOverride(orv::db::DatabasePtr db, QWidget* parent)
    : QDialog(parent), db_(std::move(db)), form_size_(orv::tarnby::kAppTitle) {
  ui_.setupUi(this);
  connect(ui_.cmdNew, &QPushButton::clicked, this, &frmFactorOverride::NewFactor);
  connect(ui_.cmdEdit, &QPushButton::clicked, this, &frmFactorOverride::EditFactor);
  connect(ui_.cmdSave, &QPushButton::clicked, this, [this] { (void)SaveFactor(); });
  connect(ui_.cmdCancel, &QPushButton::clicked, this, &frmFactorOverride::CancelEdit);
  connect(ui_.cmdClose, &QPushButton::clicked, this, &frmFactorOverride::CloseScreen);
  connect(ui_.cmdFirst, &QToolButton::clicked, this, [this] { MoveTo(0); });
  connect(ui_.cmdPrevious, &QToolButton::clicked, this, [this] { MoveTo(index_ - 1); });
  connect(ui_.cmdNext, &QToolButton::clicked, this, [this] { MoveTo(index_ + 1); });
  connect(ui_.cmdLast, &QToolButton::clicked, this, [this] { MoveTo(RowCount() - 1); });
  ui_.datFactor->setSizePolicy(QSizePolicy::Preferred, QSizePolicy::Fixed);
  ui_.txtStart->setMaximumWidth(
      ui_.txtStart->fontMetrics().horizontalAdvance(QStringLiteral("00000")) + 16);
  ui_.txtEnd->setMaximumWidth(ui_.txtStart->maximumWidth());
  // The record control keeps its place while a factor is edited, so that
  // the screen's layout does not jump between states.
  QSizePolicy keep = ui_.datFactor->sizePolicy();
  keep.setRetainSizeWhenHidden(true);
  ui_.datFactor->setSizePolicy(keep);
  adjustSize();
  if (parent) {
    // Opened for the first time, the screen sits over the main window.
    const QRect over = parent->window()->frameGeometry();
    int32_t left = over.center().x() - width() / 2, top = over.center().y() - height() / 2;
    int32_t w = width(), h = height();
    form_size_.SetDefaultSizeInPixels(left, top, w, h, false);
  }
  form_size_.SetForm(this, "FactorsScreen");
  Requery();
  MoveTo(0);
  SetState(State::kBrowsing);
}

frmFactorOverride::~frmFactorOverride() = default;

int32_t frmFactorOverride::CurrentId() const {
  return index_ >= 0 && index_ < RowCount() ? ids_[static_cast<size_t>(index_)] : 0;
}

void frmFactorOverride::Requery() {
  ids_.clear();
  auto rs =
      db_->OpenRecordset("SELECT ID FROM USERFACTOR ORDER BY ID", orv::db::RecordsetType::Snapshot);
  for (; !rs->IsEOF(); rs->MoveNext()) ids_.push_back(rs->Field("ID").AsInt32());
}

void frmFactorOverride::MoveTo(int index) {
  if (ids_.empty()) {
    index_ = -1;
  } else {
    index_ = std::clamp(index, 0, RowCount() - 1);
  }
  ShowCurrent();
}

// The row is read again each time the record control moves to it.
void frmFactorOverride::ShowCurrent() {
  const bool any = index_ >= 0;
  ui_.lblRecord->setText(any ? QStringLiteral("Factor %1 of %2").arg(index_ + 1).arg(RowCount())
                             : QStringLiteral("No user defined factors"));
  ui_.cmdFirst->setEnabled(index_ > 0);
  ui_.cmdPrevious->setEnabled(index_ > 0);
  ui_.cmdNext->setEnabled(any && index_ < RowCount() - 1);
  ui_.cmdLast->setEnabled(any && index_ < RowCount() - 1);
  if (!any) {
    ClearFields();
    return;
  }
  auto rs = db_->OpenRecordset("SELECT * FROM USERFACTOR WHERE ID=?",
                               orv::db::RecordsetType::Snapshot, {orv::Value(CurrentId())});
  if (rs->IsEOF()) {
    ClearFields();
    return;
  }
  ui_.txtDescr->setText(Q(rs->Field("DESCR").TextOrEmpty()));
  ui_.txtCode->setText(Q(rs->Field("CODE").TextOrEmpty()));
  ui_.txtJobFactor->setText(Q(NumberText(rs->Field("JOBFACTOR"))));
  const orv::Value dusty = rs->Field("DUSTYTIMEFACTOR");
  ui_.txtDustyTimeFactor->setText(dusty.IsNull() ? QString()
                                                 : Q(orv::FloatToText(dusty.AsSingle() * 100.0f)));
  ui_.txtRespFactor->setText(Q(NumberText(rs->Field("RESPFACTOR"))));
  const orv::Value start_val = rs->Field("STARTYEARVAL");
  ui_.cboStart->setCurrentText(!start_val.IsNull() && start_val.AsSingle() == 1.0f ? kStartOf
                                                                                   : kMid);
  ui_.txtStart->setText(Q(rs->Field("STARTYEAR").TextOrEmpty()));
  const orv::Value end_val = rs->Field("ENDYEARVAL");
  ui_.cboEnd->setCurrentText(!end_val.IsNull() && end_val.AsSingle() == 1.0f ? kEndOf : kMid);
  ui_.txtEnd->setText(Q(rs->Field("ENDYEAR").TextOrEmpty()));
  const orv::Value past = rs->Field("YEARSPASTCLOSURE");
  ui_.txtYearsPastClose->setText(past.IsNull() ? QStringLiteral("0") : Q(past.AsText()));
}

void frmFactorOverride::ClearFields() {
  ui_.txtDescr->clear();
  ui_.txtCode->clear();
  ui_.txtJobFactor->clear();
  ui_.txtDustyTimeFactor->clear();
  ui_.txtRespFactor->clear();
  ui_.cboStart->setCurrentText(kStartOf);
  ui_.txtStart->clear();
  ui_.cboEnd->setCurrentText(kEndOf);
  ui_.txtEnd->clear();
  ui_.txtYearsPastClose->clear();
}

void frmFactorOverride::SetState(State state) {
  state_ = state;
  const bool browsing = state == State::kBrowsing;
  ui_.cmdNew->setVisible(browsing);
  ui_.cmdEdit->setVisible(browsing);
  ui_.cmdClose->setVisible(browsing);
  ui_.datFactor->setVisible(browsing);
  ui_.cmdSave->setVisible(!browsing);
  ui_.cmdCancel->setVisible(!browsing);
  // Locked, not greyed out: the factor stays readable while browsing.
  for (QLineEdit* box : {ui_.txtDescr, ui_.txtCode, ui_.txtJobFactor, ui_.txtDustyTimeFactor,
                         ui_.txtRespFactor, ui_.txtStart, ui_.txtEnd, ui_.txtYearsPastClose}) {
    box->setReadOnly(browsing);
    // Locked boxes look it, so that nobody types into a factor while browsing.
    box->setStyleSheet(browsing ? QStringLiteral("QLineEdit { background: palette(window); }")
                                : QString());
  }
  ui_.cboStart->setEnabled(!browsing);
  ui_.cboEnd->setEnabled(!browsing);
  if (browsing)
    ui_.cmdNew->setFocus();
  else
    ui_.txtDescr->setFocus();
}

void frmFactorOverride::NewFactor() {
  ui_.txtDescr->clear();
  ui_.txtCode->clear();
  ui_.txtJobFactor->clear();
  ui_.txtDustyTimeFactor->setText(QStringLiteral("100"));
  ui_.txtRespFactor->clear();
  ui_.cboStart->setCurrentText(kStartOf);
  ui_.txtStart->clear();
  ui_.cboEnd->setCurrentText(kEndOf);
  ui_.txtEnd->clear();
  ui_.txtYearsPastClose->setText(QStringLiteral("0"));
  SetState(State::kEntering);
}

void frmFactorOverride::EditFactor() {
  if (ids_.empty()) {
    orv::MsgBox("There are no user defined factors to edit yet - use the New button to add one");
    return;
  }
  try {
    editing_ = db_->OpenRecordset("SELECT * FROM USERFACTOR WHERE ID=?",
                                  orv::db::RecordsetType::Dynaset, {orv::Value(CurrentId())});
    editing_->Edit();
  } catch (const orv::OrvError& e) {
    editing_.reset();
    orv::tarnby::ShowProgramError("An error occurred while editing the user defined factor", e);
    return;
  }
  SetState(State::kEditing);
}

FactorEntry frmFactorOverride::Entry() const {
  FactorEntry e;
  e.Descr = S(ui_.txtDescr->text());
  e.Code = S(ui_.txtCode->text());
  e.JobFactor = S(ui_.txtJobFactor->text());
  e.DustyTimeFactor = S(ui_.txtDustyTimeFactor->text());
  e.RespFactor = S(ui_.txtRespFactor->text());
  e.StartOfYear = ui_.cboStart->currentText() == QLatin1String(kStartOf);
  e.StartYear = S(ui_.txtStart->text());
  e.EndOfYear = ui_.cboEnd->currentText() == QLatin1String(kEndOf);
  e.EndYear = S(ui_.txtEnd->text());
  e.YearsPastClose = S(ui_.txtYearsPastClose->text());
  return e;
}

// "SELECT MAX(ID)+1": 10000 when the table is empty or holds only lower IDs.
int32_t frmFactorOverride::NewId() {
  auto rs = db_->OpenRecordset("SELECT MAX(ID)+1 AS NEWID FROM USERFACTOR",
                               orv::db::RecordsetType::Snapshot);
  if (rs->IsEOF()) return orv::dust::kFirstUserFactorID;
  const orv::Value v = rs->Field(0);
  if (v.IsNull() || v.AsInt64() < orv::dust::kFirstUserFactorID) return orv::dust::kFirstUserFactorID;
  return v.AsInt32();
}

void frmFactorOverride::Store(int32_t id, bool is_new) {
  const FactorEntry e = Entry();
  std::unique_ptr<orv::db::Recordset> added;
  orv::db::Recordset* rs = nullptr;
  if (is_new) {
    added = db_->OpenRecordset("USERFACTOR", orv::db::RecordsetType::Dynaset);
    added->AddNew();
    added->SetField("ID", orv::Value(id));
    rs = added.get();
  } else {
    if (!editing_) {
      editing_ = db_->OpenRecordset("SELECT * FROM USERFACTOR WHERE ID=?",
                                    orv::db::RecordsetType::Dynaset, {orv::Value(id)});
      editing_->Edit();
    }
    rs = editing_.get();
  }
  orv::dust::UserFactor u;
  u.ID = id;
  u.Descr = e.Descr;
  u.Code = e.Code;
  u.JobFactor = orv::ParseSingle(e.JobFactor);
  u.DustyTimeFactor = orv::ParseSingle(e.DustyTimeFactor) / 100.0f;
  u.RespFactor = orv::ParseSingle(e.RespFactor);
  u.StartYearVal = e.StartOfYear ? 1.0f : 0.5f;
  u.StartYear = orv::ParseInt16(e.StartYear);
  u.EndYearVal = e.EndOfYear ? 1.0f : 0.5f;
  u.EndYear = orv::ParseInt16(e.EndYear);
  u.YearsPastClosure = orv::ParseInt16(e.YearsPastClose);
  orv::tarnby::SetUserFactorFields(*rs, u);
  try {
    rs->Update();
  } catch (const orv::OrvError& e) {
    // Another user changed the row meanwhile. The operator is told and his
    // entry stays; the edit starts again from the row as it now is, so that
    // saving again writes his values over it knowingly.
    if (editing_ && e.Number() == orv::db::dberr::kDataChanged) editing_->Edit();
    throw;
  }
  editing_.reset();
}

bool frmFactorOverride::SaveFactor() {
  if (state_ == State::kBrowsing) return false;
  const std::vector<std::string> failures = CheckFactor(Entry());
  if (!failures.empty()) {
    orv::MsgBox(ValidationMessage(failures), orv::mb::kCritical, "Validation Error");
    return false;
  }
  try {
    const bool is_new = state_ == State::kEntering;
    const int32_t id = is_new ? NewId() : CurrentId();
    Store(id, is_new);
    // Back to the saved row.
    Requery();
    const auto at = std::find(ids_.begin(), ids_.end(), id);
    SetState(State::kBrowsing);
    MoveTo(at == ids_.end() ? 0 : static_cast<int>(at - ids_.begin()));
    return true;
  } catch (const orv::OrvError& e) {
    orv::tarnby::ShowProgramError("An error occurred while saving the user defined factor", e);
    return false;
  }
}

void frmFactorOverride::CancelEdit() {
  if (editing_) {
    try {
      editing_->CancelUpdate();
    } catch (const orv::OrvError&) {
      // Nothing was written; the edit ends with the recordset either way.
    }
    editing_.reset();
  }
  const int32_t id = CurrentId();
  Requery();
  const auto at = std::find(ids_.begin(), ids_.end(), id);
  SetState(State::kBrowsing);
  MoveTo(at == ids_.end() ? 0 : static_cast<int>(at - ids_.begin()));
}

void frmFactorOverride::CloseScreen() { close(); }

// Close, Escape and the window's close box all end here (a dialog's close event rejects it).
void frmFactorOverride::reject() {
  if (state_ != State::kBrowsing) {
    orv::MsgBox("You must either save or cancel the edit before closing");
    return;
  }
  form_size_.SavePosition();
  QDialog::reject();
}

void frmFactorOverride::resizeEvent(QResizeEvent* event) {
  QDialog::resizeEvent(event);
  form_size_.AdjustToMinimum();
}

void ShowFactorOverride(QWidget* parent, const orv::db::DatabasePtr& db) {
  frmFactorOverride form(db, parent);
  form.exec();
}

}  // namespace orv::tarnby
