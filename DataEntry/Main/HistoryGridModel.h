// The rows of a history grid (employment or smoking): a marker column and
// the texts of each entry, with the entry's ID as the row's data. The
// selected row's marker reads "->".
#pragma once

#include <QAbstractTableModel>
#include <QStringList>
#include <cstdint>
#include <vector>

namespace orv::tarnby {

class HistoryGridModel : public QAbstractTableModel {
  Q_OBJECT

 public:
  // `headers`: the captions after the marker column.
  explicit HistoryGridModel(QStringList headers, QObject* parent = nullptr);

  void Clear();
  // Appends a row (texts after the marker) and returns its position.
  int AddRow(int32_t id, const QStringList& texts);
  // Replaces the texts of the row holding `id`; false when there is none.
  bool SetRow(int32_t id, const QStringList& texts);
  void RemoveRowOf(int32_t id);
  // The row holding `id`, -1 when none.
  int RowOf(int32_t id) const;
  int32_t IdAt(int row) const;
  int Count() const { return static_cast<int>(rows_.size()); }
  // Moves the "->" marker to `row` (-1: none).
  void SetMarker(int row);
  int Marker() const { return marker_; }
  // The text of a cell after the marker column (0-based).
  QString Text(int row, int column) const;

  int rowCount(const QModelIndex& parent = {}) const override;
  int columnCount(const QModelIndex& parent = {}) const override;
  QVariant data(const QModelIndex& index, int role = Qt::DisplayRole) const override;
  QVariant headerData(int section, Qt::Orientation orientation,
                      int role = Qt::DisplayRole) const override;

 private:
  struct Row {
    int32_t id = 0;
    QStringList texts;
  };
  QStringList headers_;
  std::vector<Row> rows_;
  int marker_ = -1;
};

}  // namespace orv::tarnby
