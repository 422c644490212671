// "Job and Respirator Factor Overrides": the user's own job and respirator
// factors, one USERFACTOR row of the claimant database at a time.
//
// Three states: browsing (New, Edit, Close and the record control shown,
// the details locked), editing an existing factor and entering a new one
// (Save and Cancel shown, the rest hidden, the details open). The window
// remembers its position under the name "FactorsScreen".
#pragma once

#include <QDialog>
#include <cstdint>
#include <memory>
#include <vector>

#include "Database.h"
#include "FactorChecks.h"
#include "FormSize.h"
#include "ui_frmFactorOverride.h"

namespace orv::tarnby {

class frmFactorOverride : public QDialog {
  Q_OBJECT

 public:
  enum class State { kBrowsing, kEditing, kEntering };

  // Opens the USERFACTOR table of `db` and shows its first row.
  explicit frmFactorOverride(orv::db::DatabasePtr db, QWidget* parent = nullptr);
  ~frmFactorOverride() override;

  State CurrentState() const { return state_; }
  // The ID of the row shown, or 0 with none.
  int32_t CurrentId() const;
  int32_t RowCount() const { return static_cast<int32_t>(ids_.size()); }
  Ui::frmFactorOverride& Form() { return ui_; }

  // The buttons' actions.
  void NewFactor();
  void EditFactor();
  // True when the factor passed its checks and was stored.
  bool SaveFactor();
  void CancelEdit();
  // Closes the screen unless a factor is being edited or entered.
  void CloseScreen();

  // The record control: moves to the row at `index` (0-based) and shows it.
  void MoveTo(int index);

  // The boxes as typed.
  FactorEntry Entry() const;

 protected:
  void resizeEvent(QResizeEvent* event) override;
  void reject() override;

 private:
  void SetState(State state);
  void Requery();
  void ShowCurrent();
  void ClearFields();
  int32_t NewId();
  void Store(int32_t id, bool is_new);

  Ui::frmFactorOverride ui_;
  orv::db::DatabasePtr db_;
  orv::FormSize form_size_;
  std::vector<int32_t> ids_;  // the table's rows, by ID
  // The row being edited, opened for editing when the edit began, so that a
  // change another user saved meanwhile is refused instead of overwritten.
  std::unique_ptr<orv::db::Recordset> editing_;
  int index_ = -1;
  State state_ = State::kBrowsing;
};

}  // namespace orv::tarnby
