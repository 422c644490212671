// Reading and writing single keys of an INI-style settings file in place,
// the way the system's other settings readers expect it: sections and keys
// match ignoring case, every other line of the file is kept as it stands.
#pragma once

#include <string>

namespace orv {

// The value of `key` in `section` (trimmed, at most 255 characters), or
// `default_text` when the file, the section or the key is missing.
std::string ReadProfileString(const std::string& path, const std::string& section,
                              const std::string& key, const std::string& default_text);

// Sets `key` in `section` to `value`, adding the section and the key when
// they are missing and creating the file when it does not exist. The file is
// replaced as a whole only once the new text is written. Returns false when
// the file cannot be written.
[[nodiscard]] bool WriteProfileString(const std::string& path, const std::string& section,
                                      const std::string& key, const std::string& value);

}  // namespace orv
