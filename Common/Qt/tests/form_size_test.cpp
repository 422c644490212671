#include <gtest/gtest.h>

#include <unistd.h>

#include <QApplication>
#include <QScreen>
#include <QStandardPaths>
#include <QWidget>
#include <filesystem>
#include <fstream>
#include <sstream>

#include "FormSize.h"
#include "TempDir.h"
#include "OrvError.h"
#include "PositionStore.h"
#include "ProfileIni.h"

namespace orv {
namespace {

namespace fs = std::filesystem;

TEST(PositionRecord, KeepInsideArea) {
  const PositionRecord area{0, 0, 12000, 9000, 2};
  const PositionRecord second_screen{28800, 405, 12000, 9000, 2};
  struct Case {
    PositionRecord in, area, out;
  } cases[] = {
      {{100, 200, 3000, 2000, 0}, area, {100, 200, 3000, 2000, 0}},
      {{500, 300, 15000, 2000, 2}, area, {0, 300, 12000, 2000, 2}},  // too wide
      {{500, 300, 3000, 9500, 0}, area, {500, 0, 3000, 9000, 0}},    // too high
      {{-45, -15, 3000, 2000, 0}, area, {0, 0, 3000, 2000, 0}},      // off the top left
      {{10000, 8000, 3000, 2000, 0}, area, {0, 0, 3000, 2000, 0}},   // past right and bottom
      {{30000, 1000, 3000, 2000, 0}, second_screen, {30000, 1000, 3000, 2000, 0}},
      {{30000, 0, 3000, 2000, 0}, second_screen, {30000, 405, 3000, 2000, 0}},
      {{0, 1000, 3000, 2000, 0}, second_screen, {28800, 1000, 3000, 2000, 0}},
  };
  for (const Case& c : cases) {
    const PositionRecord got = KeepInsideArea(c.in, c.area);
    EXPECT_EQ(got, c.out) << got.left << "," << got.top << "," << got.width << "," << got.height;
  }
}

TEST(PositionRecord, GrowToMinimumOnlyForNormalWindows) {
  const PositionRecord area{0, 0, 12000, 9000, 2};
  const PositionRecord min{0, 0, 9300, 6900, 0};
  EXPECT_EQ(GrowToMinimum({100, 100, 3000, 2000, 0}, min, area),
            (PositionRecord{100, 100, 9300, 6900, 0}));
  EXPECT_EQ(GrowToMinimum({6000, 4000, 3000, 2000, 0}, min, area),
            (PositionRecord{2700, 2100, 9300, 6900, 0}));
  for (int32_t state : {1, 2})
    EXPECT_EQ(GrowToMinimum({1, 2, 3, 4, state}, min, area), (PositionRecord{1, 2, 3, 4, state}));
}

std::string ReadAll(const fs::path& p) {
  std::ifstream in(p, std::ios::binary);
  std::stringstream ss;
  ss << in.rdbuf();
  return ss.str();
}

TEST(ProfileIni, WritesOneKeyAndKeepsTheRest) {
  test::TempDir dir;
  const std::string ini = dir.File("TARNBY.INI");
  std::ofstream(ini, std::ios::binary)
      << "; settings\r\n[Setup]\r\nSystemIni=C:\\a;b, c\r\n\r\n[DustModel]\r\nJurisdiction=0\r\n";
  ASSERT_TRUE(WriteProfileString(ini, "setup", "Left", "1200"));
  ASSERT_TRUE(WriteProfileString(ini, "DustModel", "JURISDICTION", "1"));
  ASSERT_TRUE(WriteProfileString(ini, "frmOutput", "Width", "9300"));
  EXPECT_EQ(ReadAll(ini),
            "; settings\r\n[Setup]\r\nSystemIni=C:\\a;b, c\r\nLeft=1200\r\n\r\n[DustModel]\r\n"
            "JURISDICTION=1\r\n\r\n[frmOutput]\r\nWidth=9300\r\n");
  EXPECT_EQ(ReadProfileString(ini, "SETUP", "systemini", "x"), "C:\\a;b, c");
  EXPECT_EQ(ReadProfileString(ini, "Setup", "Missing", "dflt"), "dflt");
  EXPECT_EQ(ReadProfileString(dir.File("none.ini"), "Setup", "Left", "7"), "7");
  // A folder that cannot be made: the write fails and leaves nothing behind.
  EXPECT_FALSE(WriteProfileString(ini + "/sub.ini", "a", "b", "c"));
  EXPECT_EQ(ReadProfileString(ini, "DustModel", "Jurisdiction", ""), "1");
}

class FormSizeTest : public ::testing::Test {
 protected:
  static void SetUpTestSuite() {
    // Each test runs in a process of its own, side by side with others: give
    // this process a home of its own so the per-user stores never collide.
    qputenv("HOME", QByteArray::fromStdString(Home()));
    QStandardPaths::setTestModeEnabled(true);
  }
  static const std::string& Home() {
    static const test::TempDir home;
    return home.path();
  }
  void SetUp() override {
    fs::remove_all(fs::path(UserStorePath("orvtest")).parent_path());
    ini_ = dir_.File("positions.ini");
    window_.setObjectName("frmTest");
    const QScreen* s = QGuiApplication::primaryScreen();
    area_ = s->availableGeometry();
    twips_ = 1440.0 / s->logicalDotsPerInchX();
  }
  void TearDown() override { fs::remove_all(fs::path(UserStorePath("orvtest")).parent_path()); }
  int32_t Twips(int px) const { return static_cast<int32_t>(px * twips_ + 0.5); }
  void Store(const std::string& key, int value) {
    ASSERT_TRUE(WriteProfileString(ini_, "frmTest", key, std::to_string(value)));
  }
  std::string Stored(const std::string& key) { return ReadProfileString(ini_, "frmTest", key, ""); }

