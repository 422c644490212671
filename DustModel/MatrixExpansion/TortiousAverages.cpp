#include "detail/TortiousAverages.h"

#include <iterator>
#include <string>

#include "detail/ExpansionError.h"

namespace orv::dustm::detail {
namespace {

struct TortiousStep {
  const char* query;
  const char* text;
};

constexpr TortiousStep kSteps[] = {
    {"qAverageCalcEmpty", "Emptying the table used for calculating the tortious averages"},
    {"qAverageCalcPopulate", "Populating the table used for calculating the tortious averages"},
    {"qCollieryCountEmpty", "Emptying the table used for calculating colliery counts"},
    {"qCollieryCountLoad", "Loading table of colliery counts"},
    {"qAverageCalcOpenCount", "Updating table AVERAGECALC with open counts"},
    {"qAverageCalcEquivCount", "Updating table AVERAGECALC with equivalent counts"},
    {"qAverageCalcClosedCount", "Updating table AVERAGECALC with closed counts"},
    {"qAverageCalcGetTrueCount", "Updating table AVERAGECALC true counts"},
    {"qAverageCalcWeightedTortious", "Updating table AVERAGECALC weighted tortious value"},
    {"qAverageCalcZeroTortious", "Zeroing national average tortious values"},
    {"qTortAvgEmpty", "Clearing intermediate TORTIOUSAVG table"},
    {"qTortAvgFill", "FIlling intermediate TORTIOUSAVG table"},
    {"qTortAvgUpdate", "Updating table TORTIOUSDUST with calculated values for national averages"},
};

}  // namespace

bool PrepareTortiousAvg(ExpansionRun& run) {
  std::string step = "Referencing dust data database";
  try {
    orv::db::Database& db = *run.db;
    const auto total = static_cast<int64_t>(std::size(kSteps));
    int64_t done = 0;
    for (const TortiousStep& s : kSteps) {
      step = s.text;
      run.ShowCount(step, done, total);
      db.QueryDefs(s.query)->Execute();
      ++done;
    }
    run.ShowCount({}, done, total);
    return true;
  } catch (...) {
    PassOnExpansionError(run, "PrepareTortiousAvg: " + step);
  }
}

}  // namespace orv::dustm::detail
