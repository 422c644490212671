#include "WorkTab.h"

#include <QHeaderView>
#include <QRegularExpressionValidator>
#include <optional>

#include "Dates.h"
#include "EntryChecks.h"
#include "HistoryRows.h"
#include "LookupLists.h"
#include "MessageBox.h"
#include "Numbers.h"
#include "OrvError.h"
#include "modDataEntry.h"

namespace orv::tarnby {

namespace {

ComboChoice ChoiceOf(QuickCombo* combo) {
  ComboChoice c;
  c.text = combo->Text().toStdString();  // runs the list check first
  c.in_list = combo->ListIndex() >= 0;
  c.id = c.in_list ? combo->ItemData(combo->ListIndex()) : 0;
  return c;
}

void FillFromList(QuickCombo* combo, dust::LookupList& list) {
  combo->Clear();
  list.ComboFill(combo);
}

}  // namespace

WorkTab::WorkTab(FormHost& host, QWidget* parent)
    : HistoryTab(host,
                 {"work history", "Cancel Add Employment Entry", "Delete Employment Entry",
                  "An error occurred while cancelling work history changes"},
                 parent) {
  ui_.setupUi(this);
  grid_model_ =
      new HistoryGridModel({tr("Colliery"), tr("Area"), tr("From"), tr("To"), tr("Job Factor"),
                            tr("Respirator Factor"), tr("Small Mine Pit")},
                           this);
  Bind(ui_.fgWork, ui_.fraJobEntry, ui_.cmdWorkAdd, ui_.cmdWorkEdit, ui_.cmdWorkSave,
       ui_.cmdWorkCancel, ui_.cmdWorkDelete, grid_model_);
  ui_.qcboColliery->SetBindMode(QuickCombo::orvBindID);
  ui_.qcboJobFactor->SetBindMode(QuickCombo::orvBindID);
  ui_.qcboRespFactor->SetBindMode(QuickCombo::orvBindID);
  const QRegularExpression four_digits(QStringLiteral("\\d{0,4}"));
  ui_.meStart->setValidator(new QRegularExpressionValidator(four_digits, this));
  ui_.meEnd->setValidator(new QRegularExpressionValidator(four_digits, this));
  // Typed and left with Tab as well as picked from the list.
  connect(ui_.qcboColliery->Combo(), &QComboBox::editTextChanged, this,
          &WorkTab::OnCollieryChanged);
  connect(ui_.qcboColliery, &QuickCombo::Click, this, &WorkTab::OnCollieryChanged);
  ShowPitName(false);
  SetColWidths();
}

void WorkTab::SetColWidths() {
  QHeaderView* h = ui_.fgWork->horizontalHeader();
  const int widths[] = {28, 190, 130, 50, 50, 200, 150, 130};
  for (int i = 0; i < 8; ++i) h->resizeSection(i, widths[i]);
  // The factor descriptions take the spare width, not the mostly empty
  // small-mine column.
  h->setStretchLastSection(false);
  h->setSectionResizeMode(5, QHeaderView::Stretch);
  h->setSectionResizeMode(6, QHeaderView::Stretch);
  ui_.fgWork->verticalHeader()->setVisible(false);
}

db::QueryDef& WorkTab::EntryQuery() { return *qdJob; }
db::Recordset& WorkTab::EntryRecordset() { return *rsJob; }

void WorkTab::FillCollieries() {
  auto list = std::make_shared<dust::CollieryList>();
  FillFromList(ui_.qcboColliery, *list);
}

bool WorkTab::FillFactorCombos(bool no_user_factors) {
  {
    auto list = std::make_shared<dust::JobFactorList>();
    FillFromList(ui_.qcboJobFactor, *list);
  }
  {
    auto list = std::make_shared<dust::RespFactorList>();
    FillFromList(ui_.qcboRespFactor, *list);
  }
  if (no_user_factors) return false;
  db::RecordsetPtr rs;
  try {
    rs = ClaimantDatabase->OpenRecordset("SELECT * FROM USERFACTOR", db::RecordsetType::Snapshot);
  } catch (const OrvError& e) {
    if (e.Number() == db::dberr::kTableOrQueryNotFound || e.Number() == db::dberr::kGeneric) {
      return false;
    }
    throw;
  }
  for (; !rs->IsEOF(); rs->MoveNext()) {
    const dust::UserFactor f = claimcalc::ReadUserFactorRow(*rs);
    ui_.qcboJobFactor->AddItemExtended(QString::fromStdString(dust::UserFactorJobText(f)), f.ID);
    ui_.qcboRespFactor->AddItemExtended(QString::fromStdString(dust::UserFactorRespText(f)), f.ID);
  }
  return true;
}

QStringList WorkTab::RowTexts(dust::CoalJob& job) const {
  return {QString::fromStdString(job.Colliery()),
          QString::fromStdString(job.CoalArea()),
          QString::number(job.StartYear()),
          QString::number(job.EndYear()),
          QString::fromStdString(job.JobFactorText()),
          QString::fromStdString(job.RespiratorFactorText()),
          QString::fromStdString(job.PitName())};
}

void WorkTab::MapFields() {
  mapper_.addMapping(ui_.txtPitname, entry_.Column("PITNAME"));
  mapper_.addMapping(ui_.meStart, entry_.Column("STARTYEAR"));
  mapper_.addMapping(ui_.meEnd, entry_.Column("ENDYEAR"));
}

db::Recordset& WorkTab::RequeryRows() {
  qdWork->SetParameter("WHATCLAIMANTID", Value(host_.CurrentClaimantID()));
  rsWork->Requery(qdWork.get());
  host_.Engine().jobs->Clear();
  return *rsWork;
}

std::pair<int32_t, QStringList> WorkTab::AddRow(const db::Recordset& rs) {
  EngineObjects& engine = host_.Engine();
  const WorkRow row = ReadWorkRow(rs);
  engine.current_job = AddWorkJob(*engine.jobs, *ClaimantDatabase, host_.NoUserFactors(), row);
  return {row.ID, RowTexts(*engine.current_job)};
}

std::pair<int32_t, QStringList> WorkTab::RefusedRow(const db::Recordset& rs) const {
  const WorkRow row = ReadWorkRow(rs);
  const QString unknown = QStringLiteral("?");
  return {row.ID,
          {tr("Unknown colliery %1").arg(row.CollieryID), unknown, QString::number(row.StartYear),
           QString::number(row.EndYear), unknown, unknown, QString::fromStdString(row.PitName)}};
}

void WorkTab::ShowPitName(bool show) {
  ui_.txtPitname->setVisible(show);
  ui_.lblAreaAvg->setVisible(show);
}

void WorkTab::ShowEntry() {
  auto id_of = [this](const char* field) {
    const Value v = entry_.FieldValue(field);
    return v.IsNull() ? 0 : v.AsInt32();
  };
  ui_.qcboColliery->SetBoundID(id_of("COLLIERYID"));
  ui_.qcboJobFactor->SetBoundID(id_of("JOBFACTORID"));
  ui_.qcboRespFactor->SetBoundID(id_of("RESPFACTORID"));
  ShowPitName(!entry_.FieldValue("PITNAME").TextOrEmpty().empty());
}

void WorkTab::OnCollieryChanged() {
  const CollieryKind kind =
      KindOfColliery(ui_.qcboColliery->Combo()->currentText().toStdString());
  ShowPitName(kind == CollieryKind::kSmallMine ||
              (kind == CollieryKind::kAreaAverage && !ui_.txtPitname->text().isEmpty()));
}

void WorkTab::OnStateChanged() {
  if (Editing()) OnCollieryChanged();
}

std::string WorkTab::CheckEntry() {
  WorkEntry e;
  e.colliery = ChoiceOf(ui_.qcboColliery);
  e.pit_name = ui_.txtPitname->text().toStdString();
  e.job_factor = ChoiceOf(ui_.qcboJobFactor);
  e.resp_factor = ChoiceOf(ui_.qcboRespFactor);
  e.start_year = ui_.meStart->text().toStdString();
  e.end_year = ui_.meEnd->text().toStdString();
  return CheckWorkEntry(e, CurrentYear());
}

bool WorkTab::ConfirmEntry() {
  const int32_t id = CurrentEntryID();
  std::vector<JobYears> jobs;
  for (int row = 0; row < grid_model_->Count(); ++row) {
    if (grid_model_->IdAt(row) == id) continue;
    // Named as the colliery list names it: the colliery and its area.
    QString colliery = grid_model_->Text(row, 0);
    if (!grid_model_->Text(row, 1).isEmpty()) colliery += "; " + grid_model_->Text(row, 1);
    jobs.push_back({grid_model_->IdAt(row), colliery.toStdString(),
                    grid_model_->Text(row, 2).toInt(), grid_model_->Text(row, 3).toInt()});
  }
  jobs.push_back({id, ui_.qcboColliery->Combo()->currentText().toStdString(),
                  ui_.meStart->text().trimmed().toInt(), ui_.meEnd->text().trimmed().toInt()});
  const std::string overlaps = OverlapWarning(std::move(jobs), id);
  if (overlaps.empty()) return true;
  return MsgBox("The years of this job overlap another job:" + overlaps +
                    "\r\n\r\nThe calculation refuses a work history whose jobs overlap. Save "
                    "the entry as it is? Choose No to go back and correct it.",
                mb::kExclamation | mb::kYesNo | kSecondButtonDefault,
                kApplicationTitle) == mb::kYes;
}

void WorkTab::WriteEntry() {
  entry_.SetFieldValue("COLLIERYID", Value(ChoiceOf(ui_.qcboColliery).id));
  entry_.SetFieldValue("JOBFACTORID", Value(ChoiceOf(ui_.qcboJobFactor).id));
  entry_.SetFieldValue("RESPFACTORID", Value(ChoiceOf(ui_.qcboRespFactor).id));
  // A pit name is kept only for area averages and small mines.
  if (KindOfColliery(ui_.qcboColliery->Text().toStdString()) == CollieryKind::kListedPit) {
    entry_.SetFieldValue("PITNAME", Value(std::string()));
  }
}

void WorkTab::AfterSave(int32_t id) {
  EngineObjects& engine = host_.Engine();
  WorkRow row = ReadWorkRow(EntryRecordset());
  row.ID = id;
  engine.current_job = AddWorkJob(*engine.jobs, *ClaimantDatabase, host_.NoUserFactors(), row);
  const std::string check = engine.current_job->OpenRangeCheck();
  if (!check.empty()) {
    MsgBox("Warning: \n" + check +
               "\nYou should first check the dates you have been given but may need to contact "
               "ZURIR to confirm the data",
           mb::kExclamation | mb::kOkOnly);
  }
  grid_model_->SetRow(id, RowTexts(*engine.current_job));
}

void WorkTab::RemoveFromCollection(int32_t id) { RemoveIfHeld(*host_.Engine().jobs, RowKey(id)); }

}  // namespace orv::tarnby
