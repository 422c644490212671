// A field or parameter value: null, a whole number, a real number or text.
// Conversions follow the system's conventions: text converts to numbers by
// the usual decimal reading (error 13 otherwise), null converts to nothing
// but text-or-empty (error 94).
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <variant>

namespace orv {

class Value {
 public:
  enum class Kind { Null, Integer, Real, Text };

  Value() = default;
  Value(std::nullptr_t) {}
  Value(int v) : v_(static_cast<int64_t>(v)) {}
  Value(long v) : v_(static_cast<int64_t>(v)) {}
  Value(long long v) : v_(static_cast<int64_t>(v)) {}
  Value(short v) : v_(static_cast<int64_t>(v)) {}
  Value(bool v) : v_(static_cast<int64_t>(v ? 1 : 0)) {}
  Value(float v) : v_(static_cast<double>(v)) {}
  Value(double v) : v_(v) {}
  Value(std::string v) : v_(std::move(v)) {}
  Value(std::string_view v) : v_(std::string(v)) {}
  Value(const char* v) : v_(std::string(v)) {}

  Kind kind() const noexcept { return static_cast<Kind>(v_.index()); }
  bool IsNull() const noexcept { return kind() == Kind::Null; }

  int64_t AsInt64() const;
  int32_t AsInt32() const;  // rounds halves to even; error 6 outside range
  int16_t AsInt16() const;
  double AsDouble() const;
  float AsSingle() const;
  bool AsBool() const;  // numbers: not 0; text: "True"/"False" or a number
  std::string AsText() const;  // numbers in their standard text form
  // The empty text for null, else AsText(): how a text field that may be
  // empty is read.
  std::string TextOrEmpty() const;

  bool operator==(const Value& o) const { return v_ == o.v_; }

  const std::variant<std::monostate, int64_t, double, std::string>& raw() const { return v_; }

 private:
  std::variant<std::monostate, int64_t, double, std::string> v_;
};

}  // namespace orv
