// Tab 1, "Employment History": the grid fgWork of the claimant's jobs, the
// entry frame of one WORKHISTORY row with the colliery, job factor and
// respirator factor combos, and the job collection kept in step.
#pragma once

#include <memory>

#include "HistoryRows.h"
#include "HistoryTab.h"
#include "ui_WorkTab.h"

namespace orv::tarnby {

class WorkTab : public HistoryTab {
  Q_OBJECT

 public:
  WorkTab(FormHost& host, QWidget* parent = nullptr);

  Ui::WorkTab& Form() { return ui_; }

  // Fills qcboColliery from the engine's colliery list.
  void FillCollieries();
  // Refills the job and respirator factor combos from the engine's lists
  // and merges the user-defined factors; answers false when the claimant
  // database has no USERFACTOR table.
  bool FillFactorCombos(bool no_user_factors);
  // Column widths of the grid.
  void SetColWidths();

 protected:
  db::QueryDef& EntryQuery() override;
  db::Recordset& EntryRecordset() override;
  void MapFields() override;
  void ShowEntry() override;
  QWidget* FirstCombo() override { return ui_.qcboColliery; }
  std::string CheckEntry() override;
  // Warns when the entry's years overlap another job of the history.
  bool ConfirmEntry() override;
  void OnStateChanged() override;
  void WriteEntry() override;
  void AfterSave(int32_t id) override;
  void RemoveFromCollection(int32_t id) override;
  db::Recordset& RequeryRows() override;
  std::pair<int32_t, QStringList> AddRow(const db::Recordset& rs) override;
  std::pair<int32_t, QStringList> RefusedRow(const db::Recordset& rs) const override;

 private:
  QStringList RowTexts(dust::CoalJob& job) const;
  void ShowPitName(bool show);
  // Shows the pit name box for a small mine, and for an area average that
  // already has a pit name (so that it can be removed).
  void OnCollieryChanged();

  Ui::WorkTab ui_;
  HistoryGridModel* grid_model_;
};

}  // namespace orv::tarnby
