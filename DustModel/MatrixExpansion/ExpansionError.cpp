#include "detail/ExpansionError.h"

#include "OrvError.h"

namespace orv::dustm::detail {
namespace {

[[noreturn]] void Throw(ExpansionRun& run, int32_t number, std::string source,
                        std::string description) {
  const int32_t n = number > 0 ? number + kComponentErrorBase : number;
  ErrorHandler& eh = run.Errors();
  eh.SetNumber(ErrorHandler::RealErrorNumber(n));
  eh.SetSource(source);
  eh.SetDescription(description);
  eh.LogError();
  throw OrvError(n, std::move(source), std::move(description));
}

}  // namespace

std::string ExpansionErrorText(int32_t number) {
  if (number == kErrRecursionTooDeep) return "Recursive calls too deep";
  return StandardErrorText(number);
}

void RaiseExpansionError(ExpansionRun& run, int32_t number, std::string source) {
  Throw(run, number, std::move(source), ExpansionErrorText(number));
}

void PassOnExpansionError(ExpansionRun& run, std::string source) {
  const OrvError e = CurrentError();
  // The failure keeps its own description: the standard text of a database
  // engine's number says nothing about what went wrong.
  std::string description = e.Description().empty()
                                ? ExpansionErrorText(ErrorHandler::RealErrorNumber(e.Number()))
                                : e.Description();
  Throw(run, e.Number(), std::move(source), std::move(description));
}

}  // namespace orv::dustm::detail
