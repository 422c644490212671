// The system's one error type: a failure raised to the caller carries its
// number, source and description, and the help file and context that go
// with it.
#pragma once

#include <cstdint>
#include <stdexcept>
#include <string>
#include <string_view>

namespace orv {

// Added to a component's own positive error numbers when they cross a
// component boundary (hexadecimal 80040000 as a signed 32-bit value).
inline constexpr int32_t kComponentErrorBase = -2147221504;

// Standard run-time error numbers used throughout the system.
namespace err {
inline constexpr int32_t kInvalidCall = 5;
inline constexpr int32_t kOverflow = 6;
inline constexpr int32_t kSubscriptOutOfRange = 9;
inline constexpr int32_t kDivisionByZero = 11;
inline constexpr int32_t kTypeMismatch = 13;
inline constexpr int32_t kFileNotFound = 53;
inline constexpr int32_t kFileAccess = 75;  // "Path/File access error"
inline constexpr int32_t kPathNotFound = 76;
inline constexpr int32_t kObjectNotSet = 91;  // "Object variable or With block variable not set"
inline constexpr int32_t kInvalidUseOfNull = 94;
inline constexpr int32_t kInvalidPropertyValue = 380;
inline constexpr int32_t kSetNotPermitted = 387;
inline constexpr int32_t kCantCreateObject = 429;
inline constexpr int32_t kNoSuchMember = 438;  // "Object doesn't support this property or method"
inline constexpr int32_t kDuplicateKey = 457;
// The database layer's numbers are orv::db::dberr (Database.h).
}  // namespace err

// The standard text of a run-time error number, or "Application-defined or
// object-defined error" for numbers the run time does not name.
std::string StandardErrorText(int32_t number);

class OrvError : public std::runtime_error {
 public:
  OrvError(int32_t number, std::string source, std::string description, std::string help_file = {},
           int32_t help_context = 0);

  // A standard run-time error with its standard text.
  static OrvError Standard(int32_t number, std::string source = {});

  int32_t Number() const noexcept { return number_; }
  const std::string& Source() const noexcept { return source_; }
  const std::string& Description() const noexcept { return description_; }
  const std::string& HelpFile() const noexcept { return help_file_; }
  int32_t HelpContext() const noexcept { return help_context_; }
  // "Error <number> (<source>): <description>", the source left out when
  // empty: how a failure is told in a message or a results file.
  std::string Describe() const;

  void SetNumber(int32_t n) { number_ = n; }
  void SetSource(std::string s) { source_ = std::move(s); }
  void SetDescription(std::string d);

 private:
  int32_t number_;
  std::string source_;
  std::string description_;
  std::string help_file_;
  int32_t help_context_;
};

// Throws a standard run-time error.
[[noreturn]] void RaiseStandard(int32_t number, std::string source = {});

// Raises `number` (plus the component error base when it is positive) with the
// given source and description: how the engine's data connection passes its
// failures across the component boundary.
[[noreturn]] void RaiseWithBase(int32_t number, std::string source, std::string description);

// The class convention of the engine: inside a member's guard, pass on the
// failure in hand with the same number and description and the source
// "<prefix><procedure>". Call only from a catch block.
[[noreturn]] void RethrowWithSource(std::string_view class_prefix, std::string_view procedure);

// Converts whatever exception is in hand into an OrvError (a foreign
// exception becomes error 5 with its what() text). Call only from a catch
// block.
OrvError CurrentError();

}  // namespace orv
