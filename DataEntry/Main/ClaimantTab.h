// Tab 0, "Claimant/Case Details": the claimant's fields in frame
// fraClaimant and the stored result of the last calculation. The boxes are
// bound to the claimant recordset by the main form; this class fills the
// addressee and salutation when they get the focus empty.
#pragma once

#include <QWidget>

#include "ui_ClaimantTab.h"

namespace orv::tarnby {

class ClaimantTab : public QWidget {
  Q_OBJECT

 public:
  explicit ClaimantTab(QWidget* parent = nullptr);

  Ui::ClaimantTab& Form() { return ui_; }

  // The title, first name and surname joined by single blanks, empty parts
  // left out.
  QString DefaultAddressee() const;
  // The title and the surname joined the same way.
  QString DefaultSalutation() const;

 protected:
  bool eventFilter(QObject* watched, QEvent* event) override;

 private:
  Ui::ClaimantTab ui_;
};

}  // namespace orv::tarnby
