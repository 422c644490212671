#include "FileDialog.h"

#include <mutex>

namespace orv {

namespace {
std::mutex g_mutex;
std::shared_ptr<FileDialogService> g_service;
}  // namespace

std::shared_ptr<FileDialogService> GetFileDialogService() {
  std::lock_guard lock(g_mutex);
  return g_service;
}

std::shared_ptr<FileDialogService> SetFileDialogService(std::shared_ptr<FileDialogService> s) {
  std::lock_guard lock(g_mutex);
  std::swap(g_service, s);
  return s;
}

FileDialogAnswer ScriptedFileDialog::Show(const FileDialogRequest& request) {
  shown.push_back(request);
  if (answers.empty()) return FileDialogAnswer{};
  FileDialogAnswer a = answers.front();
  answers.erase(answers.begin());
  return a;
}

}  // namespace orv
