// Private pieces of the SQLite access layer shared by its implementation
// files: the connection with its statement registry and pool of idle
// prepared statements, error raising, identifier quoting, and the
// conversion of values to and from the declared field types.
#pragma once

#include <sqlite3.h>

#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "Database.h"

namespace orv::db::detail {

// Further numbers this layer raises besides those of the public header.
inline constexpr int32_t kUpdateWithoutEdit = 3020;
inline constexpr int32_t kNoTransaction = 3034;
inline constexpr int32_t kRecordDeleted = dberr::kRecordDeleted;
inline constexpr int32_t kDatabaseExists = 3204;
inline constexpr int32_t kNotSupported = 3251;
inline constexpr int32_t kFieldInIndex = 3280;
inline constexpr int32_t kPrimaryKeyExists = 3283;
inline constexpr int32_t kObjectInvalid = 3420;

// Marks our files: PRAGMA application_id of every database we create.
inline constexpr int32_t kApplicationId = 0x4F525644;  // "ORVD"
// The tables the layer keeps for itself.
inline constexpr const char* kInfoTable = "OrvDatabaseInfo";
inline constexpr const char* kQueryTable = "StoredQueries";

[[noreturn]] void Raise(int32_t number, std::string_view source, std::string description);
// 3265 "Item not found in this collection."
[[noreturn]] void RaiseItemNotFound(std::string_view source);
// 3078 naming the table or query.
[[noreturn]] void RaiseTableOrQueryNotFound(std::string_view source, std::string_view name);
// Maps an SQLite failure to our numbers: unique constraints 3022, read-only
// 3027, "no such table" 3078, busy or locked 3218, a damaged file 3049, the
// size and range checks of declared fields 3163 and 3349, everything else
// 3000 with SQLite's message.
[[noreturn]] void RaiseSqlite(sqlite3* handle, int rc, std::string_view source);

// `name` as a double-quoted SQL identifier; fails with 3000 for an empty
// name or one holding a NUL character.
std::string QuoteIdent(std::string_view name);
// `text` as a single-quoted SQL literal (only for DDL defaults, which SQLite
// cannot bind).
std::string QuoteLiteral(std::string_view text);

// The names of the CHECK constraints that keep a field's declared size and
// range (see ColumnDefinition), by which their failures are recognised.
inline constexpr const char* kSizeCheck = "orv$size";
inline constexpr const char* kRangeCheck = "orv$range";
// 3197: the row edited was changed by another user before Update.
[[noreturn]] void RaiseDataChanged(std::string_view source);
[[noreturn]] void RaiseFieldTooSmall(std::string_view source, std::string_view field);
[[noreturn]] void RaiseNumericOverflow(std::string_view source, std::string_view field);

// A lock held on a database file for the life of a connection (flock on a
// descriptor of its own): shared or exclusive. Acquiring fails at once when
// another connection, in this process or another, holds a conflicting one.
class FileLock {
 public:
  FileLock() = default;
  ~FileLock() { Release(); }
  FileLock(FileLock&& o) noexcept : fd_(o.fd_), key_(o.key_) { o.fd_ = -1; }
  FileLock& operator=(FileLock&& o) noexcept;
  FileLock(const FileLock&) = delete;
  FileLock& operator=(const FileLock&) = delete;

  // False when another connection's lock conflicts (*why empty) or the file
  // cannot be opened (*why says why). Where the file system has no flock
  // the connection goes on unlocked, relying on SQLite's locks alone.
  bool Acquire(const std::string& path, bool exclusive, std::string* why);
  void Release();
  bool Held() const { return fd_ >= 0; }

 private:
  int fd_ = -1;
  std::pair<uint64_t, uint64_t> key_{0, 0};  // device and inode
};

class Statement;

// One open SQLite connection, shared by the database object and every query
// definition and recordset made from it, so that it stays valid while any of
// them lives. Close() finalizes every statement still prepared on it.
class Connection {
 public:
  Connection(sqlite3* handle, std::string path, bool read_only, FileLock lock = {},
             QueryBudget budget = {});
  ~Connection();
  Connection(const Connection&) = delete;
  Connection& operator=(const Connection&) = delete;

  // The handle; fails with 3420 once the connection is closed.
  sqlite3* Handle(std::string_view source) const;
  bool IsOpen() const { return handle_ != nullptr; }
  const std::string& Path() const { return path_; }
  bool ReadOnly() const { return read_only_; }
  void Close();

