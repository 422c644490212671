// The auto-matching combo: a widget holding one inner drop-down combo box, `cboCombo`, that
// completes typed text against its list, insists on a list member when the focus leaves (in the
// way the host chooses), and binds a numeric identifier held in the items' data values.
//
// QCombo (sorted list) and QNSCombo (insertion order) are the two concrete controls; this class
// is everything they share. Hosts create them in code or through Qt Designer widget promotion
// (promote a plain QWidget to orv::QCombo, header "QCombo.h"); design-time settings then go in
// as dynamic properties, which the Q_PROPERTY declarations below accept. A Designer plugin would
// need the Qt Designer development package, which the build machines do not carry.
//
// Events are Qt signals raised synchronously on the caller's thread. Arguments passed by
// non-const reference are answers the host may change; connect them only with direct
// (same-thread, default) connections.
//
// Members of the combo control that have no meaning on Qt, and so are not offered: the window
// handle `hwnd` (Combo() hands out the inner combo box itself), `IntegralHeight` (Qt sizes its
// drop-down list by item count, never to whole rows of a list box), the `OLEDrag` method and the
// `OLECompleteDrag`, `OLEDragDrop`, `OLEDragOver`, `OLEGiveFeedback`, `OLESetData` and
// `OLEStartDrag` events (Qt's own drag and drop serves the text box; OLEDragMode and
// OLEDropMode switch it on and off), and the painting step that redraws cboCombo (Qt paints
// child widgets itself).
//
// Failures are raised as orv::OrvError: 380 for an invalid property value, 381 for an item
// index out of range, 5 for an invalid AddItem/RemoveItem index, 387 for BoundID written while
// the form is being designed.
#pragma once

#include <QComboBox>
#include <QPixmap>
#include <QString>
#include <QWidget>
#include <cstdint>
#include <optional>
#include <string>

#include "ListControl.h"

namespace orv {

class RowSource;
class SettingsStore;

namespace detail {
class InnerCombo;
}

class QuickCombo : public QWidget, public ListControl {
  Q_OBJECT
  Q_PROPERTY(QString Text READ Text WRITE SetText NOTIFY TextChanged USER true)
  Q_PROPERTY(int BoundID READ BoundID WRITE SetBoundID NOTIFY BoundIDChanged DESIGNABLE false)
  Q_PROPERTY(orvQCNotInListConstants NotInListOption READ NotInListOption WRITE SetNotInListOption)
  Q_PROPERTY(orvQCBindModeConstants BindMode READ BindMode WRITE SetBindMode)
  Q_PROPERTY(bool AllowEmpty READ AllowEmpty WRITE SetAllowEmpty)
  Q_PROPERTY(QString NotInListMsg READ NotInListMsg WRITE SetNotInListMsg)
  Q_PROPERTY(orvAppearanceConstants Appearance READ Appearance WRITE SetAppearance)
  Q_PROPERTY(bool Locked READ Locked WRITE SetLocked)
  Q_PROPERTY(int ListWidth READ ListWidth WRITE SetListWidth)

 public:
  enum orvQCNotInListConstants : int {
    orvqcIgnore = 0,
    orvqcKeepFocus = 1,
    orvqcMsgKeepFocus = 2,
    orvqcMsgContinue = 3,
    orvqcRaiseEvent = 4,
  };
  Q_ENUM(orvQCNotInListConstants)
  enum orvQCNotInListRespConstants : int {
    orvqcDataErrContinue = 0,
    orvqcDataErrDisplay = 1,
    orvqcDataErrAdded = 2,
    orvqcDataErrKeepFocus = 3,
  };
  Q_ENUM(orvQCNotInListRespConstants)
  enum OkayToLeaveConstants : int { orvOkay = 0, orvNotInList = 1, orvEmptyNotAllowed = 2 };
  Q_ENUM(OkayToLeaveConstants)
  enum orvQCBindModeConstants : int { orvBindText = 0, orvBindID = 1 };
  Q_ENUM(orvQCBindModeConstants)
  enum orvAppearanceConstants : int { orvFlat = 0, orv3D = 1 };
  Q_ENUM(orvAppearanceConstants)
  enum orvQCListStateConstants : int { orvListClosed = 0, orvListDropped = 1 };
  Q_ENUM(orvQCListStateConstants)

