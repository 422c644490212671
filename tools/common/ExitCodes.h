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
inline constexpr int kExitBadInput = 2;  // bad usage or bad input (a bad database file too)
inline constexpr int kExitFailure = 3;   // a run-time failure

// True when the error says a database file given to the tool cannot be
// used: damaged, not a database, a database of the other kind, or holding a
// stored query that was refused or went over its budget. The engine passes
// the database layer's numbers on above its component base; those count
// too. A file refused because another program has it open is not bad: that
// is exit 3.
bool IsBadDatabaseFile(const OrvError& e);

// Prints a failure on standard error and returns its exit code: a bad
// database file as "<tool>: <description>" (which names the file) with
// kExitBadInput; any other error with its number, source and description
// and kExitFailure.
int ReportError(std::string_view tool, const OrvError& e);

// Runs `body` and returns its exit code. An InputError is printed as
// "<tool>: <file, line, field: reason>" and gives kExitBadInput; an
// OrvError is reported by ReportError; any other exception gives
// kExitFailure.
int RunGuarded(std::string_view tool, const std::function<int()>& body);

}  // namespace orv::tools
