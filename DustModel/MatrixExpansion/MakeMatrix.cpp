#include "MakeMatrix.h"

#include <memory>

#include "DoMatrix.h"
#include "Text.h"
#include "detail/ExpansionError.h"
#include "detail/ProgressDisplay.h"

namespace orv::dustm {

// The expansion's private pieces.
using namespace detail;

bool MakeMatrixObject::MakeMatrix(const std::string& DBName, const std::string& DBPass,
                                  int16_t DefStartYear, int16_t DefEndYear, int16_t AAStartYear,
                                  int16_t AAEndYear) {
  return MakeMatrixPastClosure(DBName, DBPass, DefStartYear, DefEndYear, AAStartYear, AAEndYear, 0);
}

bool MakeMatrixObject::MakeMatrixPastClosure(const std::string& DBName, const std::string& DBPass,
                                             int16_t DefStartYear, int16_t DefEndYear,
                                             int16_t AAStartYear, int16_t AAEndYear,
                                             int16_t MaxYearsPastClosure) {
  ExpansionRun run({DefStartYear, DefEndYear, AAStartYear, AAEndYear, MaxYearsPastClosure});
  std::unique_ptr<ProgressDisplay> display;
  try {
    display = LoadProgressDisplay();
  } catch (...) {
    PassOnExpansionError(run, "MakeMatrixPastClosure: Loading progress form");
  }
  // The display comes down however the run ends.
  struct Unloader {
    ProgressDisplay& d;
    ~Unloader() { d.Unload(); }
  } unloader{*display};
  run.SetProgress(&display->Sink());
  return DoMatrix(run, DBName, DBPass);
}

}  // namespace orv::dustm

ORV_EXPORT orv::Component* OrvCreateObject(const char* class_id) {
  return orv::ServeComponent(class_id, [](std::string_view id) -> orv::Component* {
    if (!orv::IEquals(id, orv::dustm::kMakeMatrixClass)) return nullptr;
    return new orv::dustm::MakeMatrixObject();
  });
}
