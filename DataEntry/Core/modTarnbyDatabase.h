// modTarnbyDatabase: the claimant database's structure. A claimant database
// records its base version (PARMS row VERSION, at least 3) and the structure
// level applied by this program (PARMS row PCVERSION, 0 when missing). The
// upgrade adds levels 1 to 21 (there is no level 13) in order; each level is
// applied in one transaction together with its PCVERSION record, so a crash
// or kill part-way leaves the file at the last complete level and the next
// run resumes at the first missing one.
#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "Database.h"
#include "Dates.h"

namespace orv::tarnby {

inline constexpr int16_t kLatestStructureLevel = 21;
inline constexpr int16_t kBaseVersion = 3;

// Error numbers the upgrade raises (without description text of their own).
namespace claimanterr {
inline constexpr int32_t kNoParmsTable = 800;
inline constexpr int32_t kBaseVersionTooOld = 801;
inline constexpr int32_t kNoVersionRow = 803;
inline constexpr int32_t kVersionNull = 804;
inline constexpr int32_t kVersionNotNumeric = 805;
}  // namespace claimanterr

// Set when the user agreed to the update and the backup was taken; cleared
// by SetupDatabase at each start, so the question is asked at most once.
extern bool UpdateConfirmed;

// With `check_only` true: whether the structure needs updating (level below
// the latest). Otherwise applies every missing level, asking ConfirmDatabaseUpdate
// before each (it asks the user only once), and answers true when the latest
// level was reached. The database should be open exclusively and read-write.
// Failures are reported through the program's error reporter (source
// "modTarnbyDatabase:UpdateDataBase") and raised.
bool UpdateDataBase(bool check_only, db::Database& database);

// Asks the user once per run whether to update (question, Yes/No, No the
// default, title "Claimant Data Database Update"); on Yes takes the backup of
// Settings.Database. True when both were done (then UpdateConfirmed is set).
bool ConfirmDatabaseUpdate();

// Asks for a destination through the save dialog (title "Backup claimant
// database", filter "Databases (*.db)|*.db", default name from
// DefaultBackupName) and writes a consistent copy of the database there.
// The dialog never offers to replace a file: a name that is taken is asked
// for again (the title says so, a free name beside it offered) until the
// user gives a free one or cancels. False when the user cancelled. Failures are raised (source
// "modTarnbyDatabase:Backing up claimant database", description "While: "
// and the step).
bool BackupClaimantDatabase(const std::string& database_path);

// The path with every ".db" (any letter case) replaced by "Backup",
// `today` as yyyymmdd and ".db": TARNBY.db -> TARNBYBackup20040527.db. A
// path without ".db" gets "Backup" and the date before its file name's
// extension: claims.sqlite -> claimsBackup20040527.sqlite.
std::string DefaultBackupName(const std::string& database_path, Clock::time_point today);

// Writes a consistent copy of the closed or shared-open database `source` to
// `destination` (replacing an existing file only once the copy is complete).
// Never a raw file copy: another program may be writing the source.
void CopyDatabaseConsistently(const std::string& source, const std::string& destination);
// The same through a connection already open (exclusively, for instance);
// not inside a transaction.
void CopyDatabaseConsistently(db::Database& open_database, const std::string& destination);

// Opens a claimant database as `options` say. A dust data database given
// in its place is refused (3051 naming the file and what it is) before its
// password is asked for; so is a database holding a trigger, view or table
// its structure does not define (see ForeignObjects), which would otherwise
// run or be read on store, import and upgrade. Unless `options.check` says
// otherwise, the open checks the file's structure at a cost that does not
// grow with the file (db::OpenCheck::Structure): the program, a single
// claimant's calculation and the bulk run's workers open a national-size
// file at once. Work that reads or rewrites the whole file anyway (the
// check, import, export, a backup, an upgrade, the bulk run itself) asks for
// OpenCheck::WholeFile.
db::DatabasePtr OpenClaimantDatabase(const std::string& path, db::OpenOptions options = {});

// The triggers, views and tables of an open claimant database that no
// structure level defines (and indexes on such tables), each as "the
// trigger 'X' on the table 'CLAIMANT'"; empty for a sound database. Asks
// the layer for the file's objects, so any engine answers it alike.
std::vector<std::string> ForeignObjects(db::Database& database);

// The work tables of bulk runs that several machines share on a server
// (BULKRUN, one row a run; BULKRUNBATCH, one row a batch of claimants with
// who holds it, until when, and when it was done). They belong to the
// claimant structure on a server but to no structure level: nothing else
// reads them, a file never has them, and a database without them is made
// whole by the first shared run or by tarnby-claimants create and upgrade.
const std::vector<std::string>& SharedRunTables();
// Creates the work tables when missing (on a server; nothing on a file).
// The administrator's login should create them, so that the operators' role
// gets its rights on them as on every table the administrator makes; a
// login that may not create tables gets 3111 saying so.
void CreateSharedRunTables(db::Database& database);

// After many rows were written at once (a copy, an import): on a server,
// vacuums and analyses `tables`, so that the server plans the claimant
// screens' ordered queries from statistics of the rows as they now are and
// reads their keys from the indexes alone; until its own autovacuum came
// by, it would sort the whole table instead. Tables this login does not own
// are left to the server. Nothing on a file. Not inside a transaction.
void RefreshStatistics(db::Database& database, const std::vector<std::string>& tables);

// Opens a claimant database read-only (shared), checked as `check` says
// (`check_progress` as in db::OpenOptions). A change a killed program left
// unfinished is undone by the database layer before it reads.
db::DatabasePtr OpenForReading(const std::string& path,
                               db::OpenCheck check = db::OpenCheck::Structure,
                               std::function<void(int64_t, int64_t)> check_progress = {});

// The structure level (PCVERSION, 0 when missing). Raises 800 without PARMS.
int16_t StructureLevel(db::Database& database);

// Creates a new claimant database at `path` (which must not exist): the base
// tables PARMS (VERSION 3), CLAIMANT, WORKHISTORY, SMOKEHISTORY and the five
// queries qdclaimant, qdWork, qdJob, qdSmoke, qdSmokeEntry, then applies the
// structure levels up to `level` (0 to 21) through the same code as
// UpdateDataBase. Built under a temporary name and renamed when complete.
void CreateClaimantDatabase(const std::string& path, int16_t level = kLatestStructureLevel);

// Applies the missing levels up to `up_to` without asking anybody (the
// caller has taken any backup). Returns the level reached.
int16_t ApplyStructureLevels(db::Database& database, int16_t up_to = kLatestStructureLevel);

// For tests: called inside each level's transaction, after its changes and
// its PCVERSION record and before the commit, with the level number. A hook
// that throws makes that level roll back. Empty by default.
void SetLevelAppliedHook(std::function<void(int16_t level)> hook);

}  // namespace orv::tarnby
