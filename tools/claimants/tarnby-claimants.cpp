// tarnby-claimants: creates claimant databases (at the latest structure
// level or an older one), upgrades them as the desktop program does, checks
// them, and moves claimants in and out as CSV.
#include <CLI/CLI.hpp>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <filesystem>
#include <iostream>
#include <string_view>

#include "ChangeHistory.h"
#include "ClaimantsCsv.h"
#include "Database.h"
#include "ExitCodes.h"
#include "PlainHelp.h"
#include "ProgressBar.h"
#include "InputError.h"
#include "OrvError.h"
#include "SafeFiles.h"
#include "Text.h"
#include "modTarnbyDatabase.h"

namespace {

using namespace orv::tools;
namespace cl = orv::claimants;
namespace tb = orv::tarnby;

constexpr const char* kTool = "tarnby-claimants";

// Progress on standard error, as tarnby-calc shows it: on a terminal a bar;
// in a log, once the work has lasted a moment, a line when a step begins
// and at every tenth of its way (a second apart at least). Finish() wipes
// the bar before anything else is written.
class Progress {
 public:
  // `bar`: whether a bar may be drawn on the terminal (not while the
  // output itself goes to that terminal as it is made).
  explicit Progress(bool bar = true) : terminal_(isatty(STDERR_FILENO) != 0), bar_allowed_(bar) {}

  orv::ProgressFn Fn() {
    return [this](std::string_view step, int64_t done, int64_t total) { Tell(step, done, total); };
  }
  void Finish() { bar_.Finish(); }

 private:
  void Tell(std::string_view step, int64_t done, int64_t total) {
    if (terminal_) {
      if (bar_allowed_) bar_.Update(step, done, total);
      return;
    }
    const auto now = std::chrono::steady_clock::now();
    if (now - began_ < std::chrono::seconds(1)) return;
    const bool began = step != step_;
    if (began) step_ = std::string(step);
    // A step's end needs no line: the next step's, or the result, follows.
    // Within a step, a line at most a second: a quick step needs none.
    if (total > 0 && done >= total) return;
    if (!began && (done < next_line_ || now - last_line_ < std::chrono::seconds(1))) return;
    std::cerr << kTool << ": " << orv::LowerAscii(step.substr(0, 1)) << step.substr(1);
    if (total > 0) std::cerr << ": " << done << " of " << total;
    std::cerr << "\n";
    next_line_ = done + std::max<int64_t>(1, total / 10);
    last_line_ = now;
  }

