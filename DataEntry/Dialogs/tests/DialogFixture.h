// Shared set-up of the dialog tests: scripted message boxes and file
// dialogs, a claimant database of the latest structure in a folder of the
// test's own, and window positions kept there too.
#pragma once

#include <gtest/gtest.h>

#include <QTemporaryDir>
#include <memory>
#include <string>

#include "FileDialog.h"
#include "MessageBox.h"
#include "modTarnbyDatabase.h"

namespace orv::tarnby::test {

class DialogTest : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_TRUE(dir_.isValid());
    // Window positions go to the per-user store: keep it inside the test's folder.
    qputenv("XDG_CONFIG_HOME", (dir_.path() + "/config").toLocal8Bit());
    previous_boxes_ = orv::SetMessageBoxService(boxes_);
    previous_dialogs_ = orv::SetFileDialogService(dialogs_);
  }
  void TearDown() override {
    orv::SetMessageBoxService(previous_boxes_);
    orv::SetFileDialogService(previous_dialogs_);
  }

  std::string Path(const std::string& name) const { return (dir_.path() + "/").toStdString() + name; }

  // A new claimant database at the latest structure level, open read-write.
  orv::db::DatabasePtr NewClaimantDatabase() {
    const std::string path = Path("TARNBY.db");
    orv::tarnby::CreateClaimantDatabase(path);
    return orv::db::OpenDatabase(path);
  }

  std::shared_ptr<orv::ScriptedMessageBox> boxes_ = std::make_shared<orv::ScriptedMessageBox>();
  std::shared_ptr<orv::ScriptedFileDialog> dialogs_ = std::make_shared<orv::ScriptedFileDialog>();
  QTemporaryDir dir_;

 private:
  std::shared_ptr<orv::MessageBoxService> previous_boxes_;
  std::shared_ptr<orv::FileDialogService> previous_dialogs_;
};

}  // namespace orv::tarnby::test
