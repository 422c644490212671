// The saved settings of the auto-matching combo: every key, its default and its order, in one
// table that saving and loading walk. Values are text: numbers in decimal, booleans
// "True"/"False", the font as Qt writes a font, the mouse icon as a PNG picture in base64.
#include <QBuffer>
#include <QLineEdit>

#include "InnerCombo.h"
#include "Numbers.h"
#include "OrvError.h"
#include "QuickCombo.h"
#include "SettingsStore.h"

namespace orv {

namespace {

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

// The font as saved: empty while the control shows its form's font.
QString FontText(const QuickCombo& c) {
  const QString own = c.Font().toString();
  return own == c.font().toString() ? QString() : own;
}

void ApplyFont(QuickCombo& c, const QString& text) {
  QFont stored_font;  // resolves nothing: the form's font
  if (!text.isEmpty() && !stored_font.fromString(text)) RaiseStandard(err::kTypeMismatch, "Font");
  c.SetFont(stored_font);
}

// How a setting is kept: most are one value with its default; the stored
// list (StoredListCount, then List<i> and ItemData<i> per item) and ListWidth
// (whose default is the combo's own width) are walked by the control itself.
enum class Kind { Value, List, ListWidth };

struct Setting {
  const char* key;
  Kind kind;
  QString (*value)(const QuickCombo&);     // what is saved
  QString (*fallback)(const QuickCombo&);  // the default: not saved, and loaded when missing
  void (*apply)(QuickCombo&, const QString&);
};

QString None(const QuickCombo&) { return {}; }

// Every saved setting, in the order it is saved and loaded.
const Setting kSettings[] = {
    {"Appearance", Kind::Value, [](const QuickCombo& c) { return Num(c.Appearance()); },
     [](const QuickCombo&) { return Num(1); },
     [](QuickCombo& c, const QString& v) {
       c.SetAppearance(static_cast<QuickCombo::orvAppearanceConstants>(ToI16(v)));
     }},
    {"BackColor", Kind::Value, [](const QuickCombo& c) { return Colour(c.BackColor()); },
     [](const QuickCombo&) { return Colour(QuickCombo::kSystemWindowBackground); },
     [](QuickCombo& c, const QString& v) { c.SetBackColor(static_cast<uint32_t>(ToI32(v))); }},
    {"Enabled", Kind::Value, [](const QuickCombo& c) { return Flag(c.Enabled()); },
     [](const QuickCombo&) { return Flag(true); },
     [](QuickCombo& c, const QString& v) { c.SetEnabled(ToFlag(v)); }},
    {"Font", Kind::Value, FontText, None, ApplyFont},
    {"ForeColor", Kind::Value, [](const QuickCombo& c) { return Colour(c.ForeColor()); },
     [](const QuickCombo&) { return Colour(QuickCombo::kSystemWindowText); },
     [](QuickCombo& c, const QString& v) { c.SetForeColor(static_cast<uint32_t>(ToI32(v))); }},
    {"StoredListCount", Kind::List, nullptr, [](const QuickCombo&) { return Num(0); }, nullptr},
    {"Locked", Kind::Value, [](const QuickCombo& c) { return Flag(c.Locked()); },
     [](const QuickCombo&) { return Flag(false); },
     [](QuickCombo& c, const QString& v) { c.SetLocked(ToFlag(v)); }},
    {"MouseIcon", Kind::Value, [](const QuickCombo& c) { return IconText(c.MouseIcon()); }, None,
     [](QuickCombo& c, const QString& v) { c.SetMouseIcon(IconOf(v)); }},
    {"MousePointer", Kind::Value, [](const QuickCombo& c) { return Num(c.MousePointer()); },
     [](const QuickCombo&) { return Num(0); },
     [](QuickCombo& c, const QString& v) { c.SetMousePointer(ToI16(v)); }},
    {"OLEDragMode", Kind::Value, [](const QuickCombo& c) { return Num(c.OLEDragMode()); },
     [](const QuickCombo&) { return Num(0); },
     [](QuickCombo& c, const QString& v) { c.SetOLEDragMode(ToI16(v)); }},
    {"OLEDropMode", Kind::Value, [](const QuickCombo& c) { return Num(c.OLEDropMode()); },
     [](const QuickCombo&) { return Num(0); },
     [](QuickCombo& c, const QString& v) { c.SetOLEDropMode(ToI16(v)); }},
    {"RightToLeft", Kind::Value, [](const QuickCombo& c) { return Flag(c.RightToLeft()); },
     [](const QuickCombo&) { return Flag(false); },
     [](QuickCombo& c, const QString& v) { c.SetRightToLeft(ToFlag(v)); }},
    {"Text", Kind::Value, [](const QuickCombo& c) { return c.Combo()->currentText(); }, None,
     [](QuickCombo& c, const QString& v) { c.SetText(v); }},
    {"ListWidth", Kind::ListWidth, nullptr, nullptr, nullptr},
    {"BindMode", Kind::Value, [](const QuickCombo& c) { return Num(c.BindMode()); },
     [](const QuickCombo&) { return Num(0); },
     [](QuickCombo& c, const QString& v) {
       c.SetBindMode(static_cast<QuickCombo::orvQCBindModeConstants>(ToI32(v)));
     }},
    {"NotInListOption", Kind::Value, [](const QuickCombo& c) { return Num(c.NotInListOption()); },
     [](const QuickCombo&) { return Num(0); },
     [](QuickCombo& c, const QString& v) {
       c.SetNotInListOption(static_cast<QuickCombo::orvQCNotInListConstants>(ToI32(v)));
     }},
    {"NotInListMessage", Kind::Value, [](const QuickCombo& c) { return c.NotInListMsg(); },
     [](const QuickCombo&) { return QString::fromUtf8(QuickCombo::kDefaultNotInListMsg); },
     [](QuickCombo& c, const QString& v) { c.SetNotInListMsg(v); }},
    {"AllowEmpty", Kind::Value, [](const QuickCombo& c) { return Flag(c.AllowEmpty()); },
     [](const QuickCombo&) { return Flag(true); },
     [](QuickCombo& c, const QString& v) { c.SetAllowEmpty(ToFlag(v)); }},
};

constexpr const char* kListPrefix = "List";          // List0, List1 ...
constexpr const char* kItemDataPrefix = "ItemData";  // ItemData0, ItemData1 ...
constexpr int kDefaultItemData = 0;

}  // namespace

void QuickCombo::SaveSettings(SettingsStore& store) const {
  const auto put = [&store](const QString& key, const QString& value, const QString& fallback) {
    if (value == fallback)
      store.Remove(key);
    else
      store.Write(key, value);
  };
  for (const Setting& s : kSettings) {
    const QString key = QLatin1String(s.key);
    switch (s.kind) {
      case Kind::Value:
        put(key, s.value(*this), s.fallback(*this));
        break;
      case Kind::List: {
        // Items beyond the new count, left from an earlier save, go too.
        int16_t previous = 0;
        if (const auto stored = store.Read(key)) {
          bool ok = false;
          previous = static_cast<int16_t>(stored->toShort(&ok));
        }
        const int16_t count = ToInt16(cbo_->count());
        put(key, Num(count), s.fallback(*this));
        for (int i = 0; i < count; ++i) {
          put(Key(kListPrefix, i), cbo_->itemText(i), QString());
          put(Key(kItemDataPrefix, i), Num(cbo_->itemData(i).toInt()), Num(kDefaultItemData));
        }
        for (int i = count; i < previous; ++i) {
          store.Remove(Key(kListPrefix, i));
          store.Remove(Key(kItemDataPrefix, i));
        }
        break;
      }
      case Kind::ListWidth: {
        const double tpp = TwipsPerPixelX();
        put(key, Num(ToInt32(DroppedWidthPx() * tpp)), Num(ToInt32(width() * tpp)));
        break;
      }
    }
  }
}

void QuickCombo::LoadSettings(const SettingsStore& store) {
  const auto get = [&store](const QString& key, const QString& fallback) {
    return store.Read(key).value_or(fallback);
  };
  for (const Setting& s : kSettings) {
    const QString key = QLatin1String(s.key);
    switch (s.kind) {
      case Kind::Value:
        s.apply(*this, get(key, s.fallback(*this)));
        break;
      case Kind::List:
        stored_list_count_ = ToI16(get(key, s.fallback(*this)));
        if (stored_list_count_ > 0) {
          Clear();
          // Each item at its own index, so that the stored order survives a sorted list too.
          for (int i = 0; i < stored_list_count_; ++i) {
            AddItem(get(Key(kListPrefix, i), QString()), i);
            SetItemData(i, ToI32(get(Key(kItemDataPrefix, i), Num(kDefaultItemData))));
          }
        }
        break;
      case Kind::ListWidth:
        SetListWidth(ToI32(get(key, Num(ToInt32(width() * TwipsPerPixelX())))));
        break;
    }
  }
}

}  // namespace orv
