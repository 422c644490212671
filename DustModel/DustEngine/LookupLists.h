// The pick lists of the data-entry screens: collieries, coal areas, job
// factors, respirator factors and smoking categories, each over one stored
// list query of the dust data database.
//
// Lists of one kind share one query and one cursor on the thread: creating a
// list opens them afresh (every list of that kind then sees the new rows),
// ending any list of that kind closes them, after which the cursor members of
// the remaining lists of that kind fail with error 91. Creating a list before
// the dust data connection is ready fails with 9100 "Dust model database not
// initialised" (source "<Class>:Initialize").
//
// Every member passes failures on with the source "<Class>:<procedure>"
// ("CollieryList:RecordCount", "JobFactorList:Property Get ListEntry" ...).
// Moving past the end, reading ID or ListEntry at end of data, and
// RecordCount without a current row fail with the cursor's own errors.
//
// As an orv::RowSource a list has two columns: 0 the ListEntry text, 1 the ID.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "Component.h"
#include "DataLookups.h"
#include "ListControl.h"
#include "RowSource.h"
#include "Value.h"

namespace orv::dust {

// How one list kind reads its query (the table of the list kinds lives in
// LookupLists.cpp).
namespace detail {
struct ListTraits;
}

class LookupList : public orv::Component, public orv::RowSource {
 public:
  ~LookupList() override;
  std::string ClassName() const override;

  void MoveFirst() override;
  void MoveNext() override;
  void MoveLast();
  // Rows in the list; the cursor returns to its current row. Fails without a
  // current row (an empty list, or at end of data).
  int32_t RecordCount();
  // The EOF property: the cursor is past the last row.
  bool IsEOF() const override;
  // "Unique numeric ID of current entry in the list".
  int32_t ID() const;
  // "Text description to show for current entry in list".
  std::string ListEntry() const;

  // Appends every row to a combo box (ListEntry as text, ID as item data),
  // from the first row; the control is not cleared and the cursor ends at
  // end of data. Only "COMBOBOX" and "QCOMBO" controls (type name in upper
  // case) are filled; any other fails with error 5 "Can only fill combo
  // boxes - not <TYPE NAME>".
  void ComboFill(orv::ListControl* cboToFill);

  // The list-filling callback of function-filled list boxes. Code: 0
  // initialize (caches the rows from the current row on; true), 1 open (a
  // unique fill identifier: seconds since midnight), 3 rows, 4 columns,
  // 5 column width (0 for the hidden identifier column, else -1), 6 value of
  // (row, col), 7 format (-1), 9 end (clears the cache); others empty. fld
  // is the calling control, not used.
  orv::Value AccessListFill(const void* fld, const orv::Value& ID, const orv::Value& row,
                            const orv::Value& col, const orv::Value& Code);

  int ColumnCount() const override { return 2; }
  orv::Value Column(int index) const override;

 protected:
  // Opens the kind's shared query and cursor (the caller has set nothing on
  // it yet; SetParameters runs before the cursor is opened).
  explicit LookupList(const detail::ListTraits& info);
  SharedListCursor& Slot() const;
  db::Recordset& Cursor() const;  // error 91 when the shared cursor is gone
  const detail::ListTraits& Traits() const { return traits_; }

 private:
  struct CacheRow {
    std::string text1;
    std::string text2;
    int32_t id = 0;
  };
  std::string JoinFields(const char* const* fields) const;

  const detail::ListTraits& traits_;
  std::vector<CacheRow> list_fill_cache_;
};

class CollieryList : public LookupList {
 public:
  static constexpr const char* kClassName = "OrvDust.CollieryList";
  CollieryList();
  // The coal area filter; writing re-runs the shared cursor for that area
  // (then at its first row).
  int32_t CoalAreaID() const { return coal_area_id_; }
  void SetCoalAreaID(int32_t v);
  // The coal area of a colliery, 0 when there is no such colliery. The
  // list's own cursor is not moved.
  int32_t CoalAreaIDOfColliery(int32_t lCollieryID);

 private:
  int32_t coal_area_id_ = 0;
};

class CoalAreaList : public LookupList {
 public:
  static constexpr const char* kClassName = "OrvDust.CoalAreaList";
  CoalAreaList();
};

class JobFactorList : public LookupList {
 public:
  static constexpr const char* kClassName = "OrvDust.JobFactorList";
  JobFactorList();
};

class RespFactorList : public LookupList {
 public:
  static constexpr const char* kClassName = "OrvDust.RespFactorList";
  RespFactorList();
  // As a data source: a non-empty data member name gets the shared cursor
  // (its columns as the query gives them), the empty name gets nothing.
  std::shared_ptr<orv::RowSource> GetDataMember(std::string_view DataMember);
};

class SmokeFactorList : public LookupList {
 public:
  static constexpr const char* kClassName = "OrvDust.SmokeFactorList";
  SmokeFactorList();
};

}  // namespace orv::dust