  // Prepared statements of a given SQL text: taken from the idle pool when
  // one is there, else prepared; returned by Statement on destruction.
  // `checked` tells whether the statement passed the stored-query guard.
  // `fresh` skips the pool (a pooled statement describes its columns as
  // they were before a change of structure until it is next stepped).
  sqlite3_stmt* Acquire(const std::string& sql, std::string_view source, bool* checked = nullptr,
                        bool fresh = false);
  void Release(std::string&& sql, sqlite3_stmt* stmt, bool checked);
  void Register(Statement* s) { live_.push_back(s); }
  void Unregister(Statement* s);

  bool in_transaction = false;

  // While set (a stored query's SQL being prepared), the authorizer refuses
  // ATTACH/DETACH, settings, structure changes, transaction statements and
  // functions with side effects; on a read-only connection writes too.
  void Guard(std::string query) { guarded_query_ = std::move(query); }
  void Unguard() { guarded_query_.clear(); }
  bool Guarded() const { return !guarded_query_.empty(); }
  const std::string& GuardedQuery() const { return guarded_query_; }

  // One sqlite3_step of a stored query's statement under the budget, with
  // `spent` the steps its run has taken so far (the caller's count, reset
  // when a run starts). Returns SQLite's result; a run stopped by the
  // budget raises 3035 naming the query.
  int StepWithinBudget(sqlite3_stmt* stmt, const std::string& query, int64_t& spent);
  // Adds `bytes` to the run's returned bytes (`taken`); 3035 beyond the budget.
  void ChargeRows(const std::string& query, int64_t& taken, int64_t bytes) const;
  const QueryBudget& Budget() const { return budget_; }
  // What the statement prepared last under the guard would write ("write to
  // the table 'X'"); empty when it writes nothing or came from the pool.
  const std::string& Writes() const { return writes_; }
  // The 3033 description of a stored query refused for `what` it would do,
  // ending with the rule it broke (by default the connection's own).
  std::string RefusalText(std::string_view query, std::string_view what,
                          std::string_view rule = {}) const;

 private:
  static int Authorize(void* self, int action, const char* a, const char* b, const char* db,
                       const char* trigger);
  static int Progress(void* self);
  [[noreturn]] void RaiseOverBudget(const std::string& query, const std::string& what) const;

  sqlite3* handle_;
  std::string path_;
  bool read_only_;
  FileLock lock_;
  std::string guarded_query_;
  std::string refused_;  // what the authorizer refused last, for the message
  std::string writes_;   // what the last guarded statement would write
  QueryBudget budget_;
  int64_t* budget_steps_ = nullptr;  // the run now stepping under the budget
  struct Idle {
    std::string sql;
    sqlite3_stmt* stmt;
    bool checked;
  };
  // Vectors rather than node containers: a statement's use allocates nothing
  // once they have grown.
  std::vector<Statement*> live_;
  std::vector<Idle> idle_;  // most recent last
};

// Guards a connection while a stored query's SQL is prepared.
class QueryGuard {
 public:
  QueryGuard(Connection& conn, const std::string& query) : conn_(conn) {
    if (!query.empty()) conn.Guard(query);
  }
  ~QueryGuard() { conn_.Unguard(); }
  QueryGuard(const QueryGuard&) = delete;
  QueryGuard& operator=(const QueryGuard&) = delete;

 private:
  Connection& conn_;
};
using ConnectionPtr = std::shared_ptr<Connection>;

// Owns one prepared statement of a connection for as long as it lives.
class Statement {
 public:
  Statement() = default;
  Statement(ConnectionPtr conn, std::string sql, std::string_view source, bool fresh = false);
  ~Statement() { Reset(); }
  Statement(Statement&& o) noexcept;
  Statement& operator=(Statement&& o) noexcept;
  Statement(const Statement&) = delete;
  Statement& operator=(const Statement&) = delete;

  // The statement; fails with 3420 when the connection has been closed.
  sqlite3_stmt* Get(std::string_view source) const;
  bool Valid() const { return stmt_ != nullptr; }
  sqlite3_stmt* Raw() const { return stmt_; }
  const std::string& Sql() const { return sql_; }
  const ConnectionPtr& Conn() const { return conn_; }
  // The stored query the statement's SQL came from, empty for the layer's
  // own SQL: a stored query's runs go under the connection's budget.
  const std::string& Query() const { return query_; }
  // Counts the bytes of a row a stored query returned against its budget.
  void ChargeRow(int64_t bytes);
  // Gives the statement back to the connection's pool.
  void Reset();
  // Called by the connection when it closes under a live statement.
  void Orphan() { stmt_ = nullptr; }

