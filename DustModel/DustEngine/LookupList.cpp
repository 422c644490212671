#include <chrono>
#include <ctime>

#include "LookupLists.h"
#include "OrvError.h"
#include "Text.h"
#include "detail/ClassError.h"
#include "detail/ListTraits.h"
#include "modGlobals.h"

namespace orv::dust {

// The library's private pieces (the member guard, the calculation pass,
// the class table).
using namespace detail;

namespace {

// Answers of the list-filling callback.
enum FillCode {
  kInitialize = 0,
  kOpen = 1,
  kRowCount = 3,
  kColumnCount = 4,
  kColumnWidth = 5,
  kValue = 6,
  kFormat = 7,
  kEnd = 9
};

constexpr int32_t kHiddenWidth = 0;
constexpr int32_t kDefaultWidth = -1;
constexpr int32_t kDefaultFormat = -1;

// Seconds since local midnight, as the timer reports it.
float SecondsSinceMidnight() {
  const auto now = std::chrono::system_clock::now();
  const std::time_t t = std::chrono::system_clock::to_time_t(now);
  std::tm local{};
  localtime_r(&t, &local);
  const auto whole = std::chrono::system_clock::from_time_t(t);
  const double fraction = std::chrono::duration<double>(now - whole).count();
  return static_cast<float>(local.tm_hour * 3600 + local.tm_min * 60 + local.tm_sec + fraction);
}

}  // namespace

LookupList::LookupList(const ListTraits& info) : traits_(info) {
  ClassGuard(traits_.prefix, "Initialize", [&] {
    RequireDataReady({});
    SharedListCursor fresh;
    fresh.database = OpenDataDB();
    fresh.def = fresh.database->QueryDefs(traits_.query);
    if (traits_.kind == ListKind::Colliery) fresh.def->SetParameter("WhatCoalAreaID", 0);
    fresh.cursor = fresh.def->OpenRecordset(db::RecordsetType::Snapshot);
    SharedListCursor& slot = Slot();
    slot.cursor.reset();
    slot = std::move(fresh);
  });
}

LookupList::~LookupList() {
  SharedListCursor& slot = Slot();
  slot.cursor.reset();
  slot.def.reset();
  slot.database.reset();
}

std::string LookupList::ClassName() const { return traits_.class_id; }

SharedListCursor& LookupList::Slot() const { return ListCursor(traits_.kind); }

db::Recordset& LookupList::Cursor() const {
  SharedListCursor& slot = Slot();
  if (!slot.cursor) RaiseStandard(err::kObjectNotSet);
  return *slot.cursor;
}

void LookupList::MoveFirst() {
  ClassGuard(traits_.prefix, "MoveFirst", [&] { Cursor().MoveFirst(); });
}

void LookupList::MoveNext() {
  ClassGuard(traits_.prefix, "MoveNext", [&] { Cursor().MoveNext(); });
}

void LookupList::MoveLast() {
  ClassGuard(traits_.prefix, "MoveLast", [&] { Cursor().MoveLast(); });
}

int32_t LookupList::RecordCount() {
  return ClassGuard(traits_.prefix, "RecordCount", [&] {
    db::Recordset& rs = Cursor();
    const db::Recordset::Bookmark here = rs.GetBookmark();
    rs.MoveLast();
    const int32_t n = rs.RecordCount();
    rs.SetBookmark(here);
    return n;
  });
}

bool LookupList::IsEOF() const {
  return ClassGuard(traits_.prefix, "Property Get EOF", [&] { return Cursor().IsEOF(); });
}

int32_t LookupList::ID() const {
  return ClassGuard(traits_.prefix, "Property Get ID",
                    [&] { return Cursor().Field("ID").AsInt32(); });
}

std::string LookupList::JoinFields(const char* const* fields) const {
  const db::Recordset& rs = Cursor();
  std::string text;
  for (int i = 0; fields[i] != nullptr; ++i) {
    if (i > 0) text += "; ";
    text += rs.Field(fields[i]).TextOrEmpty();
  }
  return text;
}

std::string LookupList::ListEntry() const {
  return ClassGuard(traits_.prefix, "Property Get ListEntry",
                    [&] { return JoinFields(traits_.entry_fields); });
}

orv::Value LookupList::Column(int index) const {
  if (index == 0) return ListEntry();
  if (index == 1) return ID();
  try {
    RaiseStandard(err::kSubscriptOutOfRange);
  } catch (...) {
    RaiseClassError(traits_.prefix, "Column");
  }
}

void LookupList::ComboFill(orv::ListControl* cboToFill) {
  ClassGuard(traits_.prefix, "ComboFill", [&] {
    if (cboToFill == nullptr) RaiseStandard(err::kObjectNotSet);
    const std::string type = UpperAscii(cboToFill->TypeName());
    if (type != "COMBOBOX" && type != "QCOMBO")
      throw OrvError(err::kInvalidCall, {}, "Can only fill combo boxes - not " + type);
    db::Recordset& rs = Cursor();
    rs.MoveFirst();
    while (!rs.IsEOF()) {
      cboToFill->AddItem(JoinFields(traits_.entry_fields));
      cboToFill->SetItemData(cboToFill->NewIndex(), rs.Field("ID").AsInt32());
      rs.MoveNext();
    }
  });
}

orv::Value LookupList::AccessListFill(const void* /*fld*/, const orv::Value& /*ID*/,
                                      const orv::Value& row, const orv::Value& col,
                                      const orv::Value& Code) {
  return ClassGuard(traits_.prefix, "AccessListFill", [&]() -> Value {
    const int32_t id_column = traits_.fill_columns - 1;
    switch (Code.AsInt32()) {
      case kInitialize: {
        const int32_t n = RecordCount();
        db::Recordset& rs = Cursor();
        list_fill_cache_.assign(static_cast<size_t>(n), CacheRow{});
        for (CacheRow& r : list_fill_cache_) {
          r.text1 = JoinFields(traits_.fill_text1);
          r.text2 = JoinFields(traits_.fill_text2);
          r.id = rs.Field("ID").AsInt32();
          rs.MoveNext();
        }
        rs.MoveFirst();
        return true;
      }
      case kOpen:
        return SecondsSinceMidnight();
      case kRowCount:
        return static_cast<int32_t>(list_fill_cache_.size());
      case kColumnCount:
        return traits_.fill_columns;
      case kColumnWidth:
        return col.AsInt32() == id_column ? kHiddenWidth : kDefaultWidth;
      case kValue: {
        const int32_t r = row.AsInt32();
        if (r < 0 || r >= static_cast<int32_t>(list_fill_cache_.size()))
          RaiseStandard(err::kSubscriptOutOfRange);
        const CacheRow& entry = list_fill_cache_[static_cast<size_t>(r)];
        const int32_t c = col.AsInt32();
        if (c == id_column) return entry.id;
        if (c == 0) return entry.text1;
        if (c == 1) return entry.text2;
        return {};
      }
      case kFormat:
        return kDefaultFormat;
      case kEnd:
        list_fill_cache_.clear();
        return {};
      default:
        return {};
    }
  });
}

}  // namespace orv::dust
