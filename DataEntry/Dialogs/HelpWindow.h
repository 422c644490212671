// The help window: the program's HTML help pages in a browser pane with
// Back, Forward and Contents.
#pragma once

#include <QUrl>
#include <QWidget>

class QTextBrowser;
class QToolBar;

namespace orv::tarnby {

class HelpWindow : public QWidget {
  Q_OBJECT

 public:
  // `folder`: the folder of the help pages.
  explicit HelpWindow(const QString& folder, QWidget* parent = nullptr);

  // Shows a page of the folder ("contents.html").
  void ShowPage(const QString& page);
  QTextBrowser* Browser() const { return browser_; }
  // The page shown, as a file name.
  QString CurrentPage() const;

 private:
  QString folder_;
  QTextBrowser* browser_;
};

}  // namespace orv::tarnby
