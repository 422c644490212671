// tarnby: the dust exposure data-entry program. One optional argument: the
// settings file to read and write.
#include <QApplication>
#include <memory>
#include <string>

#include "FileDialog.h"
#include "MessageBox.h"
#include "QtFileDialogService.h"
#include "QtMessageBox.h"
#include "StartUp.h"
#include "modDataEntry.h"

int main(int argc, char** argv) {
  QApplication app(argc, argv);
  QApplication::setApplicationName(QStringLiteral("Tarnby"));
  QApplication::setApplicationVersion(QStringLiteral(TARNBY_VERSION));
  QApplication::setOrganizationName(QStringLiteral("tarnby"));
  orv::SetMessageBoxService(std::make_shared<orv::QtMessageBoxService>());
  orv::SetFileDialogService(std::make_shared<orv::QtFileDialogService>());

  std::string command_line;
  for (int i = 1; i < argc; ++i) command_line += (i > 1 ? " " : "") + std::string(argv[i]);

  orv::tarnby::Program program = orv::tarnby::Main(command_line);
  if (!program.Running()) return 1;
  const int code = QApplication::exec();
  orv::tarnby::CloseClaimantDatabase();
  return code;
}
