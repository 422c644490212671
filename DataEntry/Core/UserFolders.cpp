// The per-user folders that stand in for a desktop installation's program
// folder, and the first start of a new user.
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <system_error>

#include "UserFolders.h"

#include "OrvError.h"
#include "SafeFiles.h"
#include "modDataEntry.h"

namespace orv::tarnby {

namespace fs = std::filesystem;

namespace {

bool Exists(const fs::path& p) {
  std::error_code ec;
  return fs::exists(p, ec);
}

bool HoldsSamples(const fs::path& folder) {
  return Exists(folder / "TARNBY.db") && Exists(folder / "DUSTDATA.db");
}

// Copies a bundled sample file (nobody writes it) into a private folder
// beside `to` and renames it into place when complete, never over a file
// that has the name by then, nor through a link planted under a foreseeable
// temporary name.
bool CopySample(const fs::path& from, const fs::path& to) {
  std::error_code ec;
  std::string side;
  try {
    side = files::MakeSideFolder(to.string());
  } catch (const OrvError&) {
    return false;
  }
  const fs::path temp = fs::path(side) / to.filename();
  bool placed = false;
  if (fs::copy_file(from, temp, ec) && !ec) {
    files::GiveDefaultMode(temp.string());
    placed = files::RenameNoReplace(temp.string(), to.string(), ec) && !ec;
  }
  fs::remove_all(side, ec);
  return placed;
}

}  // namespace

std::string ConfigFolder() { return orv::UserConfigFolder(); }
std::string DataFolder() { return orv::UserDataFolder(); }

std::string ProgramFolder() {
  std::error_code ec;
  const fs::path exe = fs::read_symlink("/proc/self/exe", ec);
  if (ec) return fs::current_path(ec).string();
  return exe.parent_path().string();
}

std::string DefaultSettingsFile() { return ConfigFolder() + "/TARNBY.INI"; }
std::string DefaultClaimantDatabase() { return DataFolder() + "/TARNBY.db"; }
std::string DefaultDustDatabase() { return DataFolder() + "/DUSTDATA.db"; }
std::string DefaultHTMLFile() { return DataFolder() + "/ORVDUST.HTM"; }

std::string FindSampleFolder() {
  std::vector<fs::path> candidates;
  if (const char* dir = std::getenv("TARNBY_SAMPLE_DIR"); dir && *dir) candidates.emplace_back(dir);
  const fs::path program(ProgramFolder());
  candidates.push_back(program / ".." / "sample");
  candidates.push_back(program / ".." / "share" / "tarnby" / "sample");
  for (const fs::path& c : candidates) {
    if (HoldsSamples(c)) return c.lexically_normal().string();
  }
  return {};
}

bool FirstStartSetup(bool settings_file_named) {
  if (settings_file_named) return false;
  if (Exists(DefaultSettingsFile()) || Exists(DefaultClaimantDatabase()) ||
      Exists(DefaultDustDatabase())) {
    return false;
  }
  std::error_code ec;
  fs::create_directories(ConfigFolder(), ec);
  fs::create_directories(DataFolder(), ec);
  if (const std::string sample = FindSampleFolder(); !sample.empty()) {
    (void)CopySample(fs::path(sample) / "DUSTDATA.db", DefaultDustDatabase());
    (void)CopySample(fs::path(sample) / "TARNBY.db", DefaultClaimantDatabase());
  }
  // The default settings file, written the way SaveSettings writes it.
  const SettingsRecord kept = Settings;
  const std::string kept_file = SettingsFile;
  SetDefaultSettings();
  SettingsFile = DefaultSettingsFile();
  const bool saved = SaveSettings();
  Settings = kept;
  SettingsFile = kept_file;
  return saved;
}

}  // namespace orv::tarnby
