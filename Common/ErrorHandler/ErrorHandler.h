// The error reporter: numbers a failure, chains its source, composes its
// description, writes it to the deliverable's error log, shows it in a
// message box when asked, and then passes it on to the caller as a
// component error or clears it. Each deliverable owns its instances
// privately; classes that report through one hold or share it.
//
// Error numbers: a raw number below 0 has the component error base
// (kComponentErrorBase) taken off to give its real number; a raw number of 0
// or more is its own real number. Errors raised to the caller carry
// real + base, so re-raising never changes the real number.
#pragma once

#include <cstdint>
#include <string>

#include "OrvError.h"

namespace orv {

// Where log entries go, plus the flags that may be added.
namespace logmode {
inline constexpr int32_t kAutomatic = 0;  // the log file on this system
inline constexpr int32_t kOff = 1;
inline constexpr int32_t kFile = 2;
inline constexpr int32_t kSystemLog = 3;  // written to the log file as well
inline constexpr int32_t kOverwrite = 16;
inline constexpr int32_t kThreadId = 32;
}  // namespace logmode

// Event types of a log entry.
namespace logevent {
inline constexpr int32_t kError = 1;
inline constexpr int32_t kWarning = 2;
inline constexpr int32_t kInformation = 4;
}  // namespace logevent

class ErrorHandler {
 public:
  // `app_title` is the deliverable's title ("tarnby", "orvdustm", "orvdusto"):
  // the message box title becomes "<title> Error" and the log file
  // "<title>_Error.log" in the per-user data folder ($XDG_DATA_HOME/tarnby,
  // else ~/.local/share/tarnby), created when the first entry is written.
  // Logging starts in automatic mode; the operating system version is read.
  explicit ErrorHandler(std::string app_title);

  // Records the error, logs it and, by show mode (0 = the ShowMode
  // property):
  //   1, 2, 4  raises it to the caller as OrvError(real + base, Source,
  //            Description, HelpFile, HelpContext); 2 shows it first;
  //   3, 5     clears it after logging; 3 shows it first;
  //   other    keeps it recorded and returns.
  // With AppErrorNum 0 the error in hand is passed on: call it from inside a
  // catch block, where the exception being handled (any type, converted by
  // CurrentError) is the pending error. Its source is chained behind
  // `Source` ("Outer:Proc->Inner:Proc"). Outside a catch block there is no
  // pending error and error 5 is reported instead.
  // A new error (AppErrorNum not 0) gets the description ErrorMsg(AppErrorNum).
  // Either way a non-empty `Description` is appended after " - ".
  void Raise(int32_t AppErrorNum = 0, std::string Source = {}, std::string Description = {},
             std::string HelpFile = {}, int32_t HelpContext = 0, int32_t ShowMode = 0);

  // Passes on the given pending error, as Raise with AppErrorNum 0 does.
  void Raise(const OrvError& pending, std::string Source = {}, std::string Description = {},
             std::string HelpFile = {}, int32_t HelpContext = 0, int32_t ShowMode = 0);

  // The real error number of a raw number.
  static int32_t RealErrorNumber(int32_t InputNumber);
  // "0x<hex of real + base>(<real>): ", as descriptions begin.
  static std::string NumberPrefix(int32_t real_number);
  // The text of a string resource; no deliverable carries any, so always
  // "Unexpected error".
  static std::string ErrorMsg(int32_t vlErrNum);

  // Writes "An error has occurred: <Description>, number <Number> in
  // <Source>" to the log as an error entry.
  void LogError();
  // Shows "An error has occurred:\n<Description>, number <Number> in
  // <Source>" with ErrorStyle, ErrorTitle, HelpFile and HelpContext.
  void ShowError();
  // Writes one log entry. Returns false when the log file cannot be written
  // (LastDllError then tells why); a log that is off counts as written.
  bool WriteToLog(const std::string& vsLogMsg, int32_t vEventType = logevent::kInformation);
  // Number 0, Source and Description empty, HelpContext 0; HelpFile and
  // LastError are kept.
  void Clear();

  // The error code (errno) of the most recent failing system call on this
  // thread, and the system's text for it ("" when there is none).
  int32_t LastDllError() const;
  std::string WinAPIError() const;

  int32_t Number() const { return number_; }
  void SetNumber(int32_t v) { number_ = v; }
  const std::string& Source() const { return source_; }
  void SetSource(std::string v) { source_ = std::move(v); }
  const std::string& Description() const { return description_; }
  void SetDescription(std::string v) { description_ = std::move(v); }
  const std::string& HelpFile() const { return help_file_; }
  void SetHelpFile(std::string v) { help_file_ = std::move(v); }
  int32_t HelpContext() const { return help_context_; }
  void SetHelpContext(int32_t v) { help_context_ = v; }
  // Base description of the last Raise, before the caller's text and the
  // number prefix were added.
  const std::string& LastError() const { return last_error_; }
  // Kept for callers ("MatrixEntry:"); the reporter itself never uses it.
  const std::string& SourcePrefix() const { return source_prefix_; }
  void SetSourcePrefix(std::string v) { source_prefix_ = std::move(v); }
  // Default show mode of Raise; initially 1.
  int32_t ShowMode() const { return show_mode_; }
  void SetShowMode(int32_t v) { show_mode_ = v; }
  // Message box style; initially 16 (critical, OK only).
  int32_t ErrorStyle() const { return error_style_; }
  void SetErrorStyle(int32_t v) { error_style_ = v; }
  const std::string& ErrorTitle() const { return error_title_; }
  void SetErrorTitle(std::string v) { error_title_ = std::move(v); }
  const std::string& LogFile() const { return log_file_; }
  void SetLogFile(std::string v) { log_file_ = std::move(v); }
  // Starts logging to LogFile in the given mode (see logmode). With
  // kOverwrite the file is emptied by the first entry written afterwards.
  void SetLogMode(int32_t mode);

  // Operating system version, read once at creation. On Linux: platform 2,
  // major, minor and build the three numbers of the kernel release, and
  // WindowsVersion "<system name> <major>.<minor>.<build>" ("Linux 6.1.0").
  int32_t WindowsMajorVersion() const { return os_major_; }
  int32_t WindowsMinorVersion() const { return os_minor_; }
  int32_t WindowsBuild() const { return os_build_; }
  int32_t WindowsPlatform() const { return os_platform_; }
  const std::string& WindowsVersion() const { return os_version_; }

 private:
  void Record(int32_t raw_number, bool passed_on, const OrvError* pending, std::string source,
              std::string description, std::string help_file, int32_t help_context,
              int32_t show_mode);

  int32_t number_ = 0;
  std::string source_;
  std::string description_;
  std::string help_file_;
  int32_t help_context_ = 0;
  std::string last_error_;
  std::string source_prefix_;
  int32_t show_mode_ = 1;
  int32_t error_style_ = 16;
  std::string error_title_;
  std::string log_file_;
  int32_t log_mode_ = logmode::kAutomatic;
  bool truncate_pending_ = false;

  int32_t os_major_ = 0;
  int32_t os_minor_ = 0;
  int32_t os_build_ = 0;
  int32_t os_platform_ = 1;
  std::string os_version_;
};

}  // namespace orv
