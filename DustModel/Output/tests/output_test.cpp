#include <gtest/gtest.h>

#include <unistd.h>

#include <QApplication>
#include <QDate>
#include <QTest>
#include <QToolBar>
#include <QMenuBar>
#include <QPrintPreviewWidget>
#include <QStandardPaths>
#include <filesystem>
#include <fstream>
#include <sstream>

#include "FileDialog.h"
#include "MessageBox.h"
#include "Output.h"
#include "PdfText.h"
#include <QScreen>

#include "PositionStore.h"
#include "SampleReport.h"
#include "Shell.h"
#include "TempDir.h"
#include "clsFileDialog.h"
#include "frmOutput.h"

namespace orv::dusto {
namespace {

namespace fs = std::filesystem;
using testing::FeedSample;
using orv::testing::PdfPages;
using orv::testing::PdfText;
using testing::SampleLines;

std::vector<std::string> Words(const std::string& text) {
  std::vector<std::string> words;
  std::istringstream in(text);
  for (std::string w; in >> w;) words.push_back(w);
  return words;
}

class OutputTest : public ::testing::Test {
 protected:
  static void SetUpTestSuite() {
    // Each test runs in a process of its own, side by side with others: a
    // home of its own keeps the per-user stores apart.
    setenv("HOME", Home().c_str(), 1);
    QStandardPaths::setTestModeEnabled(true);
  }
  static const std::string& Home() {
    static const orv::test::TempDir home;
    return home.path();
  }
  void SetUp() override {
    setenv("XDG_DATA_HOME", dir_.c_str(), 1);
    fs::remove_all(fs::path(UserStorePath("orvdusto")).parent_path());
    previous_dialogs_ = SetFileDialogService(dialogs_);
    previous_boxes_ = SetMessageBoxService(boxes_);
    previous_shell_ = SetShellService(shell_);
    output_ = std::make_unique<Output>();
  }
  void TearDown() override {
    output_.reset();
    SetFileDialogService(previous_dialogs_);
    SetMessageBoxService(previous_boxes_);
    SetShellService(previous_shell_);
    fs::remove_all(fs::path(UserStorePath("orvdusto")).parent_path());
  }
  std::string Temp(const std::string& name) const { return (dir_ / name).string(); }

