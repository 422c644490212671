#include <gtest/gtest.h>

#include <memory>

#include "FileDialog.h"
#include "OrvError.h"
#include "Shell.h"
#include "clsFileDialog.h"

namespace orv {
namespace {

using namespace std::string_literals;

class FileDialogTest : public ::testing::Test {
 protected:
  void SetUp() override { previous_ = SetFileDialogService(script_); }
  void TearDown() override { SetFileDialogService(previous_); }

  static FileDialogAnswer Chosen(std::vector<std::string> files, int32_t index = 1) {
    FileDialogAnswer a;
    a.result = 1;
    a.files = std::move(files);
    a.filter_index = index;
    return a;
  }

  std::shared_ptr<ScriptedFileDialog> script_ = std::make_shared<ScriptedFileDialog>();
  std::shared_ptr<FileDialogService> previous_;
  clsFileDialog dlg_;
};

TEST(FileFilter, PipesAndColonsSeparateThePairs) {
  EXPECT_EQ(HostFilterList("Portable Document Format(*.pdf)|*.pdf"),
            "Portable Document Format(*.pdf)\0*.pdf\0\0"s);
  EXPECT_EQ(HostFilterList("Portable Document Format(*.pdf):*.pdf"),
            HostFilterList("Portable Document Format(*.pdf)|*.pdf"));
  EXPECT_EQ(HostFilterList(""), "All (*.*)\0 *.*\0\0"s);
  using P = std::vector<std::pair<std::string, std::string>>;
  EXPECT_EQ(FilterPairs("Text (*.txt)|*.txt:All (*.*)| *.*"),
            (P{{"Text (*.txt)", "*.txt"}, {"All (*.*)", "*.*"}}));
}

TEST_F(FileDialogTest, CancelEmptiesTheResults) {
  std::string name = "start.mdb", title = "start.mdb", filter = "Databases|*.mdb";
  int32_t index = 1, flags = 64;
  bool read_only = true;
  EXPECT_FALSE(dlg_.DialogGetOpenFileName(name, title, true, false, read_only, false, filter, index,
                                          "/tmp", "Open", "mdb", nullptr, flags));
  EXPECT_EQ(name, "");
  EXPECT_EQ(title, "");
  EXPECT_EQ(filter, "");
  EXPECT_EQ(index, -1);
  EXPECT_EQ(flags, 0);
  EXPECT_EQ(dlg_.LastResult(), 0);

  name = "out.pdf", filter = "Portable Document Format(*.pdf)|*.pdf", index = 1;
  EXPECT_FALSE(dlg_.DialogGetSaveFileName(name, title, true, filter, index, "", "Save", "pdf",
                                          nullptr, flags));
  EXPECT_EQ(index, 0);
  EXPECT_EQ(name, "");
  EXPECT_EQ(filter, "");
}

TEST_F(FileDialogTest, OpenRequestAndChosenPair) {
  script_->answers.push_back(Chosen({"/data/claims/TARNBY.MDB"}, 2));
  std::string name, title, filter = "Text (*.txt)|*.txt|Databases (*.mdb)|*.mdb";
  int32_t index = 1, flags = 0;
  bool read_only = false;
  ASSERT_TRUE(dlg_.DialogGetOpenFileName(name, title, true, false, read_only, true, filter, index,
                                         "/data", "Find database", "mdb", nullptr, flags));
  EXPECT_EQ(name, "/data/claims/TARNBY.MDB");
  EXPECT_EQ(title, "TARNBY.MDB");
  EXPECT_EQ(index, 2);
  EXPECT_EQ(filter, "Databases (*.mdb)\0*.mdb"s);
  EXPECT_FALSE(read_only);
  EXPECT_EQ(flags, ofn::kHideReadOnly | ofn::kFileMustExist);

  ASSERT_EQ(script_->shown.size(), 1u);
  const FileDialogRequest& r = script_->shown[0];
  EXPECT_EQ(r.kind, FileDialogRequest::Kind::kOpen);
  EXPECT_EQ(r.title, "Find database");
  EXPECT_EQ(r.initial_folder, "/data");
  EXPECT_EQ(r.default_extension, "mdb");
  EXPECT_EQ(r.filters.size(), 2u);
}

TEST_F(FileDialogTest, MultipleSelectionAndReadOnly) {
  FileDialogAnswer a = Chosen({"/d/a.csv", "/d/b.csv"});
  a.read_only = true;
  script_->answers.push_back(a);
  std::string name, title, filter;
  int32_t index = 1, flags = 0;
  bool read_only = false;
  ASSERT_TRUE(dlg_.DialogGetOpenFileName(name, title, false, true, read_only, false, filter, index,
                                         "", "", "", nullptr, flags));
  EXPECT_EQ(name, "/d\0a.csv\0b.csv"s);
  EXPECT_TRUE(read_only);
  EXPECT_EQ(flags, ofn::kReadOnly | ofn::kAllowMultiSelect | ofn::kExplorer);
  EXPECT_EQ(filter, "All (*.*)\0 *.*"s);
}

TEST_F(FileDialogTest, SaveFlagsAndFailedDialog) {
  FileDialogAnswer failed;
  failed.result = 3;
  failed.extended_error = 12291;
  script_->answers.push_back(failed);
  std::string name, title, filter = "Portable Document Format(*.pdf)|*.pdf";
  int32_t index = 1, flags = 0;
  EXPECT_FALSE(dlg_.DialogGetSaveFileName(name, title, true, filter, index, "", "Save output",
                                          "pdf", nullptr, flags));
  EXPECT_EQ(dlg_.ExtendedError(), 12291);
  EXPECT_EQ(script_->shown.back().flags, ofn::kHideReadOnly | ofn::kOverwritePrompt);
  EXPECT_EQ(index, 0);

  script_->answers.push_back(Chosen({"/tmp/x.pdf"}));
  filter = "Portable Document Format(*.pdf)|*.pdf";
  index = 1;
  ASSERT_TRUE(
      dlg_.DialogGetSaveFileName(name, title, false, filter, index, "", "", "pdf", nullptr, flags));
  EXPECT_EQ(dlg_.ExtendedError(), 0);
  EXPECT_EQ(flags, ofn::kHideReadOnly);
}

TEST_F(FileDialogTest, TitlesAndFolders) {
  const std::string long_name(300, 'n');
  EXPECT_EQ(clsFileDialog::DialogGetFileTitle("/very/deep/" + long_name + ".pdf"),
            long_name + ".pdf");
  EXPECT_EQ(clsFileDialog::DialogGetFileTitle("/folder/"), "");

  FileDialogAnswer folder;
  folder.result = 1;
  folder.files = {"/home/user/reports"};
  script_->answers.push_back(folder);
  EXPECT_EQ(dlg_.BrowseForFolder(nullptr), "/home/user/reports");
  EXPECT_EQ(script_->shown.back().title, "Select folder");
  EXPECT_EQ(dlg_.BrowseForFolder(nullptr, "Backup folder"), "");
  EXPECT_EQ(script_->shown.back().kind, FileDialogRequest::Kind::kFolder);
}

class FailingShell : public ShellService {
 public:
  void Open(const std::string&) override {
    throw OrvError(53, "ShellOpen", "Cannot start xdg-open", "help.hlp", 7);
  }
};

TEST(NavigateTo, OpensThroughTheShellAndNamesTheAddressOnFailure) {
  auto recording = std::make_shared<RecordingShell>();
  auto previous = SetShellService(recording);
  clsFileDialog::NavigateTo("/tmp/report.pdf");
  EXPECT_EQ(recording->opened, std::vector<std::string>{"/tmp/report.pdf"});

  SetShellService(std::make_shared<FailingShell>());
  try {
    clsFileDialog::NavigateTo("/tmp/report.pdf");
    ADD_FAILURE();
  } catch (const OrvError& e) {
    EXPECT_EQ(e.Number(), 53);
    EXPECT_EQ(e.Source(), "ShellOpen");
    EXPECT_EQ(e.Description(), "Trying to open /tmp/report.pdf Cannot start xdg-open");
    EXPECT_EQ(e.HelpFile(), "help.hlp");
    EXPECT_EQ(e.HelpContext(), 7);
  }
  SetShellService(previous);
}

}  // namespace
}  // namespace orv
