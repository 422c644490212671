#include "ErrorLog.h"

#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <ctime>
#include <filesystem>
#include <system_error>

namespace orv::detail {

namespace {

const char* EventWord(int32_t event_type) {
  switch (event_type) {
    case 1:
      return "Error";
    case 2:
      return "Warning";
    default:
      return "Information";
  }
}

}  // namespace

bool AppendLogEntry(const std::string& path, const std::string& text, int32_t event_type,
                    bool with_thread_id, bool truncate) {
  const std::filesystem::path folder = std::filesystem::path(path).parent_path();
  if (!folder.empty()) {
    std::error_code ec;
    std::filesystem::create_directories(folder, ec);
    if (ec) {
      errno = ec.value();
      return false;
    }
  }
  FILE* f = std::fopen(path.c_str(), truncate ? "w" : "a");
  if (!f) return false;

  char stamp[32] = {};
  const std::time_t now = std::time(nullptr);
  std::tm local{};
  localtime_r(&now, &local);
  std::strftime(stamp, sizeof stamp, "%Y-%m-%d %H:%M:%S", &local);

  std::string line = std::string(stamp) + " " + EventWord(event_type);
  if (with_thread_id) line += " thread " + std::to_string(static_cast<long>(gettid()));
  line += " " + text + "\n";
  const bool written = std::fwrite(line.data(), 1, line.size(), f) == line.size();
  const int write_errno = errno;
  const bool closed = std::fclose(f) == 0;
  if (!written) errno = write_errno;
  return written && closed;
}

}  // namespace orv::detail
