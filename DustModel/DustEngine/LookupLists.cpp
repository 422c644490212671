// The five list kinds: their queries, texts and the members only some have.
#include "LookupLists.h"
#include "OrvError.h"
#include "detail/ClassError.h"
#include "detail/EngineFactory.h"
#include "detail/ListTraits.h"

namespace orv::dust {

// The library's private pieces (the member guard, the calculation pass,
// the class table).
using namespace detail;

namespace {

const ListTraits kCollieryTraits = {ListKind::Colliery,
                                    CollieryList::kClassName,
                                    "CollieryList:",
                                    "qCollieryList",
                                    {"Colliery", "AREA", nullptr},
                                    {"Colliery", nullptr},
                                    {"AREA", nullptr},
                                    3};
const ListTraits kCoalAreaTraits = {
    ListKind::CoalArea, CoalAreaList::kClassName, "CoalAreaList:", "qCoalAreaList",
    {"AREA", nullptr},  {"AREA", nullptr},        {nullptr},       2};
const ListTraits kJobFactorTraits = {
    ListKind::JobFactor, JobFactorList::kClassName, "JobFactorList:", "qJobFactorList",
    {"Descr", nullptr},  {"Descr", nullptr},        {nullptr},        2};
const ListTraits kRespFactorTraits = {
    ListKind::RespFactor, RespFactorList::kClassName, "RespFactorList:", "qRespFactorList",
    {"Descr", nullptr},   {"Descr", nullptr},         {nullptr},         2};
const ListTraits kSmokeFactorTraits = {
    ListKind::SmokeFactor,      SmokeFactorList::kClassName, "SmokeFactorList:", "qSmokeFactorList",
    {"Code", "Descr", nullptr}, {"Code", "Descr", nullptr},  {nullptr},          2};

const EngineClassRegistrar kCollieryListClass(CollieryList::kClassName,
                                              [] { return new CollieryList; });
const EngineClassRegistrar kCoalAreaListClass(CoalAreaList::kClassName,
                                              [] { return new CoalAreaList; });
const EngineClassRegistrar kJobFactorListClass(JobFactorList::kClassName,
                                               [] { return new JobFactorList; });
const EngineClassRegistrar kRespFactorListClass(RespFactorList::kClassName,
                                                [] { return new RespFactorList; });
const EngineClassRegistrar kSmokeFactorListClass(SmokeFactorList::kClassName,
                                                 [] { return new SmokeFactorList; });

// The shared cursor of a list kind as a row source with the query's own
// columns.
class CursorRowSource : public orv::RowSource {
 public:
  explicit CursorRowSource(ListKind kind) : kind_(kind) {}
  void MoveFirst() override { Cursor().MoveFirst(); }
  void MoveNext() override { Cursor().MoveNext(); }
  bool IsEOF() const override { return Cursor().IsEOF(); }
  int ColumnCount() const override { return Cursor().FieldCount(); }
  orv::Value Column(int index) const override { return Cursor().Field(index); }

 private:
  db::Recordset& Cursor() const {
    SharedListCursor& slot = ListCursor(kind_);
    if (!slot.cursor) RaiseStandard(err::kObjectNotSet);
    return *slot.cursor;
  }
  ListKind kind_;
};

}  // namespace

CollieryList::CollieryList() : LookupList(kCollieryTraits) {}

void CollieryList::SetCoalAreaID(int32_t v) {
  try {
    coal_area_id_ = v;
    SharedListCursor& slot = Slot();
    if (!slot.def || !slot.cursor) RaiseStandard(err::kObjectNotSet);
    slot.def->SetParameter("WhatCoalAreaID", v);
    slot.cursor->Requery(slot.def.get());
  } catch (...) {
    RaiseClassError(Traits().prefix, "Property Let CoalAreaID");
  }
}

int32_t CollieryList::CoalAreaIDOfColliery(int32_t lCollieryID) {
  try {
    CollieryRow row;
    return LookupCollieryByID(lCollieryID, row) ? row.CoalAreaID : 0;
  } catch (...) {
    RaiseClassError(Traits().prefix, "CoalAreaIDOfColliery");
  }
}

CoalAreaList::CoalAreaList() : LookupList(kCoalAreaTraits) {}

JobFactorList::JobFactorList() : LookupList(kJobFactorTraits) {}

RespFactorList::RespFactorList() : LookupList(kRespFactorTraits) {}

std::shared_ptr<orv::RowSource> RespFactorList::GetDataMember(std::string_view DataMember) {
  if (DataMember.empty()) return nullptr;
  return std::make_shared<CursorRowSource>(ListKind::RespFactor);
}

SmokeFactorList::SmokeFactorList() : LookupList(kSmokeFactorTraits) {}

}  // namespace orv::dust
