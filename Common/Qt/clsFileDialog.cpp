#include "clsFileDialog.h"

#include <filesystem>

#include "OrvError.h"
#include "QtFileDialogService.h"
#include "Shell.h"
#include "Text.h"

namespace orv {

namespace {

constexpr const char* kDefaultFilter = "All (*.*)| *.*";

// The pairs as the host list holds them: the pieces between separators, the
// pattern text untrimmed. The host's list ends at an empty piece.
std::vector<std::pair<std::string, std::string>> RawPairs(const std::string& filter) {
  std::vector<std::string> pieces(1);
  for (const char c : filter.empty() ? std::string(kDefaultFilter) : filter) {
    if (c == '|' || c == ':')
      pieces.emplace_back();
    else
      pieces.back() += c;
  }
  std::vector<std::pair<std::string, std::string>> pairs;
  for (size_t i = 0; i < pieces.size() && !pieces[i].empty(); i += 2)
    pairs.emplace_back(pieces[i], i + 1 < pieces.size() ? pieces[i + 1] : std::string());
  return pairs;
}

std::string TitleOf(const std::string& path) {
  return std::filesystem::path(path).filename().string();
}

}  // namespace

std::string HostFilterList(const std::string& filter) {
  std::string list = filter.empty() ? kDefaultFilter : filter;
  for (char& c : list)
    if (c == '|' || c == ':') c = '\0';
  list.append(2, '\0');
  return list;
}

std::vector<std::pair<std::string, std::string>> FilterPairs(const std::string& filter) {
  auto pairs = RawPairs(filter);
  for (auto& [description, pattern] : pairs) {
    description = Trim(description);
    pattern = Trim(pattern);
  }
  return pairs;
}

FileDialogAnswer clsFileDialog::Run(const FileDialogRequest& request) {
  extended_error_ = 0;
  std::shared_ptr<FileDialogService> service = GetFileDialogService();
  if (!service) service = std::make_shared<QtFileDialogService>();
  return service->Show(request);
}

bool clsFileDialog::TakeAnswer(const FileDialogAnswer& answer, const FileDialogRequest& request,
                               bool multi_select, int32_t cancelled_index, std::string& FileName,
                               std::string& FileTitle, std::string& Filter, int32_t& FilterIndex,
                               int32_t& Flags) {
  last_result_ = answer.result;
  if (answer.result != 1 || answer.files.empty()) {
    if (answer.result != 0 && answer.result != 1) extended_error_ = answer.extended_error;
    FileName.clear();
    FileTitle.clear();
    Filter.clear();
    Flags = 0;
    FilterIndex = cancelled_index;
    return false;
  }
  if (multi_select && answer.files.size() > 1) {
    // The folder, then each name, separated by NUL characters.
    FileName = std::filesystem::path(answer.files.front()).parent_path().string();
    for (const std::string& f : answer.files) FileName += '\0' + TitleOf(f);
  } else {
    FileName = answer.files.front();
  }
  FileTitle = TitleOf(answer.files.front());
  FilterIndex = answer.filter_index;
  const auto pairs = RawPairs(Filter);
  if (FilterIndex >= 1 && static_cast<size_t>(FilterIndex) <= pairs.size()) {
    const auto& [description, pattern] = pairs[static_cast<size_t>(FilterIndex) - 1];
    Filter = description + '\0' + pattern;
  } else {
    Filter.clear();
  }
  Flags = request.flags | (answer.read_only ? ofn::kReadOnly : 0);
  return true;
}

// The request both file dialogs start from; an empty filter becomes the
// default one, as the caller sees afterwards.
static FileDialogRequest NewRequest(FileDialogRequest::Kind kind, const std::string& FileName,
                                    std::string& Filter, int32_t FilterIndex,
                                    const std::string& InitDir, const std::string& DlgTitle,
                                    const std::string& DefaultExt, QWidget* Owner) {
  if (Filter.empty()) Filter = kDefaultFilter;
  FileDialogRequest request;
  request.kind = kind;
  request.title = DlgTitle;
  request.initial_folder = InitDir;
  request.file_name = FileName;
  request.default_extension = DefaultExt;
  request.filters = FilterPairs(Filter);
  request.filter_index = FilterIndex;
  request.owner = Owner;
  return request;
}

bool clsFileDialog::DialogGetOpenFileName(std::string& FileName, std::string& FileTitle,
                                          bool FileMustExist, bool MultiSelect, bool& ReadOnly,
                                          bool HideReadOnly, std::string& Filter,
                                          int32_t& FilterIndex, const std::string& InitDir,
                                          const std::string& DlgTitle,
                                          const std::string& DefaultExt, QWidget* Owner,
                                          int32_t& Flags) {
  FileDialogRequest request = NewRequest(FileDialogRequest::Kind::kOpen, FileName, Filter,
                                         FilterIndex, InitDir, DlgTitle, DefaultExt, Owner);
  request.flags = (ReadOnly ? ofn::kReadOnly : 0) | (HideReadOnly ? ofn::kHideReadOnly : 0) |
                  (MultiSelect ? ofn::kAllowMultiSelect | ofn::kExplorer : 0) |
                  (FileMustExist ? ofn::kFileMustExist : 0);
  const FileDialogAnswer answer = Run(request);
  const bool chosen =
      TakeAnswer(answer, request, MultiSelect, -1, FileName, FileTitle, Filter, FilterIndex, Flags);
  if (chosen) ReadOnly = (Flags & ofn::kReadOnly) != 0;
  return chosen;
}

bool clsFileDialog::DialogGetSaveFileName(std::string& FileName, std::string& FileTitle,
                                          bool OverwritePrompt, std::string& Filter,
                                          int32_t& FilterIndex, const std::string& InitDir,
                                          const std::string& DlgTitle,
                                          const std::string& DefaultExt, QWidget* Owner,
                                          int32_t& Flags) {
  FileDialogRequest request = NewRequest(FileDialogRequest::Kind::kSave, FileName, Filter,
                                         FilterIndex, InitDir, DlgTitle, DefaultExt, Owner);
  request.flags = ofn::kHideReadOnly | (OverwritePrompt ? ofn::kOverwritePrompt : 0);
  const FileDialogAnswer answer = Run(request);
  return TakeAnswer(answer, request, false, 0, FileName, FileTitle, Filter, FilterIndex, Flags);
}

std::string clsFileDialog::DialogGetFileTitle(const std::string& FileName) {
  return TitleOf(FileName);
}

std::string clsFileDialog::BrowseForFolder(QWidget* Owner, const std::string& Title) {
  FileDialogRequest request;
  request.kind = FileDialogRequest::Kind::kFolder;
  request.title = Title.empty() ? "Select folder" : Title;
  request.owner = Owner;
  const FileDialogAnswer answer = Run(request);
  if (answer.result != 1 || answer.files.empty()) return {};
  return answer.files.front();
}

void clsFileDialog::NavigateTo(const std::string& Address, QWidget* /*Parent*/) {
  try {
    ShellOpen(Address);
  } catch (...) {
    const OrvError e = CurrentError();
    throw OrvError(e.Number(), e.Source(), "Trying to open " + Address + " " + e.Description(),
                   e.HelpFile(), e.HelpContext());
  }
}

}  // namespace orv
