// "Search": the surname, ZURIR reference and solicitor's reference patterns
// the main form filters its claimants by.
#pragma once

#include <QDialog>

#include "ui_frmSearch.h"

namespace orv::tarnby {

class frmSearch : public QDialog {
  Q_OBJECT

 public:
  // Shows the current search texts.
  explicit frmSearch(QWidget* parent = nullptr);
  Ui::frmSearch& Form() { return ui_; }

  // The buttons: OK stores the texts and clears SearchCancelled; Clear empties
  // the boxes; Cancel (and closing the window) sets SearchCancelled.
  void Okay();
  void Clear();
  void reject() override;

 private:
  Ui::frmSearch ui_;
};

}  // namespace orv::tarnby
