// Tab 2, "Smoking History": the grid fgSmoke of the claimant's smoking
// entries, the entry frame of one SMOKEHISTORY row (category, and either the
// start and end years or a number of years), and the smoking collection
// kept in step.
#pragma once

#include "HistoryTab.h"
#include "ui_SmokeTab.h"

namespace orv::tarnby {

class SmokeTab : public HistoryTab {
  Q_OBJECT

 public:
  SmokeTab(FormHost& host, QWidget* parent = nullptr);

  Ui::SmokeTab& Form() { return ui_; }

  // Fills qcboSmoke from the engine's smoking category list.
  void FillCategories();
  void SetColWidths();
  // True when "or  Number of years" is chosen.
  bool ByYears() const { return ui_.optSmokeNumber->isChecked(); }
  // Chooses the option and enables the boxes that go with it.
  void SetByYears(bool by_years);

 protected:
  db::QueryDef& EntryQuery() override;
  db::Recordset& EntryRecordset() override;
  void MapFields() override;
  void ShowEntry() override;
  QWidget* FirstCombo() override { return ui_.qcboSmoke; }
  std::string CheckEntry() override;
  void WriteEntry() override;
  void AfterSave(int32_t id) override;
  void RemoveFromCollection(int32_t id) override;
  db::Recordset& RequeryRows() override;
  std::pair<int32_t, QStringList> AddRow(const db::Recordset& rs) override;
  std::pair<int32_t, QStringList> RefusedRow(const db::Recordset& rs) const override;

 private:
  QStringList RowTexts(dust::SmokeEntry& entry) const;

  Ui::SmokeTab ui_;
  HistoryGridModel* grid_model_;
};

}  // namespace orv::tarnby
