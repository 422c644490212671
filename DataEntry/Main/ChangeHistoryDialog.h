// The change history of one claimant, newest first: who changed which
// field of his record, his histories or the factors, when, and from what to
// what. Read-only; reached from the claimant tab.
#pragma once

#include <QDialog>

#include "Database.h"

class QTableWidget;

namespace orv::tarnby {

class ChangeHistoryDialog : public QDialog {
  Q_OBJECT

 public:
  ChangeHistoryDialog(db::Database& claimants, int32_t claimantID, QWidget* parent = nullptr);

  QTableWidget* Table() const { return table_; }

 private:
  QTableWidget* table_;
};

}  // namespace orv::tarnby
