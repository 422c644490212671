// What the two engines' recordsets share: the set as rows by position, some
// of them deleted (by this recordset, or found gone when a keyset re-read
// them), the current position and its moves, bookmarks, the fields by name,
// and the checks of a value set into a field. Each engine reads and writes
// its rows itself (RefreshRow and the updates).
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "Detail.h"

namespace orv::db::detail {

class RecordsetBase : public Recordset {
 public:
  bool IsEOF() const override { return Check(), pos_ >= nrows_ || live_ == 0; }
  bool IsBOF() const override { return Check(), pos_ < 0 || live_ == 0; }
  void MoveFirst() override;
  void MoveNext() override;
  void MovePrevious() override;
  void MoveLast() override;
  int32_t RecordCount() const override { return Check(), live_; }
  int32_t AbsolutePosition() const override;

  Value Field(std::string_view name) const override { return Field(Column(name)); }
  using Recordset::Field;
  int FieldCount() const override { return Check(), static_cast<int>(names_.size()); }
  std::string FieldName(int index) const override;

  bool FindFirst(std::string_view field, const Value& value) override;

  Bookmark GetBookmark() const override;
  void SetBookmark(Bookmark b) override;
  Bookmark LastModified() const override;
  void CancelUpdate() override { Check(), mode_ = Mode::None; }
  void RequeryWith(const std::vector<Value>& values) override;

 protected:
  enum class Mode { None, Add, Edit };

  void Check() const {
    if (closed_) Raise(kObjectInvalid, "DAO.Recordset", "Object invalid or no longer set.");
  }
  bool HasCurrent() const { return pos_ >= 0 && pos_ < nrows_ && !deleted_[size_t(pos_)]; }
  void RequireCurrent() const;
  // The index of a field by name, ignoring case; 3265 when there is none.
  int Column(std::string_view name) const;
  // Moves to `pos`; an updatable set re-reads the row, and a row another
  // user has deleted is dropped from the set and passed over in the
  // direction of travel (`step` +1 or -1; 0 leaves the set on no current row).
  void MoveTo(int pos, int step);
  // Runs the set's statement again with its present values and parameters.
  virtual void Run() = 0;
  // Re-reads row `row` of an updatable set; false when it is gone.
  virtual bool RefreshRow(int row) = 0;
  // Takes a row out of the set (once: a row dropped already stays so).
  virtual void Drop(int row) {
    if (deleted_[size_t(row)]) return;
    deleted_[size_t(row)] = 1;
    --live_;
  }
  // `value` as field `c` holds it, for comparing (unconverted when it is
  // not of the field's type).
  Value AsField(int c, const Value& value) const;
  // `value` converted to field `c`'s type for SetField: 3349 for a number
  // outside it, 3163 for a text longer than the field.
  Value ForField(int c, const Value& value) const;

  // The field names were set anew (Column's search starts afresh).
  void NamesChanged() {
    names_unique_ = -1;
    next_column_ = 0;
  }

  bool closed_ = false;
  std::string query_;  // the stored query it runs, if any
  bool table_mode_ = false;
  std::vector<Value> values_;  // of the caller's "?" marks
  bool named_ = false;         // bound by parameter name, not by position
  bool updatable_ = false;
  std::vector<std::string> names_;  // set anew: NamesChanged()
  std::vector<std::optional<FieldType>> kinds_;
  std::vector<int32_t> sizes_;  // declared text sizes (0: none)
  std::vector<uint8_t> deleted_;
  mutable int names_unique_ = -1;  // -1: not yet known
  mutable size_t next_column_ = 0;  // after the field Column found last
  int nrows_ = 0;
  int live_ = 0;
  int pos_ = -1;
  Mode mode_ = Mode::None;
  Bookmark last_modified_ = 0;
};

}  // namespace orv::db::detail
