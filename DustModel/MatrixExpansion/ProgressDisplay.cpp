#include "detail/ProgressDisplay.h"

#include <cmath>
#include <string>

#include "ProgressBar.h"

#ifdef ORVDUSTM_WITH_QT
#include <QApplication>

#include "frmMakeMatrix.h"
#endif

namespace orv::dustm::detail {
namespace {

// The whole run's share as the bar; the step text as its label.
class TerminalProgress final : public ProgressDisplay, public ProgressSink {
 public:
  ProgressSink& Sink() override { return *this; }
  void Unload() override { bar_.Finish(); }

  void Reset() override {
    text_ = "Progress";
    overall_ = 0;
  }
  void Report(std::string_view text, double, double overall) override {
    if (!text.empty()) text_ = text;
    if (overall >= 0) overall_ = overall;
    bar_.Update(text_, std::llround(overall_ * kScale), kScale);
  }

 private:
  static constexpr int64_t kScale = 1000;
  orv::ProgressBar bar_;
  std::string text_ = "Progress";
  double overall_ = 0;
};

#ifdef ORVDUSTM_WITH_QT
class WindowProgress final : public ProgressDisplay {
 public:
  WindowProgress() { form_.show(); }
  ProgressSink& Sink() override { return form_; }
  void Unload() override { form_.close(); }

 private:
  frmMakeMatrix form_;
};
#endif

}  // namespace

std::unique_ptr<ProgressDisplay> LoadProgressDisplay() {
#ifdef ORVDUSTM_WITH_QT
  if (qobject_cast<QApplication*>(QCoreApplication::instance()) != nullptr) {
    return std::make_unique<WindowProgress>();
  }
#endif
  return std::make_unique<TerminalProgress>();
}

}  // namespace orv::dustm::detail
