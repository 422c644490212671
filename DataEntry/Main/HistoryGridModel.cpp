#include "HistoryGridModel.h"

namespace orv::tarnby {

HistoryGridModel::HistoryGridModel(QStringList headers, QObject* parent)
    : QAbstractTableModel(parent), headers_(std::move(headers)) {}

void HistoryGridModel::Clear() {
  beginResetModel();
  rows_.clear();
  marker_ = -1;
  endResetModel();
}

int HistoryGridModel::AddRow(int32_t id, const QStringList& texts) {
  const int row = Count();
  beginInsertRows({}, row, row);
  rows_.push_back({id, texts});
  endInsertRows();
  return row;
}

bool HistoryGridModel::SetRow(int32_t id, const QStringList& texts) {
  const int row = RowOf(id);
  if (row < 0) return false;
  rows_[size_t(row)].texts = texts;
  emit dataChanged(index(row, 0), index(row, columnCount() - 1));
  return true;
}

void HistoryGridModel::RemoveRowOf(int32_t id) {
  const int row = RowOf(id);
  if (row < 0) return;
  beginRemoveRows({}, row, row);
  rows_.erase(rows_.begin() + row);
  if (marker_ == row) marker_ = -1;
  if (marker_ > row) --marker_;
  endRemoveRows();
}

int HistoryGridModel::RowOf(int32_t id) const {
  for (size_t i = 0; i < rows_.size(); ++i) {
    if (rows_[i].id == id) return static_cast<int>(i);
  }
  return -1;
}

int32_t HistoryGridModel::IdAt(int row) const {
  return row >= 0 && row < Count() ? rows_[size_t(row)].id : 0;
}

void HistoryGridModel::SetMarker(int row) {
  const int old = marker_;
  marker_ = row >= 0 && row < Count() ? row : -1;
  if (old >= 0) emit dataChanged(index(old, 0), index(old, 0));
  if (marker_ >= 0) emit dataChanged(index(marker_, 0), index(marker_, 0));
}

QString HistoryGridModel::Text(int row, int column) const {
  if (row < 0 || row >= Count()) return {};
  const QStringList& t = rows_[size_t(row)].texts;
  return column >= 0 && column < t.size() ? t[column] : QString();
}

int HistoryGridModel::rowCount(const QModelIndex& parent) const {
  return parent.isValid() ? 0 : Count();
}

int HistoryGridModel::columnCount(const QModelIndex& parent) const {
  return parent.isValid() ? 0 : static_cast<int>(headers_.size()) + 1;
}

QVariant HistoryGridModel::data(const QModelIndex& index, int role) const {
  if (!index.isValid()) return {};
  if (role == Qt::DisplayRole || role == Qt::AccessibleTextRole) {
    if (index.column() == 0) return index.row() == marker_ ? QStringLiteral("->") : QString();
    return Text(index.row(), index.column() - 1);
  }
  if (role == Qt::UserRole) return IdAt(index.row());
  return {};
}

QVariant HistoryGridModel::headerData(int section, Qt::Orientation orientation, int role) const {
  if (orientation != Qt::Horizontal || role != Qt::DisplayRole) return {};
  if (section == 0) return QString();
  return section - 1 < headers_.size() ? headers_[section - 1] : QVariant();
}

}  // namespace orv::tarnby
