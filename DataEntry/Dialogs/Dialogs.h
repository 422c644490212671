// The small screens around the main form and the utilities the program
// calls: the splash shown during start-up, the options screen, the claimant
// search, the About box, the user-defined factor screen, the help window and
// the mouse-pointer keeper.
//
// The options and search screens read and write the program-wide settings
// record and search texts of modDataEntry.h; the factor screen works on the
// claimant database it is given. Every failure is an orv::OrvError; the
// screens show their own messages through orv::MsgBox.
#pragma once

#include <QCursor>
#include <QPointer>
#include <QString>
#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <variant>

#include "Database.h"

class QIcon;
class QWidget;

namespace orv::tarnby {

// ------------------------------------------------------- the program's own --

// The program's icon (the picture of the installed desktop icon).
QIcon ProgramIcon();
// What the About box and the splash say about the program.
inline constexpr const char* kProgramDescription =
    "Calculates a former coal miner's lifetime exposure to coal dust and the share of a "
    "compensation claim that the liable employer must pay.";
inline constexpr const char* kLegalNotice = "Copyright \u00a9 2026 The Tarnby developers";

// ---------------------------------------------------------------- splash --

class frmSplash;

// The splash window shown while the program starts. Releasing the object
// unloads the window; so does a click or a key pressed on it.
class Splash {
 public:
  Splash();
  ~Splash();
  Splash(const Splash&) = delete;
  Splash& operator=(const Splash&) = delete;

  // Takes the product name, version and legal notice from the running
  // application (QCoreApplication's name and version, the program's notice).
  void SetFromApplication();

  std::string ProductName;
  // Shown as "Version " and the numbers joined by "." ("1.0.0").
  std::string Version;
  std::string Copyright;
  // The licensee text, shown under the label "License To".
  std::string LicenseTo;
  // A picture file; the built-in logo when empty.
  std::string Logo;

  // Loads the window when it is not loaded yet.
  void LoadSplash();
  // Loads (when needed) and fills the window, sizes it to its contents,
  // shows it and lets the screen repaint.
  void DisplaySplash();
  void LoadAndDisplaySplash();
  void HideSplash();
  void UnloadSplash();

  // The window while it is loaded, else nullptr (for tests and pictures).
  QWidget* Window() const;

 private:
  QPointer<frmSplash> form_;
};

// --------------------------------------------------------------- options --

// "Tarnby Dust Exposure Calculator Options". Modal: returns when the screen
// has closed; true when it was closed with "Okay" (the settings were stored
// and saved, and SettingsChanged tells whether a path that needs a restart
// was changed), false after "Cancel". The caller then applies the
// jurisdiction and asks for the restart.
// `help`, when given, runs on F1 (the options help topic).
bool ShowOptionsModal(QWidget* parent, std::function<void()> help = {});

// The same screen without waiting (start-up's last resort, when the program
// runs with the options screen alone). The window deletes itself when it
// closes; `closed`, when given, runs then.
QWidget* ShowOptionsModeless(QWidget* parent = nullptr, std::function<void()> closed = {});

// ---------------------------------------------------------------- search --

// True when the last search was cancelled ("Cancel" or the window closed).
extern bool SearchCancelled;

// "Search": shows the three search texts of modDataEntry, and on "OK"
// stores them back and clears SearchCancelled; "Cancel" sets it. Modal.
// Returns !SearchCancelled.
bool ShowSearch(QWidget* parent);

// ----------------------------------------------------------------- about --

// What the About box shows besides the program's own title, version,
// description and notice.
struct AboutInfo {
  std::string EngineVersion;        // the engine's version text
  std::string DustDatabaseVersion;  // the dust data's version text
};

// The About box, modal.
void ShowAbout(QWidget* parent, const AboutInfo& info);

// The system information tool found on this machine (a full path), or empty
// when there is none; "&System Info..." starts it, or shows "System
// Information Is Unavailable At This Time".
std::string FindSystemInfoTool();

// --------------------------------------------------- user-defined factors --

// "Job and Respirator Factor Overrides" over the USERFACTOR table of the
// claimant database `db`, modal. Returns when the screen has closed; the
// caller then refills its job and respirator factor lists.
void ShowFactorOverride(QWidget* parent, const orv::db::DatabasePtr& db);

// ------------------------------------------------------------------ help --

// Help commands (the classic help engine's numbers) and the topics of the
// program's help pages.
namespace help {
inline constexpr int32_t kContext = 1;   // data: a topic number
inline constexpr int32_t kQuit = 2;      // closes the help window
inline constexpr int32_t kContents = 3;  // data: the contents topic
inline constexpr int32_t kKey = 257;     // data: a keyword text
inline constexpr int32_t kTopicContents = 1001;
inline constexpr int32_t kTopicClaimantTab = 1100;
inline constexpr int32_t kTopicEmploymentTab = 1200;
inline constexpr int32_t kTopicSmokingTab = 1300;
inline constexpr int32_t kTopicResultsTab = 1400;
inline constexpr int32_t kTopicOptions = 1500;
inline constexpr int32_t kTopicSupport = 9000;
}  // namespace help

// The folder of the program's help pages: <prefix>/share/tarnby/help when
// installed, the source tree's Help/ folder in a build tree. Empty when
// neither is found.
std::string DefaultHelpFile();

class HelpWindow;

// The help interface: shows the program's help pages in a help window.
class cHelpDlg {
 public:
  cHelpDlg();
  // Closes the help window of the owner.
  ~cHelpDlg();
  cHelpDlg(const cHelpDlg&) = delete;
  cHelpDlg& operator=(const cHelpDlg&) = delete;

  // The owner window and the help pages' folder (or its contents page).
  void InitialiseHelp(QWidget* window, const std::string& help_file);
  // Shows a topic: command help::kContext with a topic number,
  // help::kContents, help::kKey with a text, help::kQuit. Before
  // InitialiseHelp fails with "Help has not been initialised." from
  // "cHelpDlg:ShowHelp"; an unknown topic fails naming it.
  void ShowHelp(int32_t command, const std::variant<int32_t, std::string>& data = int32_t{0});

  // The help window while it is open (for tests), else nullptr.
  HelpWindow* Window() const;

 private:
  QPointer<QWidget> owner_;
  std::string help_file_;
  QPointer<HelpWindow> window_;
  bool initialised_ = false;
};

// --------------------------------------------------------- mouse pointer --

// Remembers the mouse pointer when created, sets another with MousePointer,
// and puts the remembered one back when released.
class clsMousePointer {
 public:
  clsMousePointer();
  ~clsMousePointer();
  clsMousePointer(const clsMousePointer&) = delete;
  clsMousePointer& operator=(const clsMousePointer&) = delete;

  void SetMousePointer(Qt::CursorShape shape);
  Qt::CursorShape MousePointer() const { return shape_; }

 private:
  Qt::CursorShape shape_ = Qt::ArrowCursor;
  int pushed_ = 0;
};

}  // namespace orv::tarnby