  // Colours are 32-bit colour values: 0x00BBGGRR, or 0x800000nn for system colour nn (5 window
  // background, 8 window text, 13 highlight, 14 highlight text, 15 button face, 18 button text).
  static constexpr uint32_t kSystemWindowBackground = 0x80000005u;
  static constexpr uint32_t kSystemWindowText = 0x80000008u;
  static constexpr const char* kDefaultNotInListMsg = "%T is not in the list";

  ~QuickCombo() override;

  // ---- Typing, matching and the leave check ----

  // True once the leave validation has run since the control last got the focus.
  bool ValidateFired() const { return validate_fired_; }
  // Runs the leave validation now, as if the focus were leaving (ValidateData included).
  // True means the text was refused and the focus should stay.
  [[nodiscard]] bool ForceValidate();
  orvQCNotInListConstants NotInListOption() const { return not_in_list_option_; }
  void SetNotInListOption(orvQCNotInListConstants v);  // 380 outside the enumeration
  orvQCBindModeConstants BindMode() const { return bind_mode_; }
  void SetBindMode(orvQCBindModeConstants v);  // 380 outside the enumeration
  // True (the default): an empty text counts as matching the list.
  bool AllowEmpty() const { return allow_empty_; }
  void SetAllowEmpty(bool v);
  // Shown for a text not in the list; the first "%T" stands for the text.
  QString NotInListMsg() const { return not_in_list_msg_; }
  void SetNotInListMsg(const QString& v);
  // Runs the list check, then answers the data value of the selected item, or 0 with none.
  int32_t BoundID();
  // Selects the first item whose data value is v; 0 or less, or no such item, clears the
  // selection (and the text). Fails with 387 when the form is being designed.
  void SetBoundID(int32_t v);
  // Runs the list check (which may select the item the text names), then answers the text.
  QString Text();
  void SetText(const QString& v);
  // The result of the last list check; reading Text or BoundID first gives a fresh answer.
  OkayToLeaveConstants OkayToLeave() const { return leave_state_; }
  // "Text" or "BoundID" after BindMode: the property a host should bind to its data.
  QString BoundPropertyName() const { return bound_property_; }
  // False while a form designer is editing the form (run mode is the default).
  bool RunMode() const { return run_mode_; }
  void SetRunMode(bool v) { run_mode_ = v; }

  // ---- The list ----

  // Empties the list and the text.
  void Clear();
  // Adds an item at Index (0..ListCount, else error 5), or without one where the list puts it:
  // in order ignoring case for QCombo, at the end for QNSCombo.
  void AddItem(const QString& Item, std::optional<int> Index = std::nullopt);
  void AddItem(const char* Item) { AddItem(QString::fromUtf8(Item)); }
  void AddItem(const std::string& text) override { AddItem(QString::fromStdString(text)); }
  // AddItem, then the new item's data value.
  void AddItemExtended(const QString& Item, int32_t ItemDataValue,
                       std::optional<int> Index = std::nullopt);
  // Splits vsList at each whole vsSeparator (parts not trimmed) and adds the parts without an
  // index; empty parts only when vbIgnoreBlankEntries is false. An empty vsList adds nothing.
  void FillFromString(const QString& vsList, const QString& vsSeparator = QStringLiteral(";"),
                      bool vbIgnoreBlankEntries = true, bool vbClearFirst = false);
  // Clears the control, then adds column ListColumn of every row as text and, when
  // ItemDataColumn is 0 or more, that column as the data value. Stops at the first failing row
  // (a null text is error 94); the items added so far remain.
  void FillFromRS(RowSource& rsRS, int16_t ListColumn, int16_t ItemDataColumn);
  int32_t ItemData(int32_t index) const override;
  void SetItemData(int32_t index, int32_t data) override;
  QString List(int index) const;
  void SetList(int index, const QString& text);
  int ListCount() const { return cbo_->count(); }
  // -1 when no item is selected; typing in the text clears the selection.
  int ListIndex() const { return cbo_->currentIndex(); }
  void SetListIndex(int v);  // -1 .. ListCount-1, else 380
  // Index of the item added last; -1 when none, or when it was removed.
  int32_t NewIndex() const override { return new_index_; }
  void RemoveItem(int index);
  bool Sorted() const { return sorted_; }
  // Always 0, a drop-down combo: text box and list.
  int Style() const { return 0; }
  // First item shown in the drop-down list.
  int TopIndex() const;
  void SetTopIndex(int v);
  // "QCombo" or "QNSCombo".
  std::string TypeName() const override { return type_name_; }

