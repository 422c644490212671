#include "QtMessageBox.h"

#include <QApplication>
#include <vector>

namespace orv {

namespace {

std::vector<QMessageBox::StandardButton> ButtonList(int32_t style) {
  std::vector<QMessageBox::StandardButton> buttons;
  for (const int32_t answer : mb::ButtonAnswers(style)) {
    switch (answer) {
      case mb::kOk: buttons.push_back(QMessageBox::Ok); break;
      case mb::kCancel: buttons.push_back(QMessageBox::Cancel); break;
      case 3: buttons.push_back(QMessageBox::Abort); break;
      case 4: buttons.push_back(QMessageBox::Retry); break;
      case 5: buttons.push_back(QMessageBox::Ignore); break;
      case mb::kYes: buttons.push_back(QMessageBox::Yes); break;
      default: buttons.push_back(QMessageBox::No); break;
    }
  }
  return buttons;
}

}  // namespace

QMessageBox::StandardButtons ButtonsForStyle(int32_t style) {
  QMessageBox::StandardButtons buttons;
  for (const auto b : ButtonList(style)) buttons |= b;
  return buttons;
}

QMessageBox::Icon IconForStyle(int32_t style) {
  switch (style & 0x70) {
    case 16:
      return QMessageBox::Critical;
    case 32:
      return QMessageBox::Question;
    case 48:
      return QMessageBox::Warning;
    case 64:
      return QMessageBox::Information;
    default:
      return QMessageBox::NoIcon;
  }
}

QMessageBox::StandardButton DefaultButtonForStyle(int32_t style) {
  const auto list = ButtonList(style);
  const size_t wanted = static_cast<size_t>((style & 0x300) >> 8);
  return wanted < list.size() ? list[wanted] : list.front();
}

int32_t AnswerForButton(QMessageBox::StandardButton button, int32_t style) {
  switch (button) {
    case QMessageBox::Ok:
      return mb::kOk;
    case QMessageBox::Cancel:
      return mb::kCancel;
    case QMessageBox::Abort:
      return 3;
    case QMessageBox::Retry:
      return 4;
    case QMessageBox::Ignore:
      return 5;
    case QMessageBox::Yes:
      return mb::kYes;
    case QMessageBox::No:
      return mb::kNo;
    default:
      return (ButtonsForStyle(style) & QMessageBox::Cancel) ? mb::kCancel : mb::kOk;
  }
}

int32_t QtMessageBoxService::Show(const MessageBoxRequest& request) {
  QMessageBox box(IconForStyle(request.style), QString::fromStdString(request.title),
                  QString::fromStdString(request.prompt), ButtonsForStyle(request.style),
                  QApplication::activeWindow());
  box.setDefaultButton(DefaultButtonForStyle(request.style));
  box.exec();
  return AnswerForButton(box.standardButton(box.clickedButton()), request.style);
}

}  // namespace orv