  test::TempDir dir_;
  std::string ini_;
  QWidget window_;
  QRect area_;
  double twips_ = 15;
};

TEST_F(FormSizeTest, FirstAttachKeepsDesignPositionInsideTheArea) {
  window_.setGeometry(area_.left() - 30, area_.top() + 40, 300, 200);
  FormSize fs("orvtest");
  fs.UseIniFile(ini_);
  fs.SetForm(&window_);
  EXPECT_EQ(fs.SectionName(), "frmTest");
  EXPECT_EQ(window_.geometry(), QRect(area_.left(), area_.top() + 40, 300, 200));
  // Nothing was written, and the per-user store was never touched.
  EXPECT_FALSE(fs::exists(ini_));
  EXPECT_FALSE(fs::exists(UserStorePath("orvtest")));
}

TEST_F(FormSizeTest, StoredWidthWiderThanTheAreaTakesTheAreaWidth) {
  Store("Left", Twips(100));
  Store("Width", Twips(area_.width() + 500));
  Store("Top", Twips(20));
  window_.setGeometry(10, 10, 300, 200);
  FormSize fs("orvtest");
  fs.UseIniFile(ini_);
  fs.SetForm(&window_, "frmTest");
  EXPECT_EQ(window_.geometry(), QRect(area_.left(), 20, area_.width(), 200));
}

TEST_F(FormSizeTest, MaximisedWindowRestoresNormalBoundsThenMaximises) {
  window_.setGeometry(40, 50, 400, 300);
  {
    FormSize fs("orvtest");
    fs.UseIniFile(ini_);
    fs.SetForm(&window_);
    window_.show();
    window_.showMaximized();
    QApplication::processEvents();
    fs.SavePosition();
  }
  EXPECT_EQ(Stored("WindowState"), "2");
  EXPECT_EQ(Stored("Left"), std::to_string(Twips(40)));
  EXPECT_EQ(Stored("Width"), std::to_string(Twips(400)));

  QWidget again;
  again.setObjectName("frmTest");
  again.setGeometry(0, 0, 100, 100);
  FormSize fs("orvtest");
  fs.UseIniFile(ini_);
  fs.SetForm(&again);
  EXPECT_TRUE(again.windowState() & Qt::WindowMaximized);
  again.show();
  QApplication::processEvents();
  EXPECT_EQ(again.normalGeometry(), QRect(40, 50, 400, 300));

  // A maximised window is left as it is.
  fs.SetMinimumSizeInPixels(2000, 2000);
  const QRect before = again.geometry();
  fs.AdjustToMinimum();
  EXPECT_EQ(again.geometry(), before);
}

TEST_F(FormSizeTest, AdjustToMinimumGrowsASmallNormalWindow) {
  window_.setGeometry(area_.right() - 200, 30, 150, 100);
  FormSize fs("orvtest");
  fs.UseIniFile(ini_);
  fs.SetForm(&window_);
  fs.SetMinimumSizeInPixels(320, 240);
  fs.AdjustToMinimum();
  EXPECT_EQ(window_.size(), QSize(320, 240));
  EXPECT_EQ(window_.geometry().right(), area_.right());
}

TEST_F(FormSizeTest, UserStoreDefaultsAndBaggage) {
  int32_t left = 0, top = 0, width = Twips(200), height = Twips(100);
  FormSize fs("orvtest");
  fs.SetDefaultSize(left, top, width, height, true);
  EXPECT_EQ(left, Twips(area_.width()) / 2 - width / 2 + Twips(area_.left()));
  fs.SetForm(&window_);
  EXPECT_EQ(window_.size(), QSize(200, 100));
  fs.SaveBaggage("Zoom", "75");
  fs.SavePosition();
  EXPECT_EQ(fs.GetBaggage("Zoom"), "75");
  EXPECT_EQ(fs.GetBaggage("Nothing"), "");
  EXPECT_TRUE(fs::exists(UserStorePath("orvtest")));
  EXPECT_EQ(fs::path(UserStorePath("orvtest")).filename(), "orvtest.ini");

  window_.setGeometry(0, 0, 50, 50);
  fs.SetForm(&window_);
  EXPECT_EQ(window_.size(), QSize(200, 100));
}

TEST_F(FormSizeTest, StoredTextThatIsNotANumberFailsWithTypeMismatch) {
  ASSERT_TRUE(WriteProfileString(ini_, "frmTest", "Top", "high"));
  FormSize fs("orvtest");
  fs.UseIniFile(ini_);
  try {
    fs.SetForm(&window_);
    ADD_FAILURE();
  } catch (const OrvError& e) {
    EXPECT_EQ(e.Number(), err::kTypeMismatch);
  }
}

}  // namespace
}  // namespace orv
