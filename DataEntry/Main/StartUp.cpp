#include "StartUp.h"

#include <filesystem>

#include "MessageBox.h"
#include "FormHost.h"
#include "OrvError.h"
#include "Text.h"
#include "modDataEntry.h"

namespace orv::tarnby {

namespace {

namespace fs = std::filesystem;

bool FileExists(const std::string& path) {
  std::error_code ec;
  return !path.empty() && fs::is_regular_file(path, ec);
}

// Step 6 and 7: a missing database falls back to the default, with a word.
// A setting that already names the default changes nothing: no word then (a
// first start whose samples could not be copied would otherwise be told
// "<file> not found - using default <the same file>"); the database set-up
// or the engine names the missing file.
void CheckDatabase(std::string& path, const std::string& what, const std::string& fallback) {
  if (FileExists(path) || path == fallback) return;
  MsgBox("Warning - " + what + path + " not found - using default " + fallback,
         mb::kInformation | mb::kOkOnly, "Warning");
  path = fallback;
}

// Step 13: the program cannot load; the options screen is shown alone.
void ShowOptionsAlone(Program& program, tarnby::Splash& splash, const std::string& first_line) {
  MsgBox(first_line +
             "\nYou may want to check configuration settings - options screen will now "
             "show",
         mb::kCritical | mb::kOkOnly, std::string(kApplicationTitle) + " Error");
  splash.UnloadSplash();
  program.options = tarnby::ShowOptionsModeless(nullptr);
}

// While the splash is up, every box of the start-up first puts it away: the
// splash stays above other windows and would hide the box's text.
class SplashAside : public MessageBoxService {
 public:
  SplashAside(std::shared_ptr<MessageBoxService> boxes, tarnby::Splash& splash)
      : boxes_(std::move(boxes)), splash_(splash) {}
  int32_t Show(const MessageBoxRequest& request) override {
    splash_.HideSplash();
    return boxes_->Show(request);
  }

 private:
  std::shared_ptr<MessageBoxService> boxes_;
  tarnby::Splash& splash_;
};

// Puts SplashAside in front of the installed boxes for the length of the
// start-up (with none installed, boxes only go to standard error).
class SplashAsideDuring {
 public:
  explicit SplashAsideDuring(tarnby::Splash& splash) : previous_(SetMessageBoxService(nullptr)) {
    SetMessageBoxService(previous_ ? std::make_shared<SplashAside>(previous_, splash) : nullptr);
  }
  ~SplashAsideDuring() { SetMessageBoxService(previous_); }
  SplashAsideDuring(const SplashAsideDuring&) = delete;
  SplashAsideDuring& operator=(const SplashAsideDuring&) = delete;

 private:
  std::shared_ptr<MessageBoxService> previous_;
};

}  // namespace

Program Main(const std::string& command_line) {
  Program program;
  std::unique_ptr<tarnby::Splash> splash;
  try {
    (void)ProgramErrorHandler();
    CurrentStep = "Setting help file";
    const std::string help_file = tarnby::DefaultHelpFile();

    CurrentStep = "Creating splash screen object";
    splash = std::make_unique<tarnby::Splash>();
    CurrentStep = "Displaying splash master application info";
    splash->SetFromApplication();
    CurrentStep = "Displaying splash screen";
    splash->DisplaySplash();
    const SplashAsideDuring boxes_over_splash(*splash);

    CurrentStep = "Determining command line parameters";
    SettingsFile = SettingsFileFromCommandLine(command_line);
    const bool named = !TrimWhite(command_line).empty();
    // A new user starts on the bundled sample data, not on a warning.
    (void)FirstStartSetup(named);

    CurrentStep = "Reading INI file";
    if (!ReadSettings(SettingsFile)) {
      // What was wrong was shown as it was found; this says which file.
      ShowProgramError("Errors occurred reading the INI settings file\nSettings file: " +
                           SettingsFile,
                       false);
      return program;
    }

    CurrentStep = "Checking claimant database exists";
    // A claimant database on a server is no file: whether it can be reached
    // is found when it is opened.
    if (!db::IsServerPath(Settings.Database)) {
      CheckDatabase(Settings.Database, "claimant database ", DefaultClaimantDatabase());
    }
    CurrentStep = "Checking PXR database exists";
    CheckDatabase(Settings.DustDatabase, "dust PXR data database ", DefaultDustDatabase());

    CurrentStep = "Writing user settings to INI file";
    (void)SaveSettings();

    CurrentStep = "Setting up database";
    if (!SetupDatabase()) {
      ShowOptionsAlone(program, *splash,
                       "An error in setting up the claimant information database means that the "
                       "program cannot load.");
      return program;
    }

    CurrentStep = "Loading main form";
    program.form = std::make_unique<frmMAIN>();
    program.form->Load();

    CurrentStep = "Initialising help interface";
    program.help = std::make_unique<tarnby::cHelpDlg>();
    program.help->InitialiseHelp(program.form.get(), help_file);
    program.form->SetHelp(program.help.get());

    if (!EngineSetupFailed) {
      CurrentStep = "Showing main form";
      program.form->show();
      return program;
    }
    program.form->SetHelp(nullptr);
    program.form.reset();
    ShowOptionsAlone(program, *splash,
                     "An error in setting up Dust Calculation Engine means that the program "
                     "cannot load.");
  } catch (...) {
    if (splash) splash->HideSplash();
    ShowProgramError("Error in loading: " + CurrentStep, true);
    program.form.reset();
  }
  return program;
}

}  // namespace orv::tarnby
