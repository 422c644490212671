// The dust matrix of one colliery in memory: its ranges of years, in order
// of addition, with the range arithmetic the expansion needs (clear a span
// of years, copy a span from another colliery's stored matrix, re-mark a
// span) and the reading and writing of the colliery's rows in the dust data
// database. One object serves colliery after colliery: set the colliery,
// build its ranges, write them, clear.
//
// Failures are passed on through the run's error reporter with the source
// "CollieryMatrix:" and the procedure's name (and " - " and the step in
// hand where the procedure has steps); the operations answer true or fail.
#pragma once

#include <cstdint>
#include <memory>
#include <string>

#include "Collection.h"
#include "Database.h"
#include "ExpansionRun.h"
#include "Value.h"
#include "detail/MatrixEntry.h"

namespace orv::dustm::detail {

class CollieryMatrix {
 public:
  explicit CollieryMatrix(ExpansionRun& run);
  ~CollieryMatrix();
  CollieryMatrix(const CollieryMatrix&) = delete;
  CollieryMatrix& operator=(const CollieryMatrix&) = delete;

  // The colliery the ranges belong to (0 at creation).
  void SetCollieryID(int32_t id) { colliery_id_ = id; }

  // The operations below answer true or fail (OrvError, passed on under
  // "CollieryMatrix:" and the procedure's name); they never answer false.

  // Keeps the database and prepares qAddDustMatrix, qClearDustMatrixForColliery
  // and qDustMatrixForColliery.
  bool SetupDB(orv::db::DatabasePtr db);

  // Removes every range. Keys keep counting: they are never reused.
  void Clear();
  // Appends a range of this colliery with the next key ("KEY:1", "KEY:2" ...).
  // Checks nothing: the caller keeps ranges from overlapping.
  MatrixEntry& Add(const Value& vStartYear, const Value& vEndYear, float sngDustVal,
                   const Value& vMarker, const Value& vSource);

  // Takes the years a to b (inclusive) out of the ranges, shortening,
  // splitting or removing them.
  bool ClearRange(int16_t iStartRange, int16_t iEndRange);
  // Replaces the ranges with the colliery's stored rows.
  bool LoadFromDatabase();
  // Deletes the colliery's stored rows.
  bool ClearMatrixEntries();
  // Replaces the colliery's stored rows with the ranges, in order.
  bool WriteMatrixEntries();
  // Fills the years a to b with the stored matrix of another colliery (its
  // values and markers, with `vSource` as source).
  bool MakeEquivalent(int32_t lEquivCollieryID, int16_t iStartRange, int16_t iEndRange,
                      const Value& vSource);
  // Gives the years a to b the marker `vMarker`, keeping their values.
  bool AlterMarker(const Value& vMarker, int16_t iStartRange, int16_t iEndRange);

  int32_t Count() const { return count_; }
  // By 1-based position (error 9 outside) or by key, ignoring case (error 5
  // for a key not there).
  MatrixEntry& Item(int32_t index) { return *items_.Item(index); }
  MatrixEntry& Item(std::string_view key);

  // Enumerates the ranges in order of addition.
  using Items = KeyedCollection<std::unique_ptr<MatrixEntry>>;
  Items::iterator begin() { return items_.begin(); }
  Items::iterator end() { return items_.end(); }

 private:
  [[noreturn]] void Fail(const std::string& procedure, const std::string& step = {});
  void RemoveAt(int32_t index);
  void RequeryFor(int32_t colliery_id);
  void ReleaseDatabaseObjects() noexcept;

  ExpansionRun& run_;
  int32_t colliery_id_ = 0;
  Items items_;
  int32_t count_ = 0;
  int64_t key_counter_ = 0;
  orv::db::DatabasePtr db_;
  orv::db::QueryDefPtr add_;
  orv::db::QueryDefPtr clear_;
  orv::db::QueryDefPtr for_colliery_;
  orv::db::RecordsetPtr rows_;
};

}  // namespace orv::dustm::detail
