// The library as a windowless host meets it: created by class identifier,
// in a process with no application object and no display.
#include <gtest/gtest.h>

#include <QCoreApplication>
#include <QGuiApplication>
#include <cstdlib>
#include <filesystem>

#include "IOutput.h"
#include "OrvError.h"
#include "PdfText.h"
#include "Registry.h"
#include "SampleReport.h"
#include "TempDir.h"

namespace orv {
namespace {

namespace fs = std::filesystem;

TEST(OutputComponent, WritesPdfWithoutApplicationOrDisplay) {
  unsetenv("QT_QPA_PLATFORM");
  unsetenv("DISPLAY");
  unsetenv("WAYLAND_DISPLAY");
  const orv::test::TempDir tmp;
  const fs::path dir = tmp.path();
  setenv("XDG_DATA_HOME", dir.c_str(), 1);
  setenv("XDG_CONFIG_HOME", dir.c_str(), 1);
  ASSERT_EQ(QCoreApplication::instance(), nullptr);

  ComponentPtr obj = CreateObject("OrvDustO.Output");
  EXPECT_EQ(obj->ClassName(), "OrvDustO.Output");
  std::shared_ptr<IOutput> output = As<IOutput>(obj);
  ASSERT_NE(output, nullptr);
  dusto::testing::FeedSample(*output, 2, 3);
  const std::string pdf = (dir / "calc.pdf").string();
  output->SavePdf(pdf);
  EXPECT_NE(QCoreApplication::instance(), nullptr);
  ASSERT_TRUE(fs::exists(pdf));
  if (orv::testing::HavePdfToText()) {
    const std::string text = orv::testing::PdfText(pdf);
    EXPECT_NE(text.find("Dust Calculation for Arthur Pennock"), std::string::npos);
    EXPECT_NE(text.find("Page 1"), std::string::npos);
  }
  try {
    output->SavePdf((dir / "none" / "x.pdf").string());
    ADD_FAILURE();
  } catch (const OrvError& e) {
    EXPECT_EQ(e.Number(), 75);
  }
  // Showing a report to nobody makes no window, and so stores no window position.
  output->Show();
  EXPECT_EQ(QGuiApplication::topLevelWindows().size(), 0);
  output->UnloadForm();
  EXPECT_FALSE(fs::exists(dir / "tarnby"));
  EXPECT_FALSE(fs::exists(dir / "orvdusto"));
  output.reset();
  obj.reset();
}

}  // namespace
}  // namespace orv
