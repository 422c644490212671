// Shared by the fuzz targets: the readers under test take file names, so
// each input is written to a scratch file of the process's own first.
#pragma once

#include <unistd.h>

#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <fstream>
#include <string>
#include <string_view>
#include <system_error>

namespace orv::fuzz {

// A folder of this process's own under the system's temporary folder,
// created on first use.
inline const std::filesystem::path& ScratchFolder() {
  static const std::filesystem::path folder = [] {
    const std::filesystem::path p = std::filesystem::temp_directory_path() /
                                    ("tarnby-fuzz-" + std::to_string(getpid()));
    std::filesystem::create_directories(p);
    return p;
  }();
  return folder;
}

// Writes `size` bytes at `data` to `path`, replacing what was there.
inline void WriteBytes(const std::filesystem::path& path, const uint8_t* data, size_t size) {
  std::ofstream out(path, std::ios::binary | std::ios::trunc);
  out.write(reinterpret_cast<const char*>(data), static_cast<std::streamsize>(size));
}

// The scratch file `name` holding the input.
inline std::string ScratchFile(const char* name, const uint8_t* data, size_t size) {
  const std::filesystem::path p = ScratchFolder() / name;
  WriteBytes(p, data, size);
  return p.string();
}

// What the budget of stored queries said while the present input ran (the
// description of its error, "... was stopped: ..."), empty when it did not
// act. An input holding a query that never ends must end with it: the kept
// inputs named "*endless*" are replayed expecting it.
inline std::string& BudgetStop() {
  static std::string said;
  return said;
}
inline void NoteBudgetStop(std::string_view text) {
  if (text.find("was stopped") != std::string_view::npos) BudgetStop() = text;
}

}  // namespace orv::fuzz
