// The saved settings of the auto-matching combo: every key, its default and its order, in one
// place. Values are text: numbers in decimal, booleans "True"/"False", the font as Qt writes a
// font, the mouse icon as a PNG picture in base64.
#include <QBuffer>
#include <QLineEdit>

#include "InnerCombo.h"
#include "Numbers.h"
#include "OrvError.h"
#include "QuickCombo.h"
#include "SettingsStore.h"

namespace orv {

namespace {

// Keys in the order they are saved and loaded.
constexpr const char* kAppearance = "Appearance";
constexpr const char* kBackColor = "BackColor";
constexpr const char* kEnabled = "Enabled";
constexpr const char* kFont = "Font";
constexpr const char* kForeColor = "ForeColor";
constexpr const char* kStoredListCount = "StoredListCount";
constexpr const char* kListPrefix = "List";          // List0, List1 ...
constexpr const char* kItemDataPrefix = "ItemData";  // ItemData0, ItemData1 ...
constexpr const char* kLocked = "Locked";
constexpr const char* kMouseIcon = "MouseIcon";
constexpr const char* kMousePointer = "MousePointer";
constexpr const char* kOLEDragMode = "OLEDragMode";
constexpr const char* kOLEDropMode = "OLEDropMode";
constexpr const char* kRightToLeft = "RightToLeft";
constexpr const char* kText = "Text";
constexpr const char* kListWidth = "ListWidth";
constexpr const char* kBindMode = "BindMode";
constexpr const char* kNotInListOption = "NotInListOption";
constexpr const char* kNotInListMessage = "NotInListMessage";
constexpr const char* kAllowEmpty = "AllowEmpty";

// Defaults that do not depend on the form (the font and ListWidth do).
constexpr int kDefaultAppearance = 1;
constexpr bool kDefaultEnabled = true;
constexpr int kDefaultStoredListCount = 0;
constexpr int kDefaultItemData = 0;
constexpr bool kDefaultLocked = false;
constexpr int kDefaultMousePointer = 0;
constexpr int kDefaultOLEDragMode = 0;
constexpr int kDefaultOLEDropMode = 0;
constexpr bool kDefaultRightToLeft = false;
constexpr int kDefaultBindMode = 0;
constexpr int kDefaultNotInListOption = 0;
constexpr bool kDefaultAllowEmpty = true;

QString Key(const char* prefix, int i) { return QLatin1String(prefix) + QString::number(i); }
QString Num(int64_t v) { return QString::number(v); }
QString Flag(bool v) { return QString::fromStdString(BoolToText(v)); }
QString Colour(uint32_t v) { return Num(static_cast<int32_t>(v)); }

int16_t ToI16(const QString& s) { return ParseInt16(s.toStdString()); }
int32_t ToI32(const QString& s) { return ParseInt32(s.toStdString()); }
bool ToFlag(const QString& s) { return ParseBool(s.toStdString()); }

QString IconText(const QPixmap& icon) {
  if (icon.isNull()) return {};
  QByteArray png;
  QBuffer buffer(&png);
  buffer.open(QIODevice::WriteOnly);
  icon.save(&buffer, "PNG");
  return QString::fromLatin1(png.toBase64());
}

QPixmap IconOf(const QString& text) {
  QPixmap icon;
  if (!text.isEmpty() && !icon.loadFromData(QByteArray::fromBase64(text.toLatin1()), "PNG"))
    RaiseStandard(err::kTypeMismatch, "MouseIcon");
  return icon;
}

}  // namespace

void QuickCombo::SaveSettings(SettingsStore& store) const {
  const auto put = [&store](const QString& key, const QString& value, const QString& fallback) {
    if (value == fallback)
      store.Remove(key);
    else
      store.Write(key, value);
  };
  put(kAppearance, Num(Appearance()), Num(kDefaultAppearance));
  put(kBackColor, Colour(back_color_), Colour(kSystemWindowBackground));
  put(kEnabled, Flag(cbo_->isEnabled()), Flag(kDefaultEnabled));
  put(kFont, cbo_->font().toString(), font().toString());
  put(kForeColor, Colour(fore_color_), Colour(kSystemWindowText));

  // Items beyond the new count, left from an earlier save, go too.
  int16_t previous = 0;
  if (const auto stored = store.Read(kStoredListCount)) {
    bool ok = false;
    previous = static_cast<int16_t>(stored->toShort(&ok));
  }
  const int16_t count = ToInt16(cbo_->count());
  put(kStoredListCount, Num(count), Num(kDefaultStoredListCount));
  for (int i = 0; i < count; ++i) {
    put(Key(kListPrefix, i), cbo_->itemText(i), QString());
    put(Key(kItemDataPrefix, i), Num(cbo_->itemData(i).toInt()), Num(kDefaultItemData));
  }
  for (int i = count; i < previous; ++i) {
    store.Remove(Key(kListPrefix, i));
    store.Remove(Key(kItemDataPrefix, i));
  }

  put(kLocked, Flag(locked_), Flag(kDefaultLocked));
  put(kMouseIcon, IconText(mouse_icon_), QString());
  put(kMousePointer, Num(mouse_pointer_), Num(kDefaultMousePointer));
  put(kOLEDragMode, Num(ole_drag_mode_), Num(kDefaultOLEDragMode));
  put(kOLEDropMode, Num(ole_drop_mode_), Num(kDefaultOLEDropMode));
  put(kRightToLeft, Flag(RightToLeft()), Flag(kDefaultRightToLeft));
  put(kText, cbo_->currentText(), QString());
  const double tpp = TwipsPerPixelX();
  put(kListWidth, Num(ToInt32(DroppedWidthPx() * tpp)), Num(ToInt32(width() * tpp)));
  put(kBindMode, Num(bind_mode_), Num(kDefaultBindMode));
  put(kNotInListOption, Num(not_in_list_option_), Num(kDefaultNotInListOption));
  put(kNotInListMessage, not_in_list_msg_, QString::fromUtf8(kDefaultNotInListMsg));
  put(kAllowEmpty, Flag(allow_empty_), Flag(kDefaultAllowEmpty));
}

void QuickCombo::LoadSettings(const SettingsStore& store) {
  const auto get = [&store](const QString& key, const QString& fallback) {
    return store.Read(key).value_or(fallback);
  };
  SetAppearance(
      static_cast<orvAppearanceConstants>(ToI16(get(kAppearance, Num(kDefaultAppearance)))));
  SetBackColor(static_cast<uint32_t>(ToI32(get(kBackColor, Colour(kSystemWindowBackground)))));
  SetEnabled(ToFlag(get(kEnabled, Flag(kDefaultEnabled))));
  QFont stored_font;  // resolves nothing: the form's font
  if (const auto text = store.Read(kFont); text && !stored_font.fromString(*text))
    RaiseStandard(err::kTypeMismatch, kFont);
  SetFont(stored_font);
  SetForeColor(static_cast<uint32_t>(ToI32(get(kForeColor, Colour(kSystemWindowText)))));

  stored_list_count_ = ToI16(get(kStoredListCount, Num(kDefaultStoredListCount)));
  if (stored_list_count_ > 0) {
    Clear();
    // Each item at its own index, so that the stored order survives a sorted list too.
    for (int i = 0; i < stored_list_count_; ++i) {
      AddItem(get(Key(kListPrefix, i), QString()), i);
      SetItemData(i, ToI32(get(Key(kItemDataPrefix, i), Num(kDefaultItemData))));
    }
  }

  SetLocked(ToFlag(get(kLocked, Flag(kDefaultLocked))));
  SetMouseIcon(IconOf(get(kMouseIcon, QString())));
  SetMousePointer(ToI16(get(kMousePointer, Num(kDefaultMousePointer))));
  SetOLEDragMode(ToI16(get(kOLEDragMode, Num(kDefaultOLEDragMode))));
  SetOLEDropMode(ToI16(get(kOLEDropMode, Num(kDefaultOLEDropMode))));
  SetRightToLeft(ToFlag(get(kRightToLeft, Flag(kDefaultRightToLeft))));
  SetText(get(kText, QString()));
  SetListWidth(ToI32(get(kListWidth, Num(ToInt32(width() * TwipsPerPixelX())))));
  SetBindMode(static_cast<orvQCBindModeConstants>(ToI32(get(kBindMode, Num(kDefaultBindMode)))));
  SetNotInListOption(static_cast<orvQCNotInListConstants>(
      ToI32(get(kNotInListOption, Num(kDefaultNotInListOption)))));
  SetNotInListMsg(get(kNotInListMessage, QString::fromUtf8(kDefaultNotInListMsg)));
  SetAllowEmpty(ToFlag(get(kAllowEmpty, Flag(kDefaultAllowEmpty))));
}

}  // namespace orv
