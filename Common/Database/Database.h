// Database access over SQLite: open a database file shared or exclusive,
// read-only or read-write, with a password; stored query definitions looked
// up by name with named, typed parameters (their SQL text is held in the
// database's own StoredQueries table); snapshot and updatable recordsets
// re-run with new parameter values on the same prepared statement;
// statements that fail on any error; structure changes; compaction.
//
// Every failure is raised as OrvError. The numbers callers test for:
// 3265 (no item of that name: a missing table, field or index),
// 3078 (table or query not found), 3021 (no current record), 3022
// (duplicate value in a unique index), 3031 (not a valid password),
// 3024 (file not found), 3051 (cannot open the file: in use, damaged, not
// a database of ours), 3027 (database or recordset is read-only), 3044
// (path not valid), 3197 (the row was changed by another user between Edit
// and Update), 3218 (another user's lock outlasted the wait), 3163 (text
// longer than its field), 3349 (number outside its field's type), 3049
// (the file was found damaged while in use), 3033 (a stored query tried to
// attach a file, change a setting or call a function with side effects, or
// to write on a read-only database or from a recordset), 3035 (a stored
// query went over the budget every query from a file runs under, see
// QueryBudget), 3129 (a stored query that does not compile, naming the
// query and the file); every other SQLite failure is 3000 with SQLite's message.
//
// Values are always bound, never pasted into SQL text.
#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "Value.h"

namespace orv {
class OrvError;
}

