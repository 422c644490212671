// "Tarnby Dust Exposure Calculator Options": the database paths, the
// settings file, the HTML file, the jurisdiction and automatic calculation.
#pragma once

#include <functional>

#include <QDialog>

#include "clsFileDialog.h"
#include "ui_frmOptions.h"

namespace orv::tarnby {

class frmOptions : public QDialog {
  Q_OBJECT

 public:
  // Fills the boxes from the settings.
  explicit frmOptions(QWidget* parent = nullptr);
  Ui::frmOptions& Form() { return ui_; }

  // "Okay": sets SettingsChanged when the claimant database, the dust
  // database or the settings file path differs from the setting (compared
  // trimmed and upper-cased), stores the settings, saves them ("Error saving
  // user settings" when that fails) and closes.
  void Okay();

  // The browse buttons.
  void BrowseData();
  void BrowseDust();
  void BrowseSysIni();
  void BrowseHTMLFile();

  // What F1 does on this screen: shows the options help topic.
  void SetHelp(std::function<void()> help) { help_ = std::move(help); }

 private:
  void Browse(QLineEdit* box, const char* title, const char* filter, const char* extension,
              bool must_exist);
  static void SetPath(QLineEdit* box, const QString& path);

  Ui::frmOptions ui_;
  orv::clsFileDialog file_dialog_;
  std::function<void()> help_;
};

}  // namespace orv::tarnby