  // ---- Look and behaviour passed to cboCombo ----

  orvAppearanceConstants Appearance() const;
  void SetAppearance(orvAppearanceConstants v);
  uint32_t BackColor() const { return back_color_; }
  void SetBackColor(uint32_t v);
  uint32_t ForeColor() const { return fore_color_; }
  void SetForeColor(uint32_t v);
  bool Enabled() const { return cbo_->isEnabled(); }
  // Also enables or disables the control itself.
  void SetEnabled(bool v);
  QFont Font() const { return cbo_->font(); }
  // A default-constructed QFont goes back to the form's font.
  void SetFont(const QFont& v);
  bool FontBold() const { return cbo_->font().bold(); }
  void SetFontBold(bool v);
  bool FontItalic() const { return cbo_->font().italic(); }
  void SetFontItalic(bool v);
  QString FontName() const { return cbo_->font().family(); }
  void SetFontName(const QString& v);
  double FontSize() const { return cbo_->font().pointSizeF(); }
  void SetFontSize(double v);  // points; 380 unless above 0
  bool FontStrikethru() const { return cbo_->font().strikeOut(); }
  void SetFontStrikethru(bool v);
  bool FontUnderline() const { return cbo_->font().underline(); }
  void SetFontUnderline(bool v);
  // The inner combo box itself: what a host would reach through its window handle.
  QComboBox* Combo() const;
  // True: the text cannot be typed over and the list cannot be dropped or stepped through.
  bool Locked() const { return locked_; }
  void SetLocked(bool v);
  QPixmap MouseIcon() const { return mouse_icon_; }
  void SetMouseIcon(const QPixmap& v);
  // 0 default, 1 arrow, 2 cross, 3 I-beam, 4 icon (an arrow), 5 and 15 size all, 6 NE-SW, 7 N-S,
  // 8 NW-SE, 9 W-E, 10 up arrow, 11 hourglass, 12 no drop, 13 arrow and hourglass, 14 arrow and
  // question mark, 99 MouseIcon; others 380.
  int16_t MousePointer() const { return mouse_pointer_; }
  void SetMousePointer(int16_t v);
  // 0 manual (no drag), 1 automatic: the selected text can be dragged out.
  int16_t OLEDragMode() const { return ole_drag_mode_; }
  void SetOLEDragMode(int16_t v);
  // 0 none (drops refused), 1 manual and 2 automatic: dropped text goes into the text box.
  int16_t OLEDropMode() const { return ole_drop_mode_; }
  void SetOLEDropMode(int16_t v);
  bool RightToLeft() const { return cbo_->layoutDirection() == Qt::RightToLeft; }
  void SetRightToLeft(bool v);
  int32_t SelLength() const;
  void SetSelLength(int32_t v);  // clipped to the text; 380 when negative
  int32_t SelStart() const;
  void SetSelStart(int32_t v);  // clipped to the text; 380 when negative; SelLength becomes 0
  QString SelText() const;
  void SetSelText(const QString& v);  // replaces the selected text
  orvQCListStateConstants ListState() const;
  // Non-zero drops the list down, 0 closes it.
  void SetListState(int v);
  // Width of the drop-down list in twips (1/1440 inch); never less than the combo's own width.
  int32_t ListWidth();
  void SetListWidth(int32_t v);  // 380 when negative
  // Shows the control's name and version.
  void AboutBox();

  // ---- Saved settings ----

  // Writes the settings under their keys; a value equal to its default is removed instead.
  void SaveSettings(SettingsStore& store) const;
  // Reads the settings in the same order; a missing key loads its default. A stored list
  // replaces the list in hand, each item at its own index. A malformed value fails with 13.
  void LoadSettings(const SettingsStore& store);