namespace orv::db {

namespace dberr {
inline constexpr int32_t kGeneric = 3000;
inline constexpr int32_t kNoCurrentRecord = 3021;
inline constexpr int32_t kDuplicateKey = 3022;
inline constexpr int32_t kFileNotFound = 3024;
inline constexpr int32_t kReadOnly = 3027;
inline constexpr int32_t kBadPassword = 3031;
inline constexpr int32_t kPathNotValid = 3044;
inline constexpr int32_t kCannotOpen = 3051;
inline constexpr int32_t kNoPermission = 3033;
inline constexpr int32_t kQueryBudget = 3035;
inline constexpr int32_t kBrokenQuery = 3129;
inline constexpr int32_t kDamaged = 3049;
inline constexpr int32_t kFieldTooSmall = 3163;
inline constexpr int32_t kRecordDeleted = 3167;
inline constexpr int32_t kDataChanged = 3197;
inline constexpr int32_t kCurrentlyLocked = 3218;
inline constexpr int32_t kNumericOverflow = 3349;
inline constexpr int32_t kTableOrQueryNotFound = 3078;
inline constexpr int32_t kItemNotFound = 3265;
// The connection to a database server was lost (a restarted server, a
// broken network): what was being saved was not saved.
inline constexpr int32_t kConnectionLost = 3151;
// The server refused the login's permission for a statement (an operator's
// login trying a change of structure).
inline constexpr int32_t kNoDesignPermission = 3111;
}  // namespace dberr

// Field types as the system names them. Stored as SQLite column types
// (Long/Integer/YesNo INTEGER, Single/Double/Currency REAL, Text/Memo TEXT,
// DateTime TEXT in ISO-8601), with the declared type name kept so that the
// layer converts values on reading ("SINGLE" columns read back as singles).
enum class FieldType { Long, Integer, Single, Double, Currency, YesNo, DateTime, Text, Memo };

struct FieldDef {
  std::string name;
  FieldType type = FieldType::Text;
  int32_t size = 0;       // text size; 0 for the type's default (255)
  bool required = false;  // NOT NULL
  bool allow_zero_length = true;
  Value default_value;          // null: none
  bool auto_increment = false;  // Long counter primary key
  // CreateField only: 0-based position among the table's fields at which the
  // new field is put (the fields from there on move one place on); -1 (the
  // default) or a position past the last field appends it.
  int32_t ordinal = -1;
};

// A field by its commonest settings; the others keep their defaults.
inline FieldDef MakeField(std::string name, FieldType type, int32_t size = 0,
                          bool required = false) {
  FieldDef f;
  f.name = std::move(name);
  f.type = type;
  f.size = size;
  f.required = required;
  return f;
}

struct IndexDef {
  std::string name;
  std::vector<std::string> fields;
  bool primary = false;
  bool unique = false;
  bool ignore_nulls = false;
};

enum class RecordsetType {
  Snapshot,  // read-only, static: the rows as they were when opened or re-run
  Dynaset,   // updatable: one base table (or a single-table SELECT)
};

// A named object a database file holds besides its rows.
struct SchemaObject {
  enum class Kind { Table, View, Trigger, Index };
  Kind kind;
  std::string name;
  std::string table;  // the table a trigger or index belongs to
};

// "table", "view", "trigger", "index".
std::string_view KindName(SchemaObject::Kind kind);

class Database;
class QueryDef;
class Recordset;
using DatabasePtr = std::shared_ptr<Database>;
using QueryDefPtr = std::shared_ptr<QueryDef>;
using RecordsetPtr = std::unique_ptr<Recordset>;

// What one run of a stored query (the SQL held in a file, which another
// program may have written) may spend before it is stopped with 3035 naming
// the query: virtual machine steps (SQLite's progress handler), memory the
// engine takes while it runs plus the bytes of the rows it returns, and the
// size of any one value. A run is one execution of an action query, or the
// opening or re-running of a recordset. The defaults are far beyond what any
// query of this system needs on the largest files it serves, and end a
// query that would never finish, or fill memory, within seconds.
//
// On a server the steps are the server's own and not counted: a run may take
// `server_ms` before it is cancelled, and the rows it returns and any one
// value are held to the same sizes once they have arrived.
struct QueryBudget {
  int64_t steps = 50'000'000;
  int64_t memory_bytes = 256LL << 20;
  int32_t value_bytes = 16 << 20;
  int32_t server_ms = 10'000;
};

// The two kinds of database this system keeps, told apart by a table only
// that kind has: a claimant database holds CLAIMANT, a dust data database
// DUSTMATRIX (both have a PARMS table, of different columns).
enum class DatabaseKind { Any, DustData, Claimant };

// "a dust data database", "a claimant database"; empty for Any.
std::string_view KindName(DatabaseKind kind);

// The check an open makes before the file is used.
//  - WholeFile: SQLite's quick integrity check, which reads every page, so
//    its cost grows with the file (about 4 ms a MB).
//  - Structure: a cost that does not grow with the file: the page count the
//    header records against the file's size (a file cut short) and the
//    quick check of the schema and of the layer's own tables. Damage inside
//    a page of the user's tables is found when that page is read (3049).
//    A file whose header does not record a current page count (written by
//    an old program, or in WAL mode) has its whole file checked instead.
// Both refuse with the same 3051 descriptions.
enum class OpenCheck { WholeFile, Structure };

struct OpenOptions {
  // Every connection holds a lock on the file for as long as it is open:
  // exclusive, no other connection may open the file; shared, no exclusive
  // open may. A refused open fails at once with 3051.
  bool exclusive = false;
  bool read_only = false;
  std::string connect;  // ";pwd=" followed by the password, or empty
  // How long a statement waits for another connection's lock before failing
  // (3218 "currently locked").
  int busy_timeout_ms = 5000;
  // The kind the caller expects. A file of the other kind is refused with
  // 3051 naming the file and what it is, before its password is checked.
  // A database of neither kind is left to the caller (it may be new).
  DatabaseKind kind = DatabaseKind::Any;
  // The budget of every stored query run on this connection.
  QueryBudget query_budget;
  // What is checked before the file is used; unset: the whole file.
  std::optional<OpenCheck> check;
  // Tables this connection only appends to and never reads: the whole-file
  // check leaves their rows unchecked against their CHECK constraints
  // (declared sizes and ranges), by far its costliest part on a large
  // table. Their pages, b-trees, indexes and NOT NULL columns are checked
  // as every other table's are, and what is written to them later is
  // checked as it is written.
  std::vector<std::string> append_only_tables;
  // Told, now and then while the whole file is checked, how far it has
  // come: pages read of the reads it is expected to make (an estimate; the
  // last call says done, `total` of `total`), so that a long check can show
  // its progress. Never called on a server.
  std::function<void(int64_t done, int64_t total)> check_progress;
};

// Opens an existing database file. Missing file: 3024; wrong password: 3031;
// not a database of ours, damaged, of the other kind than options.kind, or
// refused by another connection's lock: 3051 naming the file. SQLite's defensive settings are on
// and the file is checked before it is used (OpenOptions::check).
//
// `path` may instead be a PostgreSQL connection URI (postgresql://host/db?...,
// as libpq reads it, host=/socket/folder included): the database on that
// server, which must hold this layer's tables (else 3051). The password comes
// from libpq's own sources (password file, service file, environment); a URI
// holding one is refused. A server that cannot be reached or refuses the
// login is 3051 naming the server and database; exclusive and shared opens
// are kept apart by an advisory lock held for the connection's life.
DatabasePtr OpenDatabase(const std::string& path, const OpenOptions& options = {});

// True when `path` names a database on a server (a postgresql:// URI).
bool IsServerPath(std::string_view path);

// How messages name the database at `path`: a file's path as it is; on a
// server, the database and the server ("the database 'claims' on the server
// 'db.office:5432'"), never a password the URI holds. A URI that does not
// parse is "the connection URI given".
std::string DisplayName(std::string_view path);

// True when a server URI holds a password. The layer refuses such a URI
// (the password comes from the password file, the service file or the
// environment), and a program never keeps or shows one.
bool HoldsPassword(std::string_view path);

// `path` with any password taken out of a server URI (the user's
// "user:password@" and a password= parameter); a file's path as it is.
std::string WithoutPassword(std::string_view path);

// True when `e` is the 3051 of an open refused because another connection
// or program has the file (also as the engine passes it on, above its
// component base, or with words put before it): a matter of the moment,
// unlike the 3051 of a file that is damaged, foreign or of the other kind.
bool IsRefusedForUse(const OrvError& e);

// Creates a new, empty database file (fails if it exists) with the password
// of `connect` (";pwd=...", or empty for none), open read-write.
// On a server (a URI), the database must exist and be empty of this layer's
// tables (3204 otherwise); they are made in it. The password gate of
// `connect` is the file's only: a server keeps its own logins.
DatabasePtr CreateDatabase(const std::string& path, const std::string& connect = {});

// Compacts the closed database `source` (opened with `source_connect`) into
// the new file `destination`, which must not exist; the copy keeps the
// password. The source is opened exclusively for the copy, so compaction is
// refused (3051) while any other connection has it open.
void CompactDatabase(const std::string& source, const std::string& destination,
                     const std::string& source_connect = {});

// Replaces the closed database `path` by a compacted copy of itself. The copy
// is written to `temp` (a new name in the same folder), given the file's mode
// and group, flushed to disk and renamed over the file in one step, so that a
// program stopped at any moment leaves either the old file or the new one. A
// failure before the rename removes the copy and leaves the file as it was;
// 3051 while another connection has the file open, 75 when the file system
// refuses a step.
void CompactInPlace(const std::string& path, const std::string& temp,
                    const std::string& connect = {});

// The steps of CompactInPlace, each reported to a test's hook once done (a
// test stops the program there to see what is left); no hook by default.
enum class CompactStep { kCopied, kModeKept, kFlushed, kRenamed, kFolderFlushed };
using CompactStepHook = void (*)(CompactStep);
void SetCompactStepHook(CompactStepHook hook);

class Database : public std::enable_shared_from_this<Database> {
 public:
  virtual ~Database() = default;

