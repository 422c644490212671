#include "HelpWindow.h"

#include <QAction>
#include <QDir>
#include <QFileInfo>
#include <QTextBrowser>
#include <QToolBar>
#include <QVBoxLayout>

#include "Dialogs.h"

namespace orv::tarnby {

HelpWindow::HelpWindow(const QString& folder, QWidget* parent)
    : QWidget(parent, Qt::Window), folder_(folder) {
  setObjectName(QStringLiteral("frmHelp"));
  setWindowTitle(QStringLiteral("Tarnby Help"));
  setWindowIcon(ProgramIcon());
  auto* layout = new QVBoxLayout(this);
  layout->setContentsMargins(0, 0, 0, 0);
  auto* bar = new QToolBar(this);
  browser_ = new QTextBrowser(this);
  browser_->setAccessibleName(QStringLiteral("Help page"));
  browser_->setSearchPaths({folder_});
  // Links to the outside world open in the user's browser, not in the help pane.
  browser_->setOpenExternalLinks(true);
  QAction* back = bar->addAction(QStringLiteral("&Back"), browser_, &QTextBrowser::backward);
  back->setShortcut(QKeySequence::Back);
  QAction* forward = bar->addAction(QStringLiteral("&Forward"), browser_, &QTextBrowser::forward);
  forward->setShortcut(QKeySequence::Forward);
  bar->addAction(QStringLiteral("&Contents"), this,
                 [this] { ShowPage(QStringLiteral("contents.html")); });
  connect(browser_, &QTextBrowser::backwardAvailable, back, &QAction::setEnabled);
  connect(browser_, &QTextBrowser::forwardAvailable, forward, &QAction::setEnabled);
  back->setEnabled(false);
  forward->setEnabled(false);
  layout->addWidget(bar);
  layout->addWidget(browser_);
  resize(640, 560);
}

void HelpWindow::ShowPage(const QString& page) {
  browser_->setSource(QUrl::fromLocalFile(QDir(folder_).filePath(page)));
}

QString HelpWindow::CurrentPage() const { return QFileInfo(browser_->source().toLocalFile()).fileName(); }

}  // namespace orv::tarnby