  orv::test::TempDir tmp_;  // a new folder for each test
  const fs::path dir_ = tmp_.path();
  std::unique_ptr<Output> output_;
  std::shared_ptr<ScriptedFileDialog> dialogs_ = std::make_shared<ScriptedFileDialog>();
  std::shared_ptr<ScriptedMessageBox> boxes_ = std::make_shared<ScriptedMessageBox>();
  std::shared_ptr<RecordingShell> shell_ = std::make_shared<RecordingShell>();
  std::shared_ptr<FileDialogService> previous_dialogs_;
  std::shared_ptr<MessageBoxService> previous_boxes_;
  std::shared_ptr<ShellService> previous_shell_;
};

TEST_F(OutputTest, PdfHoldsTheHeaderEveryLineAndEveryValue) {
  if (!orv::testing::HavePdfToText()) GTEST_SKIP() << "pdftotext is not installed";
  FeedSample(*output_, 3, 6);
  const std::string pdf = Temp("report.pdf");
  output_->SavePdf(pdf);

  // In the file's own order: each row's words, then its value.
  const std::vector<std::string> words = Words(PdfText(pdf, "-raw"));
  size_t at = 0;
  for (const auto& line : SampleLines(3, 6)) {
    std::vector<std::string> expected = Words(line.line);
    if (!line.value.empty()) expected.push_back(line.value);
    for (const std::string& w : expected) {
      while (at < words.size() && words[at] != w) ++at;
      ASSERT_LT(at, words.size()) << "missing \"" << w << "\" of \"" << line.line << "\"";
      ++at;
    }
  }
}

// The last line of a page's text, page number and blank lines left out.
std::string LastBodyLine(const std::string& page) {
  std::string last;
  size_t start = 0;
  while (start < page.size()) {
    size_t end = page.find('\n', start);
    if (end == std::string::npos) end = page.size();
    const std::string line = page.substr(start, end - start);
    if (line.find_first_not_of(' ') != std::string::npos && line.find("Page ") == std::string::npos)
      last = line;
    start = end + 1;
  }
  return last;
}

TEST_F(OutputTest, HeadingsAreNeverLeftAloneAtTheFootOfAPage) {
  if (!orv::testing::HavePdfToText()) GTEST_SKIP() << "pdftotext is not installed";
  // Several sizes, so that page breaks fall at every place in a year's rows.
  for (int years = 5; years <= 9; ++years) {
    SCOPED_TRACE(years);
    FeedSample(*output_, 4, years);
    const std::string pdf = Temp("report.pdf");
    output_->SavePdf(pdf);
    const std::vector<std::string> pages = PdfPages(pdf);
    ASSERT_GT(pages.size(), 3u);
    for (size_t p = 0; p + 1 < pages.size(); ++p) {
      const std::string last = LastBodyLine(pages[p]);
      EXPECT_EQ(last.find("Processing year"), std::string::npos) << "page " << p + 1 << ": " << last;
      EXPECT_EQ(last.find("Starting job number"), std::string::npos) << "page " << p + 1 << ": " << last;
    }
    // Nothing is lost by moving the headings.
    size_t years_seen = 0;
    for (const std::string& page : pages)
      for (size_t at = page.find("Processing year"); at != std::string::npos;
           at = page.find("Processing year", at + 1))
        ++years_seen;
    EXPECT_EQ(years_seen, static_cast<size_t>(4 * years));
  }
}

TEST_F(OutputTest, ReportUsesTheMetricCompatibleFontWhenInstalled) {
  if (std::system("fc-list | grep -q 'Liberation Sans:' && pdffonts -v >/dev/null 2>&1") != 0)
    GTEST_SKIP() << "Liberation Sans or pdffonts is not installed";
  FeedSample(*output_, 1, 2);
  const std::string pdf = Temp("font.pdf");
  output_->SavePdf(pdf);
  EXPECT_EQ(std::system(("pdffonts '" + pdf + "' | grep -q LiberationSans").c_str()), 0);
}

TEST_F(OutputTest, EveryPageHasTheHeaderAndItsOwnPageNumber) {
  if (!orv::testing::HavePdfToText()) GTEST_SKIP() << "pdftotext is not installed";
  FeedSample(*output_, 4, 12);
  const std::string pdf = Temp("pages.pdf");
  output_->SavePdf(pdf);
  const std::vector<std::string> pages = PdfPages(pdf);
  ASSERT_GE(pages.size(), 3u);
  for (size_t i = 0; i < pages.size(); ++i) {
    SCOPED_TRACE(i + 1);
    EXPECT_NE(pages[i].find("Dust Calculation for Arthur Pennock"), std::string::npos);
    EXPECT_NE(pages[i].find("ZURIR Ref: ZR-20931"), std::string::npos);
    EXPECT_NE(pages[i].find("Page " + std::to_string(i + 1) + "\n"), std::string::npos);
  }
  // The preview lays out the same pages.
  output_->Show();
  EXPECT_EQ(output_->Window()->PageCount(), static_cast<int>(pages.size()));
}

TEST_F(OutputTest, EmptyDocumentIsOnePageWithHeaderAndFooter) {
  if (!orv::testing::HavePdfToText()) GTEST_SKIP() << "pdftotext is not installed";
  output_->StartDoc();
  output_->SetHeader("Dust Calculation for Nobody");
  output_->SetFooter("Page %d");
  output_->EndDoc();
  const std::string pdf = Temp("empty.pdf");
  output_->SavePdf(pdf);
  const auto pages = PdfPages(pdf);
  ASSERT_EQ(pages.size(), 1u);
  EXPECT_NE(pages[0].find("Dust Calculation for Nobody"), std::string::npos);
  EXPECT_NE(pages[0].find("Page 1"), std::string::npos);
}

TEST_F(OutputTest, UnwritablePdfFailsWithTheFileNamed) {
  fs::create_directories(dir_ / "existing.pdf");
  for (const std::string& path :
       {Temp("no/such/folder/x.pdf"), Temp("existing.pdf"), std::string()}) {
    try {
      output_->SavePdf(path);
      ADD_FAILURE() << path;
    } catch (const OrvError& e) {
      EXPECT_EQ(e.Number(), 75);
      EXPECT_NE(e.Description().find("Cannot write the PDF file " + path), std::string::npos);
    }
  }
}

TEST_F(OutputTest, WindowCaptionMenuAndMinimumSize) {
  output_->Show();
  frmOutput* w = output_->Window();
  ASSERT_NE(w, nullptr);
  EXPECT_TRUE(w->isVisible());
  EXPECT_EQ(w->windowTitle(), "Dust Model Output");
  const QList<QAction*> top = w->menuBar()->actions();
  ASSERT_EQ(top.size(), 1);
  EXPECT_EQ(top[0]->text(), "&File");
  QStringList items;
  for (QAction* a : top[0]->menu()->actions()) items << (a->isSeparator() ? "-" : a->text());
  EXPECT_EQ(items, (QStringList{"&Print", "-", "&Save as PDF...", "-", "&Close"}));

  w->resize(300, 200);
  QApplication::processEvents();
  EXPECT_EQ(w->size(), QSize(620, 460));
  w->resize(700, 500);
  QApplication::processEvents();
  EXPECT_EQ(w->size(), QSize(700, 500));
}

TEST_F(OutputTest, CancelledPdfDialogWritesAndOpensNothing) {
  FeedSample(*output_, 1, 2);
  output_->Show();
  output_->Window()->SavePdfAction()->trigger();
  ASSERT_EQ(dialogs_->shown.size(), 1u);
  const FileDialogRequest& r = dialogs_->shown[0];
  EXPECT_EQ(r.kind, FileDialogRequest::Kind::kSave);
  EXPECT_EQ(r.title, "Save output to PDF file");
  EXPECT_EQ(r.default_extension, "pdf");
  EXPECT_TRUE(r.file_name.ends_with(".pdf")) << r.file_name;
  EXPECT_EQ(r.filter_index, 1);
  EXPECT_EQ(r.flags & ofn::kOverwritePrompt, ofn::kOverwritePrompt);
  ASSERT_EQ(r.filters.size(), 1u);
  // The dialog puts the pattern after the description: it is not in it.
  EXPECT_EQ(r.filters[0].first, "PDF document");
  EXPECT_EQ(r.filters[0].second, "*.pdf");
  EXPECT_TRUE(shell_->opened.empty());
  EXPECT_TRUE(boxes_->shown.empty());
  EXPECT_TRUE(fs::is_empty(dir_));
}

TEST_F(OutputTest, ChosenPdfIsWrittenThenOpened) {
  FeedSample(*output_, 1, 2);
  output_->Show();
  FileDialogAnswer chosen;
  chosen.result = 1;
  chosen.files = {Temp("chosen.pdf")};
  dialogs_->answers.push_back(chosen);
  output_->Window()->SavePdfAction()->trigger();
  ASSERT_TRUE(fs::exists(Temp("chosen.pdf")));
  std::ifstream in(Temp("chosen.pdf"), std::ios::binary);
  std::string magic(4, '\0');
  in.read(magic.data(), 4);
  EXPECT_EQ(magic, "%PDF");
  EXPECT_EQ(shell_->opened, std::vector<std::string>{Temp("chosen.pdf")});
  EXPECT_TRUE(boxes_->shown.empty());
  // The next save opens in the folder last used.
  output_->Window()->SavePdfAction()->trigger();
  ASSERT_EQ(dialogs_->shown.size(), 2u);
  EXPECT_EQ(fs::path(dialogs_->shown[1].initial_folder), fs::path(Temp("chosen.pdf")).parent_path());
}

TEST(SuggestedPdfName, SurnameReferenceAndDate) {
  const QDate day(2026, 12, 7);
  struct Case {
    std::string header;
    QString expected;
  } cases[] = {
      {"Dust Calculation for Mr Joseph Quarrington\r\nRef: SOL/41\tZURIR Ref: Z9",
       "Quarrington SOL-41 2026-12-07.pdf"},
      {"Dust Calculation for Ann Platt\r\nRef: \tZURIR Ref: ", "Platt 2026-12-07.pdf"},
      {"", "2026-12-07.pdf"},
      {"Dust Calculation Comparison for Mr Joseph Quarrington\r\nRef: SOL/41\tZURIR Ref: Z9",
       "Quarrington SOL-41 comparison 2026-12-07.pdf"},
  };
  for (const Case& c : cases) EXPECT_EQ(SuggestedPdfName(c.header, day), c.expected) << c.header;
}

TEST_F(OutputTest, KeysCloseAndZoomStepsAreOneQuarter) {
  FeedSample(*output_, 2, 4);
  output_->Show();
  frmOutput* w = output_->Window();
  EXPECT_TRUE(w->CloseAction()->shortcuts().contains(QKeySequence(Qt::Key_Escape)));
  EXPECT_TRUE(w->CloseAction()->shortcuts().contains(QKeySequence(Qt::CTRL | Qt::Key_W)));
  EXPECT_EQ(w->PrintAction()->shortcut(), QKeySequence(QKeySequence::Print));
  QToolBar* bar = w->findChild<QToolBar*>("previewToolBar");
  QAction* zoom_in = nullptr;
  for (QAction* a : bar->actions())
    if (a->text() == "Zoom in") zoom_in = a;
  ASSERT_NE(zoom_in, nullptr);
  w->Preview()->setZoomMode(QPrintPreviewWidget::CustomZoom);
  w->Preview()->setZoomFactor(1.0);
  zoom_in->trigger();
  EXPECT_DOUBLE_EQ(w->Preview()->zoomFactor(), 1.25);
  QApplication::setActiveWindow(w);
  w->Preview()->setFocus();
  QTest::keyClick(QApplication::focusWidget() ? QApplication::focusWidget() : w, Qt::Key_Escape);
  EXPECT_FALSE(w->isVisible());
}

// The desktop's real opener, found on a PATH of the test's own: none there,
// or one that says what the opener says when no viewer is installed (exit 3),
// or one that opens. A saved PDF that cannot be opened is told in a box,
// naming the file, and is never reported as a failed save; one that opens is
// not told at all.
TEST_F(OutputTest, SavedPdfThatNothingCanOpenIsToldInABoxNamingTheFile) {
  struct Case {
    const char* what;
    const char* opener;  // the script's body; nullptr: no opener on the PATH
    const char* told;    // what the box says after "could not be opened: "; nullptr: no box
  };
  const Case cases[] = {
      {"no opener", nullptr, "Cannot start xdg-open: No such file or directory"},
      {"no viewer", "exit 3", "no program to open it is installed or set up."},
      {"a viewer", "exit 0", nullptr},
  };
  const std::string old_path = getenv("PATH") ? getenv("PATH") : "";
  SetShellService(nullptr);
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    boxes_->shown.clear();
    const fs::path bin = dir_ / (std::string("bin-") + c.what);
    fs::create_directories(bin);
    const fs::path ran = bin / "ran";
    if (c.opener) {
      std::ofstream(bin / "xdg-open") << "#!/bin/sh\necho \"$1\" > '" << ran.string() << "'\n"
                                      << c.opener << "\n";
      fs::permissions(bin / "xdg-open", fs::perms::owner_all);
    }
    setenv("PATH", bin.c_str(), 1);
    FeedSample(*output_, 1, 2);
    output_->Show();
    const std::string pdf = Temp(std::string(c.what) + ".pdf");
    FileDialogAnswer chosen;
    chosen.result = 1;
    chosen.files = {pdf};
    dialogs_->answers.push_back(chosen);
    output_->Window()->SavePdfAction()->trigger();
    EXPECT_TRUE(fs::exists(pdf));
    if (c.opener) {
      // The opener was given the saved file.
      EXPECT_TRUE(QTest::qWaitFor([&] { return fs::exists(ran); }, 10000));
      QTest::qWait(300);
      std::string opened;
      std::getline(std::ifstream(ran), opened);
      EXPECT_EQ(opened, pdf);
    }
    if (c.told) {
      EXPECT_TRUE(QTest::qWaitFor([&] { return !boxes_->shown.empty(); }, 10000));
      ASSERT_EQ(boxes_->shown.size(), 1u);
      EXPECT_EQ(boxes_->shown[0].style, mb::kInformation);
      EXPECT_EQ(boxes_->shown[0].prompt,
                "The report was saved as " + pdf + ", but it could not be opened: " + c.told);
    } else {
      EXPECT_TRUE(boxes_->shown.empty()) << boxes_->shown[0].prompt;
    }
  }
  setenv("PATH", old_path.c_str(), 1);
  EXPECT_FALSE(fs::exists(dir_ / "tarnby" / "orvdusto_Error.log"));
}

TEST_F(OutputTest, ToolBarPrintsSavesZoomsAndCountsPages) {
  FeedSample(*output_, 4, 12);
  output_->Show();
  frmOutput* w = output_->Window();
  QToolBar* bar = w->findChild<QToolBar*>("previewToolBar");
  ASSERT_NE(bar, nullptr);
  QStringList texts;
  for (QAction* a : bar->actions())
    if (!a->isSeparator() && !a->text().isEmpty()) texts << a->text();
  EXPECT_EQ(texts.mid(0, 6), (QStringList{"&Print", "&Save as PDF...", "Fit width", "Whole page",
                                          "Zoom in", "Zoom out"}));
  const QString count = QString::number(w->PageCount());
  ASSERT_GT(w->PageCount(), 2);
  EXPECT_EQ(w->PageNumberText(), "Page 1 of " + count);
  w->Preview()->setCurrentPage(2);
  QApplication::processEvents();
  EXPECT_EQ(w->PageNumberText(), "Page 2 of " + count);
  w->Preview()->setCurrentPage(w->PageCount());
  QApplication::processEvents();
  EXPECT_EQ(w->PageNumberText(), "Page " + count + " of " + count);
}

TEST_F(OutputTest, PdfFailureIsShownLoggedAndClearedWithTheWindowOpen) {
  FeedSample(*output_, 1, 2);
  output_->Show();
  FileDialogAnswer chosen;
  chosen.result = 1;
  chosen.files = {Temp("missing/out.pdf")};
  dialogs_->answers.push_back(chosen);
  output_->Window()->SavePdfAction()->trigger();

  ASSERT_EQ(boxes_->shown.size(), 1u);
  const MessageBoxRequest& box = boxes_->shown[0];
  EXPECT_EQ(box.title, "orvdusto Error");
  EXPECT_EQ(box.style, 16);
  EXPECT_EQ(box.prompt.rfind("An error has occurred:\n0x8004004B(75): Cannot write the PDF file " +
                                 Temp("missing/out.pdf"),
                             0),
            0u)
      << box.prompt;
  const std::string tail =
      " - Trying to output calculation results to a PDF file, number 75 in frmOutput:PDF File "
      "Output->WriteReportPdf";
  EXPECT_EQ(box.prompt.substr(box.prompt.size() - tail.size()), tail) << box.prompt;
  EXPECT_TRUE(shell_->opened.empty());
  EXPECT_TRUE(output_->Window()->isVisible());

  std::ifstream log(dir_ / "tarnby" / "orvdusto_Error.log");
  std::stringstream text;
  text << log.rdbuf();
  EXPECT_NE(text.str().find("Trying to output calculation results to a PDF file"),
            std::string::npos);
}

TEST_F(OutputTest, UnloadSavesThePositionAndShowRestoresIt) {
  output_->Show();
  output_->Window()->setGeometry(30, 40, 650, 480);
  QApplication::processEvents();
  output_->UnloadForm();
  EXPECT_EQ(output_->Window(), nullptr);
  EXPECT_TRUE(fs::exists(UserStorePath("orvdusto")));
  output_->UnloadForm();  // nothing loaded: nothing to do

  output_->Show();
  EXPECT_EQ(output_->Window()->geometry(), QRect(30, 40, 650, 480));
}

}  // namespace
}  // namespace orv::dusto

namespace orv::dusto {
namespace {

// Opened for the first time, the preview sits over the window that asked for
// the report, not at the screen's corner nor merely in its middle.
TEST_F(OutputTest, FirstShownOverTheWindowThatAskedForIt) {
  QWidget host;
  host.setGeometry(60, 200, 500, 300);
  host.show();
  QApplication::setActiveWindow(&host);
  ASSERT_EQ(QApplication::activeWindow(), &host);
  output_->Show();
  // The test screen is narrower than the preview, which is kept on it: the
  // height tells where it was put.
  const QRect frame = output_->Window()->frameGeometry();
  const QRect screen = host.screen()->availableGeometry();
  ASSERT_LT(frame.height() + 80, screen.height());
  EXPECT_LE(std::abs(frame.center().y() - host.frameGeometry().center().y()), 4)
      << frame.center().y() << " " << host.frameGeometry().center().y();
  output_->UnloadForm();
}

}  // namespace
}  // namespace orv::dusto
