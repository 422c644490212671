#include "Outputs.h"

#include <filesystem>
#include <system_error>

namespace orv::tools {

std::optional<std::string> OutputOverInput(const NamedFile& output,
                                           const std::vector<NamedFile>& inputs) {
  if (output.path.empty() || output.path == "-") return std::nullopt;
  for (const NamedFile& in : inputs) {
    if (in.path.empty()) continue;
    std::error_code ec;
    // Same device and inode; false (with ec) when either is missing or a
    // server's URI.
    if (std::filesystem::equivalent(output.path, in.path, ec) && !ec) {
      return output.option + " '" + output.path + "' is the file given with " + in.option +
             ": writing it would replace that file; give another file";
    }
  }
  return std::nullopt;
}

}  // namespace orv::tools
