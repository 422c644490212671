// The navigation and field checks both engines' recordsets share.
#include "RecordsetBase.h"

#include "OrvError.h"
#include "Text.h"

namespace orv::db::detail {

namespace {

constexpr const char* kSource = "DAO.Recordset";

[[noreturn]] void RaiseNoCurrent() {
  Raise(dberr::kNoCurrentRecord, kSource, "No current record.");
}

// Characters in UTF-8 text (the unit of a text field's size).
size_t CharCount(const std::string& text) {
  size_t n = 0;
  for (unsigned char c : text) n += (c & 0xC0) != 0x80;
  return n;
}

}  // namespace

void RecordsetBase::RequireCurrent() const {
  if (!HasCurrent()) RaiseNoCurrent();
}

int RecordsetBase::Column(std::string_view name) const {
  Check();
  // Fields are mostly read by name in their order, row after row: the
  // search begins after the field found last. A name given twice (as a
  // join may) means the first such field, so the search then always begins
  // at the first.
  const size_t n = names_.size();
  if (names_unique_ < 0) {
    names_unique_ = 1;
    for (size_t i = 0; i < n && names_unique_; ++i)
      for (size_t j = i + 1; j < n; ++j)
        if (IEquals(names_[i], names_[j])) {
          names_unique_ = 0;
          break;
        }
  }
  const size_t start = names_unique_ && next_column_ < n ? next_column_ : 0;
  for (size_t k = 0; k < n; ++k) {
    const size_t i = start + k < n ? start + k : start + k - n;
    if (IEquals(names_[i], name)) {
      next_column_ = i + 1;
      return static_cast<int>(i);
    }
  }
  RaiseItemNotFound("DAO.Fields");
}

std::string RecordsetBase::FieldName(int index) const {
  Check();
  if (index < 0 || size_t(index) >= names_.size()) RaiseItemNotFound("DAO.Fields");
  return names_[size_t(index)];
}

void RecordsetBase::MoveTo(int pos, int step) {
  mode_ = Mode::None;
  pos_ = pos;
  while (HasCurrent() && updatable_ && !RefreshRow(pos_)) {
    Drop(pos_);
    if (step == 0) return;
    do pos_ += step;
    while (pos_ >= 0 && pos_ < nrows_ && deleted_[size_t(pos_)]);
  }
}

void RecordsetBase::MoveFirst() {
  Check();
  if (live_ == 0) RaiseNoCurrent();
  int p = 0;
  while (p < nrows_ && deleted_[size_t(p)]) ++p;
  MoveTo(p, 1);
}

void RecordsetBase::MoveLast() {
  Check();
  if (live_ == 0) RaiseNoCurrent();
  int p = nrows_ - 1;
  while (p >= 0 && deleted_[size_t(p)]) --p;
  MoveTo(p, -1);
}

void RecordsetBase::MoveNext() {
  if (IsEOF()) RaiseNoCurrent();
  int p = pos_ + 1;
  while (p < nrows_ && deleted_[size_t(p)]) ++p;
  MoveTo(p, 1);
}

void RecordsetBase::MovePrevious() {
  if (IsBOF()) RaiseNoCurrent();
  int p = pos_ - 1;
  while (p >= 0 && deleted_[size_t(p)]) --p;
  MoveTo(p, -1);
}

int32_t RecordsetBase::AbsolutePosition() const {
  Check();
  if (!HasCurrent()) return -1;
  if (live_ == nrows_) return pos_;
  int32_t n = 0;
  for (int i = 0; i < pos_; ++i) n += deleted_[size_t(i)] ? 0 : 1;
  return n;
}

Value RecordsetBase::AsField(int c, const Value& value) const {
  const auto& kind = kinds_[size_t(c)];
  if (!kind || value.IsNull()) return value;
  try {
    return ConvertTo(*kind, value);
  } catch (const OrvError&) {
    return value;
  }
}

bool RecordsetBase::FindFirst(std::string_view field, const Value& value) {
  Check();
  const int c = Column(field);
  const Value wanted = AsField(c, value);
  const int was = pos_;
  if (live_ > 0) {
    for (MoveFirst(); !IsEOF(); MoveNext()) {
      if (Field(c) == wanted) return true;
    }
  }
  MoveTo(was, 0);
  return false;
}

Recordset::Bookmark RecordsetBase::GetBookmark() const {
  Check();
  RequireCurrent();
  return pos_ + 1;
}

void RecordsetBase::SetBookmark(Bookmark b) {
  Check();
  if (b < 1 || b > nrows_ || deleted_[size_t(b - 1)]) Raise(3159, kSource, "Not a valid bookmark.");
  MoveTo(static_cast<int>(b - 1), 0);
  if (!HasCurrent()) Raise(kRecordDeleted, kSource, "Record is deleted.");
}

Recordset::Bookmark RecordsetBase::LastModified() const {
  Check();
  if (last_modified_ == 0) RaiseNoCurrent();
  return last_modified_;
}

void RecordsetBase::RequeryWith(const std::vector<Value>& values) {
  Check();
  if (table_mode_ || !query_.empty()) {
    Raise(kNotSupported, kSource, "Operation is not supported for this type of object.");
  }
  values_ = values;  // assignment reuses the storage of the values before
  named_ = false;
  Run();
}

Value RecordsetBase::ForField(int c, const Value& value) const {
  const auto& kind = kinds_[size_t(c)];
  if (!kind) return value;
  Value v;
  try {
    v = ConvertTo(*kind, value);
  } catch (const OrvError& e) {
    if (e.Number() == err::kOverflow) RaiseNumericOverflow(kSource, names_[size_t(c)]);
    throw;
  }
  const int32_t size = sizes_[size_t(c)];
  if (*kind == FieldType::Text && size > 0 && v.kind() == Value::Kind::Text &&
      CharCount(std::get<std::string>(v.raw())) > size_t(size)) {
    RaiseFieldTooSmall(kSource, names_[size_t(c)]);
  }
  return v;
}

}  // namespace orv::db::detail
