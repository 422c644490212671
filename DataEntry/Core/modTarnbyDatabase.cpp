// The claimant database's structure upgrade, the question asked before it
// and the backup taken first.
#include "modTarnbyDatabase.h"

#include "ChangeHistory.h"

#include <cctype>

#include <filesystem>
#include <optional>
#include <system_error>
#include <utility>

#include "ClaimantSchema.h"
#include "FileDialog.h"
#include "MessageBox.h"
#include "SafeFiles.h"
#include "Text.h"
#include "modDataEntry.h"

namespace orv::tarnby {

bool UpdateConfirmed = false;

namespace {

namespace fs = std::filesystem;

std::function<void(int16_t)>& LevelHook() {
  static std::function<void(int16_t)> hook;
  return hook;
}

// An error of our own numbers, raised as the program raises a bare number.
[[noreturn]] void RaiseNumber(int32_t number) {
  throw OrvError(number, kAppTitle, StandardErrorText(number));
}

std::string Source(std::string_view procedure) {
  return "modTarnbyDatabase:" + std::string(procedure);
}

// The Value of a PARMS row, or nullopt when there is no such row.
std::optional<Value> ParmValue(db::Database& d, const char* parm) {
  db::RecordsetPtr rs =
      d.OpenRecordset(std::string("SELECT * FROM PARMS WHERE PARM='") + parm + "'",
                      db::RecordsetType::Snapshot);
  std::optional<Value> v;
  if (!rs->IsEOF()) v = rs->Field("Value");
  rs->Close();
  return v;
}

// VERSION must exist, be a number and be at least 3.
void CheckBaseVersion(db::Database& d) {
  const std::optional<Value> v = ParmValue(d, "VERSION");
  if (!v) RaiseNumber(claimanterr::kNoVersionRow);
  if (v->IsNull()) RaiseNumber(claimanterr::kVersionNull);
  int16_t version = 0;
  try {
    version = v->AsInt16();
  } catch (const OrvError&) {
    RaiseNumber(claimanterr::kVersionNotNumeric);
  }
  if (version < kBaseVersion) RaiseNumber(claimanterr::kBaseVersionTooOld);
}

// Applies one level with its PCVERSION record in one transaction: either
// both are in the file afterwards or neither is.
void ApplyLevel(db::Database& d, const schema::Level& level) {
  d.BeginTrans();
  try {
    level.apply(d);
    const Value number(static_cast<int>(level.number));
    if (d.Execute("UPDATE PARMS SET Value = ? WHERE PARM = 'PCVERSION'", {number}) == 0) {
      d.Execute("INSERT INTO PARMS (PARM, Value) VALUES ('PCVERSION', ?)", {number});
    }
    if (LevelHook()) LevelHook()(level.number);
    d.CommitTrans();
  } catch (...) {
    try {
      d.Rollback();
    } catch (...) {
      // The failure in hand is the one to report.
    }
    throw;
  }
}

// Applies the missing levels up to `up_to`, asking `confirm` before each.
// Stops at the first level not confirmed: a later level applied over a
// skipped one would record a structure the file does not have. Returns the
// level reached.
template <typename Confirm>
int16_t RunLevels(db::Database& d, int16_t up_to, Confirm confirm) {
  if (!d.TableExists("PARMS")) RaiseNumber(claimanterr::kNoParmsTable);
  int16_t reached = StructureLevel(d);
  CheckBaseVersion(d);
  for (const schema::Level& level : schema::Levels()) {
    if (level.number > up_to) break;
    if (reached >= level.number) continue;
    if (!confirm()) break;
    ApplyLevel(d, level);
    reached = level.number;
  }
  return reached;
}

constexpr const char* kConfirmText =
    "Warning the claimant data database structure needs updating.\n"
    "If there are other users in the system using the same database the update may fail\n"
    "Please make sure you are the only user in the system before proceeding\n"
    "\n"
    "If you continue you will be prompted to backup the database - if you do not do this the "
    "program can\n"
    "not update the database structure and so will not load with the current claimant database\n"
    "\n"
    "Do you want to continue ....";

}  // namespace

void SetLevelAppliedHook(std::function<void(int16_t level)> hook) { LevelHook() = std::move(hook); }

int16_t StructureLevel(db::Database& d) {
  if (!d.TableExists("PARMS")) RaiseNumber(claimanterr::kNoParmsTable);
  const std::optional<Value> v = ParmValue(d, "PCVERSION");
  return v ? v->AsInt16() : 0;
}

bool UpdateDataBase(bool check_only, db::Database& d) {
  bool parms_missing = false;
  try {
    parms_missing = !d.TableExists("PARMS");
  } catch (...) {
    // Reported (logged, shown, cleared); the steps below then fail with the
    // database's own error.
    ProgramErrorHandler().Raise(0, Source("Checking for PARMS table"), {}, {}, 0, 3);
  }
  try {
    if (parms_missing) RaiseNumber(claimanterr::kNoParmsTable);
    const int16_t level = StructureLevel(d);
    if (check_only) return level < kLatestStructureLevel;
    return RunLevels(d, kLatestStructureLevel, ConfirmDatabaseUpdate) == kLatestStructureLevel;
  } catch (...) {
    ProgramErrorHandler().Raise(0, Source("UpdateDataBase"));
    return false;
  }
}

int16_t ApplyStructureLevels(db::Database& d, int16_t up_to) {
  return RunLevels(d, up_to, [] { return true; });
}

bool ConfirmDatabaseUpdate() {
  if (UpdateConfirmed) return true;
  const int32_t answer = MsgBox(kConfirmText, mb::kQuestion | mb::kYesNo | mb::kDefaultButton2,
                                "Claimant Data Database Update");
  UpdateConfirmed = answer == mb::kYes && BackupClaimantDatabase(Settings.Database);
  return UpdateConfirmed;
}

std::string DefaultBackupName(const std::string& path, Clock::time_point today) {
  if (db::IsServerPath(path)) {
    // A server's backup is a pg_dump archive in the current folder, named
    // after the database.
    std::string name = path.substr(path.find("//") + 2);
    name = name.substr(name.find('/') == std::string::npos ? name.size() : name.find('/') + 1);
    name = name.substr(0, name.find('?'));
    std::string safe;
    for (char c : name) safe += std::isalnum(static_cast<unsigned char>(c)) || c == '_' ? c : '_';
    return (safe.empty() ? std::string("claimants") : safe) + "Backup" + FormatYmd(today) +
           ".dump";
  }
  const std::string replacement = "Backup" + FormatYmd(today) + ".db";
  std::string out;
  const std::string lower = LowerAscii(path);
  size_t i = 0;
  for (size_t at; (at = lower.find(".db", i)) != std::string::npos; i = at + 3) {
    out += path.substr(i, at - i) + replacement;
  }
  if (i > 0) return out + path.substr(i);
  // No ".db" anywhere: the date goes before the file name's own extension,
  // so the backup is never the database's own name.
  const fs::path p(path);
  return (p.parent_path() / (p.stem().string() + "Backup" + FormatYmd(today) +
                             p.extension().string()))
      .string();
}

void CopyDatabaseConsistently(db::Database& open_database, const std::string& destination) {
  std::error_code ec;
  const fs::path target = fs::absolute(destination, ec);
  if (fs::equivalent(target, open_database.Name(), ec) || target == open_database.Name()) {
    throw OrvError(3204, "CopyDatabaseConsistently",
                   "The backup of " + open_database.Name() +
                       " cannot be the database itself; choose another name.");
  }
  try {
    // The copy never replaces a file (CopyTo renames it into place only
    // when the name is free) and keeps the database's mode and group.
    open_database.CopyTo(target.string());
  } catch (const OrvError& e) {
    if (e.Number() != 3204) throw;
    throw OrvError(3204, "CopyDatabaseConsistently",
                   "The backup file " + target.string() +
                       " exists already and was left as it is; choose another name.");
  }
}

std::vector<std::string> ForeignObjects(db::Database& database) {
  std::vector<std::string> foreign;
  const std::vector<std::string>& tables = schema::DefinedTables();
  const std::vector<std::string> triggers = ChangeHistoryTriggers(database.IsServer());
  auto in = [](const std::vector<std::string>& names, const std::string& name) {
    for (const std::string& n : names) {
      if (IEquals(n, name)) return true;
    }
    return false;
  };
  auto defined = [&](const std::string& table) {
    return in(tables, table) || (database.IsServer() && in(SharedRunTables(), table));
  };
  for (const db::SchemaObject& o : database.SchemaObjects()) {
    using Kind = db::SchemaObject::Kind;
    // The change history's triggers are the structure's own, on its tables.
    const bool known = ((o.kind == Kind::Table || o.kind == Kind::Index) && defined(o.table)) ||
                       (o.kind == Kind::Trigger && in(triggers, o.name) && defined(o.table));
    if (known) continue;
    std::string what = "the " + std::string(db::KindName(o.kind)) + " '" + o.name + "'";
    if (o.kind == Kind::Trigger || o.kind == Kind::Index) what += " on the table '" + o.table + "'";
    foreign.push_back(std::move(what));
  }
  return foreign;
}

const std::vector<std::string>& SharedRunTables() {
  static const std::vector<std::string> tables = {"BULKRUN", "BULKRUNBATCH"};
  return tables;
}

void RefreshStatistics(db::Database& database, const std::vector<std::string>& tables) {
  if (!database.IsServer()) return;
  for (const std::string& table : tables) {
    // Only what this login may vacuum: another's table would be skipped
    // with a warning on the terminal.
    const db::RecordsetPtr own = database.OpenRecordset(
        "SELECT 1 FROM pg_tables WHERE schemaname = current_schema() AND tablename = ? "
        "AND pg_has_role(tableowner, 'MEMBER')",
        db::RecordsetType::Snapshot, {Value(LowerAscii(table))});
    if (own->IsEOF()) continue;
    database.Execute("VACUUM (ANALYZE) \"" + table + "\"");
  }
}

void CreateSharedRunTables(db::Database& database) {
  if (!database.IsServer()) return;
  // Times are the server's clock in seconds, so that machines whose clocks
  // differ agree on when a lease runs out.
  constexpr const char* kDdl =
      "CREATE TABLE IF NOT EXISTS BULKRUN (RUNKEY varchar(255) NOT NULL, "
      "GENERATION integer NOT NULL, DUSTDATAVERSION varchar(50), ENGINEVERSION varchar(50), "
      "STORE smallint NOT NULL, CHANGEDONLY smallint NOT NULL, STARTED double precision NOT NULL, "
      "PRIMARY KEY (RUNKEY, GENERATION)); "
      "CREATE TABLE IF NOT EXISTS BULKRUNBATCH (RUNKEY varchar(255) NOT NULL, "
      "GENERATION integer NOT NULL, BATCHNO integer NOT NULL, FIRSTID integer NOT NULL, "
      "LASTID integer, CLAIMANTS integer NOT NULL, TAKENBY varchar(255), "
      "TAKENAT double precision, LEASEUNTIL double precision, DONEAT double precision, "
      "PRIMARY KEY (RUNKEY, GENERATION, BATCHNO))";
  bool missing = false;
  for (const std::string& t : SharedRunTables()) missing = missing || !database.TableExists(t);
  if (!missing) return;
  try {
    database.Execute(kDdl);
  } catch (const OrvError& e) {
    if (e.Number() != db::dberr::kNoDesignPermission) throw;
    throw OrvError(e.Number(), "CreateSharedRunTables",
                   "The work tables of shared bulk runs (BULKRUN, BULKRUNBATCH) are missing from " +
                       database.Name() +
                       " and this login may not create them: run tarnby-claimants upgrade on it "
                       "once with the administrator's login. " +
                       e.Description());
  }
}

db::DatabasePtr OpenClaimantDatabase(const std::string& path, db::OpenOptions options) {
  options.kind = db::DatabaseKind::Claimant;
  if (!options.check) options.check = db::OpenCheck::Structure;
  db::DatabasePtr d = db::OpenDatabase(path, options);
  std::vector<std::string> foreign;
  try {
    foreign = ForeignObjects(*d);
  } catch (...) {
    d->Close();
    throw;
  }
  if (!foreign.empty()) {
    d->Close();
    throw OrvError(db::dberr::kCannotOpen, "OpenClaimantDatabase",
                   "The database engine cannot open the file '" + d->Name() + "': it holds " +
                       foreign.front() +
                       ", which the claimant database's structure does not define and another "
                       "program must have added. Remove it, or restore the file from a backup.");
  }
  // Every change this connection makes is recorded with who made it.
  if (!options.read_only) AttributeChanges(*d, LoginName(), ProgramName());
  return d;
}

db::DatabasePtr OpenForReading(const std::string& path, db::OpenCheck check,
                               std::function<void(int64_t, int64_t)> check_progress) {
  db::OpenOptions read_only;
  read_only.read_only = true;
  read_only.check = check;
  read_only.check_progress = std::move(check_progress);
  return OpenClaimantDatabase(path, read_only);
}

void CopyDatabaseConsistently(const std::string& source, const std::string& destination) {
  db::DatabasePtr d = OpenForReading(source, db::OpenCheck::WholeFile);
  try {
    CopyDatabaseConsistently(*d, destination);
  } catch (...) {
    d->Close();
    throw;
  }
  d->Close();
}

bool BackupClaimantDatabase(const std::string& database_path) {
  std::string step;
  try {
    step = "Setting up default destination file name";
    // A name nothing has yet: a second backup of the day does not meet the first.
    const std::string destination =
        files::FirstFreeName(DefaultBackupName(database_path, Clock::now()));
    step = "Getting destination file name";
    FileDialogRequest request;
    request.kind = FileDialogRequest::Kind::kSave;
    request.title = "Backup claimant database";
    request.filters = {{"Databases (*.db)", "*.db"}};
    request.filter_index = 1;
    request.default_extension = "db";
    request.file_name = destination;
    request.initial_folder = fs::path(destination).parent_path().string();
    // Path must exist, explorer style, long names. No "replace?" question:
    // a backup never replaces a file, so a name that is taken is asked for
    // again instead, offering the first free name beside it.
    request.flags = 4 | 2048 | 524288 | 2097152;
    const std::shared_ptr<FileDialogService> dialogs = GetFileDialogService();
    if (!dialogs) throw OrvError(err::kCantCreateObject, "FileDialog", "No file dialog is available");
    FileDialogAnswer answer = dialogs->Show(request);
    std::error_code ec;
    while (answer.result == 1 && !answer.files.empty() &&
           fs::exists(fs::symlink_status(answer.files.front(), ec))) {
      const std::string taken = answer.files.front();
      request.title = "Backup claimant database: " + taken +
                      " exists already and is kept; choose another name";
      request.file_name = files::FirstFreeName(taken);
      request.initial_folder = fs::path(request.file_name).parent_path().string();
      answer = dialogs->Show(request);
    }
    bool copied = false;
    if (answer.result == 1 && !answer.files.empty()) {
      const std::string chosen = answer.files.front();
      step = "Trying to copy claimant database " + db::DisplayName(database_path) + " to " + chosen;
      CopyDatabaseConsistently(database_path, chosen);
      copied = true;
    }
    step = "Releasing file dialog";
    return copied;
  } catch (...) {
    ProgramErrorHandler().Raise(0, Source("Backing up claimant database"), "While: " + step);
    return false;
  }
}

void CreateClaimantDatabase(const std::string& path, int16_t level) {
  if (level < 0 || level > kLatestStructureLevel) {
    throw OrvError(err::kInvalidPropertyValue, "CreateClaimantDatabase",
                   "The structure level must be 0 to " + std::to_string(kLatestStructureLevel));
  }
  std::error_code ec;
  if (db::IsServerPath(path)) {
    // On a server: in the (empty) database given, the base structure in one
    // transaction, then each level in one of its own as an upgrade does.
    db::DatabasePtr d = db::CreateDatabase(path);
    d->BeginTrans();
    try {
      schema::CreateBase(*d);
      d->CommitTrans();
    } catch (...) {
      try {
        d->Rollback();
      } catch (...) {
        // The failure in hand is the one to report.
      }
      throw;
    }
    ApplyStructureLevels(*d, level);
    d->Close();
    return;
  }
  if (fs::exists(path, ec)) {
    throw OrvError(3204, "CreateClaimantDatabase", "Database already exists.");
  }
  // Made in a private folder beside the target and renamed into place only
  // when complete, and only if nothing has taken the name meanwhile.
  const std::string side = files::MakeSideFolder(fs::absolute(path, ec).string());
  const std::string temp = side + "/creating.db";
  try {
    db::DatabasePtr d = db::CreateDatabase(temp);
    d->BeginTrans();
    schema::CreateBase(*d);
    d->CommitTrans();
    ApplyStructureLevels(*d, level);
    d->Close();
    if (!files::RenameNoReplace(temp, path, ec) && !ec) {
      throw OrvError(3204, "CreateClaimantDatabase", "Database already exists.");
    }
    if (ec) {
      throw OrvError(err::kPathNotFound, "CreateClaimantDatabase",
                     "Cannot write " + path + ": " + ec.message());
    }
  } catch (...) {
    fs::remove_all(side, ec);
    throw;
  }
  fs::remove_all(side, ec);
}

}  // namespace orv::tarnby
