#include "detail/CollieryMatrix.h"

#include "MessageBox.h"
#include "OrvError.h"
#include "Text.h"

namespace orv::dustm::detail {

namespace {
constexpr const char* kPrefix = "CollieryMatrix:";
}  // namespace

CollieryMatrix::CollieryMatrix(ExpansionRun& run) : run_(run) {}

CollieryMatrix::~CollieryMatrix() {
  ReleaseDatabaseObjects();
  items_.Clear();
}

void CollieryMatrix::Fail(const std::string& procedure, const std::string& step) {
  std::string source = kPrefix + procedure;
  if (!step.empty()) source += " - " + step;
  run_.Errors().Raise(0, source);
  throw;  // the reporter raises in its default show mode; never left pending
}

void CollieryMatrix::ReleaseDatabaseObjects() noexcept {
  rows_.reset();
  for_colliery_.reset();
  clear_.reset();
  add_.reset();
  db_.reset();
}

bool CollieryMatrix::SetupDB(orv::db::DatabasePtr db) {
  std::string step;
  try {
    step = "Setting database reference";
    db_ = std::move(db);
    step = "Referencing dust database querydefs";
    step = "Setting Add Dust Matrix query";
    add_ = db_->QueryDefs("qAddDustMatrix");
    step = "Setting Clear Dust Matrix For Colliery query";
    clear_ = db_->QueryDefs("qClearDustMatrixForColliery");
    step = "Setting Dust Matrix For Colliery query";
    for_colliery_ = db_->QueryDefs("qDustMatrixForColliery");
    step = "Initialising Dust Matrix For Colliery query";
    for_colliery_->SetParameter("CollieryID", Value(0));
    rows_ = for_colliery_->OpenRecordset(orv::db::RecordsetType::Snapshot);
    step = "Exiting routine";
    return true;
  } catch (...) {
    Fail("SetupDB", step);
  }
}

void CollieryMatrix::Clear() {
  while (items_.Count() > 0) RemoveAt(items_.Count());
  if (count_ != 0) {
    MsgBox("Nasty consistency error in collection - index left at " + std::to_string(count_) +
           " after clear");
    count_ = 0;
  }
}

MatrixEntry& CollieryMatrix::Item(std::string_view key) {
  for (const auto& e : items_) {
    if (IEquals(e->Key(), key)) return *e;
  }
  RaiseStandard(err::kInvalidCall);
}

void CollieryMatrix::RemoveAt(int32_t index) {
  items_.Remove(index);
  --count_;
}

MatrixEntry& CollieryMatrix::Add(const Value& vStartYear, const Value& vEndYear, float sngDustVal,
                                 const Value& vMarker, const Value& vSource) {
  try {
    auto entry = std::make_unique<MatrixEntry>(run_);
    entry->SetCollieryID(colliery_id_);
    entry->SetStartYear(vStartYear);
    entry->SetEndYear(vEndYear);
    entry->SetDustVal(sngDustVal);
    entry->SetMarker(vMarker);
    entry->SetSource(vSource);
    ++key_counter_;
    std::string key = "KEY:" + std::to_string(key_counter_);
    entry->SetKey(key);
    MatrixEntry& added = *entry;
    // Keys come from the counter and cannot repeat, so the collection need
    // not look for a duplicate on every addition; Item(key) finds them.
    items_.Add(std::move(entry));
    ++count_;
    return added;
  } catch (...) {
    Fail("Add");
  }
}

bool CollieryMatrix::ClearRange(int16_t a, int16_t b) {
  try {
    // Ranges split off during the pass are added at the end and lie after b,
    // so the pass looks only at the ranges it started with.
    const int32_t before = items_.Count();
    int32_t i = 1;
    for (int32_t seen = 0; seen < before; ++seen) {
      MatrixEntry& e = *items_.Item(i);
      const int16_t s = e.Start();
      const int16_t en = e.End();
      if (s >= a && s <= b) {
        if (en <= b) {
          RemoveAt(i);
          continue;
        }
        e.SetStartYear(Value(b + 1));
      } else if (s < a) {
        if (en >= a && en <= b) {
          e.SetEndYear(Value(a - 1));
        } else if (en > b) {
          Add(Value(b + 1), Value(en), e.DustVal(), e.Marker(), e.Source());
          e.SetEndYear(Value(a - 1));
        }
      }
      ++i;
    }
    return true;
  } catch (...) {
    Fail("ClearRange");
  }
}

void CollieryMatrix::RequeryFor(int32_t colliery_id) {
  for_colliery_->SetParameter("CollieryID", Value(colliery_id));
  rows_->Requery(for_colliery_.get());
}

bool CollieryMatrix::LoadFromDatabase() {
  try {
    Clear();
    RequeryFor(colliery_id_);
    for (; !rows_->IsEOF(); rows_->MoveNext()) {
      Add(rows_->Field("StartYear"), rows_->Field("EndYear"), rows_->Field("DustVal").AsSingle(),
          rows_->Field("Marker"), rows_->Field("Source"));
    }
    return true;
  } catch (...) {
    Fail("LoadFromDatabase");
  }
}

bool CollieryMatrix::ClearMatrixEntries() {
  try {
    clear_->SetParameter("CollieryID", Value(colliery_id_));
    clear_->Execute();
    return true;
  } catch (...) {
    Fail("ClearMatrixEntries");
  }
}

bool CollieryMatrix::WriteMatrixEntries() {
  try {
    if (!ClearMatrixEntries()) return false;
    for (const auto& e : items_) {
      add_->SetParameter("CollieryID", Value(e->CollieryID()));
      add_->SetParameter("StartYear", e->StartYear());
      add_->SetParameter("EndYear", e->EndYear());
      add_->SetParameter("DustVal", Value(e->DustVal()));
      add_->SetParameter("Marker", e->Marker());
      add_->SetParameter("Source", e->Source());
      add_->Execute();
    }
    return true;
  } catch (...) {
    Fail("WriteMatrixEntries");
  }
}

bool CollieryMatrix::MakeEquivalent(int32_t lEquivCollieryID, int16_t a, int16_t b,
                                    const Value& vSource) {
  try {
    if (!ClearRange(a, b)) return false;
    RequeryFor(lEquivCollieryID);
    for (; !rows_->IsEOF(); rows_->MoveNext()) {
      const int16_t s = rows_->Field("StartYear").AsInt16();
      const int16_t e = rows_->Field("EndYear").AsInt16();
      int16_t from = s;
      int16_t to = e;
      if (s > b || e < a) continue;  // wholly outside the span
      if (s < a) from = a;
      if (e > b) to = b;
      Add(Value(from), Value(to), rows_->Field("DustVal").AsSingle(), rows_->Field("Marker"),
          vSource);
    }
    return true;
  } catch (...) {
    Fail("MakeEquivalent");
  }
}

bool CollieryMatrix::AlterMarker(const Value& vMarker, int16_t a, int16_t b) {
  try {
    // Pieces added during the pass already carry their final marker.
    const int32_t before = items_.Count();
    for (int32_t i = 1; i <= before; ++i) {
      MatrixEntry& e = *items_.Item(i);
      const int16_t s = e.Start();
      const int16_t en = e.End();
      if (s >= a && s <= b) {
        if (en <= b) {
          e.SetMarker(vMarker);
        } else {
          Add(Value(s), Value(b), e.DustVal(), vMarker, e.Source());
          e.SetStartYear(Value(b + 1));
        }
      } else if (s < a && en >= a && en <= b) {
        Add(Value(a), Value(en), e.DustVal(), vMarker, e.Source());
        e.SetEndYear(Value(a - 1));
      } else if (s < a && en > b) {
        Add(Value(s), Value(a - 1), e.DustVal(), e.Marker(), e.Source());
        Add(Value(b + 1), Value(en), e.DustVal(), e.Marker(), e.Source());
        e.SetStartYear(Value(a));
        e.SetEndYear(Value(b));
        e.SetMarker(vMarker);
      }
    }
    return true;
  } catch (...) {
    Fail("AlterMarker");
  }
}

}  // namespace orv::dustm::detail
