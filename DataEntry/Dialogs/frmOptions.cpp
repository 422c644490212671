#include "frmOptions.h"

#include <QDir>
#include <QFileInfo>
#include <QShortcut>

#include "Database.h"
#include "Dialogs.h"
#include "MessageBox.h"
#include "Text.h"
#include "modDataEntry.h"

namespace orv::tarnby {

namespace {

namespace core = orv::tarnby;

bool SamePath(const std::string& a, const std::string& b) {
  return orv::UpperAscii(orv::Trim(a)) == orv::UpperAscii(orv::Trim(b));
}

std::string Typed(const QLineEdit* box) { return orv::Trim(box->text().toStdString()); }

}  // namespace

frmOptions::frmOptions(QWidget* parent) : QDialog(parent) {
  ui_.setupUi(this);
  SetPath(ui_.txtData, QString::fromStdString(core::Settings.Database));
  SetPath(ui_.txtDust, QString::fromStdString(core::Settings.DustDatabase));
  SetPath(ui_.txtSysIni, QString::fromStdString(core::SettingsFile));
  SetPath(ui_.txtHTMLFile, QString::fromStdString(core::Settings.HTMLFile));
  ui_.cboJurisdiction->setCurrentIndex(
      core::Settings.Jurisdiction >= 0 && core::Settings.Jurisdiction < ui_.cboJurisdiction->count()
          ? core::Settings.Jurisdiction
          : -1);
  ui_.chkAutoCalc->setChecked(core::Settings.DustAutoCalc);
  // Two short choices: the list need not stretch as far as the paths.
  ui_.cboJurisdiction->setSizePolicy(QSizePolicy::Fixed, QSizePolicy::Fixed);
  for (QLineEdit* box : {ui_.txtData, ui_.txtDust, ui_.txtSysIni, ui_.txtHTMLFile})
    connect(box, &QLineEdit::textChanged, box, [box](const QString& t) { box->setToolTip(t); });
  connect(ui_.cmdBrowseData, &QPushButton::clicked, this, &frmOptions::BrowseData);
  connect(ui_.cmdBrowseDust, &QPushButton::clicked, this, &frmOptions::BrowseDust);
  connect(ui_.cmdBrowseSysIni, &QPushButton::clicked, this, &frmOptions::BrowseSysIni);
  connect(ui_.cmdBrowseHTMLFile, &QPushButton::clicked, this, &frmOptions::BrowseHTMLFile);
  connect(ui_.cmdOK, &QPushButton::clicked, this, &frmOptions::Okay);
  connect(ui_.cmdCancel, &QPushButton::clicked, this, &frmOptions::reject);
  auto* f1 = new QShortcut(QKeySequence::HelpContents, this);
  connect(f1, &QShortcut::activated, this, [this] {
    if (help_) help_();
  });
}

void frmOptions::SetPath(QLineEdit* box, const QString& path) {
  box->setText(path);
  box->setToolTip(path);
}

void frmOptions::Okay() {
  // A server's password is the user's own PostgreSQL files' or the
  // environment's: the settings never keep it, and the screen shows it no
  // longer than it was typed.
  if (orv::db::HoldsPassword(Typed(ui_.txtData))) {
    SetPath(ui_.txtData, QString::fromStdString(orv::db::WithoutPassword(Typed(ui_.txtData))));
    orv::MsgBox(
        "The claimant database's connection URI held a password. It has been taken out: the "
        "settings never keep one.\nGive the password through the PostgreSQL password file "
        "(~/.pgpass), the service file or PGPASSWORD, then choose Okay again.",
        orv::mb::kExclamation | orv::mb::kOkOnly, "Tarnby Options");
    ui_.txtData->setFocus(Qt::OtherFocusReason);
    return;
  }
  core::SettingsChanged = !SamePath(Typed(ui_.txtData), core::Settings.Database) ||
                          !SamePath(Typed(ui_.txtDust), core::Settings.DustDatabase) ||
                          !SamePath(Typed(ui_.txtSysIni), core::SettingsFile);
  core::Settings.Database = Typed(ui_.txtData);
  core::Settings.DustDatabase = Typed(ui_.txtDust);
  core::SettingsFile = Typed(ui_.txtSysIni);
  core::Settings.HTMLFile = Typed(ui_.txtHTMLFile);
  const int jurisdiction = ui_.cboJurisdiction->currentIndex();
  core::Settings.Jurisdiction = static_cast<int16_t>(jurisdiction < 0 ? 0 : jurisdiction);
  core::Settings.DustAutoCalc = ui_.chkAutoCalc->isChecked();
  if (!core::SaveSettings()) core::ShowProgramError("Error saving user settings", false);
  accept();
}

void frmOptions::Browse(QLineEdit* box, const char* title, const char* filter,
                        const char* extension, bool must_exist) {
  std::string file_name;
  std::string file_title;
  bool read_only = false;
  std::string filter_text = filter;
  int32_t filter_index = 1;
  int32_t flags = 0;
  // The dialog opens in the folder of the path shown (a server's URI has
  // none: then where the dialog opens by itself).
  const QString shown = box->text().trimmed();
  const bool file = !shown.isEmpty() && !orv::db::IsServerPath(shown.toStdString());
  const std::string folder =
      file ? QFileInfo(shown).absoluteDir().absolutePath().toStdString() : std::string();
  if (file_dialog_.DialogGetOpenFileName(file_name, file_title, must_exist, false, read_only, true,
                                         filter_text, filter_index, folder,
                                         title, extension, this, flags))
    SetPath(box, QString::fromStdString(file_name));
}

// Our databases are SQLite files ending in ".db"; the settings and HTML files may be
// spelt in either letter case. The file dialog shows each pattern after its
// description, so a description does not repeat it.
void frmOptions::BrowseData() {
  Browse(ui_.txtData, "Claimant Data Database",
         "Claimant database|TARNBY.db:All databases|*.db", "db", true);
}

void frmOptions::BrowseDust() {
  Browse(ui_.txtDust, "PXR Data Database",
         "PXR data database|DUSTDATA.db:All databases|*.db", "db", true);
}

void frmOptions::BrowseHTMLFile() {
  Browse(ui_.txtHTMLFile, "Dust Exposure Temporary HTML File",
         "HTML files|*.HTM;*.htm;*.html", "HTM", false);
}

void frmOptions::BrowseSysIni() {
  Browse(ui_.txtSysIni, "Dust Exposure Calculator System INI", "INI files|*.INI;*.ini",
         "INI", false);
}

bool ShowOptionsModal(QWidget* parent, std::function<void()> help) {
  frmOptions form(parent);
  form.SetHelp(std::move(help));
  return form.exec() == QDialog::Accepted;
}

QWidget* ShowOptionsModeless(QWidget* parent, std::function<void()> closed) {
  auto* form = new frmOptions(parent);
  form->setAttribute(Qt::WA_DeleteOnClose);
  if (closed) QObject::connect(form, &QDialog::finished, form, [closed](int) { closed(); });
  form->show();
  return form;
}

}  // namespace orv::tarnby
