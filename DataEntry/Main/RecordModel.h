// The current row of a recordset as a one-row Qt model, so that a form's
// boxes bind to its fields through QDataWidgetMapper (one column per field,
// found by field name). Changes typed into the boxes are kept as pending
// values until Save writes them to the row (Edit or AddNew, SetField,
// Update); Refresh drops them and reads the row again. The recordset moves
// elsewhere (the record control, a requery); the model only follows.
#pragma once

#include <QAbstractTableModel>
#include <map>
#include <string>
#include <string_view>

#include "Database.h"
#include "Value.h"

namespace orv::tarnby {

class RecordModel : public QAbstractTableModel {
  Q_OBJECT

 public:
  explicit RecordModel(QObject* parent = nullptr);

  // The recordset the model shows (not owned; nullptr for none). Drops any
  // pending change and reads the current row.
  void SetRecordset(db::Recordset* rs);
  db::Recordset* Recordset() const { return rs_; }

  // The column of a field (ignoring case), -1 when the recordset has none.
  int Column(std::string_view field) const;

  // Reads the current row again and forgets pending changes and any
  // addition in progress.
  void Refresh();
  // True when the recordset has a current row (or an addition is pending).
  bool HasRow() const;
  // True when a value differs from the row, or an addition is pending.
  bool Dirty() const { return adding_ || !pending_.empty(); }
  bool Adding() const { return adding_; }

  // Starts a new row: the boxes show empty values until Save adds it.
  void BeginAdd();
  // Puts the current row in edit now (re-reading it), so that Save refuses
  // when another user changes the row before it (optimistic locking).
  void BeginEdit();
  bool EditOpen() const { return edit_open_; }
  // Writes the pending values: AddNew (when adding) or Edit (unless
  // BeginEdit opened it), SetField for each, Update; then the written row is
  // current. Nothing to write: no-op (an open edit is closed). Database
  // failures are raised unchanged, the edit is closed and the pending
  // values kept.
  void Save();
  // Forgets the pending values (and the addition) and cancels any edit the
  // recordset has open.
  void Cancel();

  // A field's value as the boxes show it: the pending value, else the row's.
  Value FieldValue(std::string_view field) const;
  // Sets a pending value (an empty text stands for null).
  void SetFieldValue(std::string_view field, const Value& value);

  int rowCount(const QModelIndex& parent = {}) const override;
  int columnCount(const QModelIndex& parent = {}) const override;
  QVariant data(const QModelIndex& index, int role = Qt::DisplayRole) const override;
  bool setData(const QModelIndex& index, const QVariant& value, int role = Qt::EditRole) override;
  Qt::ItemFlags flags(const QModelIndex& index) const override;
  QVariant headerData(int section, Qt::Orientation orientation,
                      int role = Qt::DisplayRole) const override;

 private:
  Value RowValue(int column) const;
  static QString Display(const Value& v);

  db::Recordset* rs_ = nullptr;
  std::vector<std::string> names_;
  std::map<int, Value> pending_;
  bool adding_ = false;
  bool edit_open_ = false;
};

}  // namespace orv::tarnby
