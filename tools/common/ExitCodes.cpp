#include "ExitCodes.h"

#include <iostream>

#include "InputError.h"
#include "OrvError.h"

namespace orv::tools {

std::string DescribeError(const OrvError& e) {
  std::string s = "Error " + std::to_string(e.Number());
  if (!e.Source().empty()) s += " (" + e.Source() + ")";
  return s + ": " + e.Description();
}

int RunGuarded(std::string_view tool, const std::function<int()>& body) {
  try {
    return body();
  } catch (const InputError& e) {
    std::cerr << tool << ": " << e.what() << "\n";
    return kExitBadInput;
  } catch (const OrvError& e) {
    std::cerr << tool << ": " << DescribeError(e) << "\n";
    return kExitFailure;
  } catch (const std::exception& e) {
    std::cerr << tool << ": " << e.what() << "\n";
    return kExitFailure;
  }
}

}  // namespace orv::tools
