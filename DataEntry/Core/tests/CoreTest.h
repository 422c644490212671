// A scratch folder per test with its own per-user folders, and scripted
// message boxes and file dialogs installed for the test's length.
#pragma once

#include <gtest/gtest.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <functional>
#include <memory>
#include <sstream>
#include <string>

#include "FileDialog.h"
#include "MessageBox.h"
#include "OrvError.h"
#include "TempDir.h"
#include "modDataEntry.h"
#include "modTarnbyDatabase.h"

namespace orv::tarnby::testing {

class CoreTest : public ::testing::Test {
 protected:
  void SetUp() override {
    setenv("XDG_CONFIG_HOME", (dir_ / "config").c_str(), 1);
    setenv("XDG_DATA_HOME", (dir_ / "data").c_str(), 1);
    unsetenv("TARNBY_SAMPLE_DIR");
    boxes_ = std::make_shared<ScriptedMessageBox>();
    dialogs_ = std::make_shared<ScriptedFileDialog>();
    old_boxes_ = SetMessageBoxService(boxes_);
    old_dialogs_ = SetFileDialogService(dialogs_);
    Settings = SettingsRecord{};
    SettingsFile.clear();
    UpdateConfirmed = false;
    ProgramErrorHandler().SetLogMode(logmode::kOff);
  }
  void TearDown() override {
    CloseClaimantDatabase();
    SetLevelAppliedHook(nullptr);
    SetMessageBoxService(old_boxes_);
    SetFileDialogService(old_dialogs_);
  }

  std::string PathOf(const std::string& name) const { return (dir_ / name).string(); }

  static void WriteFile(const std::string& path, const std::string& text) {
    std::filesystem::create_directories(std::filesystem::path(path).parent_path());
    std::ofstream(path, std::ios::binary) << text;
  }
  static std::string ReadFile(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    std::stringstream s;
    s << in.rdbuf();
    return s.str();
  }

  // The next save dialog chooses `path`.
  void ChooseFile(const std::string& path) {
    FileDialogAnswer a;
    a.result = 1;
    a.files = {path};
    dialogs_->answers.push_back(a);
  }

  orv::test::TempDir tmp_;
  std::filesystem::path dir_ = tmp_.path();
  std::shared_ptr<ScriptedMessageBox> boxes_;
  std::shared_ptr<ScriptedFileDialog> dialogs_;

 private:
  std::shared_ptr<MessageBoxService> old_boxes_;
  std::shared_ptr<FileDialogService> old_dialogs_;
};

// The real error number of what `f` raises, or 0 when it raises nothing.
inline int32_t RealErrorOf(const std::function<void()>& f) {
  try {
    f();
  } catch (const OrvError& e) {
    return ErrorHandler::RealErrorNumber(e.Number());
  }
  return 0;
}

}  // namespace orv::tarnby::testing