  // Steps once: true with a row, false when done; failures raise.
  bool Step(std::string_view source);
  // Resets so the next Step starts again (keeps the bindings).
  void Rewind();

 private:
  ConnectionPtr conn_;
  sqlite3_stmt* stmt_ = nullptr;
  std::string sql_;
  bool checked_ = false;
  std::string query_;
  int64_t spent_ = 0;  // steps of the present run
  int64_t taken_ = 0;  // bytes of rows returned in the present run
};

// Runs one SQL statement with positional values; returns rows changed.
int64_t RunOnce(const ConnectionPtr& conn, const std::string& sql, const std::vector<Value>& values,
                std::string_view source);

// --- types -----------------------------------------------------------------
// The declared (SQLite column) type name of a field definition.
std::string DeclaredType(const FieldDef& f);
// The field type a declared type names, with its text size; nullopt for a
// declaration the layer does not know (values then read as SQLite gives).
std::optional<FieldType> TypeFromDeclared(std::string_view decl, int32_t* size = nullptr);
// A parameter type name ("Long", "Text", "DateTime" ...); nullopt for
// "Value" (no conversion). Fails with 3000 for a name it does not know.
std::optional<FieldType> TypeFromParameterName(std::string_view name);
// Converts a value to a field type as it is stored (null stays null).
Value ConvertTo(FieldType type, const Value& v);
// Reads column `col` of the current row, converted to `type` when known.
Value ReadColumn(sqlite3_stmt* stmt, int col, const std::optional<FieldType>& type);
// Binds a value; text is copied by SQLite.
void BindValue(sqlite3_stmt* stmt, int slot, const Value& v);
// Binds without copying text: only for values that outlive the statement's
// next steps (the recordsets' own parameter copies, RunOnce's arguments).
void BindValueNoCopy(sqlite3_stmt* stmt, int slot, const Value& v);

// --- passwords ---------------------------------------------------------------
// The password of a connect text (";pwd=secret"); empty when none is given.
std::string PasswordOf(std::string_view connect);
// Salted hash as stored in the info table: "salt:hash" in hex, or empty
// for an empty password.
std::string HashPassword(std::string_view password);
bool PasswordMatches(std::string_view stored, std::string_view password);

// --- parameters ---------------------------------------------------------------
struct Parameter {
  std::string name;
  std::optional<FieldType> type;  // nullopt: value kept as given
  Value value;
};
// What the two engines' stored queries share: the name, the SQL and the
// declared parameters with their present values.
class StoredQueryDef : public QueryDef {
 public:
  StoredQueryDef(std::string name, std::string sql, std::vector<detail::Parameter> params)
      : name_(std::move(name)), sql_(std::move(sql)), params_(std::move(params)) {}

  const std::string& Name() const override { return name_; }
  const std::string& SQL() const override { return sql_; }
  std::vector<std::string> ParameterNames() const override;
  void SetParameter(std::string_view name, const Value& value) override;
  Value Parameter(std::string_view name) const override;

  const std::vector<detail::Parameter>& Params() const { return params_; }

 protected:
  // By name ignoring case, with or without a leading ":" or "@"; 3265 when
  // the query has no such parameter.
  detail::Parameter& Find(std::string_view name);

  std::string name_;
  std::string sql_;
  std::vector<detail::Parameter> params_;
};

// Parses "WhatCollieryID Long; WhatYear Integer" (";" or "," between them).
std::vector<Parameter> ParseParameters(std::string_view decl);
// Binds parameters to the named slots (":Name", "@Name", "$Name") of a
// statement, matching names ignoring case; slots naming no parameter get null.
void BindParameters(sqlite3_stmt* stmt, const std::vector<Parameter>& params);
// The named parameters written in the SQL text, in order of first use.
std::vector<std::string> ParameterNamesInSql(std::string_view sql);

// --- structure helpers (Structure.cpp) ----------------------------------------
bool TableExists(const ConnectionPtr& conn, std::string_view table);
std::string ColumnDefinition(const FieldDef& f);

}  // namespace orv::db::detail
