// modDataEntry: the data-entry program's program-wide state without windows:
// the settings record and the settings file, the per-user folders, the
// program's error box and error reporter, small text helpers, and the
// claimant database objects that SetupDatabase opens for the whole run.
//
// Everything here is for the program's one (user-interface) thread. Message
// boxes go through orv::MsgBox, so tests and headless tools script them.
#pragma once

#include <cstdint>
#include <initializer_list>
#include <string>
#include <string_view>
#include <vector>

#include "Database.h"
#include "ErrorHandler.h"
#include "OrvError.h"

namespace orv::tarnby {

// --- the settings record --------------------------------------------------
// Field names are the settings file's keys (see SetFromINI for sections).
struct SettingsRecord {
  std::string SystemIni;         // shared settings file overriding this one; "" = none
  std::string DustDatabase;      // dust data database handed to the engine
  int16_t Jurisdiction = 0;      // 0 England/Wales, 1 Scotland
  bool AllowUserDefine = false;  // Tools menu entry for user-defined factors
  std::string Database;          // claimant database
  int32_t DustOutputOption = 0;  // the engine's OutputOptions value
  bool DustDetail = false;       // detailed calculation output
  bool DustChart = true;         // the exposure chart after the report (preview, HTML)
  bool DustAutoCalc = false;     // recalculate automatically
  std::string HTMLFile;          // file that HTML output is written to
};

// The program-wide settings record.
extern SettingsRecord Settings;
// The settings file this run reads and writes.
extern std::string SettingsFile;
// The step in progress, put into start-up and set-up error messages.
extern std::string CurrentStep;
// Set by the options screen when a path needing a restart was changed.
extern bool SettingsChanged;
// Set by the main form when its load begins, cleared when it has finished.
extern bool EngineSetupFailed;

// The program's title as message boxes show it ("Dust Exposure Caculator"
// is the error box's own title, kept as the program has always shown it).
inline constexpr const char* kProgramErrorTitle = "Dust Exposure Caculator";
// The application title: error box titles "<title> Error", the error log
// "<title>_Error.log".
inline constexpr const char* kAppTitle = "tarnby";

// --- per-user folders (the "program folder" of a desktop installation) ------
// $XDG_CONFIG_HOME/tarnby, else ~/.config/tarnby (no trailing separator).
std::string ConfigFolder();
// $XDG_DATA_HOME/tarnby, else ~/.local/share/tarnby (no trailing separator).
std::string DataFolder();
// The folder the running program file is in.
std::string ProgramFolder();
// ConfigFolder()/TARNBY.INI.
std::string DefaultSettingsFile();
// DataFolder()/TARNBY.db, DataFolder()/DUSTDATA.db, DataFolder()/ORVDUST.HTM.
std::string DefaultClaimantDatabase();
std::string DefaultDustDatabase();
std::string DefaultHTMLFile();
// The folder holding the bundled sample databases (TARNBY.db, DUSTDATA.db):
// $TARNBY_SAMPLE_DIR when set, else <program folder>/../sample (a build
// tree, where `make run` makes them) or <program folder>/../share/tarnby/sample
// (an installation); "" when none of them holds both files.
std::string FindSampleFolder();

// First start of a new user: when no settings file was named on the command
// line (`settings_file_named` false) and the per-user settings file and both
// default databases are all missing, creates the per-user folders, copies the
// sample databases in (when FindSampleFolder finds them) and writes the
// default settings file. Returns true when it set the user up. Never shows a
// box; failures to copy leave the defaults to the normal start-up messages.
bool FirstStartSetup(bool settings_file_named);

// --- settings file ----------------------------------------------------------
// The settings file a command line names: the line trimmed, or
// DefaultSettingsFile() when that leaves nothing (a line of blanks included).
std::string SettingsFileFromCommandLine(std::string_view command_line);

// The defaults: SystemIni "", DustDatabase/Database/HTMLFile the per-user
// defaults above, Jurisdiction 0. The other fields are left as they are.
void SetDefaultSettings();

// Defaults, then `path`, then (when SystemIni names another file, compared
// upper-cased and trimmed) the shared file, whose values override. False
// after reporting a failure with ShowProgramError.
bool ReadSettings(const std::string& path);

// Reads every key from one file into Settings. A missing file shows "Cannot
// find INI file <path>" and leaves the settings as they are. A value that
// does not convert is raised (source "modDataEntry:SetFromINI").
void SetFromINI(const std::string& path);

// Writes the settings (all but AllowUserDefine) to SettingsFile, creating it;
// a server URI is written without any password it holds.
// False after reporting a failure with ShowProgramError.
bool SaveSettings();

// --- errors and text helpers ------------------------------------------------
// The program's error reporter (title "tarnby"), created on first use.
ErrorHandler& ProgramErrorHandler();

// The program's error box: critical icon, OK, title kProgramErrorTitle.
// With details (call from inside a catch block) the text adds, each on its
// own line, "Error detail: <description>", "Source: <source>" and
// "Number: <number>" of the error in hand.
void ShowProgramError(const std::string& message, bool with_details);
// The same with the details of a given error.
void ShowProgramError(const std::string& message, const OrvError& detail);
// Both show a lost connection to the claimant database's server (a
// restarted server, a broken network) as ShowConnectionLost does.

// True when `e` is a lost connection to the claimant database's server:
// nothing of what was being saved was saved, and the next action connects
// again.
bool IsConnectionLost(const OrvError& e);
// The box for a lost connection: what the operator was doing (`message`),
// the layer's words naming the server and database, and that what was
// typed is still on the screen to be saved again. Critical icon, OK, title
// "Connection Lost".
void ShowConnectionLost(const std::string& message, const OrvError& e);

// "modDataEntry:<procedure>".
std::string ErrorSource(std::string_view procedure);

// Trims each part, drops empty ones and joins the rest with `separator`.
std::string JoinNonEmpty(std::string_view separator, const std::vector<std::string>& parts);
// JoinNonEmpty with a single blank, for two or four words (a claimant's name).
std::string JoinWords(std::string_view a, std::string_view b);
std::string JoinWords(std::string_view a, std::string_view b, std::string_view c,
                      std::string_view d);

// --- the claimant database objects ------------------------------------------
// Created by SetupDatabase and kept for the whole run. Every recordset is a
// dynaset opened from its query.
extern db::DatabasePtr ClaimantDatabase;
extern db::QueryDefPtr qdclaimant;    // WHATNAME, WHATREF, WHATZURIR (patterns, "*" = all)
extern db::QueryDefPtr qdWork;        // WHATCLAIMANTID: one claimant's WORKHISTORY rows
extern db::QueryDefPtr qdJob;         // WHATID: one WORKHISTORY row
extern db::QueryDefPtr qdSmoke;       // WHATCLAIMANTID: one claimant's SMOKEHISTORY rows
extern db::QueryDefPtr qdSmokeEntry;  // WHATID: one SMOKEHISTORY row
extern db::RecordsetPtr rsClaimant;
extern db::RecordsetPtr rsWork;
extern db::RecordsetPtr rsJob;
extern db::RecordsetPtr rsSmoke;
extern db::RecordsetPtr rsSmokeEntry;
// The search texts (name, solicitor's reference, ZURIR reference); "" at start.
extern std::string SearchName;
extern std::string SearchRef;
extern std::string SearchZurir;

// Opens Settings.Database shared, brings its structure up to date (asking
// once and taking the backup, see modTarnbyDatabase.h), then prepares the
// five queries with their initial parameters and opens their recordsets.
// False after reporting the failure with ShowProgramError.
bool SetupDatabase();

// Releases the recordsets, queries and the database (at program end, or
// before SetupDatabase runs again).
void CloseClaimantDatabase();

}  // namespace orv::tarnby
