#include "frmSearch.h"

#include "Dialogs.h"
#include "modDataEntry.h"

namespace orv::tarnby {

bool SearchCancelled = false;

frmSearch::frmSearch(QWidget* parent) : QDialog(parent) {
  ui_.setupUi(this);
  ui_.txtSearch0->setText(QString::fromStdString(orv::tarnby::SearchName));
  ui_.txtSearch1->setText(QString::fromStdString(orv::tarnby::SearchZurir));
  ui_.txtSearch2->setText(QString::fromStdString(orv::tarnby::SearchRef));
  connect(ui_.cmdOkay, &QPushButton::clicked, this, &frmSearch::Okay);
  connect(ui_.cmdClear, &QPushButton::clicked, this, &frmSearch::Clear);
  connect(ui_.cmdCancel, &QPushButton::clicked, this, &frmSearch::reject);
}

void frmSearch::Okay() {
  orv::tarnby::SearchName = ui_.txtSearch0->text().toStdString();
  orv::tarnby::SearchRef = ui_.txtSearch2->text().toStdString();
  orv::tarnby::SearchZurir = ui_.txtSearch1->text().toStdString();
  SearchCancelled = false;
  accept();
}

void frmSearch::Clear() {
  ui_.txtSearch0->clear();
  ui_.txtSearch1->clear();
  ui_.txtSearch2->clear();
  ui_.txtSearch0->setFocus();
}

void frmSearch::reject() {
  SearchCancelled = true;
  QDialog::reject();
}

bool ShowSearch(QWidget* parent) {
  frmSearch form(parent);
  // A window closed any other way than by its buttons counts as a cancel.
  SearchCancelled = true;
  form.exec();
  return !SearchCancelled;
}

}  // namespace orv::tarnby
