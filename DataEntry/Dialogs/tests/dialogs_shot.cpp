// Shows each small screen filled as an operator sees it and saves a picture
// of it into the folder given: for looking at the layouts, not a test.
#include <QApplication>
#include <QDir>
#include <QTemporaryDir>
#include <QTimer>

#include "Dialogs.h"
#include "HelpWindow.h"
#include "frmAbout.h"
#include "frmFactorOverride.h"
#include "frmOptions.h"
#include "frmSearch.h"
#include "modDataEntry.h"
#include "modTarnbyDatabase.h"

namespace {

void Save(QWidget& w, const QString& folder, const char* name) {
  w.show();
  QApplication::processEvents();
  w.grab().save(QDir(folder).filePath(QString::fromLatin1(name) + ".png"));
}

}  // namespace

int main(int argc, char** argv) {
  QApplication app(argc, argv);
  QApplication::setApplicationName("Tarnby");
  QApplication::setApplicationVersion("1.0.0");
  const QString out = argc > 1 ? QString::fromLocal8Bit(argv[1]) : QDir::currentPath();
  QTemporaryDir dir;
  qputenv("XDG_CONFIG_HOME", (dir.path() + "/config").toLocal8Bit());
  namespace core = orv::tarnby;
  core::Settings.Database = "/home/operator/.local/share/tarnby/TARNBY.db";
  core::Settings.DustDatabase = "/home/operator/.local/share/tarnby/DUSTDATA.db";
  core::Settings.HTMLFile = "/home/operator/.local/share/tarnby/ORVDUST.HTM";
  core::SettingsFile = "/home/operator/.config/tarnby/TARNBY.INI";
  core::SearchName = "Sm*";

  const std::string db_path = (dir.path() + "/TARNBY.db").toStdString();
  core::CreateClaimantDatabase(db_path);
  auto db = orv::db::OpenDatabase(db_path);
  db->Execute(
      "INSERT INTO USERFACTOR (ID, CODE, DESCR, JOBFACTOR, DUSTYTIMEFACTOR, RESPFACTOR, STARTYEAR,"
      " ENDYEAR, STARTYEARVAL, ENDYEARVAL, YEARSPASTCLOSURE) VALUES"
      " (10000, 'DD1', 'Drift drivage, stone dust', 1.5, 0.5, 40, 1970, 1980, 1, 0.5, 2)");
  {
    orv::tarnby::frmFactorOverride f(db);
    Save(f, out, "factor_browse");
    f.EditFactor();
    Save(f, out, "factor_edit");
  }
  {
    orv::tarnby::frmOptions f;
    Save(f, out, "options");
  }
  {
    orv::tarnby::frmSearch f;
    Save(f, out, "search");
  }
  {
    orv::tarnby::frmAbout f(orv::tarnby::AboutInfo{"1.0.0", "48"});
    Save(f, out, "about");
  }
  {
    orv::tarnby::Splash s;
    s.SetFromApplication();
    s.LicenseTo = "North Area Claims Office";
    s.DisplaySplash();
    Save(*s.Window(), out, "splash");
  }
  {
    orv::tarnby::cHelpDlg help;
    help.InitialiseHelp(nullptr, argc > 2 ? argv[2] : orv::tarnby::DefaultHelpFile());
    help.ShowHelp(orv::tarnby::help::kContents);
    Save(*help.Window(), out, "help_contents");
    help.ShowHelp(orv::tarnby::help::kContext, orv::tarnby::help::kTopicOptions);
    Save(*help.Window(), out, "help_options");
  }
  return 0;
}
