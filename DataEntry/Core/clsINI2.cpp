#include "clsINI2.h"

#include <filesystem>
#include <system_error>

#include "OrvError.h"
#include "ProfileIni.h"

namespace orv::tarnby {

void clsINI2::SetIniFileName(const std::string& path) {
  if (MustExist) {
    std::error_code ec;
    const auto status = std::filesystem::status(path, ec);
    if (ec || !std::filesystem::exists(status) || std::filesystem::is_directory(status)) {
      throw OrvError(err::kInvalidPropertyValue, "IniFileName", "Ini file " + path + " not found");
    }
  }
  ini_file_name_ = path;
}

void clsINI2::SetKey(const std::string& value) {
  key_ = value;
  default_.clear();
}

std::string clsINI2::GetIniKey(const std::string& file_name, const std::string& section,
                               const std::string& key,
                               const std::optional<std::string>& default_value) {
  if (!file_name.empty()) SetIniFileName(file_name);
  if (!section.empty()) SetSection(section);
  if (!key.empty()) SetKey(key);
  if (default_value) SetDefault(*default_value);
  return GetIni();
}

std::string clsINI2::GetIni() {
  std::string value = ReadProfileValue(ini_file_name_, section_, key_).value_or(default_);
  last_length_ = static_cast<int32_t>(value.size());
  if (last_length_ < 1) return {};
  return value;
}

bool clsINI2::PutIni(const std::string& value) {
  return WriteProfileString(ini_file_name_, section_, key_, value);
}

bool clsINI2::ReadSection(IniTable& table, const std::string& section) {
  if (!section.empty()) section_ = section;
  table.clear();
  const std::vector<std::string> lines = ReadProfileSection(ini_file_name_, section_);
  last_length_ = 0;
  for (const std::string& line : lines) {
    last_length_ += static_cast<int32_t>(line.size()) + 1;
    const size_t eq = line.find('=');
    if (eq == std::string::npos) {
      table.emplace_back(line, std::string());
    } else {
      table.emplace_back(line.substr(0, eq), line.substr(eq + 1));
    }
  }
  return !table.empty();
}

bool clsINI2::SectionList(std::vector<std::string>& list) {
  list = ProfileSectionNames(ini_file_name_);
  last_length_ = 0;
  for (const std::string& name : list) last_length_ += static_cast<int32_t>(name.size()) + 1;
  return !list.empty();
}

bool clsINI2::WriteSection(const IniTable& table) {
  std::vector<std::string> lines;
  lines.reserve(table.size());
  for (const auto& [name, value] : table) lines.push_back(name + "=" + value);
  return WriteProfileSection(ini_file_name_, section_, lines);
}

}  // namespace orv::tarnby
