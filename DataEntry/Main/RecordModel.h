// The current row of a recordset as a one-row Qt model, so that a form's
// boxes bind to its fields through QDataWidgetMapper (one column per field,
// found by field name). Changes typed into the boxes are kept as pending
// values until Save writes them to the row (Edit or AddNew, SetField,
// Update); Refresh drops them and reads the row again. The recordset moves
// elsewhere (the record control, a requery); the model only follows.
#pragma once

#include <QAbstractTableModel>
#include <functional>
#include <map>
#include <optional>
#include <string>
#include <string_view>

#include "Database.h"
#include "OrvError.h"
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
  // values kept; a lost connection (3151) leaves the edit open, so that the
  // next Save still compares the row with the one the edit began on.
  void Save();
  // Forgets the pending values (and the addition) and cancels any edit the
  // recordset has open.
  void Cancel();

  // A field's value as the boxes show it: the pending value, else the row's.
  // Without a current row the value is empty; any other database failure
  // (a damaged file, another user's lock outlasting the wait) is raised.
  Value FieldValue(std::string_view field) const;

  // How the boxes show a field's value (a date in the user's locale, a
  // number with fixed decimals); without one, the value's text. A shown
  // value that reads back unchanged is no change.
  using Format = std::function<QString(const Value&)>;
  void SetFormat(std::string_view field, Format format);

  // A database failure met while Qt read or wrote the boxes (where it cannot
  // be raised): kept until taken, and announced once by ReadFailed.
  std::optional<OrvError> TakeFailure();
  // Raises the kept failure, if any, and forgets it.
  void ThrowIfFailed();
  // True after the boxes could not be read, until the row is read again
  // (Refresh, SetRecordset): what they show then is no value of the row, so
  // it is never written back.
  bool Unread() const { return unread_; }
  // Sets a pending value (an empty text stands for null).
  void SetFieldValue(std::string_view field, const Value& value);

  int rowCount(const QModelIndex& parent = {}) const override;
  int columnCount(const QModelIndex& parent = {}) const override;
  QVariant data(const QModelIndex& index, int role = Qt::DisplayRole) const override;
  bool setData(const QModelIndex& index, const QVariant& value, int role = Qt::EditRole) override;
  Qt::ItemFlags flags(const QModelIndex& index) const override;
  QVariant headerData(int section, Qt::Orientation orientation,
                      int role = Qt::DisplayRole) const override;

 signals:
  // A failure was kept; connect queued and report TakeFailure().
  void ReadFailed();

 private:
  Value RowValue(int column) const;
  void KeepFailure(const OrvError& e) const;
  QString Display(int column, const Value& v) const;

  db::Recordset* rs_ = nullptr;
  std::vector<std::string> names_;
  std::map<int, Value> pending_;
  bool adding_ = false;
  bool edit_open_ = false;
  mutable std::optional<OrvError> failure_;
  mutable bool unread_ = false;
  std::map<std::string, Format> formats_;  // by upper-case field name
};

}  // namespace orv::tarnby