  orv::ProgressBar bar_;
  const bool terminal_;
  const bool bar_allowed_;
  const std::chrono::steady_clock::time_point began_ = std::chrono::steady_clock::now();
  std::string step_;
  int64_t next_line_ = 0;
  std::chrono::steady_clock::time_point last_line_;
};

int Create(const std::string& path, int level) {
  std::error_code ec;
  if (!orv::db::IsServerPath(path) && std::filesystem::exists(path, ec)) {
    throw InputError(path, 0, "", "the file already exists");
  }
  tb::CreateClaimantDatabase(path, static_cast<int16_t>(level));
  if (orv::db::IsServerPath(path)) {
    // The work tables of shared bulk runs, made by the login that owns the
    // structure so that the operators' role has its rights on them.
    const orv::db::DatabasePtr d = tb::OpenClaimantDatabase(path);
    tb::CreateSharedRunTables(*d);
    d->Close();
  }
  std::cout << "Created " << path << " at structure level " << level << "\n";
  return kExitOk;
}

int Upgrade(const std::string& path, const std::string& backup, bool no_backup) {
  Progress progress;
  const orv::ProgressFn tell = progress.Fn();
  orv::db::OpenOptions exclusive;
  exclusive.exclusive = true;
  exclusive.busy_timeout_ms = 0;
  exclusive.check = orv::db::OpenCheck::WholeFile;
  exclusive.check_progress = [&tell](int64_t done, int64_t total) {
    tell("Checking the whole file", done, total);
  };
  orv::db::DatabasePtr d;
  try {
    d = tb::OpenClaimantDatabase(path, exclusive);
    progress.Finish();
  } catch (const orv::OrvError& e) {
    if (!orv::db::IsRefusedForUse(e)) throw;
    throw orv::OrvError(e.Number(), e.Source(),
                        "Another program has " + path +
                            " open; close it (and every other user's program) and run the "
                            "upgrade again. " + e.Description());
  }
  const int16_t from = tb::StructureLevel(*d);
  // On a server, the work tables of shared bulk runs (no structure level:
  // a database made before they existed gets them here).
  tb::CreateSharedRunTables(*d);
  if (from >= tb::kLatestStructureLevel) {
    std::cout << path << " is already at structure level " << from << "\n";
    d->Close();
    return kExitOk;
  }
  if (!no_backup) {
    // A backup never replaces a file: a name given that is taken is
    // refused; the default name, taken by an earlier backup of the same
    // day, becomes the first free one beside it.
    std::error_code ec;
    if (!backup.empty() && std::filesystem::exists(std::filesystem::symlink_status(backup, ec))) {
      d->Close();
      throw InputError(backup, 0, "", "the backup file exists already; give a new name");
    }
    const std::string target =
        backup.empty() ? orv::files::FirstFreeName(tb::DefaultBackupName(d->Name(), orv::Clock::now()))
                       : backup;
    tb::CopyDatabaseConsistently(*d, target);
    std::cout << "Backed up " << path << " to " << target << "\n";
  }
  // Each level applied is a line of its own (and the bar of the check gone).
  tb::SetLevelAppliedHook([](int16_t level) {
    std::cerr << kTool << ": applying structure level " << level << "\n";
  });
  const int16_t reached = tb::ApplyStructureLevels(*d);
  d->Close();
  std::cout << "Upgraded " << path << " from structure level " << from << " to " << reached
            << "\n";
  return kExitOk;
}

int Check(const std::string& path) {
  Progress progress;
  const cl::CheckReport report = cl::CheckDatabase(path, {}, progress.Fn());
  progress.Finish();
  for (const std::string& line : cl::FormatCheckReport(report)) std::cout << line << "\n";
  return report.ok() ? kExitOk : kExitBadInput;
}

int Import(const std::string& path, const std::string& dir) {
  Progress progress;
  const cl::ImportCounts n = cl::ImportFolder(path, dir, progress.Fn());
  progress.Finish();
  std::cout << "Imported " << n.claimants << " claimants, " << n.work << " work history and "
            << n.smoking << " smoking history entries, " << n.user_factors
            << " user-defined factors into " << path << "\n";
  return kExitOk;
}

int Export(const std::string& path, const std::string& dir) {
  Progress progress;
  const cl::ImportCounts n = cl::ExportFolder(path, dir, progress.Fn());
  progress.Finish();
  std::cout << "Exported " << n.claimants << " claimants, " << n.work << " work history and "
            << n.smoking << " smoking history entries, " << n.user_factors
            << " user-defined factors to " << dir << "\n";
  return kExitOk;
}

int Copy(const std::string& source, const std::string& destination, bool replace) {
  Progress progress;
  const cl::CopyReport r = cl::CopyDatabase(source, destination, replace, progress.Fn());
  progress.Finish();
  std::cout << "Copied " << r.rows << " rows of " << r.tables << " tables from " << source
            << " to " << destination << " at structure level " << r.level
            << "; checked row by row: the copy is identical\n";
  return kExitOk;
}

}  // namespace

