#include "QtFileDialogService.h"

#include <QFileDialog>
#include <QStringList>

namespace orv {

namespace {

// "Description (patterns)" as Qt reads name filters: the patterns between
// the last brackets, separated by blanks. "*.*" means every file here.
QString NameFilter(const std::pair<std::string, std::string>& pair) {
  QString patterns = QString::fromStdString(pair.second);
  patterns.replace(';', ' ');
  QStringList list = patterns.split(' ', Qt::SkipEmptyParts);
  for (QString& p : list)
    if (p == "*.*") p = "*";
  return QString::fromStdString(pair.first) + " (" + list.join(' ') + ")";
}

}  // namespace

FileDialogAnswer QtFileDialogService::Show(const FileDialogRequest& request) {
  FileDialogAnswer answer;
  auto* owner = static_cast<QWidget*>(request.owner);
  QFileDialog dialog(owner, QString::fromStdString(request.title),
                     QString::fromStdString(request.initial_folder));
  if (request.kind == FileDialogRequest::Kind::kFolder) {
    dialog.setFileMode(QFileDialog::Directory);
    dialog.setOption(QFileDialog::ShowDirsOnly);
    if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty()) return answer;
    answer.result = 1;
    answer.files.push_back(dialog.selectedFiles().front().toStdString());
    return answer;
  }

  QStringList filters;
  for (const auto& pair : request.filters) filters << NameFilter(pair);
  dialog.setNameFilters(filters);
  const int index = request.filter_index >= 1 && request.filter_index <= filters.size()
                        ? request.filter_index - 1
                        : 0;
  if (!filters.isEmpty()) dialog.selectNameFilter(filters[index]);
  if (!request.default_extension.empty())
    dialog.setDefaultSuffix(QString::fromStdString(request.default_extension));
  if (!request.file_name.empty()) dialog.selectFile(QString::fromStdString(request.file_name));

  if (request.kind == FileDialogRequest::Kind::kSave) {
    dialog.setAcceptMode(QFileDialog::AcceptSave);
    dialog.setFileMode(QFileDialog::AnyFile);
    dialog.setOption(QFileDialog::DontConfirmOverwrite, (request.flags & 2) == 0);
  } else {
    dialog.setAcceptMode(QFileDialog::AcceptOpen);
    const bool multi = (request.flags & 512) != 0;
    const bool must_exist = (request.flags & 4096) != 0;
    dialog.setFileMode(multi        ? QFileDialog::ExistingFiles
                       : must_exist ? QFileDialog::ExistingFile
                                    : QFileDialog::AnyFile);
  }
  if (dialog.exec() != QDialog::Accepted) return answer;
  for (const QString& f : dialog.selectedFiles()) answer.files.push_back(f.toStdString());
  answer.result = answer.files.empty() ? 0 : 1;
  const int chosen = filters.indexOf(dialog.selectedNameFilter());
  answer.filter_index = chosen >= 0 ? chosen + 1 : 1;
  return answer;
}

}  // namespace orv
