// The look of the auto-matching combo: settings passed to cboCombo, the drop-down list's state
// and width, the layout of cboCombo inside the control, and the about box.
#include <QAbstractItemView>
#include <QApplication>
#include <QCursor>
#include <QLineEdit>
#include <QPalette>
#include <QResizeEvent>
#include <array>

#include "InnerCombo.h"
#include "MessageBox.h"
#include "Numbers.h"
#include "OrvError.h"
#include "QuickCombo.h"

#ifndef ORVQCBO_VERSION_MAJOR
#define ORVQCBO_VERSION_MAJOR 1
#define ORVQCBO_VERSION_MINOR 0
#define ORVQCBO_VERSION_REVISION 0
#endif

namespace orv {

namespace {

constexpr double kTwipsPerInch = 1440.0;

struct SystemColour {
  uint32_t index;
  QPalette::ColorRole role;
};
constexpr std::array<SystemColour, 6> kSystemColours = {{
    {5, QPalette::Base},
    {8, QPalette::Text},
    {13, QPalette::Highlight},
    {14, QPalette::HighlightedText},
    {15, QPalette::Button},
    {18, QPalette::ButtonText},
}};

// The palette colour a 32-bit colour value names, or nothing for an unknown system colour or
// a value out of range.
std::optional<QColor> ColourOf(uint32_t v) {
  if (v & 0x80000000u) {
    for (const SystemColour& s : kSystemColours)
      if ((v & 0x00FFFFFFu) == s.index) return QApplication::palette().color(s.role);
    return std::nullopt;
  }
  if (v > 0x00FFFFFFu) return std::nullopt;
  return QColor(static_cast<int>(v & 0xFF), static_cast<int>((v >> 8) & 0xFF),
                static_cast<int>((v >> 16) & 0xFF));
}

struct PointerShape {
  int16_t pointer;
  Qt::CursorShape shape;
};
constexpr std::array<PointerShape, 15> kPointerShapes = {{
    {1, Qt::ArrowCursor},
    {2, Qt::CrossCursor},
    {3, Qt::IBeamCursor},
    {4, Qt::ArrowCursor},
    {5, Qt::SizeAllCursor},
    {6, Qt::SizeBDiagCursor},
    {7, Qt::SizeVerCursor},
    {8, Qt::SizeFDiagCursor},
    {9, Qt::SizeHorCursor},
    {10, Qt::UpArrowCursor},
    {11, Qt::WaitCursor},
    {12, Qt::ForbiddenCursor},
    {13, Qt::BusyCursor},
    {14, Qt::WhatsThisCursor},
    {15, Qt::SizeAllCursor},
}};

constexpr int16_t kCustomPointer = 99;

}  // namespace

// ---- Pass-through settings ----

QuickCombo::orvAppearanceConstants QuickCombo::Appearance() const {
  return cbo_->hasFrame() ? orv3D : orvFlat;
}

void QuickCombo::SetAppearance(orvAppearanceConstants v) {
  if (v != orvFlat && v != orv3D) Raise(err::kInvalidPropertyValue);
  cbo_->setFrame(v == orv3D);
  ReportChanged(QStringLiteral("Appearance"));
}

void QuickCombo::ApplyColours() {
  QPalette p = cbo_->palette();
  p.setColor(QPalette::Base, *ColourOf(back_color_));
  p.setColor(QPalette::Text, *ColourOf(fore_color_));
  cbo_->setPalette(p);
}

void QuickCombo::SetBackColor(uint32_t v) {
  if (!ColourOf(v)) Raise(err::kInvalidPropertyValue);
  back_color_ = v;
  ApplyColours();
  ReportChanged(QStringLiteral("BackColor"));
}

void QuickCombo::SetForeColor(uint32_t v) {
  if (!ColourOf(v)) Raise(err::kInvalidPropertyValue);
  fore_color_ = v;
  ApplyColours();
  ReportChanged(QStringLiteral("ForeColor"));
}

void QuickCombo::SetEnabled(bool v) {
  cbo_->setEnabled(v);
  setEnabled(v);
  ReportChanged(QStringLiteral("Enabled"));
}

void QuickCombo::SetFont(const QFont& v) {
  cbo_->setFont(v);
  ReportChanged(QStringLiteral("Font"));
}

namespace {
template <typename Setter>
QFont Changed(QFont f, Setter set) {
  set(f);
  return f;
}
}  // namespace

void QuickCombo::SetFontBold(bool v) {
  cbo_->setFont(Changed(cbo_->font(), [v](QFont& f) { f.setBold(v); }));
  ReportChanged(QStringLiteral("FontBold"));
}

void QuickCombo::SetFontItalic(bool v) {
  cbo_->setFont(Changed(cbo_->font(), [v](QFont& f) { f.setItalic(v); }));
  ReportChanged(QStringLiteral("FontItalic"));
}

void QuickCombo::SetFontName(const QString& v) {
  cbo_->setFont(Changed(cbo_->font(), [&v](QFont& f) { f.setFamily(v); }));
  ReportChanged(QStringLiteral("FontName"));
}

void QuickCombo::SetFontSize(double v) {
  if (!(v > 0)) Raise(err::kInvalidPropertyValue);
  cbo_->setFont(Changed(cbo_->font(), [v](QFont& f) { f.setPointSizeF(v); }));
  ReportChanged(QStringLiteral("FontSize"));
}

void QuickCombo::SetFontStrikethru(bool v) {
  cbo_->setFont(Changed(cbo_->font(), [v](QFont& f) { f.setStrikeOut(v); }));
  ReportChanged(QStringLiteral("FontStrikethru"));
}

void QuickCombo::SetFontUnderline(bool v) {
  cbo_->setFont(Changed(cbo_->font(), [v](QFont& f) { f.setUnderline(v); }));
  ReportChanged(QStringLiteral("FontUnderline"));
}

void QuickCombo::SetLocked(bool v) {
  locked_ = v;
  cbo_->lineEdit()->setReadOnly(v);
  if (v) cbo_->hidePopup();
  ReportChanged(QStringLiteral("Locked"));
}

void QuickCombo::ApplyCursor() {
  QLineEdit* edit = cbo_->lineEdit();
  if (mouse_pointer_ == 0) {
    cbo_->unsetCursor();
    edit->setCursor(Qt::IBeamCursor);
    return;
  }
  QCursor cursor(Qt::ArrowCursor);
  if (mouse_pointer_ == kCustomPointer) {
    if (!mouse_icon_.isNull()) cursor = QCursor(mouse_icon_);
  } else {
    for (const PointerShape& p : kPointerShapes)
      if (p.pointer == mouse_pointer_) cursor = QCursor(p.shape);
  }
  cbo_->setCursor(cursor);
  edit->setCursor(cursor);
}

void QuickCombo::SetMouseIcon(const QPixmap& v) {
  mouse_icon_ = v;
  ApplyCursor();
  ReportChanged(QStringLiteral("MouseIcon"));
}

void QuickCombo::SetMousePointer(int16_t v) {
  bool known = v == 0 || v == kCustomPointer;
  for (const PointerShape& p : kPointerShapes) known = known || p.pointer == v;
  if (!known) Raise(err::kInvalidPropertyValue);
  mouse_pointer_ = v;
  ApplyCursor();
  ReportChanged(QStringLiteral("MousePointer"));
}

void QuickCombo::SetOLEDragMode(int16_t v) {
  if (v < 0 || v > 1) Raise(err::kInvalidPropertyValue);
  ole_drag_mode_ = v;
  cbo_->lineEdit()->setDragEnabled(v == 1);
  ReportChanged(QStringLiteral("OLEDragMode"));
}

void QuickCombo::SetOLEDropMode(int16_t v) {
  if (v < 0 || v > 2) Raise(err::kInvalidPropertyValue);
  ole_drop_mode_ = v;
  cbo_->lineEdit()->setAcceptDrops(v != 0);
  ReportChanged(QStringLiteral("OLEDropMode"));
}

void QuickCombo::SetRightToLeft(bool v) {
  cbo_->setLayoutDirection(v ? Qt::RightToLeft : Qt::LeftToRight);
  ReportChanged(QStringLiteral("RightToLeft"));
}

// ---- The text box's selection ----

int32_t QuickCombo::SelStart() const {
  const QLineEdit* edit = cbo_->lineEdit();
  return edit->hasSelectedText() ? edit->selectionStart() : edit->cursorPosition();
}

void QuickCombo::SetSelStart(int32_t v) {
  if (v < 0) Raise(err::kInvalidPropertyValue);
  QLineEdit* edit = cbo_->lineEdit();
  edit->setCursorPosition(std::min<int32_t>(v, static_cast<int32_t>(edit->text().size())));
}

int32_t QuickCombo::SelLength() const {
  return static_cast<int32_t>(cbo_->lineEdit()->selectedText().size());
}

void QuickCombo::SetSelLength(int32_t v) {
  if (v < 0) Raise(err::kInvalidPropertyValue);
  QLineEdit* edit = cbo_->lineEdit();
  const int32_t start = SelStart();
  const int32_t room = static_cast<int32_t>(edit->text().size()) - start;
  edit->setSelection(start, std::min(v, room));
}

QString QuickCombo::SelText() const { return cbo_->lineEdit()->selectedText(); }

void QuickCombo::SetSelText(const QString& v) {
  cbo_->lineEdit()->insert(v);
  ReportChanged(QStringLiteral("SelText"));
}

// ---- The drop-down list ----

QuickCombo::orvQCListStateConstants QuickCombo::ListState() const {
  return cbo_->view()->isVisible() ? orvListDropped : orvListClosed;
}

void QuickCombo::SetListState(int v) {
  const bool dropped = ListState() == orvListDropped;
  if (v != 0 && !dropped)
    cbo_->showPopup();
  else if (v == 0 && dropped)
    cbo_->hidePopup();
  ReportChanged(QStringLiteral("ListState"));
}

double QuickCombo::TwipsPerPixelX() const { return kTwipsPerInch / logicalDpiX(); }

// The list is never narrower than the combo box.
int32_t QuickCombo::DroppedWidthPx() const { return std::max(list_width_px_, cbo_->width()); }

int32_t QuickCombo::ListWidth() {
  list_width_twips_ = ToInt32(DroppedWidthPx() * TwipsPerPixelX());
  return list_width_twips_;
}

void QuickCombo::SetListWidth(int32_t v) {
  if (v < 0) Raise(err::kInvalidPropertyValue);
  list_width_px_ = ToInt32(v / TwipsPerPixelX());
  cbo_->view()->setMinimumWidth(list_width_px_);
  list_width_twips_ = ToInt32(DroppedWidthPx() * TwipsPerPixelX());
  ReportChanged(QStringLiteral("ListWidth"));
}

// ---- Layout ----

// cboCombo fills the control's width from the top left corner; the control takes the combo's
// height, which follows from its font, so it cannot be made taller or shorter. A control of no
// width takes the combo's width. Qt paints the child itself, so painting needs no step here.
void QuickCombo::Layout() {
  if (in_layout_) return;
  in_layout_ = true;
  const int height = cbo_->sizeHint().height();
  if (width() > 0)
    cbo_->setGeometry(0, 0, width(), height);
  else
    cbo_->setGeometry(0, 0, cbo_->width(), height);
  setFixedHeight(height);
  if (width() <= 0) resize(cbo_->width(), height);
  cbo_->raise();
  updateGeometry();
  in_layout_ = false;
}

void QuickCombo::resizeEvent(QResizeEvent* event) {
  QWidget::resizeEvent(event);
  Layout();
}

QSize QuickCombo::sizeHint() const { return cbo_->sizeHint(); }

QSize QuickCombo::minimumSizeHint() const { return cbo_->minimumSizeHint(); }

// ---- About ----

void QuickCombo::AboutBox() {
  MsgBox("Tarnby auto-matching combo " + std::to_string(ORVQCBO_VERSION_MAJOR) + "." +
             std::to_string(ORVQCBO_VERSION_MINOR) + "." + std::to_string(ORVQCBO_VERSION_REVISION),
         mb::kOkOnly, "About " + type_name_);
}

}  // namespace orv
