// Typing, completion, the list check and the leave validation of the auto-matching combo.
//
// Standing in for the platform's validate notification: the platform asks a control whether
// the focus may leave before it moves; Qt only tells a widget afterwards (focusOutEvent). So
// the leave validation runs when cboCombo loses the focus to another widget of the form (by
// Tab, mouse, shortcut or code; not when the window is deactivated or a popup opens), and a
// refusal puts the focus straight back on cboCombo, inside the same focus change, before the
// widget that was about to take it gets its focus-in. That return of the focus is not a new
// arrival: ValidateFired and the leave state are kept. Hosts that move on without a focus
// change (a toolbar, a menu) call ForceValidate, or read ValidateFired to see whether they must.
// A control marked as not causing validation (CausesValidation.h) takes the focus unchecked.
#include "QuickCombo.h"

#include <QAbstractButton>
#include <QAbstractItemView>
#include <QApplication>
#include <QKeyEvent>
#include <QLineEdit>
#include <QScrollBar>

#include "CausesValidation.h"
#include "InnerCombo.h"
#include "MessageBox.h"
#include "OrvError.h"

namespace orv {

namespace {

// The platform's "to the end of the text" selection length.
constexpr int32_t kSelectToEnd = 64000;
constexpr int32_t kInvalidArrayIndex = 381;

// Sets a flag for the life of a scope: the re-entry guards.
class GuardFlag {
 public:
  explicit GuardFlag(bool& flag) : flag_(flag) { flag_ = true; }
  ~GuardFlag() { flag_ = false; }
  GuardFlag(const GuardFlag&) = delete;
  GuardFlag& operator=(const GuardFlag&) = delete;

