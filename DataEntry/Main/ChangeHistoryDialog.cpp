#include "ChangeHistoryDialog.h"

#include <QDialogButtonBox>
#include <QHeaderView>
#include <QLabel>
#include <QTableWidget>
#include <QVBoxLayout>

#include "ChangeHistory.h"

namespace orv::tarnby {

namespace {

QString Shown(const std::optional<std::string>& v) {
  return v ? QString::fromStdString(*v) : QObject::tr("(empty)");
}

}  // namespace

ChangeHistoryDialog::ChangeHistoryDialog(db::Database& claimants, int32_t claimantID,
                                         QWidget* parent)
    : QDialog(parent), table_(new QTableWidget(this)) {
  setObjectName(QStringLiteral("frmChangeHistory"));
  setWindowTitle(tr("Change history of claimant %1").arg(claimantID));
  const std::vector<ChangeRecord> records =
      ReadChanges(claimants, claimantID, std::nullopt, /*newest_first=*/true);
  auto* heading = new QLabel(
      records.empty() ? tr("No change of this claimant has been recorded.")
                      : tr("%n recorded change(s), newest first. Times are UTC.", "",
                           static_cast<int>(records.size())),
      this);
  const QStringList columns = {tr("Time"),   tr("User"),  tr("Program"), tr("Table"), tr("Row"),
                               tr("Action"), tr("Field"), tr("Old value"), tr("New value")};
  table_->setObjectName(QStringLiteral("fgChanges"));
  table_->setAccessibleName(tr("Change history"));
  table_->setColumnCount(static_cast<int>(columns.size()));
  table_->setHorizontalHeaderLabels(columns);
  table_->setRowCount(static_cast<int>(records.size()));
  table_->setEditTriggers(QAbstractItemView::NoEditTriggers);
  table_->setSelectionBehavior(QAbstractItemView::SelectRows);
  table_->verticalHeader()->hide();
  for (int i = 0; i < static_cast<int>(records.size()); ++i) {
    const ChangeRecord& c = records[static_cast<size_t>(i)];
    const QString cells[] = {
        QString::fromStdString(c.time),
        c.user.empty() ? tr("(another program)") : QString::fromStdString(c.user),
        QString::fromStdString(c.program),
        QString::fromStdString(c.table),
        QString::number(c.row),
        QString::fromStdString(c.action),
        QString::fromStdString(c.field),
        c.action == "insert" ? QString() : Shown(c.old_value),
        c.action == "delete" ? QString() : Shown(c.new_value)};
    for (int col = 0; col < static_cast<int>(std::size(cells)); ++col)
      table_->setItem(i, col, new QTableWidgetItem(cells[col]));
  }
  table_->resizeColumnsToContents();
  table_->horizontalHeader()->setStretchLastSection(true);

  auto* buttons = new QDialogButtonBox(QDialogButtonBox::Close, this);
  connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
  auto* layout = new QVBoxLayout(this);
  layout->addWidget(heading);
  layout->addWidget(table_);
  layout->addWidget(buttons);
  resize(900, 480);
}

}  // namespace orv::tarnby
