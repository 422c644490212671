// The change history of a claimant database (structure level 21): every
// insert, update and delete of a CLAIMANT, WORKHISTORY, SMOKEHISTORY or
// USERFACTOR row, one record per changed field with its old and new value,
// written by triggers of the file itself in the same statement (and so the
// same transaction) as the change, whoever makes it.
//
// Who made it: this system's programs name the login user and the program
// on every connection they open for writing (AttributeChanges); a record
// another program's write leaves has USERNAME and PROGRAM empty. The
// records are never updated or deleted, except that the naming fills those
// two fields of a record just written; the file's triggers refuse anything
// else.
#pragma once

#include <cstdint>
#include <functional>
#include <optional>
#include <ostream>
#include <string>
#include <vector>

#include "Database.h"
#include "ProgressFn.h"

namespace orv::tarnby {

inline constexpr const char* kChangeHistoryTable = "CHANGEHISTORY";

// The tables whose changes are recorded.
const std::vector<std::string>& TrackedTables();

// Creates CHANGEHISTORY and its triggers (level 21). The tracked tables must exist.
void CreateChangeHistory(db::Database& database);

// The names of the triggers the structure defines, for the checks that
// refuse any other; a server's include the one that refuses emptying the
// history's table at once (TRUNCATE), which a file has no way to do.
std::vector<std::string> ChangeHistoryTriggers(bool server = false);

// Removes the change history's triggers, so that rows written meanwhile
// leave no record and the records can be replaced (a copy that brings its
// source's records along), and puts them back; this connection no longer
// names user and program in records (AttributeChanges) after the first. Within one transaction, so that no other change goes unrecorded.
void SuspendChangeRecording(db::Database& database);
void ResumeChangeRecording(db::Database& database);

// The login name of the user running this program ("" when unknown).
std::string LoginName();

// The name this program was started under ("tarnby-calc").
std::string ProgramName();

// Names `user` and `program` in every record this connection's changes
// leave (a trigger of the connection's own, gone when it closes). Nothing
// for a database without a change history or opened read-only.
void AttributeChanges(db::Database& database, const std::string& user, const std::string& program);

// One record as read back (an empty USERNAME or PROGRAM reads as "").
struct ChangeRecord {
  std::string time;  // UTC, "2026-12-07 14:05:33.120"
  std::string user;
  std::string program;
  std::string table;
  int64_t row = 0;
  std::optional<int64_t> claimant;
  std::string action;  // "insert", "update" or "delete"
  std::string field;
  std::optional<std::string> old_value;
  std::optional<std::string> new_value;
};

// The records, oldest first (newest first when asked); of one claimant, and
// from a day ("YYYY-MM-DD") on, when given. None without a change history.
std::vector<ChangeRecord> ReadChanges(db::Database& database, std::optional<int32_t> claimant,
                                      const std::optional<std::string>& since,
                                      bool newest_first = false);

// The records as ReadChanges gives them oldest first, handed to `each` one
// by one while no more than a page of them is held; in a read transaction
// of its own (not inside one of the caller's). `progress`, when given, is
// told after each page how far through the history's record numbers it has
// read (the step "Reading the change history").
void ForEachChange(db::Database& database, std::optional<int32_t> claimant,
                   const std::optional<std::string>& since,
                   const std::function<void(const ChangeRecord&)>& each,
                   const ProgressFn& progress = {});

// The history as CSV (TIME, USER, PROGRAM, TABLE, ROWID, CLAIMANTID, ACTION,
// FIELD, OLD, NEW), oldest first; of one claimant, and from a day on, when given.
void WriteHistoryCsv(db::Database& database, std::ostream& out, std::optional<int32_t> claimant,
                     const std::optional<std::string>& since, const ProgressFn& progress = {});

// A record whose old value is not the value the previous record of that
// row and field left, and a row whose current value is not its last recorded
// one: what a history altered by another program looks like. `progress`,
// when given, is told each of its statements done (one over the whole
// history, then one per tracked table).
std::vector<std::string> CheckChangeHistory(db::Database& database,
                                            const ProgressFn& progress = {});

}  // namespace orv::tarnby