 private:
  bool& flag_;
};

int ShiftMask(Qt::KeyboardModifiers m) {
  return (m & Qt::ShiftModifier ? 1 : 0) | (m & Qt::ControlModifier ? 2 : 0) |
         (m & Qt::AltModifier ? 4 : 0);
}

// Focus moves that are not a move to another control of the form.
bool IsWindowFocusChange(Qt::FocusReason reason) {
  return reason == Qt::ActiveWindowFocusReason || reason == Qt::PopupFocusReason ||
         reason == Qt::MenuBarFocusReason || reason == Qt::NoFocusReason;
}

// A key that types a character (the platform raises KeyPress for it). Delete types none.
bool TypesCharacter(const QKeyEvent& e) { return !e.text().isEmpty() && e.key() != Qt::Key_Delete; }

}  // namespace

QuickCombo::QuickCombo(bool sorted, std::string type_name, QWidget* parent)
    : QWidget(parent), sorted_(sorted), type_name_(std::move(type_name)) {
  cbo_ = new detail::InnerCombo(*this);
  setFocusProxy(cbo_);
  setFocusPolicy(cbo_->focusPolicy());
  setSizePolicy(cbo_->sizePolicy());
  cbo_->resize(cbo_->sizeHint());
  resize(cbo_->size());
  connect(cbo_->lineEdit(), &QLineEdit::textEdited, this, &QuickCombo::OnTextEdited);
  connect(cbo_, &QComboBox::activated, this, [this](int) { emit Click(); });
  connect(cbo_->view()->verticalScrollBar(), &QScrollBar::valueChanged, this,
          [this](int) { emit Scroll(); });
  SetOLEDragMode(0);
  SetOLEDropMode(0);
  detail::InstallShortcutGate();
  ApplyCursor();
  Layout();
}

QuickCombo::~QuickCombo() = default;

QComboBox* QuickCombo::Combo() const { return cbo_; }

// ---- Focus and keys ----

void QuickCombo::OnFocusIn(Qt::FocusReason reason) {
  has_focus_ = true;
  if (refocusing_ || IsWindowFocusChange(reason)) return;
  SetSelStart(0);
  SetSelLength(kSelectToEnd);
  skip_completion_ = false;
  leave_state_ = orvOkay;
  validate_fired_ = false;
}

void QuickCombo::OnFocusOut(Qt::FocusReason reason) {
  // A widget that never saw the focus arrive (it was handed the focus and lost it again in
  // the same move, because another combo refused to let go) has nothing to validate.
  if (IsWindowFocusChange(reason) || !has_focus_) return;
  has_focus_ = false;
  // Qt has already made the control that takes the focus the focus widget.
  QWidget* next = QApplication::focusWidget();
  if (!CausesValidation(next)) return;
  if (!RunLeaveSteps()) return;
  // Refusal means refusal: the button that was clicked (or whose shortcut was pressed) to
  // take the focus must not act on it.
  detail::SwallowPendingClick(qobject_cast<QAbstractButton*>(next), reason);
  GuardFlag back(refocusing_);
  cbo_->setFocus(Qt::OtherFocusReason);
}

QuickCombo::KeyAnswer QuickCombo::OnKeyDown(const QKeyEvent& event) {
  KeyAnswer answer;
  skip_completion_ = true;
  int key_code = event.key();
  int shift = ShiftMask(event.modifiers());
  emit KeyDown(key_code, shift);
  if (key_code == 0) {
    answer.eat = true;
    return answer;
  }
  if (!TypesCharacter(event)) return answer;
  const int typed = event.text().at(0).unicode();
  int key_ascii = typed;
  // Only printable characters lead to completion.
  skip_completion_ = key_ascii < 32 || key_ascii == 127;
  emit KeyPress(key_ascii);
  if (key_ascii == 0)
    answer.eat = true;
  else if (key_ascii != typed)
    answer.replacement = QString(QChar(static_cast<char16_t>(key_ascii)));
  return answer;
}

void QuickCombo::OnKeyUp(const QKeyEvent& event) {
  if (event.key() != Qt::Key_Shift && !skip_completion_ && !locked_) Complete();
  ReportChanged(bound_property_);
  int key_code = event.key();
  int shift = ShiftMask(event.modifiers());
  emit KeyUp(key_code, shift);
}

void QuickCombo::OnDropDown() {
  ReportChanged(bound_property_);
  emit DropDown();
}

// Typing over the text leaves no item selected, as in the platform's combo box; the text and
// the caret stay as typed.
void QuickCombo::OnTextEdited() {
  if (cbo_->currentIndex() < 0) return;
  QLineEdit* edit = cbo_->lineEdit();
  const QString text = edit->text();
  const int caret = edit->cursorPosition();
  cbo_->setCurrentIndex(-1);
  edit->setText(text);
  edit->setCursorPosition(caret);
}

// Selects the first item, in list order, that begins with the text (ignoring case) and selects
// the completed remainder, so that the next character typed replaces it.
void QuickCombo::Complete() {
  QLineEdit* edit = cbo_->lineEdit();
  const QString typed = edit->text();
  const int n = static_cast<int>(typed.size());
  found_index_ = n == 0 ? -1 : cbo_->findText(typed, Qt::MatchStartsWith);
  if (found_index_ < 0) {
    if (cbo_->currentIndex() >= 0) cbo_->setCurrentIndex(-1);
    edit->setText(typed);
    edit->setCursorPosition(n);
    return;
  }
  cbo_->setCurrentIndex(found_index_);
  const QString whole = cbo_->itemText(found_index_);
  if (edit->text() != whole) edit->setText(whole);
  SetSelStart(n);
  SetSelLength(kSelectToEnd);
}

// ---- The list check and the leave validation ----

void QuickCombo::CheckInList() {
  if (in_list_check_) return;
  GuardFlag guard(in_list_check_);
  const int before = cbo_->currentIndex();
  const QString text = cbo_->currentText();
  if (text.isEmpty()) {
    leave_state_ = allow_empty_ ? orvOkay : orvEmptyNotAllowed;
  } else {
    // The whole text, ignoring case.
    found_index_ = cbo_->findText(text, Qt::MatchFixedString);
    if (found_index_ < 0) {
      leave_state_ = orvNotInList;
    } else {
      if (before != found_index_) cbo_->setCurrentIndex(found_index_);
      leave_state_ = orvOkay;
    }
  }
  if (cbo_->currentIndex() != before) ReportChanged(bound_property_);
}

bool QuickCombo::ValidateEntry() {
  if (in_validation_) return false;
  GuardFlag guard(in_validation_);
  switch (leave_state_) {
    case orvEmptyNotAllowed:
      MsgBox("You must enter something", mb::kCritical, "Blank not allowed");
      return true;
    case orvNotInList:
      return RefuseNotInList();
    case orvOkay:
      break;
  }
  return false;
}

bool QuickCombo::RefuseNotInList() {
  switch (not_in_list_option_) {
    case orvqcIgnore:
      return false;
    case orvqcKeepFocus:
      return true;
    case orvqcMsgKeepFocus:
      ShowNotInListMessage();
      return true;
    case orvqcMsgContinue:
      ShowNotInListMessage();
      return false;
    case orvqcRaiseEvent:
      break;
  }
  not_in_list_response_ = orvqcDataErrDisplay;
  QString new_data = cbo_->currentText();
  emit NotInList(new_data, not_in_list_response_);
  switch (not_in_list_response_) {
    case orvqcDataErrContinue:
      return false;
    case orvqcDataErrAdded:
      // The host has added the text; the check now finds and selects it.
      CheckInList();
      return false;
    case orvqcDataErrKeepFocus:
      return true;
    default:
      ShowNotInListMessage();
      return true;
  }
}

void QuickCombo::ShowNotInListMessage() {
  QString message = not_in_list_msg_;
  const auto at = message.indexOf(QStringLiteral("%T"));
  if (at >= 0) message.replace(at, 2, cbo_->currentText());
  MsgBox(message.toStdString(), mb::kCritical, "Not In List");
}

bool QuickCombo::RunLeaveSteps() {
  validate_fired_ = true;
  CheckInList();
  bool cancel = ValidateEntry();
  emit ValidateData(cancel);
  return cancel;
}

bool QuickCombo::ForceValidate() { return RunLeaveSteps(); }

// ---- Bound values ----

int32_t QuickCombo::BoundID() {
  CheckInList();
  const int index = cbo_->currentIndex();
  return index < 0 ? 0 : ItemData(index);
}

void QuickCombo::SetBoundID(int32_t v) {
  if (!run_mode_) Raise(err::kSetNotPermitted);
  if (!MayChange(QStringLiteral("BoundID"))) return;
  last_bound_id_ = v;
  cbo_->setCurrentIndex(v > 0 ? cbo_->findData(v) : -1);
  ReportChanged(QStringLiteral("BoundID"));
}

QString QuickCombo::Text() {
  CheckInList();
  return cbo_->currentText();
}

void QuickCombo::SetText(const QString& v) {
  if (!MayChange(QStringLiteral("Text"))) return;
  // An item spelt exactly so is selected; any other text leaves none selected.
  cbo_->setCurrentIndex(cbo_->findText(v, Qt::MatchFixedString | Qt::MatchCaseSensitive));
  cbo_->setEditText(v);
  ReportChanged(QStringLiteral("Text"));
}

void QuickCombo::SetNotInListOption(orvQCNotInListConstants v) {
  if (v < orvqcIgnore || v > orvqcRaiseEvent) Raise(err::kInvalidPropertyValue);
  not_in_list_option_ = v;
  ReportChanged(QStringLiteral("NotInListOption"));
}

void QuickCombo::SetBindMode(orvQCBindModeConstants v) {
  if (v != orvBindText && v != orvBindID) Raise(err::kInvalidPropertyValue);
  bind_mode_ = v;
  bound_property_ = v == orvBindID ? QStringLiteral("BoundID") : QStringLiteral("Text");
  ReportChanged(QStringLiteral("BindMode"));
}

void QuickCombo::SetAllowEmpty(bool v) {
  allow_empty_ = v;
  ReportChanged(QStringLiteral("AllowEmpty"));
}

void QuickCombo::SetNotInListMsg(const QString& v) {
  not_in_list_msg_ = v;
  ReportChanged(QStringLiteral("NotInListMsg"));
}

// ---- Data binding ----

void QuickCombo::ReportChanged(const QString& name) {
  emit PropertyChanged(name);
  if (name == QLatin1String("Text"))
    emit TextChanged();
  else if (name == QLatin1String("BoundID"))
    emit BoundIDChanged();
}

bool QuickCombo::MayChange(const QString& name) {
  bool allow = true;
  emit CanPropertyChange(name, allow);
  return allow;
}

void QuickCombo::Raise(int32_t number) const {
  if (number == kInvalidArrayIndex)
    throw OrvError(number, type_name_, "Invalid property array index");
  RaiseStandard(number, type_name_);
}

}  // namespace orv
