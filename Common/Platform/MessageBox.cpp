#include "MessageBox.h"

#include <cstdio>
#include <mutex>

namespace orv {

namespace {

std::mutex g_mutex;
std::shared_ptr<MessageBoxService> g_service;

int32_t DefaultAnswer(int32_t style) {
  switch (style & 7) {
    case mb::kYesNo:
    case mb::kYesNoCancel: return mb::kYes;
    default: return mb::kOk;
  }
}

}  // namespace

int32_t MsgBox(const std::string& prompt, int32_t style, const std::string& title,
               const std::string& help_file, int32_t help_context) {
  std::shared_ptr<MessageBoxService> s;
  {
    std::lock_guard lock(g_mutex);
    s = g_service;
  }
  if (s) return s->Show({prompt, style, title, help_file, help_context});
  std::fprintf(stderr, "%s%s%s\n", title.c_str(), title.empty() ? "" : ": ", prompt.c_str());
  return DefaultAnswer(style);
}

std::shared_ptr<MessageBoxService> SetMessageBoxService(std::shared_ptr<MessageBoxService> s) {
  std::lock_guard lock(g_mutex);
  std::swap(g_service, s);
  return s;
}

int32_t ScriptedMessageBox::Show(const MessageBoxRequest& request) {
  shown.push_back(request);
  if (answers.empty()) return default_answer;
  const int32_t a = answers.front();
  answers.erase(answers.begin());
  return a;
}

}  // namespace orv
