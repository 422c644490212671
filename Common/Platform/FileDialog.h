// File-open, file-save and folder dialogs behind an interface: the desktop
// installs one that shows the real dialogs, tests and headless tools install
// one that answers from a script. A process-wide service, like the message
// boxes, so that one installed by the host is the one every component
// library sees.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <utility>
#include <vector>

namespace orv {

struct FileDialogRequest {
  enum class Kind { kOpen, kSave, kFolder };
  Kind kind = Kind::kOpen;
  std::string title;
  std::string initial_folder;
  std::string file_name;  // initial name
  std::string default_extension;
  // Description and pattern pairs, in order; patterns are separated by ";".
  std::vector<std::pair<std::string, std::string>> filters;
  int32_t filter_index = 1;  // 1-based
  int32_t flags = 0;         // the classic dialog flags (read only 1, overwrite prompt 2, ...)
  void* owner = nullptr;     // the owner window of the host's toolkit, or none
};

struct FileDialogAnswer {
  // 1 chosen, 0 cancelled, anything else a failure of the dialog itself.
  int32_t result = 0;
  // Chosen files (full paths), or the chosen folder.
  std::vector<std::string> files;
  int32_t filter_index = 1;
  bool read_only = false;
  int32_t extended_error = 0;  // with a failure
};

class FileDialogService {
 public:
  virtual ~FileDialogService() = default;
  // Shows the dialog modally.
  virtual FileDialogAnswer Show(const FileDialogRequest& request) = 0;
};

// The installed service, or nullptr when none is installed (the caller then
// uses its toolkit's own dialogs).
std::shared_ptr<FileDialogService> GetFileDialogService();

// Installs the process's file dialog service (nullptr removes it) and
// returns the one it replaces.
std::shared_ptr<FileDialogService> SetFileDialogService(std::shared_ptr<FileDialogService> s);

// Records every request and answers from a queue (then cancels).
class ScriptedFileDialog : public FileDialogService {
 public:
  FileDialogAnswer Show(const FileDialogRequest& request) override;
  std::vector<FileDialogRequest> shown;
  std::vector<FileDialogAnswer> answers;  // consumed from the front
};

}  // namespace orv
