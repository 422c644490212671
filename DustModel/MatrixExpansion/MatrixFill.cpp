#include "MatrixFill.h"

#include <algorithm>
#include <string>

#include "DustRounding.h"
#include "ErrorHandler.h"
#include "MessageBox.h"

namespace orv::dustm {
namespace {

using orv::db::RecordsetType;

constexpr const char* kSurvey = "SURVEY";
constexpr const char* kStrike = "STRIKE";
constexpr const char* kClosed = "CLOSED";
constexpr const char* kAverage = "AVERAGE";
constexpr const char* kExtrapolated = "EXTRAPOLATED";

// The break points of the area-average collieries and the surveys of the
// surveyed pits.
const MatrixFill::BreakPointKind kAreaAveragePoints = {nullptr, true, kAverage,
                                                       "Area average break point"};
const MatrixFill::BreakPointKind kSurveyPoints = {kSurvey, false, kSurvey, "Original survey"};

// Where the phases take the overall bar (shares of the whole run).
constexpr double kPhaseBounds[] = {0.15, 0.2, 0.55, 0.8, 0.88, 0.9};

constexpr int kShowModeLogShowAndClear = 3;

int32_t IdOf(const Value& v) { return v.IsNull() ? 0 : v.AsInt32(); }

// Back to the first row; an empty set has none to move to.
orv::db::Recordset& Rewound(orv::db::Recordset& rs) {
  if (rs.RecordCount() > 0) rs.MoveFirst();
  return rs;
}

}  // namespace

void FixRange(const Value& open_start, const Value& open_end, const Value& start, const Value& end,
              const RunValues& run, int16_t& start_year, int16_t& end_year) {
  // A year of 0 is no year, as in the collieries' open ranges.
  const auto given = [](const Value& v) { return !v.IsNull() && v.AsInt64() > 0; };
  start_year = given(open_start) ? open_start.AsInt16() : run.DefStartYear;
  end_year = given(open_end) ? open_end.AsInt16() : run.DefEndYear;
  if (given(start)) start_year = start.AsInt16();
  if (given(end)) end_year = end.AsInt16();
}

MatrixFill::MatrixFill(ExpansionRun& run, OpenRanges& ranges, AreaAverages& averages)
    : run_(run), ranges_(ranges), averages_(averages) {}

MatrixFill::~MatrixFill() = default;

bool MatrixFill::FillMatrix() {
  try {
    step_ = "Setting up for filling matrix";
    run_.BeginStage(kPhaseBounds[0], kPhaseBounds[0]);
    run_.Show(step_, 0.0);
    Prepare();
    AreaAverageCollieries();
    PitsWithSurveys();
    PitsWithoutSurveys();
    MergersAndEquivalents();
    YearsAfterClosure();
    return true;
  } catch (...) {
    try {
      run_.Errors().Raise(0, "FillMatrix: " + step_, {}, {}, 0, kShowModeLogShowAndClear);
    } catch (...) {
      // The reporter itself failed: the answer is false all the same.
    }
    if (matrix_) matrix_->Clear();
    return false;
  }
}

void MatrixFill::Prepare() {
  orv::db::Database& db = *run_.db;
  aa_collieries_ = db.QueryDefs("qAreaAverageCollieries")->OpenRecordset(RecordsetType::Snapshot);
  aa_data_ = db.QueryDefs("qAreaAverageDataByColliery");
  aa_data_->SetParameter("CollieryID", Value(0));
  aa_data_rs_ = aa_data_->OpenRecordset(RecordsetType::Snapshot);
  with_surveys_ = db.QueryDefs("qCollieriesWithSurveys")->OpenRecordset(RecordsetType::Snapshot);
  raw_ = db.QueryDefs("qRawDataByColliery");
  raw_->SetParameter("CollieryID", Value(0));
  raw_rs_ = raw_->OpenRecordset(RecordsetType::Snapshot);
  without_surveys_ =
      db.QueryDefs("qCollieriesWithoutSurveys")->OpenRecordset(RecordsetType::Snapshot);
  empty_matrix_ = db.QueryDefs("qEmptyDustMatrix");
  equivalents_ = db.QueryDefs("qListEquivalents")->OpenRecordset(RecordsetType::Snapshot);
  closed_ = db.QueryDefs("qDustMatrixClosedData");

  empty_matrix_->Execute();
  if (!matrix_) matrix_ = std::make_unique<CollieryMatrix>(run_);
  if (!matrix_->SetupDB(run_.db)) throw OrvError(err::kInvalidCall, "SetupDB", "not set up");
}

void MatrixFill::AddRange(int16_t from, int16_t to, float value, const Value& marker,
                          const char* source) {
  if (from > to) return;
  matrix_->Add(Value(from), Value(to), value, marker, Value(source));
}

void MatrixFill::LinearRun(int16_t from_year, float from_value, int16_t to_year, float to_value,
                           int16_t covered_to) {
  const float step = (to_value - from_value) / static_cast<float>(to_year - from_year);
  float running = from_value;
  for (int y = from_year + 1; y <= to_year - 1; ++y) {
    running = running + step;
    // A year that a break point of several years holds already keeps that
    // value; the run still steps through it.
    if (y <= covered_to) continue;
    matrix_->Add(Value(y), Value(y), RoundDustValue(running), Value(), Value("Interpolated"));
  }
}

void MatrixFill::SpreadBreakPoints(orv::db::Recordset& rs, const BreakPointKind& kind,
                                   int16_t first_year, int16_t last_year) {
  int16_t anchor = 0;  // first year of the previous break point; 0 before the first
  float anchor_value = 0;
  int16_t covered_to = 0;  // last year held by a break point so far
  for (; !rs.IsEOF(); rs.MoveNext()) {
    if (kind.only_marker != nullptr && rs.Field("Marker").TextOrEmpty() != kind.only_marker) {
      continue;
    }
    const Value start = rs.Field("StartYear");
    const Value end = rs.Field("EndYear");
    const float value = rs.Field("DustVal").AsSingle();
    const int16_t start_year = start.AsInt16();
    matrix_->Add(start, end, kind.round_points ? RoundDustValue(value) : value, Value(kind.marker),
                 Value(kind.source));
    if (anchor != 0) {
      LinearRun(anchor, anchor_value, start_year, value, covered_to);
    } else {
      AddRange(first_year, static_cast<int16_t>(start_year - 1), RoundDustValue(value),
               Value(kExtrapolated), "Extrapolated");
    }
    anchor = start_year;
    anchor_value = value;
    covered_to = std::max({covered_to, start_year, end.IsNull() ? start_year : end.AsInt16()});
  }
  if (anchor != 0) {
    AddRange(static_cast<int16_t>(covered_to + 1), last_year, RoundDustValue(anchor_value),
             Value(kExtrapolated), "Extrapolated");
  }
}

void MatrixFill::WriteAndClear() {
  if (!matrix_->WriteMatrixEntries()) throw OrvError(err::kInvalidCall, "WriteMatrixEntries", {});
  matrix_->Clear();
}

// Break points of each area-average colliery, spread over the years from
// the first to the last year of the area averages.
void MatrixFill::AreaAverageCollieries() {
  run_.BeginStage(kPhaseBounds[0], kPhaseBounds[1]);
  step_ = "Matrix for area average collieries";
  run_.Show(step_, 0.5);
  const RunValues& rv = run_.values;
  for (Rewound(*aa_collieries_); !aa_collieries_->IsEOF(); aa_collieries_->MoveNext()) {
    const int32_t id = IdOf(aa_collieries_->Field("CollieryID"));
    matrix_->SetCollieryID(id);
    aa_data_->SetParameter("CollieryID", Value(id));
    aa_data_rs_->Requery(aa_data_.get());
    SpreadBreakPoints(*aa_data_rs_, kAreaAveragePoints, rv.AAStartYear, rv.AAEndYear);
    WriteAndClear();
  }
  run_.Show({}, 1.0);
}

// Each surveyed colliery: its surveys, linear runs between them and flat
// extrapolation to the ends of its open range, then its strike and closed
// years.
void MatrixFill::PitsWithSurveys() {
  run_.BeginStage(kPhaseBounds[1], kPhaseBounds[2]);
  const std::string text = "Matrix for pits with surveys";
  const int64_t total = with_surveys_->RecordCount();
  int64_t done = 0;
  run_.ShowCount(text, 0, total);
  for (Rewound(*with_surveys_); !with_surveys_->IsEOF(); with_surveys_->MoveNext()) {
    const int32_t id = IdOf(with_surveys_->Field("CollieryID"));
    step_ = text + " (colliery " + std::to_string(id) + ")";
    matrix_->SetCollieryID(id);
    int16_t open_start = 0;
    int16_t open_end = 0;
    if (!ranges_.GetOpenRange(id, open_start, open_end)) throw OrvError(err::kInvalidCall, {}, {});

    raw_->SetParameter("CollieryID", Value(id));
    raw_rs_->Requery(raw_.get());
    SpreadBreakPoints(*raw_rs_, kSurveyPoints, open_start, open_end);
    MarkStrikesAndClosures();
    WriteAndClear();
    run_.ShowCount({}, ++done, total);
  }
}

void MatrixFill::MarkStrikesAndClosures() {
  for (Rewound(*raw_rs_); !raw_rs_->IsEOF(); raw_rs_->MoveNext()) {
    const Value marker = raw_rs_->Field("Marker");
    const std::string text = marker.TextOrEmpty();
    if (text != kStrike && text != kClosed) continue;
    if (!matrix_->AlterMarker(marker, raw_rs_->Field("StartYear").AsInt16(),
                              raw_rs_->Field("EndYear").AsInt16())) {
      throw OrvError(err::kInvalidCall, "AlterMarker", {});
    }
  }
}

// Each colliery without surveys takes its area's averages over its open
// range, then its own strike and closed years.
void MatrixFill::PitsWithoutSurveys() {
  run_.BeginStage(kPhaseBounds[2], kPhaseBounds[3]);
  const std::string text = "Matrix for pits without surveys";
  const int64_t total = without_surveys_->RecordCount();
  int64_t done = 0;
  run_.ShowCount(text, 0, total);
  for (Rewound(*without_surveys_); !without_surveys_->IsEOF(); without_surveys_->MoveNext()) {
    const int32_t id = IdOf(without_surveys_->Field("CollieryID"));
    step_ = text + " (colliery " + std::to_string(id) + ")";
    matrix_->SetCollieryID(id);
    int16_t open_start = 0;
    int16_t open_end = 0;
    if (!ranges_.GetOpenRange(id, open_start, open_end)) throw OrvError(err::kInvalidCall, {}, {});
    const int32_t average =
        averages_.AreaAverageColliery(IdOf(without_surveys_->Field("CoalAreaID")));
    if (average != 0 &&
        !matrix_->MakeEquivalent(average, open_start, open_end, Value("Area Average"))) {
      throw OrvError(err::kInvalidCall, "MakeEquivalent", {});
    }
    raw_->SetParameter("CollieryID", Value(id));
    raw_rs_->Requery(raw_.get());
    MarkStrikesAndClosures();
    WriteAndClear();
    run_.ShowCount({}, ++done, total);
  }
}

// Each equivalents row copies the equivalent colliery's matrix, as written
// so far, over the years the row covers.
void MatrixFill::MergersAndEquivalents() {
  run_.BeginStage(kPhaseBounds[3], kPhaseBounds[4]);
  const std::string text = "Mergers and equivalent pits";
  const int64_t total = equivalents_->RecordCount();
  int64_t done = 0;
  run_.ShowCount(text, 0, total);
  for (Rewound(*equivalents_); !equivalents_->IsEOF(); equivalents_->MoveNext()) {
    const orv::db::Recordset& row = *equivalents_;
    const int32_t id = IdOf(row.Field("CollieryID"));
    step_ = text + " (colliery " + std::to_string(id) + ")";
    int16_t start = 0;
    int16_t end = 0;
    FixRange(row.Field("OpenStartYear"), row.Field("OpenEndYear"), row.Field("StartYear"),
             row.Field("EndYear"), run_.values, start, end);
    if (end >= start) {
      matrix_->SetCollieryID(id);
      if (!matrix_->LoadFromDatabase() ||
          !matrix_->MakeEquivalent(IdOf(row.Field("EQUIVCOLLIERYID")), start, end,
                                   row.Field("EquivColliery"))) {
        throw OrvError(err::kInvalidCall, "MakeEquivalent", {});
      }
      WriteAndClear();
    } else {
      MsgBox("Error - colliery " + row.Field("Colliery").TextOrEmpty() +
             " ID=" + std::to_string(id) + " - ambiguous equivalent range");
      matrix_->Clear();
    }
    run_.ShowCount({}, ++done, total);
  }
}

void MatrixFill::YearsAfterClosure() {
  run_.BeginStage(kPhaseBounds[4], kPhaseBounds[5]);
  step_ = "Adding years after closure";
  run_.Show(step_, 0.0);
  closed_->SetParameter("YearsPastEnd", Value(run_.values.MaxYearsPastClosure));
  closed_->Execute();
  run_.Show({}, 1.0);
}

}  // namespace orv::dustm
