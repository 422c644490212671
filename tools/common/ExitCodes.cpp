#include "ExitCodes.h"

#include <iostream>

#include "Database.h"
#include "InputError.h"
#include "OrvError.h"

namespace orv::tools {

bool IsBadDatabaseFile(const OrvError& e) {
  int32_t n = e.Number();
  if (n < 0 && n > kComponentErrorBase && n - kComponentErrorBase < 65536)
    n -= kComponentErrorBase;
  if (n == db::dberr::kCannotOpen) return !db::IsRefusedForUse(e);
  return n == db::dberr::kDamaged || n == db::dberr::kNoPermission ||
         n == db::dberr::kQueryBudget;
}

int ReportError(std::string_view tool, const OrvError& e) {
  if (IsBadDatabaseFile(e)) {
    std::cerr << tool << ": " << e.Description() << "\n";
    return kExitBadInput;
  }
  std::cerr << tool << ": " << e.Describe() << "\n";
  return kExitFailure;
}

int RunGuarded(std::string_view tool, const std::function<int()>& body) {
  try {
    return body();
  } catch (const InputError& e) {
    std::cerr << tool << ": " << e.what() << "\n";
    return kExitBadInput;
  } catch (const OrvError& e) {
    return ReportError(tool, e);
  } catch (const std::exception& e) {
    std::cerr << tool << ": " << e.what() << "\n";
    return kExitFailure;
  }
}

}  // namespace orv::tools
