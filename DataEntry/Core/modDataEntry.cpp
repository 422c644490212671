// The settings record, the settings file, the program's error box and the
// small text helpers.
#include "modDataEntry.h"

#include <exception>
#include <filesystem>
#include <system_error>

#include "MessageBox.h"
#include "Numbers.h"
#include "Text.h"
#include "clsINI2.h"

namespace orv::tarnby {

SettingsRecord Settings;
std::string SettingsFile;
std::string CurrentStep;
bool SettingsChanged = false;
bool EngineSetupFailed = false;

namespace {

bool FileExists(const std::string& path) {
  std::error_code ec;
  return !path.empty() && std::filesystem::is_regular_file(path, ec);
}

// One key of the settings file: where it lives and how it is read.
enum class Kind { kText, kInt16, kInt32, kBool };

struct KeyRow {
  const char* section;
  const char* key;
  const char* step;  // set before the key is read; nullptr keeps the last one
  Kind kind;
};

// The settings file, in the order the keys are read.
constexpr KeyRow kKeys[] = {
    {"Setup", "SystemIni", "Getting settings: System INI file path", Kind::kText},
    {"DustModel", "DustDatabase", "Getting settings: PXR Data Database", Kind::kText},
    {"DustModel", "Jurisdiction", "Getting settings: Jurisdiction", Kind::kInt16},
    {"DustModel", "AllowUserDefine", nullptr, Kind::kBool},
    {"Data", "Database", "Getting settings: Claimant Data Database", Kind::kText},
    {"Output", "DustOutputOption", nullptr, Kind::kInt32},
    {"Output", "DustDetail", nullptr, Kind::kBool},
    {"Output", "DustChart", nullptr, Kind::kBool},
    {"Output", "DustAutoCalc", nullptr, Kind::kBool},
    {"Output", "HTMLFile", nullptr, Kind::kText},
};

// The text read when the key is absent: the current value for the paths and
// Jurisdiction, a fixed default for the rest.
std::string DefaultText(const std::string& key) {
  const SettingsRecord& s = Settings;
  if (key == "SystemIni") return s.SystemIni;
  if (key == "DustDatabase") return s.DustDatabase;
  if (key == "Jurisdiction") return std::to_string(s.Jurisdiction);
  if (key == "Database") return s.Database;
  if (key == "HTMLFile") return s.HTMLFile;
  if (key == "DustOutputOption") return "0";
  if (key == "DustChart") return "True";
  return "False";
}

void Store(const std::string& key, const std::string& text) {
  SettingsRecord& s = Settings;
  if (key == "SystemIni") s.SystemIni = text;
  else if (key == "DustDatabase") s.DustDatabase = text;
  else if (key == "Jurisdiction") s.Jurisdiction = ParseInt16(text);
  else if (key == "AllowUserDefine") s.AllowUserDefine = ParseBool(text);
  else if (key == "Database") s.Database = text;
  else if (key == "DustOutputOption") s.DustOutputOption = ParseInt32(text);
  else if (key == "DustDetail") s.DustDetail = ParseBool(text);
  else if (key == "DustChart") s.DustChart = ParseBool(text);
  else if (key == "DustAutoCalc") s.DustAutoCalc = ParseBool(text);
  else if (key == "HTMLFile") s.HTMLFile = text;
}

std::string DetailText(const std::string& message, const OrvError& e) {
  return message + "\nError detail: " + e.Description() + "\nSource: " + e.Source() +
         "\nNumber: " + std::to_string(e.Number());
}

}  // namespace

std::string SettingsFileFromCommandLine(std::string_view command_line) {
  const std::string path = TrimWhite(command_line);
  return path.empty() ? DefaultSettingsFile() : path;
}

void SetDefaultSettings() {
  Settings.SystemIni.clear();
  Settings.DustDatabase = DefaultDustDatabase();
  Settings.Jurisdiction = 0;
  Settings.Database = DefaultClaimantDatabase();
  Settings.HTMLFile = DefaultHTMLFile();
}

void SetFromINI(const std::string& path) {
  if (!FileExists(path)) {
    ShowProgramError("Cannot find INI file " + path, false);
    return;
  }
  try {
    CurrentStep = "Initialising INI object";
    clsINI2 ini;
    CurrentStep = "Setting reference to local INI file " + path;
    ini.MustExist = false;
    ini.SetIniFileName(path);
    for (const KeyRow& row : kKeys) {
      if (row.step) CurrentStep = row.step;
      if (ini.Section() != row.section) ini.SetSection(row.section);
      ini.SetKey(row.key);
      ini.SetDefault(DefaultText(row.key));
      Store(row.key, ini.GetIni());
    }
  } catch (...) {
    ProgramErrorHandler().Raise(0, ErrorSource("SetFromINI"));
  }
}

bool ReadSettings(const std::string& path) {
  const std::string step = "Setting up defaults";
  try {
    SetDefaultSettings();
    SetFromINI(path);
    if (!Settings.SystemIni.empty() &&
        UpperAscii(Trim(Settings.SystemIni)) != UpperAscii(Trim(path))) {
      SetFromINI(Settings.SystemIni);
    }
    return true;
  } catch (...) {
    ShowProgramError("An error occurred reading INI while: \n" + step, true);
    return false;
  }
}

namespace {

void PutKey(clsINI2& ini, const char* section, const char* key, const std::string& value) {
  ini.SetSection(section);
  ini.SetKey(key);
  (void)ini.PutIni(value);  // a single write's result is not checked, as before
}

}  // namespace

bool SaveSettings() {
  try {
    CurrentStep = "Initialising INI object";
    clsINI2 ini;
    CurrentStep = "Setting reference to local INI file " + SettingsFile;
    ini.MustExist = false;
    ini.SetIniFileName(SettingsFile);
    const SettingsRecord& s = Settings;
    CurrentStep = "Saving settings: System INI file path";
    PutKey(ini, "Setup", "SystemIni", s.SystemIni);
    CurrentStep = "Saving settings: PXR Data Database";
    PutKey(ini, "DustModel", "DustDatabase", s.DustDatabase);
    CurrentStep = "Saving settings: Jurisdiction";
    PutKey(ini, "DustModel", "Jurisdiction", std::to_string(s.Jurisdiction));
    CurrentStep = "Saving settings: Claimant Data Database";
    PutKey(ini, "Data", "Database", db::WithoutPassword(s.Database));
    CurrentStep = "Saving settings: HTML Output file name";
    PutKey(ini, "Output", "HTMLFile", s.HTMLFile);
    PutKey(ini, "Output", "DustOutputOption", std::to_string(s.DustOutputOption));
    PutKey(ini, "Output", "DustDetail", BoolToText(s.DustDetail));
    PutKey(ini, "Output", "DustChart", BoolToText(s.DustChart));
    PutKey(ini, "Output", "DustAutoCalc", BoolToText(s.DustAutoCalc));
    return true;
  } catch (...) {
    ShowProgramError("An error occurred writing INI while: \n" + CurrentStep, true);
    return false;
  }
}

ErrorHandler& ProgramErrorHandler() {
  static ErrorHandler handler(kAppTitle);
  return handler;
}

void ShowProgramError(const std::string& message, bool with_details) {
  if (!with_details) {
    MsgBox(message, mb::kCritical | mb::kOkOnly, kProgramErrorTitle);
    return;
  }
  ShowProgramError(message, std::current_exception() ? CurrentError() : OrvError(0, {}, {}));
}

void ShowProgramError(const std::string& message, const OrvError& detail) {
  if (IsConnectionLost(detail)) {
    ShowConnectionLost(message, detail);
    return;
  }
  MsgBox(DetailText(message, detail), mb::kCritical | mb::kOkOnly, kProgramErrorTitle);
}

bool IsConnectionLost(const OrvError& e) {
  return ErrorHandler::RealErrorNumber(e.Number()) == db::dberr::kConnectionLost;
}

void ShowConnectionLost(const std::string& message, const OrvError& e) {
  MsgBox(message + "\n\n" + e.Description() +
             "\n\nWhat you typed is still on the screen: do it again once the server can be "
             "reached.",
         mb::kCritical | mb::kOkOnly, "Connection Lost");
}

std::string ErrorSource(std::string_view procedure) {
  return "modDataEntry:" + std::string(procedure);
}

std::string JoinNonEmpty(std::string_view separator, const std::vector<std::string>& parts) {
  std::string out;
  for (const std::string& part : parts) {
    const std::string t = Trim(part);
    if (t.empty()) continue;
    if (!out.empty()) out += separator;
    out += t;
  }
  return out;
}

std::string JoinWords(std::string_view a, std::string_view b) {
  return JoinNonEmpty(" ", {std::string(a), std::string(b)});
}

std::string JoinWords(std::string_view a, std::string_view b, std::string_view c,
                      std::string_view d) {
  return JoinNonEmpty(" ", {std::string(a), std::string(b), std::string(c), std::string(d)});
}

}  // namespace orv::tarnby