  // The full (absolute) file name; on a server, the URI it was opened with
  // (which holds no password).
  virtual const std::string& Name() const = 0;
  // True for a database on a PostgreSQL server (whose SQL dialect differs
  // from the file's in places: ILIKE for a LIKE that ignores case, no PRAGMA).
  virtual bool IsServer() const { return false; }
  virtual bool ReadOnly() const = 0;
  virtual void Close() = 0;
  virtual bool IsOpen() const = 0;

  // --- stored queries -----------------------------------------------------
  // The stored query of that name (ignoring case); 3078 when there is none.
  virtual QueryDefPtr QueryDefs(std::string_view name) = 0;
  virtual bool QueryExists(std::string_view name) = 0;
  // Stores a query. `parameters` declares its named parameters with types,
  // "WhatCollieryID Long; WhatYear Integer"; in `sql` they are written as
  // :WhatCollieryID. Replaces a query of the same name.
  virtual QueryDefPtr CreateQueryDef(std::string_view name, std::string_view sql,
                                     std::string_view parameters = {}) = 0;
  virtual void DeleteQueryDef(std::string_view name) = 0;
  virtual std::vector<std::string> QueryNames() = 0;

  // --- statements ---------------------------------------------------------
  // Runs an SQL statement (several separated by ";" allowed when no values
  // are given) with positional values bound to "?" in order. Any error fails.
  // Returns the number of rows changed.
  virtual int64_t Execute(std::string_view sql, const std::vector<Value>& values = {}) = 0;
  // Opens a recordset on a table name or an SQL SELECT with bound values.
  virtual RecordsetPtr OpenRecordset(std::string_view table_or_sql,
                                     RecordsetType type = RecordsetType::Dynaset,
                                     const std::vector<Value>& values = {}) = 0;

