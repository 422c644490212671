#include "ClaimantProof.h"

#include <QGridLayout>
#include <QLabel>
#include <QPushButton>

#include "ChangeHistoryDialog.h"
#include "ClaimantCalc.h"
#include "modDataEntry.h"
#include "ui_ClaimantTab.h"

namespace orv::tarnby {

ClaimantProof::ClaimantProof(Ui::ClaimantTab& form, QWidget* dialog_parent)
    : QObject(form.fraResult), dialog_parent_(dialog_parent),
      status_(new QLabel(form.fraResult)), history_(new QPushButton(form.fraResult)) {
  status_->setObjectName(QStringLiteral("lblResultCurrent"));
  status_->setWordWrap(true);
  history_->setObjectName(QStringLiteral("cmdChangeHistory"));
  history_->setText(tr("Change &History..."));
  history_->setAccessibleName(tr("Change history"));
  form.layResult->addWidget(status_, 2, 0, 1, 3);
  form.layResult->addWidget(history_, 2, 3, Qt::AlignRight);
  connect(history_, &QPushButton::clicked, this, [this] {
    if (id_ == 0 || !ClaimantDatabase) return;
    ChangeHistoryDialog dialog(*ClaimantDatabase, id_, dialog_parent_);
    dialog.exec();
  });
}

void ClaimantProof::Refresh(int32_t id, int32_t jurisdiction) {
  id_ = id;
  history_->setEnabled(id != 0);
  status_->clear();
  if (id == 0 || !ClaimantDatabase) return;
  try {
    claimcalc::ClaimantSource source(ClaimantDatabase);
    const claimcalc::StoredClaimant c = source.Read(id);
    if (!c.stored_quantum) {
      status_->setText(tr("No stored result: the claimant has not been calculated since his "
                          "history last changed."));
      return;
    }
    const std::optional<std::string> digest = claimcalc::FingerprintDigest(c);
    if (!digest)
      status_->setText(tr("The stored result cannot be checked: it was stored without a record "
                          "of what it was calculated from."));
    else if (*digest == claimcalc::InputsDigest(c, jurisdiction))
      status_->setText(tr("The stored result is current for the history on screen."));
    else
      status_->setText(tr("History changed since the last calculation: the stored result is not "
                          "current."));
  } catch (const OrvError&) {
    status_->setText(tr("The stored result could not be checked."));
  }
}

}  // namespace orv::tarnby
