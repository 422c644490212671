#include "frmAbout.h"

#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>
#include <QIcon>
#include <QProcess>
#include <QStandardPaths>

#include "MessageBox.h"
#include "modDataEntry.h"

namespace orv::tarnby {

namespace {

constexpr const char* kDisclaimer =
    "The figures this program calculates are an aid to assessing a claim. They depend on the "
    "employment and smoking histories entered and on the dust data supplied, and must be "
    "checked by a person qualified to do so before they are relied upon.";

// System information tools found on Linux desktops, the most thorough first.
constexpr const char* kSystemInfoTools[] = {"hardinfo2", "hardinfo", "kinfocenter",
                                            "gnome-system-monitor", "xfce4-taskmanager"};

}  // namespace

std::string FindSystemInfoTool() {
  for (const char* tool : kSystemInfoTools) {
    const QString path = QStandardPaths::findExecutable(QString::fromLatin1(tool));
    if (!path.isEmpty()) return path.toStdString();
  }
  return {};
}

frmAbout::frmAbout(const AboutInfo& info, QWidget* parent) : QDialog(parent) {
  ui_.setupUi(this);
  const QString title = QCoreApplication::applicationName().isEmpty()
                            ? QStringLiteral("Tarnby")
                            : QCoreApplication::applicationName();
  setWindowTitle(QStringLiteral("About ") + title);
  ui_.picIcon->setPixmap(ProgramIcon().pixmap(64, 64));
  ui_.lblTitle->setText(title);
  ui_.lblVersion->setText(QStringLiteral("Version ") + QCoreApplication::applicationVersion());
  ui_.lblDescription->setText(QString::fromUtf8(kProgramDescription));
  ui_.lblLegal->setText(QString::fromUtf8(kLegalNotice));
  const QFileInfo program(QCoreApplication::applicationFilePath());
  ui_.lblPath->setText(QStringLiteral("Path: ") + QDir::toNativeSeparators(program.absolutePath()));
  ui_.lblFileName->setText(QStringLiteral("File name: ") + program.fileName());
  ui_.lblEngineVersion->setText(QStringLiteral("Engine version: ") +
                                QString::fromStdString(info.EngineVersion));
  ui_.lblDustVersion->setText(QStringLiteral("Dust database version: ") +
                              QString::fromStdString(info.DustDatabaseVersion));
  ui_.lblDisclaimer->setText(QString::fromUtf8(kDisclaimer));
  connect(ui_.cmdOK, &QPushButton::clicked, this, &QDialog::accept);
  connect(ui_.cmdSysInfo, &QPushButton::clicked, this, &frmAbout::StartSysInfo);
  // Offered only where a system information tool is installed.
  ui_.cmdSysInfo->setVisible(!FindSystemInfoTool().empty());
}

void frmAbout::StartSysInfo() {
  const std::string tool = FindSystemInfoTool();
  if (tool.empty() || !QProcess::startDetached(QString::fromStdString(tool), {}))
    orv::MsgBox("System Information Is Unavailable At This Time", orv::mb::kOkOnly, "Tarnby");
}

void ShowAbout(QWidget* parent, const AboutInfo& info) {
  frmAbout form(info, parent);
  form.exec();
}

}  // namespace orv::tarnby
