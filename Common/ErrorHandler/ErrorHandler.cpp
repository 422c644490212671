#include "ErrorHandler.h"

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <exception>

#include "ErrorLog.h"
#include "UserFolders.h"
#include "MessageBox.h"
#include "OsVersion.h"

namespace orv {

ErrorHandler::ErrorHandler(std::string app_title)
    : error_title_(app_title + " Error"),
      log_file_(UserDataFolder() + "/" + app_title + "_Error.log") {
  SetLogMode(logmode::kAutomatic);
  const detail::OsVersion v = detail::QueryOsVersion();
  os_major_ = v.major;
  os_minor_ = v.minor;
  os_build_ = v.build;
  os_platform_ = v.platform;
  os_version_ = v.name;
}

int32_t ErrorHandler::RealErrorNumber(int32_t InputNumber) {
  if (InputNumber >= 0) return InputNumber;
  return static_cast<int32_t>(static_cast<int64_t>(InputNumber) - kComponentErrorBase);
}

std::string ErrorHandler::NumberPrefix(int32_t real_number) {
  const auto raised =
      static_cast<uint32_t>(static_cast<int64_t>(real_number) + kComponentErrorBase);
  char buf[48];
  std::snprintf(buf, sizeof buf, "0x%X(%d): ", raised, real_number);
  return buf;
}

std::string ErrorHandler::ErrorMsg(int32_t /*vlErrNum*/) { return "Unexpected error"; }

void ErrorHandler::Raise(int32_t AppErrorNum, std::string Source, std::string Description,
                         std::string HelpFile, int32_t HelpContext, int32_t ShowMode) {
  if (AppErrorNum != 0) {
    Record(AppErrorNum, false, nullptr, std::move(Source), std::move(Description),
           std::move(HelpFile), HelpContext, ShowMode);
    return;
  }
  // With no exception in hand there is nothing to pass on: report that as
  // an invalid call rather than inventing an error 0.
  const OrvError pending =
      std::current_exception() ? CurrentError() : OrvError::Standard(err::kInvalidCall);
  Raise(pending, std::move(Source), std::move(Description), std::move(HelpFile), HelpContext,
        ShowMode);
}

void ErrorHandler::Raise(const OrvError& pending, std::string Source, std::string Description,
                         std::string HelpFile, int32_t HelpContext, int32_t ShowMode) {
  Record(pending.Number(), true, &pending, std::move(Source), std::move(Description),
         std::move(HelpFile), HelpContext, ShowMode);
}

void ErrorHandler::Record(int32_t raw_number, bool passed_on, const OrvError* pending,
                          std::string source, std::string description, std::string help_file,
                          int32_t help_context, int32_t show_mode) {
  if (show_mode == 0) show_mode = show_mode_;
  const int32_t real = RealErrorNumber(raw_number);
  if (help_context != 0) help_context_ = help_context;
  if (!help_file.empty()) help_file_ = std::move(help_file);
  number_ = real;
  const std::string prefix = NumberPrefix(real);

  std::string base;
  if (!passed_on) {
    base = ErrorMsg(raw_number);
    source_ = std::move(source);
  } else {
    base = pending->Description();
    // The outermost procedure comes first; an empty link adds no arrow.
    if (source.empty())
      source_ = pending->Source();
    else if (pending->Source().empty())
      source_ = std::move(source);
    else
      source_ = source + "->" + pending->Source();
  }
  last_error_ = base;
  description_ = description.empty() ? base : base + " - " + description;
  if (description_.compare(0, prefix.size(), prefix) != 0) description_ = prefix + description_;

  LogError();
  if (show_mode == 2 || show_mode == 3) ShowError();
  switch (show_mode) {
    case 1:
    case 2:
    case 4: {
      const auto raised = static_cast<int32_t>(static_cast<int64_t>(real) + kComponentErrorBase);
      throw OrvError(raised, source_, description_, help_file_, help_context_);
    }
    case 3:
    case 5:
      Clear();
      break;
    default:
      break;
  }
}

void ErrorHandler::LogError() {
  // A log that cannot be written must not hide the error being reported;
  // the failure stays readable through LastDllError.
  (void)WriteToLog("An error has occurred: " + description_ + ", number " +
                       std::to_string(number_) + " in " + source_,
                   logevent::kError);
}

void ErrorHandler::ShowError() {
  MsgBox("An error has occurred:\n" + description_ + ", number " + std::to_string(number_) +
             " in " + source_,
         error_style_, error_title_, help_file_, help_context_);
}

bool ErrorHandler::WriteToLog(const std::string& vsLogMsg, int32_t vEventType) {
  const int32_t target = log_mode_ & 15;
  if (target == logmode::kOff) return true;
  // Automatic, file and system-log modes all write the log file: this system
  // keeps no separate application event log.
  const bool truncate = truncate_pending_;
  if (!detail::AppendLogEntry(log_file_, vsLogMsg, vEventType,
                              (log_mode_ & logmode::kThreadId) != 0, truncate))
    return false;
  truncate_pending_ = false;
  return true;
}

void ErrorHandler::Clear() {
  number_ = 0;
  source_.clear();
  description_.clear();
  help_context_ = 0;
}

void ErrorHandler::SetLogMode(int32_t mode) {
  if ((mode & 15) == logmode::kSystemLog && os_platform_ != 2) mode &= ~15;
  log_mode_ = mode;
  truncate_pending_ = (mode & logmode::kOverwrite) != 0;
}

int32_t ErrorHandler::LastDllError() const { return errno; }

std::string ErrorHandler::WinAPIError() const {
  const int code = LastDllError();
  if (code == 0) return {};
  char buf[256] = {};
  // The GNU strerror_r returns the text, which may or may not be `buf`.
  const char* text = strerror_r(code, buf, sizeof buf);
  std::string s = text ? text : "";
  if (s.size() > 255) s.resize(255);
  return s;
}

}  // namespace orv