  // Transactions (nested calls are not supported). On a read-write database
  // the transaction starts as a writer, waiting (up to the busy timeout) for
  // any other writer to finish, so two writers never fail each other midway.
  virtual void BeginTrans() = 0;
  // With `will_write` false, a read transaction: one consistent picture of
  // the data, without keeping other writers waiting (a write inside it may
  // then fail with 3218 if another writer got there first).
  virtual void BeginTrans(bool will_write) = 0;
  virtual void CommitTrans() = 0;
  virtual void Rollback() = 0;

  // --- structure ----------------------------------------------------------
  virtual bool TableExists(std::string_view table) = 0;
  virtual std::vector<std::string> TableNames() = 0;
  // Every table, view, trigger and index the file holds, in name order,
  // except the layer's own tables and the engine's internal objects: what
  // a caller compares with the structure it defines, so that an object
  // another program added (a trigger that would run on every save) is
  // found before the database is used.
  virtual std::vector<SchemaObject> SchemaObjects() = 0;
  // Fields of a table in their order; 3265 for a missing table.
  virtual std::vector<FieldDef> Fields(std::string_view table) = 0;
  virtual std::vector<IndexDef> Indexes(std::string_view table) = 0;
  virtual void CreateTable(std::string_view table, const std::vector<FieldDef>& fields) = 0;
  virtual void CreateField(std::string_view table, const FieldDef& field) = 0;
  virtual void CreateIndex(std::string_view table, const IndexDef& index) = 0;
  // Rename and delete keep the other fields' order and data (rebuilding the
  // table where SQLite needs it). 3265 for a missing table or field.
  virtual void RenameField(std::string_view table, std::string_view from, std::string_view to) = 0;
  virtual void DeleteField(std::string_view table, std::string_view field) = 0;
  virtual void DropTable(std::string_view table) = 0;

