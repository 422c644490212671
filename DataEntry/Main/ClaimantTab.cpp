#include "ClaimantTab.h"

#include <QEvent>

#include "Text.h"
#include "modDataEntry.h"

namespace orv::tarnby {

namespace {

std::string TextOf(const QLineEdit* box) { return box->text().toStdString(); }

}  // namespace

ClaimantTab::ClaimantTab(QWidget* parent) : QWidget(parent) {
  ui_.setupUi(this);
  ui_.txtAddressee->installEventFilter(this);
  ui_.txtSalutation->installEventFilter(this);
}

QString ClaimantTab::DefaultAddressee() const {
  return QString::fromStdString(
      JoinWords(TextOf(ui_.txtTitle), TextOf(ui_.txtFirstname), TextOf(ui_.txtSurname), ""));
}

QString ClaimantTab::DefaultSalutation() const {
  return QString::fromStdString(JoinWords(TextOf(ui_.txtTitle), TextOf(ui_.txtSurname)));
}

bool ClaimantTab::eventFilter(QObject* watched, QEvent* event) {
  if (event->type() == QEvent::FocusIn) {
    if (watched == ui_.txtAddressee && Trim(TextOf(ui_.txtAddressee)).empty()) {
      ui_.txtAddressee->setText(DefaultAddressee());
    } else if (watched == ui_.txtSalutation && Trim(TextOf(ui_.txtSalutation)).empty()) {
      ui_.txtSalutation->setText(DefaultSalutation());
    }
  }
  return QWidget::eventFilter(watched, event);
}

}  // namespace orv::tarnby
