#include "SmokeTab.h"

#include <QHeaderView>
#include <QRegularExpressionValidator>

#include "Dates.h"
#include "EntryChecks.h"
#include "HistoryLoader.h"
#include "HistoryRows.h"
#include "LookupLists.h"
#include "Numbers.h"
#include "OrvError.h"
#include "modDataEntry.h"

namespace orv::tarnby {

SmokeTab::SmokeTab(FormHost& host, QWidget* parent)
    : HistoryTab(host,
                 {"smoking history", "Cancel Add Smoking Entry", "Delete Smoking Entry",
                  "An error occurred while cancelling smoke history changes"},
                 parent) {
  ui_.setupUi(this);
  grid_model_ = new HistoryGridModel(
      {tr("Smoking Category"), tr("From"), tr("To"), tr("Years"), tr("Value")}, this);
  Bind(ui_.fgSmoke, ui_.fraSmokeEntry, ui_.cmdSmokeAdd, ui_.cmdSmokeEdit, ui_.cmdSmokeSave,
       ui_.cmdSmokeCancel, ui_.cmdSmokeDelete, grid_model_);
  ui_.qcboSmoke->SetBindMode(QuickCombo::orvBindID);
  const QRegularExpression four_digits(QStringLiteral("\\d{0,4}"));
  ui_.meSmokeStart->setValidator(new QRegularExpressionValidator(four_digits, this));
  ui_.meSmokeEnd->setValidator(new QRegularExpressionValidator(four_digits, this));
  // Three digits, so that the check can tell 120 years (the most) from 121.
  ui_.meSmokeYears->setValidator(
      new QRegularExpressionValidator(QRegularExpression(QStringLiteral("\\d{0,3}")), this));
  connect(ui_.optSmokeYears, &QRadioButton::toggled, this, [this](bool on) { SetByYears(!on); });
  SetByYears(false);
  SetColWidths();
}

void SmokeTab::SetColWidths() {
  QHeaderView* h = ui_.fgSmoke->horizontalHeader();
  const int widths[] = {28, 260, 60, 60, 60, 80};
  for (int i = 0; i < 6; ++i) h->resizeSection(i, widths[i]);
  // The category's description takes the spare width.
  h->setStretchLastSection(false);
  h->setSectionResizeMode(1, QHeaderView::Stretch);
  ui_.fgSmoke->verticalHeader()->setVisible(false);
}

void SmokeTab::SetByYears(bool by_years) {
  ui_.optSmokeNumber->setChecked(by_years);
  ui_.optSmokeYears->setChecked(!by_years);
  ui_.meSmokeStart->setEnabled(!by_years);
  ui_.meSmokeEnd->setEnabled(!by_years);
  ui_.lblSmokeStart->setEnabled(!by_years);
  ui_.lblSmokeEnd->setEnabled(!by_years);
  ui_.meSmokeYears->setEnabled(by_years);
  ui_.lblSmokeYears->setEnabled(by_years);
}

db::QueryDef& SmokeTab::EntryQuery() { return *qdSmokeEntry; }
db::Recordset& SmokeTab::EntryRecordset() { return *rsSmokeEntry; }

void SmokeTab::MapFields() {
  mapper_.addMapping(ui_.meSmokeStart, entry_.Column("STARTYEAR"));
  mapper_.addMapping(ui_.meSmokeEnd, entry_.Column("ENDYEAR"));
  mapper_.addMapping(ui_.meSmokeYears, entry_.Column("YEARS"));
}

void SmokeTab::FillCategories() {
  auto list = std::make_shared<dust::SmokeFactorList>();
  ui_.qcboSmoke->Clear();
  list->ComboFill(ui_.qcboSmoke);
}

QStringList SmokeTab::RowTexts(dust::SmokeEntry& e) const {
  return {QString::fromStdString(e.SmokeText()), QString::number(e.StartYear()),
          QString::number(e.EndYear()), QString::number(e.Years()),
          QString::fromStdString(dust::FactorListText(FloatToText(e.SmokeValue())))};
}

db::Recordset& SmokeTab::RequeryRows() {
  qdSmoke->SetParameter("WHATCLAIMANTID", Value(host_.CurrentClaimantID()));
  rsSmoke->Requery(qdSmoke.get());
  host_.Engine().smoking->Clear();
  return *rsSmoke;
}

std::pair<int32_t, QStringList> SmokeTab::AddRow(const db::Recordset& rs) {
  const SmokeRow row = ReadSmokeRow(rs);
  return {row.ID, RowTexts(*AddSmokeEntry(*host_.Engine().smoking, row))};
}

std::pair<int32_t, QStringList> SmokeTab::RefusedRow(const db::Recordset& rs) const {
  const SmokeRow row = ReadSmokeRow(rs);
  return {
      row.ID,
      {tr("Unknown smoking category %1").arg(row.SmokeCategoryID), QString::number(row.StartYear),
       QString::number(row.EndYear), QString::number(row.Years), QStringLiteral("?")}};
}

void SmokeTab::ShowEntry() {
  const Value category = entry_.FieldValue("SMOKECATEGORYID");
  ui_.qcboSmoke->SetBoundID(category.IsNull() ? 0 : category.AsInt32());
  const Value start = entry_.FieldValue("STARTYEAR");
  const Value years = entry_.FieldValue("YEARS");
  const bool no_start = start.IsNull() || start.AsDouble() == 0;
  const bool by_years = no_start && !years.IsNull() && years.AsDouble() > 0;
  SetByYears(by_years);
  // An entry of start and end years stores no number of years; the box
  // shows the years its period counts, as the grid does.
  const int row = grid_model_->RowOf(CurrentEntryID());
  if (!by_years && !no_start && row >= 0) ui_.meSmokeYears->setText(grid_model_->Text(row, 3));
}

std::string SmokeTab::CheckEntry() {
  SmokeEntryInput e;
  e.category.text = ui_.qcboSmoke->Text().toStdString();
  e.category.in_list = ui_.qcboSmoke->ListIndex() >= 0;
  e.by_years = ByYears();
  e.start_year = ui_.meSmokeStart->text().toStdString();
  e.end_year = ui_.meSmokeEnd->text().toStdString();
  e.years = ui_.meSmokeYears->text().toStdString();
  return CheckSmokeEntry(e, CurrentYear());
}

void SmokeTab::WriteEntry() {
  QuickCombo* combo = ui_.qcboSmoke;
  (void)combo->Text();  // the list check may select the item the text names
  const int index = combo->ListIndex();
  entry_.SetFieldValue("SMOKECATEGORYID", Value(index >= 0 ? combo->ItemData(index) : 0));
  if (ByYears()) {
    entry_.SetFieldValue("STARTYEAR", Value(0));
    entry_.SetFieldValue("ENDYEAR", Value(0));
  } else {
    entry_.SetFieldValue("YEARS", Value(0));
  }
}

void SmokeTab::AfterSave(int32_t id) {
  SmokeRow row = ReadSmokeRow(EntryRecordset());
  row.ID = id;
  const dust::SmokeEntryPtr e = AddSmokeEntry(*host_.Engine().smoking, row);
  grid_model_->SetRow(id, RowTexts(*e));
  mapper_.revert();
  // The boxes as the stored row gives them: a period's years as it counts them.
  ShowEntry();
}

void SmokeTab::RemoveFromCollection(int32_t id) {
  RemoveIfHeld(*host_.Engine().smoking, RowKey(id));
}

}  // namespace orv::tarnby
