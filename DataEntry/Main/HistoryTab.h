// What the employment and smoking history tabs share: a grid of entries
// kept in step with an engine collection, one entry bound to the form's
// boxes, and the entry states with their buttons:
//
//   state 0 browsing   Add, Edit, Delete shown; grid on; entry frame off
//   state 1 editing    Save, Cancel shown; grid off; entry frame on; tabs off
//   state 2 no entries Add shown; grid and entry frame off
//   state 4 adding     as state 1
#pragma once

#include <QDataWidgetMapper>
#include <QGroupBox>
#include <QPushButton>
#include <QTableView>
#include <QWidget>
#include <cstdint>
#include <string>
#include <utility>

#include "Database.h"
#include "FormHost.h"
#include "HistoryGridModel.h"
#include "RecordModel.h"

namespace orv::tarnby {

class HistoryTab : public QWidget {
  Q_OBJECT

 public:
  enum State : int16_t { kBrowsing = 0, kEditing = 1, kNoEntries = 2, kAdding = 4 };

  int16_t EntryState() const { return state_; }
  bool SkipCheck() const { return skip_check_; }
  HistoryGridModel& Grid() { return *grid_model_; }
  RecordModel& Entry() { return entry_; }
  // True while an entry is being added or edited.
  bool Editing() const { return state_ == kEditing || state_ == kAdding; }

  // Reloads the grid and the engine collection for the current claimant. A
  // row the engine refuses (an entry left half made, a colliery or smoking
  // category no longer in the dust data) is still listed, so that it can be
  // corrected or deleted; the first refusal is reported once the grid is
  // loaded.
  void LoadGrid();
  // Shows the entry of that ID (0: none) in the entry boxes.
  void LoadEntry(int32_t id);
  // Selects a grid row: moves the marker and loads its entry.
  void SelectRow(int row);

  // The widths of the grid's columns a user can size ("28,190,..."), to
  // keep between runs; RestoreColumnWidths ignores a text that does not fit.
  std::string ColumnWidths() const;
  void RestoreColumnWidths(const std::string& widths);

  // The buttons' actions.
  void AddEntry();
  void EditEntry();
  void SaveEntry();
  void CancelEntry();
  void DeleteEntry();

 protected:
  struct Texts {
    const char* history;       // "work history" / "smoking history"
    const char* cancel_title;  // "Cancel Add Employment Entry"
    const char* delete_title;  // "Delete Employment Entry"
    const char* cancel_error;  // error text of the cancel button
  };

  HistoryTab(FormHost& host, Texts texts, QWidget* parent);
  // Wires the controls the derived class's form made.
  void Bind(QTableView* grid, QGroupBox* frame, QPushButton* add, QPushButton* edit,
            QPushButton* save, QPushButton* cancel, QPushButton* remove,
            HistoryGridModel* grid_model);

  void SetState(int16_t state);
  int32_t CurrentEntryID() const;
  bool eventFilter(QObject* watched, QEvent* event) override;

  // The entry query and its recordset (qdJob/rsJob, qdSmokeEntry/...).
  virtual db::QueryDef& EntryQuery() = 0;
  virtual db::Recordset& EntryRecordset() = 0;
  // Maps the boxes the mapper binds to the entry's columns (called once).
  virtual void MapFields() = 0;
  // After the entry recordset moved: show what the boxes bound by hand show.
  virtual void ShowEntry() = 0;
  virtual void OnStateChanged() {}
  virtual QWidget* FirstCombo() = 0;
  virtual std::string CheckEntry() = 0;
  // After the checks pass: false when the user chose to go back and correct
  // the entry after a warning.
  virtual bool ConfirmEntry() { return true; }
  // Writes the values the mapper does not bind (the combos' choices).
  virtual void WriteEntry() = 0;
  // After a save: the engine item, the grid row, any warning.
  virtual void AfterSave(int32_t id) = 0;
  virtual void RemoveFromCollection(int32_t id) = 0;

  // The grid's rows for the current claimant, its query re-run, with the
  // engine collection emptied.
  virtual db::Recordset& RequeryRows() = 0;
  // Adds the recordset's current row to the engine collection and gives its
  // ID and grid texts; an engine refusal is raised.
  virtual std::pair<int32_t, QStringList> AddRow(const db::Recordset& rs) = 0;
  // The grid texts of a row the engine refused.
  virtual std::pair<int32_t, QStringList> RefusedRow(const db::Recordset& rs) const = 0;

  FormHost& host_;
  RecordModel entry_;
  QDataWidgetMapper mapper_;

 private:
  Texts texts_;
  QTableView* grid_ = nullptr;
  QGroupBox* frame_ = nullptr;
  QPushButton* add_ = nullptr;
  QPushButton* edit_ = nullptr;
  QPushButton* save_ = nullptr;
  QPushButton* cancel_ = nullptr;
  QPushButton* delete_ = nullptr;
  HistoryGridModel* grid_model_ = nullptr;
  int16_t state_ = kNoEntries;
  bool skip_check_ = false;
};

}  // namespace orv::tarnby
