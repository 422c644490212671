#include "ProfileIni.h"

#include <filesystem>
#include <fstream>
#include <optional>
#include <sstream>
#include <system_error>
#include <vector>

#include "OrvError.h"
#include "SafeFiles.h"
#include "Text.h"

namespace orv {

namespace {

constexpr size_t kMaxValueLength = 255;

struct IniText {
  std::vector<std::string> lines;
  bool crlf = false;
};

IniText Load(const std::string& path) {
  IniText ini;
  std::ifstream in(path, std::ios::binary);
  std::string line;
  while (std::getline(in, line)) {
    if (!line.empty() && line.back() == '\r') {
      line.pop_back();
      ini.crlf = true;
    }
    ini.lines.push_back(line);
  }
  return ini;
}

// The section name of a "[name]" line.
std::optional<std::string> SectionOf(const std::string& line) {
  const std::string t = TrimWhite(line);
  if (t.size() < 2 || t.front() != '[' || t.back() != ']') return std::nullopt;
  return TrimWhite(t.substr(1, t.size() - 2));
}

// The key of a "key=value" line, with the value.
std::optional<std::pair<std::string, std::string>> EntryOf(const std::string& line) {
  const size_t eq = line.find('=');
  if (eq == std::string::npos) return std::nullopt;
  const std::string t = TrimWhite(line);
  if (t.empty() || t.front() == ';' || t.front() == '[') return std::nullopt;
  return std::make_pair(TrimWhite(line.substr(0, eq)), TrimWhite(line.substr(eq + 1)));
}

// Finds the section's header line and the lines of its key (npos when
// missing), and the last entry line of the section.
struct Location {
  size_t section = std::string::npos;
  size_t key = std::string::npos;
  size_t last_in_section = std::string::npos;
};

Location Find(const IniText& ini, const std::string& section, const std::string& key) {
  Location loc;
  bool inside = false;
  for (size_t i = 0; i < ini.lines.size(); ++i) {
    if (auto s = SectionOf(ini.lines[i])) {
      if (loc.section != std::string::npos && inside) break;
      inside = IEquals(*s, section);
      if (inside) {
        loc.section = i;
        loc.last_in_section = i;
      }
      continue;
    }
    if (!inside) continue;
    if (!TrimWhite(ini.lines[i]).empty()) loc.last_in_section = i;
    if (auto e = EntryOf(ini.lines[i]); e && IEquals(e->first, key) && loc.key == std::string::npos)
      loc.key = i;
  }
  return loc;
}

// Writes the lines back, through a temporary file renamed over the old one.
bool Save(const std::string& path, const IniText& ini) {
  const std::string eol = ini.crlf ? "\r\n" : "\n";
  std::ostringstream text;
  for (const std::string& line : ini.lines) text << line << eol;

  const std::filesystem::path target(path);
  std::error_code ec;
  if (target.has_parent_path()) std::filesystem::create_directories(target.parent_path(), ec);
  // Written in a private folder beside it; the file keeps its mode and group.
  std::string side;
  try {
    side = files::MakeSideFolder(path);
  } catch (const OrvError&) {
    return false;
  }
  const std::string temp = side + "/settings.ini";
  bool written = false;
  {
    std::ofstream out(temp, std::ios::binary | std::ios::trunc);
    out << text.str();
    out.flush();
    written = static_cast<bool>(out);
  }
  if (written) {
    if (std::filesystem::exists(target, ec)) {
      files::KeepModeAndGroup(path, temp);
    } else {
      files::GiveDefaultMode(temp);
    }
    std::filesystem::rename(temp, target, ec);
    written = !ec;
  }
  std::filesystem::remove_all(side, ec);
  return written;
}

bool IsComment(const std::string& trimmed) { return !trimmed.empty() && trimmed.front() == ';'; }

}  // namespace

std::optional<std::string> ReadProfileValue(const std::string& path, const std::string& section,
                                            const std::string& key) {
  const IniText ini = Load(path);
  const Location loc = Find(ini, section, key);
  if (loc.key == std::string::npos) return std::nullopt;
  std::string value = EntryOf(ini.lines[loc.key])->second;
  if (value.size() >= 2 && value.front() == '"' && value.back() == '"')
    value = value.substr(1, value.size() - 2);
  return value;
}

std::string ReadProfileString(const std::string& path, const std::string& section,
                              const std::string& key, const std::string& default_text) {
  std::optional<std::string> value = ReadProfileValue(path, section, key);
  if (!value) return default_text;
  if (value->size() > kMaxValueLength) value->resize(kMaxValueLength);
  return *value;
}

bool WriteProfileString(const std::string& path, const std::string& section, const std::string& key,
                        const std::string& value) {
  IniText ini = Load(path);
  const Location loc = Find(ini, section, key);
  const std::string entry = key + "=" + value;
  if (loc.key != std::string::npos) {
    ini.lines[loc.key] = entry;
  } else if (loc.section != std::string::npos) {
    ini.lines.insert(ini.lines.begin() + static_cast<std::ptrdiff_t>(loc.last_in_section) + 1,
                     entry);
  } else {
    if (!ini.lines.empty() && !TrimWhite(ini.lines.back()).empty()) ini.lines.emplace_back();
    ini.lines.push_back("[" + section + "]");
    ini.lines.push_back(entry);
  }
  return Save(path, ini);
}

std::vector<std::string> ReadProfileSection(const std::string& path, const std::string& section) {
  const IniText ini = Load(path);
  std::vector<std::string> out;
  bool inside = false;
  for (const std::string& line : ini.lines) {
    if (auto s = SectionOf(line)) {
      if (inside) break;
      inside = IEquals(*s, section);
      continue;
    }
    const std::string t = TrimWhite(line);
    if (inside && !t.empty() && !IsComment(t)) out.push_back(t);
  }
  return out;
}

bool WriteProfileSection(const std::string& path, const std::string& section,
                         const std::vector<std::string>& lines) {
  IniText ini = Load(path);
  size_t header = std::string::npos, end = ini.lines.size();
  for (size_t i = 0; i < ini.lines.size(); ++i) {
    auto s = SectionOf(ini.lines[i]);
    if (!s) continue;
    if (header != std::string::npos) {
      end = i;
      break;
    }
    if (IEquals(*s, section)) header = i;
  }
  if (header == std::string::npos) {
    if (!ini.lines.empty() && !TrimWhite(ini.lines.back()).empty()) ini.lines.emplace_back();
    ini.lines.push_back("[" + section + "]");
    ini.lines.insert(ini.lines.end(), lines.begin(), lines.end());
    return Save(path, ini);
  }
  // Blank lines that separate the section from the next one stay.
  size_t keep_from = end;
  while (keep_from > header + 1 && TrimWhite(ini.lines[keep_from - 1]).empty()) --keep_from;
  std::vector<std::string> out(ini.lines.begin(),
                               ini.lines.begin() + static_cast<std::ptrdiff_t>(header) + 1);
  out.insert(out.end(), lines.begin(), lines.end());
  out.insert(out.end(), ini.lines.begin() + static_cast<std::ptrdiff_t>(keep_from),
             ini.lines.end());
  ini.lines = std::move(out);
  return Save(path, ini);
}

std::vector<std::string> ProfileSectionNames(const std::string& path) {
  const IniText ini = Load(path);
  std::vector<std::string> names;
  for (const std::string& line : ini.lines) {
    if (auto s = SectionOf(line)) names.push_back(*s);
  }
  return names;
}

}  // namespace orv