  // --- copies -------------------------------------------------------------
  // Writes a consistent, compacted copy of the open database to the new file
  // `destination` (3204 if it exists), as of one moment: other connections'
  // writes wait meanwhile or are not part of it. The copy keeps the password.
  virtual void CopyTo(const std::string& destination) = 0;
};

class QueryDef {
 public:
  virtual ~QueryDef() = default;
  virtual const std::string& Name() const = 0;
  virtual const std::string& SQL() const = 0;
  // Parameter names in declaration order.
  virtual std::vector<std::string> ParameterNames() const = 0;
  // Sets a parameter (ignoring case), converted to its declared type;
  // 3265 for a name the query does not declare.
  virtual void SetParameter(std::string_view name, const Value& value) = 0;
  virtual Value Parameter(std::string_view name) const = 0;
  // Opens a recordset on the query with the present parameter values.
  virtual RecordsetPtr OpenRecordset(RecordsetType type = RecordsetType::Snapshot) = 0;
  // Runs an action query with the present parameter values; any error fails.
  // Returns the number of rows changed.
  virtual int64_t Execute() = 0;
};

class Recordset {
 public:
  virtual ~Recordset() = default;

  virtual bool IsEOF() const = 0;
  virtual bool IsBOF() const = 0;
  virtual void MoveFirst() = 0;
  virtual void MoveNext() = 0;  // 3021 when already at end of data
  virtual void MovePrevious() = 0;
  virtual void MoveLast() = 0;
  // Rows in the set (exact at once for both kinds).
  virtual int32_t RecordCount() const = 0;
  // 0-based position of the current row, -1 when there is none.
  virtual int32_t AbsolutePosition() const = 0;

  // Field value of the current row by name (ignoring case) or 0-based
  // position; 3265 for an unknown field, 3021 with no current row.
  virtual Value Field(std::string_view name) const = 0;
  virtual Value Field(int index) const = 0;
  virtual int FieldCount() const = 0;
  virtual std::string FieldName(int index) const = 0;

  // Moves to the first row whose field `field` equals `value` (converted to
  // the field's type) and returns true; false, staying where it was, when
  // no row has it. On a server a keyset found by its key reads no other
  // row.
  virtual bool FindFirst(std::string_view field, const Value& value) = 0;

  // Bookmarks identify a row of the set until the next Requery.
  using Bookmark = int64_t;
  virtual Bookmark GetBookmark() const = 0;  // 3021 with no current row
  virtual void SetBookmark(Bookmark b) = 0;
  virtual Bookmark LastModified() const = 0;  // the row last added or updated

  // Re-runs the same prepared statement: with `def`, taking its present
  // parameter values. Positions the set at its first row.
  virtual void Requery(QueryDef* def = nullptr) = 0;
  // Re-runs a recordset opened on the caller's SQL with new values for its
  // "?" marks, on the same prepared statement and column descriptions: how
  // one row after another is read by its key without preparing the SQL and
  // working out its columns each time. Positions the set at its first row.
  // 3251 for a recordset on a table or a stored query; 3000 when the number
  // of values is not the number of marks.
  virtual void RequeryWith(const std::vector<Value>& values) = 0;

  // --- updates (dynaset only; a snapshot fails with 3027) -----------------
  virtual void AddNew() = 0;
  // Starts an edit of the current row, re-reading it. Editing is optimistic:
  // Update fails with 3197 (and the edit is cancelled, the row showing the
  // other user's values) when another connection or recordset changed the
  // row in the meantime, and with 3167 when it deleted it.
  virtual void Edit() = 0;
  // Sets a field of the row being added or edited, converted to the field's
  // type: 3163 for a text longer than the field's size, 3349 for a number
  // outside the field's type (40000 in an Integer), 13 for text that is not a
  // number.
  virtual void SetField(std::string_view name, const Value& value) = 0;
  virtual void Update() = 0;
  virtual void CancelUpdate() = 0;
  virtual void Delete() = 0;  // the current row; the set stays on no row until moved

  // --- seek on an index (dynaset on a table) ------------------------------
  // Chooses the index ("PrimaryKey" for the primary key); 3265 if missing.
  virtual void SetIndex(std::string_view index) = 0;
  // Finds the first row whose index fields compare with `op` ("=", ">=",
  // ">", "<=", "<") to the values; NoMatch() tells whether one was found.
  virtual void Seek(std::string_view op, const std::vector<Value>& values) = 0;
  virtual bool NoMatch() const = 0;

  virtual void Close() = 0;
};

}  // namespace orv::db
