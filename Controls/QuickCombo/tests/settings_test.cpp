// The saved settings: keys, defaults left out, the stored list order, and loading.
#include <QSettings>
#include <QTemporaryDir>

#include "ComboFixture.h"
#include "OrvError.h"
#include "SettingsStore.h"

namespace orv::test {
namespace {

class SettingsTest : public ComboTest {
 protected:
  QTemporaryDir dir_;
  QSettings settings_{dir_.filePath(QStringLiteral("TARNBY.INI")), QSettings::IniFormat};
  QSettingsStore store_{settings_, QStringLiteral("frmMAIN/qcboColliery")};

  QStringList Keys() {
    settings_.beginGroup(QStringLiteral("frmMAIN/qcboColliery"));
    QStringList keys = settings_.allKeys();
    settings_.endGroup();
    keys.sort();
    return keys;
  }
};

TEST_F(SettingsTest, NewControlSavesNothing) {
  Form<QCombo> f;
  f.combo->SaveSettings(store_);
  EXPECT_TRUE(Keys().isEmpty());
}

TEST_F(SettingsTest, StoredListKeepsItsOrderInASortedList) {
  Form<QCombo> saved;
  saved.combo->AddItemExtended(QStringLiteral("Wistow"), 7, 0);
  saved.combo->AddItemExtended(QStringLiteral("Abbey"), 3, 1);
  saved.combo->AddItemExtended(QStringLiteral("Kellingley"), 0, 2);
  saved.combo->SaveSettings(store_);
  EXPECT_EQ(Keys(),
            QStringList({"ItemData0", "ItemData1", "List0", "List1", "List2", "StoredListCount"}));
  EXPECT_EQ(settings_.value("frmMAIN/qcboColliery/List0").toString(), "Wistow");

  Form<QCombo> loaded;
  loaded.combo->LoadSettings(store_);
  ASSERT_EQ(loaded.combo->ListCount(), 3);
  const std::pair<const char*, int32_t> expected[] = {
      {"Wistow", 7}, {"Abbey", 3}, {"Kellingley", 0}};
  for (int i = 0; i < 3; ++i) {
    EXPECT_EQ(loaded.combo->List(i), expected[i].first);
    EXPECT_EQ(loaded.combo->ItemData(i), expected[i].second);
  }
}

TEST_F(SettingsTest, ChangedSettingsRoundTrip) {
  using Q = QuickCombo;
  Form<QNSCombo> saved;
  saved.combo->FillFromString(QStringLiteral("Abbey;Barnsley"));
  saved.combo->SetText(QStringLiteral("Barnsley"));
  saved.combo->SetBindMode(Q::orvBindID);
  saved.combo->SetNotInListOption(Q::orvqcRaiseEvent);
  saved.combo->SetNotInListMsg(QStringLiteral("No such colliery: %T"));
  saved.combo->SetAllowEmpty(false);
  saved.combo->SetLocked(true);
  saved.combo->SetAppearance(Q::orvFlat);
  saved.combo->SetBackColor(0x00FFEEDDu);
  saved.combo->SetMousePointer(11);
  saved.combo->SetListWidth(saved.combo->ListWidth() * 2);
  saved.combo->SetFontBold(true);
  saved.combo->SaveSettings(store_);
  EXPECT_EQ(settings_.value("frmMAIN/qcboColliery/BackColor").toString(), "16772829");
  EXPECT_EQ(settings_.value("frmMAIN/qcboColliery/AllowEmpty").toString(), "False");

  Form<QNSCombo> loaded;
  loaded.combo->LoadSettings(store_);
  EXPECT_EQ(loaded.combo->Text(), "Barnsley");
  EXPECT_EQ(loaded.combo->ListIndex(), 1);
  EXPECT_EQ(loaded.combo->BindMode(), Q::orvBindID);
  EXPECT_EQ(loaded.combo->BoundPropertyName(), "BoundID");
  EXPECT_EQ(loaded.combo->NotInListOption(), Q::orvqcRaiseEvent);
  EXPECT_EQ(loaded.combo->NotInListMsg(), "No such colliery: %T");
  EXPECT_FALSE(loaded.combo->AllowEmpty());
  EXPECT_TRUE(loaded.combo->Locked());
  EXPECT_EQ(loaded.combo->Appearance(), Q::orvFlat);
  EXPECT_EQ(loaded.combo->BackColor(), 0x00FFEEDDu);
  EXPECT_EQ(loaded.combo->MousePointer(), 11);
  EXPECT_EQ(loaded.combo->ListWidth(), saved.combo->ListWidth());
  EXPECT_TRUE(loaded.combo->FontBold());
}

TEST_F(SettingsTest, MissingKeysLoadTheDefaults) {
  Form<QCombo> f;
  f.combo->SetAllowEmpty(false);
  f.combo->SetNotInListMsg(QStringLiteral("x"));
  f.combo->SetBindMode(QuickCombo::orvBindID);
  f.combo->SetFontItalic(true);
  f.combo->LoadSettings(store_);
  EXPECT_TRUE(f.combo->AllowEmpty());
  EXPECT_EQ(f.combo->NotInListMsg(), "%T is not in the list");
  EXPECT_EQ(f.combo->BoundPropertyName(), "Text");
  EXPECT_EQ(f.combo->Font(), f.window.font());
  EXPECT_EQ(f.combo->BackColor(), QuickCombo::kSystemWindowBackground);
  EXPECT_EQ(f.combo->ForeColor(), QuickCombo::kSystemWindowText);
  EXPECT_EQ(f.combo->Appearance(), QuickCombo::orv3D);
  EXPECT_TRUE(f.combo->Enabled());
}

// Saving again over an earlier save must not leave old values behind to be loaded later.
TEST_F(SettingsTest, ResavingRemovesValuesBackAtTheirDefaults) {
  Form<QNSCombo> f;
  f.combo->FillFromString(QStringLiteral("a;b;c"));
  f.combo->SetText(QStringLiteral("b"));
  f.combo->SetAllowEmpty(false);
  f.combo->SaveSettings(store_);
  f.combo->Clear();
  f.combo->SetAllowEmpty(true);
  f.combo->SaveSettings(store_);
  EXPECT_TRUE(Keys().isEmpty());

  Form<QNSCombo> loaded;
  loaded.combo->LoadSettings(store_);
  EXPECT_EQ(loaded.combo->ListCount(), 0);
}

TEST_F(SettingsTest, MalformedValueFailsTheLoad) {
  settings_.setValue("frmMAIN/qcboColliery/NotInListOption", "often");
  Form<QCombo> f;
  try {
    f.combo->LoadSettings(store_);
    FAIL() << "no error";
  } catch (const OrvError& e) {
    EXPECT_EQ(e.Number(), err::kTypeMismatch);
  }
}

}  // namespace
}  // namespace orv::test
