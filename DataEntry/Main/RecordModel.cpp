#include "RecordModel.h"

#include "OrvError.h"
#include "Text.h"

namespace orv::tarnby {

RecordModel::RecordModel(QObject* parent) : QAbstractTableModel(parent) {}

void RecordModel::SetRecordset(db::Recordset* rs) {
  beginResetModel();
  rs_ = rs;
  names_.clear();
  if (rs_) {
    for (int i = 0; i < rs_->FieldCount(); ++i) names_.push_back(rs_->FieldName(i));
  }
  pending_.clear();
  adding_ = false;
  unread_ = false;
  edit_open_ = false;  // an edit belongs to the recordset it was opened on
  endResetModel();
}

int RecordModel::Column(std::string_view field) const {
  for (size_t i = 0; i < names_.size(); ++i) {
    if (IEquals(names_[i], field)) return static_cast<int>(i);
  }
  return -1;
}

void RecordModel::Refresh() {
  if (edit_open_ && rs_) {
    edit_open_ = false;
    try {
      rs_->CancelUpdate();
    } catch (const OrvError&) {
      // The recordset closed the edit itself.
    }
  }
  pending_.clear();
  adding_ = false;
  unread_ = false;
  if (!names_.empty()) emit dataChanged(index(0, 0), index(0, columnCount() - 1));
}

bool RecordModel::HasRow() const {
  return adding_ || (rs_ && !rs_->IsEOF() && !rs_->IsBOF() && rs_->AbsolutePosition() >= 0);
}

void RecordModel::BeginAdd() {
  pending_.clear();
  adding_ = true;
  if (!names_.empty()) emit dataChanged(index(0, 0), index(0, columnCount() - 1));
}

void RecordModel::BeginEdit() {
  if (!rs_ || adding_ || edit_open_) return;
  rs_->Edit();
  edit_open_ = true;
}

void RecordModel::Save() {
  if (!rs_) return;
  if (!Dirty()) {
    if (edit_open_) {
      edit_open_ = false;
      rs_->CancelUpdate();
    }
    return;
  }
  if (adding_) {
    rs_->AddNew();
  } else if (!edit_open_) {
    rs_->Edit();
  }
  edit_open_ = false;
  try {
    for (const auto& [column, value] : pending_) rs_->SetField(names_[size_t(column)], value);
    rs_->Update();
  } catch (...) {
    // A lost connection keeps the edit as it was begun: the next Save
    // connects again and is still refused (3197) when another user saved
    // the row in between.
    if (!adding_ && CurrentError().Number() == db::dberr::kConnectionLost) {
      edit_open_ = true;
      throw;
    }
    try {
      rs_->CancelUpdate();
    } catch (const OrvError&) {
      // A refused update has closed the edit already.
    }
    throw;
  }
  if (adding_) rs_->SetBookmark(rs_->LastModified());
  pending_.clear();
  adding_ = false;
  emit dataChanged(index(0, 0), index(0, columnCount() - 1));
}

void RecordModel::Cancel() {
  if (rs_) {
    try {
      rs_->CancelUpdate();
    } catch (const OrvError&) {
      // Nothing was open for update.
    }
  }
  edit_open_ = false;
  Refresh();
}

Value RecordModel::RowValue(int column) const {
  if (adding_ || !rs_ || rs_->IsEOF() || rs_->IsBOF()) return Value();
  try {
    return rs_->Field(column);
  } catch (const OrvError& e) {
    // No current row (or one another user deleted): the boxes show nothing.
    if (e.Number() == db::dberr::kNoCurrentRecord || e.Number() == db::dberr::kRecordDeleted) {
      return Value();
    }
    throw;
  }
}

void RecordModel::KeepFailure(const OrvError& e) const {
  unread_ = true;
  if (failure_) return;  // the first one is reported; the rest follow from it
  failure_ = e;
  emit const_cast<RecordModel*>(this)->ReadFailed();
}

std::optional<OrvError> RecordModel::TakeFailure() {
  std::optional<OrvError> taken;
  taken.swap(failure_);
  return taken;
}

void RecordModel::ThrowIfFailed() {
  if (std::optional<OrvError> e = TakeFailure()) throw *e;
}

Value RecordModel::FieldValue(std::string_view field) const {
  const int c = Column(field);
  if (c < 0) return Value();
  if (auto it = pending_.find(c); it != pending_.end()) return it->second;
  return RowValue(c);
}

void RecordModel::SetFieldValue(std::string_view field, const Value& value) {
  const int c = Column(field);
  if (c < 0) RaiseStandard(err::kInvalidCall, "RecordModel:SetFieldValue");
  Value v = value;
  if (v.kind() == Value::Kind::Text && v.AsText().empty()) v = Value();
  if (v == RowValue(c) && !adding_) {
    pending_.erase(c);
  } else {
    pending_[c] = v;
  }
  emit dataChanged(index(0, c), index(0, c));
}

void RecordModel::SetFormat(std::string_view field, Format format) {
  formats_[UpperAscii(std::string(field))] = std::move(format);
}

QString RecordModel::Display(int column, const Value& v) const {
  if (!formats_.empty() && !v.IsNull()) {
    const auto it = formats_.find(UpperAscii(names_[size_t(column)]));
    if (it != formats_.end()) return it->second(v);
  }
  return QString::fromStdString(v.TextOrEmpty());
}

int RecordModel::rowCount(const QModelIndex& parent) const { return parent.isValid() ? 0 : 1; }

int RecordModel::columnCount(const QModelIndex& parent) const {
  return parent.isValid() ? 0 : static_cast<int>(names_.size());
}

QVariant RecordModel::data(const QModelIndex& index, int role) const {
  if (!index.isValid() || (role != Qt::DisplayRole && role != Qt::EditRole)) return {};
  // After a failure the other fields would each wait for the same lock or
  // meet the same damage: they show nothing until it has been reported.
  if (failure_) return {};
  Value v;
  try {
    v = FieldValue(names_[size_t(index.column())]);
  } catch (const OrvError& e) {
    KeepFailure(e);  // Qt asked: it cannot be raised through its code
    return {};
  }
  // The combos bind their identifier (an integer property).
  if (role == Qt::EditRole && v.kind() == Value::Kind::Integer) {
    return QVariant::fromValue(static_cast<int>(v.AsInt32()));
  }
  return Display(index.column(), v);
}

bool RecordModel::setData(const QModelIndex& index, const QVariant& value, int role) {
  if (!index.isValid() || role != Qt::EditRole) return false;
  // Blank boxes left by a failed read are not the row's values.
  if (unread_) return false;
  try {
    const std::string& name = names_[size_t(index.column())];
    const Value now = FieldValue(name);
    Value next;
    if (value.typeId() == QMetaType::Int) {
      next = Value(value.toInt());
      if (now.IsNull() && value.toInt() == 0) return true;  // no choice stays null
    } else {
      next = Value(value.toString().toStdString());
    }
    // Only a real change makes the record dirty: the text of a number reads
    // back the same as the number itself.
    if (Display(index.column(), now) == Display(index.column(), next)) return true;
    SetFieldValue(name, next);
  } catch (const OrvError& e) {
    KeepFailure(e);  // Qt's mapper asked: it cannot be raised through its code
    return false;
  }
  return true;
}

Qt::ItemFlags RecordModel::flags(const QModelIndex& index) const {
  if (!index.isValid()) return Qt::NoItemFlags;
  return Qt::ItemIsEnabled | Qt::ItemIsSelectable | Qt::ItemIsEditable;
}

QVariant RecordModel::headerData(int section, Qt::Orientation orientation, int role) const {
  if (orientation == Qt::Horizontal && role == Qt::DisplayRole && section >= 0 &&
      section < columnCount()) {
    return QString::fromStdString(names_[size_t(section)]);
  }
  return {};
}

}  // namespace orv::tarnby
