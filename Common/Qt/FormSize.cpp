#include "FormSize.h"

#include <QGuiApplication>
#include <QScreen>
#include <cmath>

#include "Numbers.h"
#include "PositionStore.h"

namespace orv {

namespace {

// Sets a flag for the length of an operation, so that a call made while the
// same operation runs does nothing.
class Guard {
 public:
  explicit Guard(bool& flag) : flag_(flag), entered_(!flag) { flag_ = true; }
  ~Guard() {
    if (entered_) flag_ = false;
  }
  bool Entered() const { return entered_; }

 private:
  bool& flag_;
  bool entered_;
};

int32_t StateOf(const QWidget& w) {
  const Qt::WindowStates s = w.windowState();
  if (s & Qt::WindowMinimized) return windowstate::kMinimised;
  if (s & Qt::WindowMaximized) return windowstate::kMaximised;
  return windowstate::kNormal;
}

int32_t ToTwips(double pixels, double twips_per_pixel) {
  return static_cast<int32_t>(std::lround(pixels * twips_per_pixel));
}

int32_t ToPixels(double twips, double twips_per_pixel) {
  return static_cast<int32_t>(std::lround(twips / twips_per_pixel));
}

}  // namespace

FormSize::FormSize(std::string application_name) : application_name_(std::move(application_name)) {}

double FormSize::TwipsPerPixelX() const {
  const QScreen* s = window_ ? window_->screen() : QGuiApplication::primaryScreen();
  const double dpi = s ? s->logicalDotsPerInchX() : 96.0;
  return 1440.0 / (dpi > 0 ? dpi : 96.0);
}

double FormSize::TwipsPerPixelY() const {
  const QScreen* s = window_ ? window_->screen() : QGuiApplication::primaryScreen();
  const double dpi = s ? s->logicalDotsPerInchY() : 96.0;
  return 1440.0 / (dpi > 0 ? dpi : 96.0);
}

void FormSize::SetMinimumSize(int32_t width, int32_t height) {
  minimum_ = {0, 0, width, height, 0};
}

void FormSize::SetMinimumSizeInPixels(int32_t width, int32_t height) {
  SetMinimumSize(ToTwips(width, TwipsPerPixelX()), ToTwips(height, TwipsPerPixelY()));
}

void FormSize::SetDefaultSize(int32_t& left, int32_t& top, int32_t& width, int32_t& height,
                              bool centre) {
  if (centre) CentreOnArea(UsableArea(), width, height, left, top);
  default_ = {left, top, width, height, 0};
  has_default_ = true;
}

void FormSize::SetDefaultSizeInPixels(int32_t& left, int32_t& top, int32_t& width, int32_t& height,
                                      bool centre) {
  const double tx = TwipsPerPixelX();
  const double ty = TwipsPerPixelY();
  if (centre) {
    const PositionRecord a = UsableArea();
    const PositionRecord area_px{ToPixels(a.left, tx), ToPixels(a.top, ty), ToPixels(a.width, tx),
                                 ToPixels(a.height, ty), a.window_state};
    CentreOnArea(area_px, width, height, left, top);
  }
  default_ = {ToTwips(left, tx), ToTwips(top, ty), ToTwips(width, tx), ToTwips(height, ty), 0};
  has_default_ = true;
}

void FormSize::ClearDefaultSize() {
  default_ = {};
  has_default_ = false;
}

PositionRecord FormSize::UsableArea() const {
  QRect px;
  if (window_ && !window_->isWindow() && window_->parentWidget()) {
    px = window_->parentWidget()->contentsRect();
  } else {
    const QScreen* s = window_ ? window_->screen() : QGuiApplication::primaryScreen();
    if (s) px = s->availableGeometry();
  }
  const double tx = TwipsPerPixelX();
  const double ty = TwipsPerPixelY();
  return {ToTwips(px.left(), tx), ToTwips(px.top(), ty), ToTwips(px.width(), tx),
          ToTwips(px.height(), ty), windowstate::kMaximised};
}

PositionRecord FormSize::CurrentRecord() const {
  if (!window_) return {};
  const QRect g = window_->geometry();
  const double tx = TwipsPerPixelX();
  const double ty = TwipsPerPixelY();
  return {ToTwips(g.left(), tx), ToTwips(g.top(), ty), ToTwips(g.width(), tx),
          ToTwips(g.height(), ty), StateOf(*window_)};
}

void FormSize::SetForm(QWidget* window, const std::string& name) {
  window_ = window;
  if (!window_) return;
  section_ = name.empty() ? window_->objectName().toStdString() : name;
  if (!has_default_) default_ = CurrentRecord();
  PositionRecord r;
  r.left = ParseInt32(Read("Left", std::to_string(default_.left)));
  r.top = ParseInt32(Read("Top", std::to_string(default_.top)));
  r.width = ParseInt32(Read("Width", std::to_string(default_.width)));
  r.height = ParseInt32(Read("Height", std::to_string(default_.height)));
  r.window_state = ParseInt32(Read("WindowState", std::to_string(default_.window_state)));
  current_ = r;
  ApplyRecord(current_);
}

void FormSize::UseIniFile(const std::string& path) { ini_file_ = path; }

void FormSize::ApplyRecord(const PositionRecord& record) {
  if (!window_) return;
  const PositionRecord r = KeepInsideArea(record, UsableArea());
  const double tx = TwipsPerPixelX();
  const double ty = TwipsPerPixelY();
  moving_ = true;
  if (StateOf(*window_) != windowstate::kNormal) window_->setWindowState(Qt::WindowNoState);
  window_->setGeometry(ToPixels(r.left, tx), ToPixels(r.top, ty), ToPixels(r.width, tx),
                       ToPixels(r.height, ty));
  if (r.window_state == windowstate::kMinimised)
    window_->setWindowState(Qt::WindowMinimized);
  else if (r.window_state == windowstate::kMaximised)
    window_->setWindowState(Qt::WindowMaximized);
  moving_ = false;
}

void FormSize::SavePosition() {
  Guard guard(saving_);
  if (!guard.Entered() || !window_) return;
  const int32_t state = StateOf(*window_);
  Write("WindowState", std::to_string(state));
  // The normal bounds of a maximised or minimised window are read from Qt
  // rather than by restoring the window, which would flicker on closing.
  QRect g = window_->geometry();
  if (state != windowstate::kNormal && window_->normalGeometry().isValid())
    g = window_->normalGeometry();
  const double tx = TwipsPerPixelX();
  const double ty = TwipsPerPixelY();
  Write("Left", std::to_string(ToTwips(g.left(), tx)));
  Write("Top", std::to_string(ToTwips(g.top(), ty)));
  Write("Width", std::to_string(ToTwips(g.width(), tx)));
  Write("Height", std::to_string(ToTwips(g.height(), ty)));
}

void FormSize::SizeToDefault() {
  Guard guard(sizing_to_default_);
  if (!guard.Entered() || !window_) return;
  ApplyRecord(default_);
}

void FormSize::AdjustToMinimum() {
  Guard guard(adjusting_);
  if (!guard.Entered() || moving_ || !window_) return;
  const PositionRecord now = CurrentRecord();
  if (now.window_state != windowstate::kNormal) return;
  ApplyRecord(GrowToMinimum(now, minimum_, UsableArea()));
}

std::string FormSize::GetBaggage(const std::string& key) { return Read(key, {}); }

void FormSize::SaveBaggage(const std::string& key, const std::string& value) { Write(key, value); }

std::string FormSize::Read(const std::string& key, const std::string& default_text) {
  const auto store =
      ini_file_.empty() ? OpenUserStore(application_name_) : OpenIniFileStore(ini_file_);
  return store->Read(section_, key, default_text);
}

void FormSize::Write(const std::string& key, const std::string& value) {
  const auto store =
      ini_file_.empty() ? OpenUserStore(application_name_) : OpenIniFileStore(ini_file_);
  // Remembered positions are a convenience: a store that cannot be written
  // must not stop the window from closing.
  (void)store->Write(section_, key, value);
}

}  // namespace orv
