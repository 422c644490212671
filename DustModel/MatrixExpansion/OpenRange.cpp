#include "detail/OpenRange.h"

#include <string>

#include "detail/ExpansionError.h"

namespace orv::dustm::detail {
namespace {

constexpr const char* kProgressText = "Preparing table of colliery open ranges";

// Counts a nesting level for as long as it lives, so that a failure deep in
// a chain leaves the depth as it found it.
class DepthGuard {
 public:
  explicit DepthGuard(int& depth) : depth_(depth) { ++depth_; }
  ~DepthGuard() { --depth_; }
  DepthGuard(const DepthGuard&) = delete;
  DepthGuard& operator=(const DepthGuard&) = delete;

 private:
  int& depth_;
};

bool HasYear(const Value& v) { return !v.IsNull() && v.AsInt64() != 0; }

}  // namespace

bool OpenRanges::PrepareOpenRange() {
  std::string step;
  try {
    orv::db::Database& db = *run_.db;
    run_.Show(kProgressText, 0.0);
    step = "Clearing OPENRANGE table";
    db.QueryDefs("qOpenRangeEmpty")->Execute();
    run_.Show({}, 0.2);

    step = "Filling OPENRANGE table with normal open ranges";
    db.QueryDefs("qOpenRangeNormal")->Execute();
    run_.Show({}, 0.4);

    step = "Adjusting OPENRANGE table to set open start years";
    auto fix_start = db.QueryDefs("qOpenRangeFixStart");
    fix_start->SetParameter("DefStart", Value(run_.values.DefStartYear));
    fix_start->Execute();
    run_.Show({}, 0.6);

    step = "Adjusting OPENRANGE table to set open end years";
    auto fix_end = db.QueryDefs("qOpenRangeFixEnd");
    fix_end->SetParameter("DefEnd", Value(run_.values.DefEndYear));
    fix_end->Execute();
    run_.Show({}, 0.8);

    // Each run reaches one link further along chains of equivalents.
    step = "Adjusting OPENRANGE table to add equivalent open ranges";
    auto equiv = db.QueryDefs("qOpenRangeEquiv");
    for (int runs = 0; runs < kMaxEquivRuns; ++runs) {
      if (equiv->Execute() == 0) break;
    }
    run_.Show({}, 1.0);

    step = "Setting colliery open range query";
    lookup_ = db.QueryDefs("qOpenRange");
    step = "Initialising colliery open range query";
    lookup_->SetParameter("CollieryID", Value(0));
    row_ = lookup_->OpenRecordset(orv::db::RecordsetType::Snapshot);
    return true;
  } catch (...) {
    PassOnExpansionError(run_, "PrepareOpenRange: " + step);
  }
}

bool OpenRanges::GetOpenRange(int32_t lCollieryID, int16_t& iStartYear, int16_t& iEndYear) {
  const DepthGuard guard(depth_);
  try {
    if (depth_ > kMaxDepth) {
      throw OrvError(kErrRecursionTooDeep, "GetOpenRange",
                     ExpansionErrorText(kErrRecursionTooDeep));
    }
    iStartYear = run_.values.DefStartYear;
    iEndYear = run_.values.DefEndYear;
    lookup_->SetParameter("CollieryID", Value(lCollieryID));
    row_->Requery(lookup_.get());
    if (row_->IsEOF()) return true;

    const Value equiv = row_->Field("EQUIVCOLLIERYID");
    if (!equiv.IsNull() && equiv.AsInt64() > 0) {
      return GetOpenRange(equiv.AsInt32(), iStartYear, iEndYear);
    }
    const Value start = row_->Field("StartYear");
    const Value end = row_->Field("EndYear");
    if (HasYear(start)) iStartYear = start.AsInt16();
    if (HasYear(end)) iEndYear = end.AsInt16();
    return true;
  } catch (...) {
    PassOnExpansionError(run_,
                         "Retrieving colliery open range, colliery " + std::to_string(lCollieryID));
  }
}

}  // namespace orv::dustm::detail
