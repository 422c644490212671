// The deliverables' error log files: one line per entry.
#pragma once

#include <cstdint>
#include <string>

namespace orv::detail {

// Appends "<yyyy-mm-dd hh:mm:ss> <Error|Warning|Information>[ thread <id>]
// <text>" as one line to `path`, creating its folder and the file as needed;
// with `truncate` the file is emptied first. Returns false, with errno set,
// when the file cannot be written.
[[nodiscard]] bool AppendLogEntry(const std::string& path, const std::string& text,
                                  int32_t event_type, bool with_thread_id, bool truncate);

}  // namespace orv::detail
