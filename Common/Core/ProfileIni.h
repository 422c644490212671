// The one reader and writer of INI-style settings files (profile files):
// bracketed section headers and "key=value" lines. Sections and keys are
// found ignoring case; every line the call does not change (comments, blank
// lines, other sections and keys) is kept as it stands; one key is written at
// a time, or one section replaced as a whole; the file is created by the
// first write, and replaced only once the new text is completely written.
#pragma once

#include <optional>
#include <string>
#include <vector>

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

// The value of `key` in `section` in full (trimmed, surrounding double
// quotes removed), or nullopt when the file, the section or the key is
// missing.
std::optional<std::string> ReadProfileValue(const std::string& path, const std::string& section,
                                            const std::string& key);

// The lines of `section` as they stand in the file (trimmed), in order, with
// blank lines and ";" comment lines left out: "key=value" lines and any other
// text. Empty when the file or the section is missing or the section is empty.
std::vector<std::string> ReadProfileSection(const std::string& path, const std::string& section);

// Replaces the content of `section` with `lines` (each written as given),
// adding the section at the end when it is missing and creating the file when
// it does not exist. Returns false when the file cannot be written.
[[nodiscard]] bool WriteProfileSection(const std::string& path, const std::string& section,
                                       const std::vector<std::string>& lines);

// The names of every section of the file, in order (empty when the file is
// missing or has none).
std::vector<std::string> ProfileSectionNames(const std::string& path);

}  // namespace orv
