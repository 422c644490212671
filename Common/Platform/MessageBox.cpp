#include "MessageBox.h"

#include <cstdio>

#include "ServiceSlot.h"

namespace orv {

namespace {

detail::ServiceSlot<MessageBoxService> g_service;

}  // namespace

namespace mb {

std::vector<int32_t> ButtonAnswers(int32_t style) {
  switch (style & 7) {
    case kOkCancel: return {kOk, kCancel};
    case 2: return {3, 4, 5};
    case kYesNoCancel: return {kYes, kNo, kCancel};
    case kYesNo: return {kYes, kNo};
    case 5: return {4, kCancel};
    default: return {kOk};
  }
}

int32_t DefaultAnswer(int32_t style) {
  const std::vector<int32_t> answers = ButtonAnswers(style);
  const size_t wanted = static_cast<size_t>((style & 0x300) >> 8);
  return wanted < answers.size() ? answers[wanted] : answers.front();
}

}  // namespace mb

int32_t MsgBox(const std::string& prompt, int32_t style, const std::string& title,
               const std::string& help_file, int32_t help_context) {
  if (const std::shared_ptr<MessageBoxService> s = g_service.Get()) return s->Show({prompt, style, title, help_file, help_context});
  std::fprintf(stderr, "%s%s%s\n", title.c_str(), title.empty() ? "" : ": ", prompt.c_str());
  return mb::DefaultAnswer(style);
}

std::shared_ptr<MessageBoxService> SetMessageBoxService(std::shared_ptr<MessageBoxService> s) {
  return g_service.Swap(std::move(s));
}

int32_t ScriptedMessageBox::Show(const MessageBoxRequest& request) {
  shown.push_back(request);
  if (answers.empty()) return default_answer;
  const int32_t a = answers.front();
  answers.erase(answers.begin());
  return a;
}

}  // namespace orv