 signals:
  // The text is not in the list and NotInListOption is orvqcRaiseEvent. Response arrives as
  // orvqcDataErrDisplay; the host answers with one of orvQCNotInListRespConstants.
  void NotInList(QString& NewData, int& Response);
  // The focus is leaving (or ForceValidate ran); Cancel true keeps the focus here.
  void ValidateData(bool& Cancel);
  // An item was chosen from the list.
  void Click();
  void DblClick();
  void DropDown();
  // Key codes are Qt::Key values; Shift is 1 shift, 2 control, 4 alt. Setting KeyCode (down)
  // or KeyAscii to 0 cancels the key; another KeyAscii types that character instead.
  void KeyDown(int& KeyCode, int& Shift);
  void KeyPress(int& KeyAscii);
  void KeyUp(int& KeyCode, int& Shift);
  // The drop-down list scrolled.
  void Scroll();
  // Declared for hosts to subscribe to; the control never raises it (editTextChanged of
  // Combo() reports every change of the text).
  void Change();
  // Data binding: a property changed ("Text", "BoundID", "BindMode", "ListWidth" ...).
  void PropertyChanged(const QString& PropertyName);
  void TextChanged();
  void BoundIDChanged();
  // Data binding: asked before Text or BoundID is written; Allow arrives true.
  void CanPropertyChange(const QString& PropertyName, bool& Allow);

 protected:
  QuickCombo(bool sorted, std::string type_name, QWidget* parent);
  void resizeEvent(QResizeEvent* event) override;
  QSize sizeHint() const override;
  QSize minimumSizeHint() const override;

 private:
  friend class detail::InnerCombo;
  struct KeyAnswer {
    bool eat = false;
    std::optional<QString> replacement;
  };

  // Hooks of cboCombo.
  void OnFocusIn(Qt::FocusReason reason);
  void OnFocusOut(Qt::FocusReason reason);
  KeyAnswer OnKeyDown(const QKeyEvent& event);
  void OnKeyUp(const QKeyEvent& event);
  void OnDropDown();
  void OnTextEdited();

  void Complete();
  void CheckInList();
  bool ValidateEntry();
  bool RunLeaveSteps();
  bool RefuseNotInList();
  void ShowNotInListMessage();
  void ReportChanged(const QString& name);
  bool MayChange(const QString& name);
  void Layout();
  void ApplyColours();
  void ApplyCursor();
  void CheckItemIndex(int index) const;
  int SortedPosition(const QString& item) const;
  double TwipsPerPixelX() const;
  int32_t DroppedWidthPx() const;
  void Raise(int32_t number) const;

  QComboBox* cbo_;  // a detail::InnerCombo
  const bool sorted_;
  const std::string type_name_;

  bool skip_completion_ = false;
  int found_index_ = -1;
  OkayToLeaveConstants leave_state_ = orvOkay;
  bool validate_fired_ = false;
  orvQCNotInListConstants not_in_list_option_ = orvqcIgnore;
  QString not_in_list_msg_ = QString::fromUtf8(kDefaultNotInListMsg);
  bool allow_empty_ = true;
  orvQCBindModeConstants bind_mode_ = orvBindText;
  QString bound_property_ = QStringLiteral("Text");
  int32_t last_bound_id_ = 0;
  int not_in_list_response_ = orvqcDataErrDisplay;
  bool in_list_check_ = false;
  bool in_validation_ = false;
  bool in_layout_ = false;
  bool run_mode_ = true;

  // Focus bookkeeping that stands in for the platform's validate notification.
  bool has_focus_ = false;
  bool refocusing_ = false;

  int32_t new_index_ = -1;
  int top_index_ = 0;
  int32_t list_width_px_ = 0;  // the requested drop-down width; the combo's width when wider
  int32_t list_width_twips_ = 0;
  int16_t stored_list_count_ = 0;
  uint32_t back_color_ = kSystemWindowBackground;
  uint32_t fore_color_ = kSystemWindowText;
  bool locked_ = false;
  QPixmap mouse_icon_;
  int16_t mouse_pointer_ = 0;
  int16_t ole_drag_mode_ = 0;
  int16_t ole_drop_mode_ = 0;
};

}  // namespace orv
