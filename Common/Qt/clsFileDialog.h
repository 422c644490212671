// The file-open, file-save and folder dialogs, the file-title lookup and the
// opening of a document or web page with the user's default application.
//
// The dialogs go through the process's FileDialogService when one is
// installed (tests, headless hosts, the desktop's own), else through Qt's
// QFileDialog. Filter text is written as description and pattern pairs
// separated by "|" or ":" ("Portable Document Format(*.pdf)|*.pdf"); with
// none, "All (*.*)| *.*" is used.
#pragma once

#include <QWidget>
#include <cstdint>
#include <string>
#include <utility>
#include <vector>

#include "FileDialog.h"

namespace orv {

// The dialog flags the callers may see in the flags they get back.
namespace ofn {
inline constexpr int32_t kReadOnly = 1;
inline constexpr int32_t kOverwritePrompt = 2;
inline constexpr int32_t kHideReadOnly = 4;
inline constexpr int32_t kAllowMultiSelect = 512;
inline constexpr int32_t kFileMustExist = 4096;
inline constexpr int32_t kExplorer = 524288;
}  // namespace ofn

// The filter text in the host's list form: every "|" and ":" replaced by a
// NUL character and two NULs appended.
std::string HostFilterList(const std::string& filter);
// The description and pattern pairs of a filter text (patterns trimmed).
std::vector<std::pair<std::string, std::string>> FilterPairs(const std::string& filter);

class clsFileDialog {
 public:
  // Shows the open dialog. Returns true when a file was chosen: FileName and
  // FileTitle get the chosen path and its name (with MultiSelect and more
  // than one file, FileName is the folder and the names separated by NUL
  // characters), Filter the chosen pair (description, NUL, pattern),
  // FilterIndex its 1-based number, Flags the dialog's flags and ReadOnly
  // whether the read-only box was ticked. On cancel: false, FileName,
  // FileTitle and Filter empty, Flags 0 and FilterIndex -1.
  [[nodiscard]] bool DialogGetOpenFileName(std::string& FileName, std::string& FileTitle,
                                           bool FileMustExist, bool MultiSelect, bool& ReadOnly,
                                           bool HideReadOnly, std::string& Filter,
                                           int32_t& FilterIndex, const std::string& InitDir,
                                           const std::string& DlgTitle,
                                           const std::string& DefaultExt, QWidget* Owner,
                                           int32_t& Flags);

  // Shows the save dialog; results as for the open dialog, except that the
  // filter index is 0 after a cancel.
  [[nodiscard]] bool DialogGetSaveFileName(std::string& FileName, std::string& FileTitle,
                                           bool OverwritePrompt, std::string& Filter,
                                           int32_t& FilterIndex, const std::string& InitDir,
                                           const std::string& DlgTitle,
                                           const std::string& DefaultExt, QWidget* Owner,
                                           int32_t& Flags);

  // The file's name without its folder; empty when it has none.
  static std::string DialogGetFileTitle(const std::string& FileName);

  // The chosen folder's path, or empty when cancelled.
  std::string BrowseForFolder(QWidget* Owner, const std::string& Title = "Select folder");

  // Opens the address (file, document or web page) with the user's default
  // application. A failure is raised again with its number, source and help
  // and the description "Trying to open <address> <its description>".
  static void NavigateTo(const std::string& Address, QWidget* Parent = nullptr);

  // 1 after a choice, 0 after a cancel, else the dialog's failure.
  int32_t LastResult() const { return last_result_; }
  // The dialog's own error code after a failed dialog, else 0.
  int32_t ExtendedError() const { return extended_error_; }

 private:
  FileDialogAnswer Run(const FileDialogRequest& request);
  bool TakeAnswer(const FileDialogAnswer& answer, const FileDialogRequest& request,
                  bool multi_select, int32_t cancelled_index, std::string& FileName,
                  std::string& FileTitle, std::string& Filter, int32_t& FilterIndex,
                  int32_t& Flags);

  int32_t last_result_ = 0;
  int32_t extended_error_ = 0;
};

}  // namespace orv
