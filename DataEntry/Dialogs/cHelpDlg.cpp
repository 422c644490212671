// The help interface. The program's help is a folder of HTML pages, one per
// topic; a topic number names its page.
#include <QApplication>
#include <QCoreApplication>
#include <QDialog>
#include <QDir>
#include <QFileInfo>
#include <QScreen>
#include <algorithm>
#include <initializer_list>

#include "Dialogs.h"
#include "HelpWindow.h"
#include "OrvError.h"

namespace orv::tarnby {

namespace {

constexpr const char* kSource = "cHelpDlg:ShowHelp";

struct Topic {
  int32_t id;
  const char* page;
};
constexpr Topic kTopics[] = {
    {help::kTopicContents, "contents.html"},  {help::kTopicClaimantTab, "claimant.html"},
    {help::kTopicEmploymentTab, "employment.html"}, {help::kTopicSmokingTab, "smoking.html"},
    {help::kTopicResultsTab, "results.html"},  {help::kTopicOptions, "options.html"},
    {help::kTopicSupport, "support.html"},
};

const char* PageOf(int32_t topic) {
  for (const Topic& t : kTopics)
    if (t.id == topic) return t.page;
  return nullptr;
}

// The words each page answers to, its title first.
struct Keywords {
  const char* page;
  std::initializer_list<const char*> words;
};
const Keywords kKeywords[] = {
    {"claimant.html", {"claimant/case details", "claimant", "case details", "address"}},
    {"employment.html",
     {"employment history", "employment", "work history", "job", "colliery", "overlap"}},
    {"smoking.html", {"smoking history", "smoking"}},
    {"results.html", {"calculation", "results", "report", "output", "preview", "pdf"}},
    {"options.html", {"options", "settings", "database"}},
    {"factors.html", {"user defined factors", "factors", "factor"}},
    {"support.html", {"getting support", "support"}},
    {"contents.html", {"contents", "help"}},
};

// The page a keyword names: a page's word equal to it, else the first word
// that begins with it; the contents page when none does.
const char* PageOfKeyword(const std::string& keyword) {
  const QString key = QString::fromStdString(keyword).trimmed().toLower();
  if (key.isEmpty()) return PageOf(help::kTopicContents);
  for (const Keywords& k : kKeywords)
    for (const char* word : k.words)
      if (key == QLatin1String(word)) return k.page;
  for (const Keywords& k : kKeywords)
    for (const char* word : k.words)
      if (QLatin1String(word).startsWith(key)) return k.page;
  return PageOf(help::kTopicContents);
}

}  // namespace

std::string DefaultHelpFile() {
  // Installed: <prefix>/bin/tarnby and <prefix>/share/tarnby/help; a build tree copies the
  // pages to the same place beside its bin folder.
  const QDir program(QCoreApplication::applicationDirPath());
  const QString folder = program.absoluteFilePath(QStringLiteral("../share/tarnby/help"));
  if (QFileInfo::exists(folder + QStringLiteral("/contents.html")))
    return QDir::cleanPath(folder).toStdString();
  return {};
}

cHelpDlg::cHelpDlg() = default;

cHelpDlg::~cHelpDlg() { delete window_.data(); }

void cHelpDlg::InitialiseHelp(QWidget* window, const std::string& help_file) {
  owner_ = window;
  help_file_ = help_file;
  initialised_ = true;
}

void cHelpDlg::ShowHelp(int32_t command, const std::variant<int32_t, std::string>& data) {
  if (!initialised_) throw orv::OrvError(orv::err::kInvalidCall, kSource, "Help has not been initialised.");
  if (command == help::kQuit) {
    if (window_) window_->close();
    return;
  }
  const char* page = PageOf(help::kTopicContents);
  if (command == help::kContext) {
    const int32_t topic = std::holds_alternative<int32_t>(data) ? std::get<int32_t>(data) : 0;
    page = PageOf(topic);
    if (!page)
      throw orv::OrvError(orv::err::kInvalidCall, kSource,
                          "There is no help topic " + std::to_string(topic) + ".");
  }
  if (command == help::kKey && std::holds_alternative<std::string>(data)) {
    page = PageOfKeyword(std::get<std::string>(data));
  }
  QFileInfo file(QString::fromStdString(help_file_));
  const QString folder = file.isDir() ? file.absoluteFilePath() : file.absolutePath();
  if (help_file_.empty() || !QFileInfo::exists(QDir(folder).filePath(QString::fromLatin1(page))))
    throw orv::OrvError(orv::err::kFileNotFound, kSource,
                        "The help pages were not found in " + folder.toStdString());
  if (!window_) {
    window_ = new HelpWindow(folder, owner_);
    window_->setAttribute(Qt::WA_DeleteOnClose);
    // Opened over the window it was asked from, on the screen, not where
    // the window manager first finds room (a corner, partly off the screen).
    if (QWidget* over = owner_ ? owner_->window() : QApplication::activeWindow()) {
      QRect place = window_->frameGeometry();
      place.moveCenter(over->frameGeometry().center());
      if (const QScreen* screen = over->screen()) {
        const QRect area = screen->availableGeometry();
        place.moveLeft(std::clamp(place.left(), area.left(),
                                  std::max(area.left(), area.right() - place.width())));
        place.moveTop(std::clamp(place.top(), area.top(),
                                 std::max(area.top(), area.bottom() - place.height())));
      }
      window_->move(place.topLeft());
    }
  }
  // A modal screen (the options) blocks every window but its own children:
  // while one is open, the help window is its child, and goes back to the
  // owner when the screen closes.
  QWidget* modal = QApplication::activeModalWidget();
  if (modal && modal != window_ && window_->parentWidget() != modal) {
    window_->setParent(modal, Qt::Window);
    if (auto* dialog = qobject_cast<QDialog*>(modal)) {
      QPointer<HelpWindow> help = window_.data();
      QPointer<QWidget> owner = owner_;
      QObject::connect(dialog, &QDialog::finished, help, [help, owner](int) {
        if (!help) return;
        const bool shown = help->isVisible();
        help->setParent(owner, Qt::Window);
        if (shown) help->show();
      });
    }
  }
  window_->ShowPage(QString::fromLatin1(page));
  window_->show();
  window_->raise();
  window_->activateWindow();
}

HelpWindow* cHelpDlg::Window() const { return window_; }

}  // namespace orv::tarnby
