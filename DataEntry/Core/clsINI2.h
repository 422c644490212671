// clsINI2: the data-entry program's view of one INI settings file, used for
// one read or write pass and then released. It remembers a file, a section,
// a key and a default, and reads or writes through the project's one profile
// file reader and writer (ProfileIni.h), with the Windows profile-file rules:
// sections and keys found ignoring case, other lines kept, the file created
// on the first write.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <utility>
#include <vector>

namespace orv::tarnby {

// A section read whole or to be written whole: one (name, value) row per
// line; a line without "=" is its whole text as the name and "" as value.
using IniTable = std::vector<std::pair<std::string, std::string>>;

class clsINI2 {
 public:
  // When true (the initial value), setting IniFileName checks that a file
  // (not a folder) exists at the path.
  bool MustExist = true;

  // Stores the path. With MustExist and no file there, raises OrvError 380
  // with source "IniFileName" and description "Ini file <path> not found",
  // and keeps the previous path.
  void SetIniFileName(const std::string& path);
  const std::string& IniFileName() const { return ini_file_name_; }

  void SetDefault(const std::string& value) { default_ = value; }
  const std::string& Default() const { return default_; }
  void SetSection(const std::string& value) { section_ = value; }
  const std::string& Section() const { return section_; }
  // Setting the key also clears Default to "": set section, key, default,
  // then read.
  void SetKey(const std::string& value);
  const std::string& Key() const { return key_; }

  // Sets IniFileName, Section and Key from the arguments that are not empty
  // and Default when one is given, then returns GetIni().
  std::string GetIniKey(const std::string& file_name, const std::string& section,
                        const std::string& key,
                        const std::optional<std::string>& default_value = std::nullopt);

  // The value of Section/Key in IniFileName, or Default when the key is
  // absent; "" when that is empty. Values of any length are returned whole.
  std::string GetIni();

  // Writes the value under Section/Key (creating the file and the section
  // when needed). True when the write succeeded.
  [[nodiscard]] bool PutIni(const std::string& value);

  // Reads the whole of `section` (Section when empty) into `table`, one row
  // per line. False when the section is missing or empty.
  [[nodiscard]] bool ReadSection(IniTable& table, const std::string& section = {});

  // The names of all sections. False when there are none.
  [[nodiscard]] bool SectionList(std::vector<std::string>& list);

  // Replaces Section with the rows, each written as name "=" value. True
  // when the write succeeded.
  [[nodiscard]] bool WriteSection(const IniTable& table);

  // Characters returned by the last read (the system call's answer).
  int32_t LastLength() const { return last_length_; }

 private:
  std::string ini_file_name_;
  std::string section_;
  std::string key_;
  std::string default_;
  int32_t last_length_ = 0;
};

}  // namespace orv::tarnby
