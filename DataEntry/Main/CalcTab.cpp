#include "CalcTab.h"

#include <QFontDatabase>
#include <QTextCursor>

namespace orv::tarnby {

CalcTab::CalcTab(QWidget* parent) : QWidget(parent) {
  ui_.setupUi(this);
  QFont fixed = QFontDatabase::systemFont(QFontDatabase::FixedFont);
  ui_.rtfBox->setFont(fixed);
  // Detail lines are indented with tabs: four characters each.
  ui_.rtfBox->setTabStopDistance(QFontMetricsF(fixed).horizontalAdvance(QLatin1Char(' ')) * 4);
  // The hidden box keeps its place, so that the button does not move when
  // the output goes to the preview or the browser.
  QSizePolicy policy = ui_.rtfBox->sizePolicy();
  policy.setRetainSizeWhenHidden(true);
  ui_.rtfBox->setSizePolicy(policy);
}

void CalcTab::ClearOutput() { ui_.rtfBox->clear(); }

void CalcTab::AppendLine(const QString& line) {
  QTextCursor cursor(ui_.rtfBox->document());
  cursor.movePosition(QTextCursor::End);
  cursor.insertText(line + QStringLiteral("\r\n"));
}

QString CalcTab::Output() const { return ui_.rtfBox->toPlainText(); }

void CalcTab::ShowOutputBox(bool show, const QString& where) {
  ui_.rtfBox->setVisible(show);
  ui_.lblOutput->setText(where);
}

}  // namespace orv::tarnby