int main(int argc, char** argv) {
  CLI::App app{"Creates, upgrades, checks, imports and exports claimant databases.", kTool};
  orv::tools::UsePlainHelp(app);
  app.require_subcommand(1);

  std::string db, dir, backup;
  int level = tb::kLatestStructureLevel;
  bool no_backup = false;

  CLI::App* create = app.add_subcommand(
      "create",
      "A new, empty claimant database at the latest structure level, or stopped at --level N as "
      "an older program version left its files.");
  create->add_option("DB", db, "database file to create")->required();
  create->add_option("--level", level, "structure level to stop at (0 to 21)")
      ->check(CLI::Range(0, static_cast<int>(tb::kLatestStructureLevel)))
      ->option_text("N");

  CLI::App* upgrade = app.add_subcommand(
      "upgrade",
      "Brings a claimant database up to the latest structure level, each level in one "
      "transaction, after taking a consistent backup (to FILE, or beside the database under the "
      "default backup name). Refused (exit 3) while another program has the database open.");
  upgrade->add_option("DB", db, "claimant database")->required();
  auto* backup_opt =
      upgrade->add_option("--backup", backup, "backup file to write")->option_text("FILE");
  upgrade->add_flag("--no-backup", no_backup, "take no backup")->excludes(backup_opt);

  CLI::App* check = app.add_subcommand(
      "check",
      "Structure level, row counts and any inconsistency found (exit 2 when there is one).");
  check->add_option("DB", db, "claimant database")->required();

  CLI::App* import = app.add_subcommand(
      "import",
      "Adds claimants and histories from claimants.csv, work_history.csv, smoke_history.csv and "
      "(optional) user_factors.csv, in one transaction: a bad row rejects the whole import.");
  import->add_option("DB", db, "claimant database")->required();
  import->add_option("SOURCE_DIR", dir, "folder of CSV files")->required();

  CLI::App* exp = app.add_subcommand("export", "Writes the same CSV files back.");
  exp->add_option("DB", db, "claimant database")->required();
  exp->add_option("OUTPUT_DIR", dir, "folder for the CSV files (created when missing)")->required();

  CLI::App* history = app.add_subcommand(
      "history",
      "The change history as CSV (TIME in UTC, USER, PROGRAM, TABLE, ROWID, CLAIMANTID, ACTION, "
      "FIELD, OLD, NEW), oldest first.");
  history->add_option("DB", db, "claimant database")->required();
  std::optional<int32_t> history_claimant;
  std::optional<std::string> since;
  history->add_option("--claimant", history_claimant, "one claimant's changes")->option_text("ID");
  history->add_option("--since", since, "changes from this day on")
      ->check([](const std::string& day) -> std::string {
        const bool shaped = day.size() == 10 && day[4] == '-' && day[7] == '-' &&
                            std::all_of(day.begin(), day.end(),
                                        [](char c) { return c == '-' || (c >= '0' && c <= '9'); });
        if (!shaped) return "expected a date YYYY-MM-DD";
        const std::chrono::year_month_day ymd{std::chrono::year{std::stoi(day.substr(0, 4))},
                                              std::chrono::month(std::stoul(day.substr(5, 2))),
                                              std::chrono::day(std::stoul(day.substr(8, 2)))};
        return ymd.ok() ? std::string() : "no such day: " + day;
      })
      ->option_text("YYYY-MM-DD");

  std::string destination;
  bool replace = false;
  CLI::App* copy = app.add_subcommand(
      "copy",
      "Copies a whole claimant database (a file or a postgresql:// URI) to another, at its "
      "structure level, in one transaction, then checks the copy row by row. A destination "
      "that holds claimants is refused unless --replace.");
  copy->add_option("SRC", db, "claimant database to copy")->required();
  copy->add_option("DST", destination, "new file, empty server database, or one to replace")
      ->required();
  copy->add_flag("--replace", replace, "write over a destination that holds claimants");

  if (const std::optional<int> exit_code = orv::tools::ParseCommandLine(app, argc, argv))
    return *exit_code;

  return RunGuarded(kTool, [&] {
    if (*create) return Create(db, level);
    if (*upgrade) return Upgrade(db, backup, no_backup);
    if (*check) return Check(db);
    if (*import) return Import(db, dir);
    if (*history) {
      const orv::db::DatabasePtr d = tb::OpenForReading(db);
      // The CSV goes out as it is read: on the same terminal, it is the progress.
      Progress progress(isatty(STDOUT_FILENO) == 0);
      tb::WriteHistoryCsv(*d, std::cout, history_claimant, since, progress.Fn());
      progress.Finish();
      d->Close();
      return std::cout.flush() ? orv::tools::kExitOk : orv::tools::kExitFailure;
    }
    if (*copy) return Copy(db, destination, replace);
    return Export(db, dir);
  });
}
