#include "InputError.h"

namespace orv {
namespace {

std::string Compose(const std::string& file, int64_t line, const std::string& field,
                    const std::string& reason) {
  std::string s = file;
  if (line > 0) s += ", line " + std::to_string(line);
  if (!field.empty()) s += ", field " + field;
  return s + ": " + reason;
}

}  // namespace

InputError::InputError(std::string file, int64_t line, std::string field, std::string reason)
    : std::runtime_error(Compose(file, line, field, reason)),
      file_(std::move(file)),
      line_(line),
      field_(std::move(field)),
      reason_(std::move(reason)) {}

}  // namespace orv
