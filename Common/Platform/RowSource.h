// A forward cursor with columns by position: what a list control needs to
// fill itself from a recordset or one of the engine's lookup lists.
#pragma once

#include "Value.h"

namespace orv {

class RowSource {
 public:
  virtual ~RowSource() = default;
  virtual void MoveFirst() = 0;
  virtual void MoveNext() = 0;
  virtual bool IsEOF() const = 0;
  virtual int ColumnCount() const = 0;
  // 0-based column of the current row.
  virtual Value Column(int index) const = 0;
};

}  // namespace orv
