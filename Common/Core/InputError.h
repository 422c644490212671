// Bad input to a command-line tool: a file, or a cell of a CSV file, that
// cannot be taken. The message names the file, the line (1 is the header
// row; 0 when the whole file is meant) and the field (empty when the whole
// line or file is meant). Tools exit with code 2 on it.
#pragma once

#include <cstdint>
#include <stdexcept>
#include <string>

namespace orv {

class InputError : public std::runtime_error {
 public:
  InputError(std::string file, int64_t line, std::string field, std::string reason);

  const std::string& File() const noexcept { return file_; }
  int64_t Line() const noexcept { return line_; }
  const std::string& Field() const noexcept { return field_; }
  const std::string& Reason() const noexcept { return reason_; }

 private:
  std::string file_;
  int64_t line_;
  std::string field_;
  std::string reason_;
};

}  // namespace orv

// The name front ends written while this lived in tools/ still use.
namespace orv::tools {
using orv::InputError;
}  // namespace orv::tools
