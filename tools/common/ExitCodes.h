// Exit codes shared by every command-line tool, and the one place that
// turns a failure into its message on standard error.
#pragma once

#include <functional>
#include <string>
#include <string_view>

namespace orv {
class OrvError;
}

namespace orv::tools {

inline constexpr int kExitOk = 0;
inline constexpr int kExitRefused = 1;   // the calculation refused the history
inline constexpr int kExitBadInput = 2;  // bad usage or bad input
inline constexpr int kExitFailure = 3;   // a run-time failure

// "Error 429 (CreateObject): ..." - number, source and description.
std::string DescribeError(const OrvError& e);

// Runs `body` and returns its exit code. An InputError is printed as
// "<tool>: <file, line, field: reason>" and gives kExitBadInput; an
// OrvError is printed with its number, source and description and gives
// kExitFailure, as does any other exception.
int RunGuarded(std::string_view tool, const std::function<int()>& body);

}  // namespace orv::tools
