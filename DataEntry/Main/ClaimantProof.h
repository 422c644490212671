// Beside the stored result on the claimant tab: whether it is still the
// result of the history on screen, and the button to the claimant's change
// history (Alt+H).
#pragma once

#include <QObject>

#include <cstdint>

class QLabel;
class QPushButton;

namespace Ui {
class ClaimantTab;
}

namespace orv::tarnby {

class ClaimantProof : public QObject {
  Q_OBJECT

 public:
  // Adds a row under the stored result of `form`.
  explicit ClaimantProof(Ui::ClaimantTab& form, QWidget* dialog_parent);

  // Shows the state of the stored result of claimant `id` (0: none) as the
  // program would calculate him, with `jurisdiction`.
  void Refresh(int32_t id, int32_t jurisdiction);

  QLabel* Status() const { return status_; }
  QPushButton* HistoryButton() const { return history_; }

 private:
  QWidget* dialog_parent_;
  QLabel* status_;
  QPushButton* history_;
  int32_t id_ = 0;
};

}  // namespace orv::tarnby
