#include "Value.h"

#include <cmath>
#include <limits>

#include "Numbers.h"
#include "OrvError.h"

namespace orv {

double Value::AsDouble() const {
  switch (kind()) {
    case Kind::Null: RaiseStandard(err::kInvalidUseOfNull);
    case Kind::Integer: return static_cast<double>(std::get<int64_t>(v_));
    case Kind::Real: return std::get<double>(v_);
    case Kind::Text: return ParseNumber(std::get<std::string>(v_));
  }
  return 0;
}

int64_t Value::AsInt64() const {
  if (kind() == Kind::Integer) return std::get<int64_t>(v_);
  const double d = std::nearbyint(AsDouble());
  if (!(d >= -9.2e18 && d <= 9.2e18)) RaiseStandard(err::kOverflow);
  return static_cast<int64_t>(d);
}

int32_t Value::AsInt32() const {
  if (kind() == Kind::Integer) {
    const int64_t v = std::get<int64_t>(v_);
    if (v < INT32_MIN || v > INT32_MAX) RaiseStandard(err::kOverflow);
    return static_cast<int32_t>(v);
  }
  return ToInt32(AsDouble());
}

int16_t Value::AsInt16() const {
  if (kind() == Kind::Integer) {
    const int64_t v = std::get<int64_t>(v_);
    if (v < INT16_MIN || v > INT16_MAX) RaiseStandard(err::kOverflow);
    return static_cast<int16_t>(v);
  }
  return ToInt16(AsDouble());
}

float Value::AsSingle() const {
  if (kind() == Kind::Text) return ParseSingle(std::get<std::string>(v_));
  const double d = AsDouble();
  if (std::fabs(d) > std::numeric_limits<float>::max()) RaiseStandard(err::kOverflow);
  return static_cast<float>(d);
}

bool Value::AsBool() const {
  if (kind() == Kind::Text) return ParseBool(std::get<std::string>(v_));
  return AsDouble() != 0;
}

std::string Value::AsText() const {
  switch (kind()) {
    case Kind::Null: RaiseStandard(err::kInvalidUseOfNull);
    case Kind::Integer: return std::to_string(std::get<int64_t>(v_));
    case Kind::Real: {
      const double d = std::get<double>(v_);
      // A single stored in a real column reads back as its own text form.
      const float f = static_cast<float>(d);
      return static_cast<double>(f) == d ? FloatToText(f) : DoubleToText(d);
    }
    case Kind::Text: return std::get<std::string>(v_);
  }
  return {};
}

std::string Value::TextOrEmpty() const { return IsNull() ? std::string() : AsText(); }

}  // namespace orv
