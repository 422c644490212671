// Message boxes behind an interface: the desktop program installs one that
// shows a real box; tests and headless tools install one that answers from a
// script. Nothing below the user interface shows a window itself.
#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

namespace orv {

// Styles and answers use the classic message box numbers.
namespace mb {
inline constexpr int32_t kOkOnly = 0;
inline constexpr int32_t kOkCancel = 1;
inline constexpr int32_t kYesNoCancel = 3;
inline constexpr int32_t kYesNo = 4;
inline constexpr int32_t kCritical = 16;
inline constexpr int32_t kQuestion = 32;
inline constexpr int32_t kExclamation = 48;
inline constexpr int32_t kInformation = 64;
// Which button is the default: the first unless one of these is added.
inline constexpr int32_t kDefaultButton2 = 256;
inline constexpr int32_t kDefaultButton3 = 512;
// Answers.
inline constexpr int32_t kOk = 1;
inline constexpr int32_t kCancel = 2;
inline constexpr int32_t kYes = 6;
inline constexpr int32_t kNo = 7;

// The answers of a style's buttons in the order they are shown (its lowest
// three bits: 0 OK, 1 OK and Cancel, 2 Abort, Retry and Ignore, 3 Yes, No
// and Cancel, 4 Yes and No, 5 Retry and Cancel; Abort answers 3, Retry 4,
// Ignore 5).
std::vector<int32_t> ButtonAnswers(int32_t style);
// The answer of a style's default button (the first where the second or
// third is asked for but the style has fewer buttons).
int32_t DefaultAnswer(int32_t style);
}  // namespace mb

struct MessageBoxRequest {
  std::string prompt;
  int32_t style = mb::kOkOnly;
  std::string title;
  std::string help_file;
  int32_t help_context = 0;
};

class MessageBoxService {
 public:
  virtual ~MessageBoxService() = default;
  // Shows the box modally and returns the button chosen.
  virtual int32_t Show(const MessageBoxRequest& request) = 0;
};

// Shows a message box through the installed service. With none installed
// the text goes to standard error and the default button is answered.
int32_t MsgBox(const std::string& prompt, int32_t style = mb::kOkOnly,
               const std::string& title = {}, const std::string& help_file = {},
               int32_t help_context = 0);

// Installs the process's message box service (nullptr restores the default)
// and returns the one it replaces.
std::shared_ptr<MessageBoxService> SetMessageBoxService(std::shared_ptr<MessageBoxService> s);

// A service that records every box and answers from a queue (then the
// default answer): for tests and headless hosts.
class ScriptedMessageBox : public MessageBoxService {
 public:
  int32_t Show(const MessageBoxRequest& request) override;
  std::vector<MessageBoxRequest> shown;
  std::vector<int32_t> answers;  // consumed from the front
  int32_t default_answer = mb::kOk;
};

}  // namespace orv
