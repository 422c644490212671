#include "FileDialog.h"

#include "ServiceSlot.h"

namespace orv {

namespace {
detail::ServiceSlot<FileDialogService> g_service;
}  // namespace

std::shared_ptr<FileDialogService> GetFileDialogService() { return g_service.Get(); }

std::shared_ptr<FileDialogService> SetFileDialogService(std::shared_ptr<FileDialogService> s) {
  return g_service.Swap(std::move(s));
}

FileDialogAnswer ScriptedFileDialog::Show(const FileDialogRequest& request) {
  shown.push_back(request);
  if (answers.empty()) return FileDialogAnswer{};
  FileDialogAnswer a = answers.front();
  answers.erase(answers.begin());
  return a;
}

}  // namespace orv
