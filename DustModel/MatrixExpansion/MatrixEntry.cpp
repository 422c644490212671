#include "detail/MatrixEntry.h"

#include "OrvError.h"

namespace orv::dustm::detail {

MatrixEntry::MatrixEntry(ExpansionRun& run) : run_(&run) {}

int16_t MatrixEntry::TakeYear(const Value& v, int16_t def, const char* source,
                              const char* message) {
  if (v.IsNull()) return def;
  if (v.kind() != Value::Kind::Integer) {
    run_->Errors().Raise(err::kInvalidPropertyValue, source, message);
  }
  try {
    return v.AsInt64() > 0 ? v.AsInt16() : def;
  } catch (...) {
    run_->Errors().Raise(0, source);  // a number too large for a year
  }
  return def;
}

// The default is in place before the value is looked at, so a refused value
// leaves it.
void MatrixEntry::SetStartYear(const Value& v) {
  start_year_ = run_->values.DefStartYear;
  start_year_ = TakeYear(v, run_->values.DefStartYear, "MatrixEntry:StartYear",
                         "Start year must be an integer");
}

void MatrixEntry::SetEndYear(const Value& v) {
  end_year_ = run_->values.DefEndYear;
  end_year_ =
      TakeYear(v, run_->values.DefEndYear, "MatrixEntry:EndYear", "End year must be an integer");
}

}  // namespace orv::dustm::detail
