// Opening and creating database files, statements and transactions.
//
// Our files are SQLite databases marked with PRAGMA application_id "ORVD"
// and holding the info table OrvDatabaseInfo(Key, Value) and the table of
// stored queries. Any other file fails to open with 3051.
//
// Locking: a shared open takes no lock until a statement runs (SQLite's
// normal file locking, with a busy timeout). An exclusive open puts the
// connection in locking_mode EXCLUSIVE and takes the write lock at once, so
// that any other connection fails to open the file with 3051 until this one
// closes. A read-only open refuses every write with 3027.
//
// Passwords are checked at open (3031); see Password.cpp for what they do
// and do not protect.
#include <filesystem>
#include <system_error>

#include "Impl.h"
#include "Text.h"

namespace orv::db {

namespace {

using detail::ConnectionPtr;
using detail::Raise;

constexpr const char* kSource = "DAO.Database";
namespace fs = std::filesystem;

std::string AbsolutePath(const std::string& path) {
  std::error_code ec;
  fs::path p = fs::absolute(fs::path(path), ec);
  if (ec || path.empty())
    Raise(dberr::kPathNotValid, kSource, "'" + path + "' is not a valid path.");
  return p.lexically_normal().string();
}

[[noreturn]] void RaiseCannotOpen(const std::string& path, std::string_view why) {
  Raise(dberr::kCannotOpen, kSource,
        "The database engine cannot open the file '" + path + "': " + std::string(why));
}

// Runs a statement at open time; a busy file or foreign file fails with 3051.
void RunAtOpen(sqlite3* h, const std::string& path, const char* sql) {
  char* err = nullptr;
  const int rc = sqlite3_exec(h, sql, nullptr, nullptr, &err);
  sqlite3_free(err);
  if (rc == SQLITE_OK) return;
  if ((rc & 0xff) == SQLITE_BUSY || (rc & 0xff) == SQLITE_LOCKED) {
    RaiseCannotOpen(path, "it is already opened exclusively by another user.");
  }
  if ((rc & 0xff) == SQLITE_NOTADB) RaiseCannotOpen(path, "it is not a database.");
  detail::RaiseSqlite(h, rc, kSource);
}

int32_t ReadInt(sqlite3* h, const std::string& path, const char* sql) {
  sqlite3_stmt* s = nullptr;
  int rc = sqlite3_prepare_v2(h, sql, -1, &s, nullptr);
  if (rc == SQLITE_OK) rc = sqlite3_step(s);
  const int32_t v = rc == SQLITE_ROW ? sqlite3_column_int(s, 0) : 0;
  sqlite3_finalize(s);
  if (rc == SQLITE_ROW || rc == SQLITE_DONE) return v;
  if ((rc & 0xff) == SQLITE_BUSY || (rc & 0xff) == SQLITE_LOCKED) {
    RaiseCannotOpen(path, "it is already opened exclusively by another user.");
  }
  if ((rc & 0xff) == SQLITE_NOTADB) RaiseCannotOpen(path, "it is not a database.");
  detail::RaiseSqlite(h, rc, kSource);
}

std::string StoredPasswordHash(const ConnectionPtr& conn) {
  detail::Statement st(conn, "SELECT Value FROM OrvDatabaseInfo WHERE Key = 'Password'", kSource);
  std::string hash;
  if (st.Step(kSource)) {
    const auto* p = reinterpret_cast<const char*>(sqlite3_column_text(st.Get(kSource), 0));
    hash = p ? p : "";
  }
  st.Rewind();
  return hash;
}

// The handle of a new connection, closed again if opening fails later.
struct HandleGuard {
  sqlite3* h = nullptr;
  ~HandleGuard() {
    if (h) sqlite3_close_v2(h);
  }
  sqlite3* Take() {
    sqlite3* t = h;
    h = nullptr;
    return t;
  }
};

}  // namespace

DatabasePtr OpenDatabase(const std::string& path, const OpenOptions& options) {
  const std::string full = AbsolutePath(path);
  std::error_code ec;
  if (!fs::exists(full, ec)) {
    Raise(dberr::kFileNotFound, kSource, "Could not find file '" + full + "'.");
  }
  if (fs::is_directory(full, ec))
    Raise(dberr::kPathNotValid, kSource, "'" + full + "' is not a valid path.");

  // Exclusive read-only still takes the write lock (so that nobody else opens
  // the file) and refuses writes through query_only.
  const bool handle_read_only = options.read_only && !options.exclusive;
  HandleGuard g;
  int rc = sqlite3_open_v2(
      full.c_str(), &g.h, handle_read_only ? SQLITE_OPEN_READONLY : SQLITE_OPEN_READWRITE, nullptr);
  if (rc != SQLITE_OK) RaiseCannotOpen(full, "you need permission to use its data.");
  sqlite3_extended_result_codes(g.h, 1);
  sqlite3_busy_timeout(g.h, options.busy_timeout_ms);

  // SQLite opens a write-protected file read-only even when asked for
  // read-write; such a connection can only hold the shared lock.
  const bool file_read_only = sqlite3_db_readonly(g.h, "main") == 1;
  if (options.exclusive) {
    RunAtOpen(g.h, full, "PRAGMA locking_mode=EXCLUSIVE");
    RunAtOpen(g.h, full,
              file_read_only ? "SELECT count(*) FROM sqlite_schema" : "BEGIN EXCLUSIVE; COMMIT");
  }
  if (ReadInt(g.h, full, "PRAGMA application_id") != detail::kApplicationId) {
    RaiseCannotOpen(full, "it is not a database of this system.");
  }
  if (options.read_only && options.exclusive) RunAtOpen(g.h, full, "PRAGMA query_only=1");

  const bool read_only = options.read_only || file_read_only;
  auto conn = std::make_shared<detail::Connection>(g.Take(), full, read_only);
  if (!detail::PasswordMatches(StoredPasswordHash(conn), detail::PasswordOf(options.connect))) {
    conn->Close();
    Raise(dberr::kBadPassword, kSource, "Not a valid password.");
  }
  return std::make_shared<detail::SqliteDatabase>(conn, full, read_only);
}

DatabasePtr CreateDatabase(const std::string& path, const std::string& connect) {
  const std::string full = AbsolutePath(path);
  std::error_code ec;
  if (fs::exists(full, ec)) Raise(detail::kDatabaseExists, kSource, "Database already exists.");
  const fs::path parent = fs::path(full).parent_path();
  if (!fs::is_directory(parent, ec))
    Raise(dberr::kPathNotValid, kSource, "'" + full + "' is not a valid path.");

  HandleGuard g;
  const int rc =
      sqlite3_open_v2(full.c_str(), &g.h, SQLITE_OPEN_READWRITE | SQLITE_OPEN_CREATE, nullptr);
  if (rc != SQLITE_OK) RaiseCannotOpen(full, "the file cannot be created.");
  sqlite3_extended_result_codes(g.h, 1);
  sqlite3_busy_timeout(g.h, OpenOptions{}.busy_timeout_ms);
  auto conn = std::make_shared<detail::Connection>(g.Take(), full, false);
  detail::RunOnce(conn, "PRAGMA application_id=" + std::to_string(detail::kApplicationId), {},
                  kSource);
  auto db = std::make_shared<detail::SqliteDatabase>(conn, full, false);
  db->Execute(
      "BEGIN;"
      "CREATE TABLE OrvDatabaseInfo(Key TEXT PRIMARY KEY COLLATE NOCASE, Value TEXT);"
      "CREATE TABLE StoredQueries(Name TEXT PRIMARY KEY COLLATE NOCASE, Parameters TEXT, SQL TEXT);"
      "INSERT INTO OrvDatabaseInfo(Key, Value) VALUES ('Format', '1');"
      "COMMIT",
      {});
  detail::RunOnce(conn, "INSERT INTO OrvDatabaseInfo(Key, Value) VALUES ('Password', ?)",
                  {Value(detail::HashPassword(detail::PasswordOf(connect)))}, kSource);
  return db;
}

namespace detail {

SqliteDatabase::SqliteDatabase(ConnectionPtr conn, std::string name, bool read_only)
    : conn_(std::move(conn)), name_(std::move(name)), read_only_(read_only) {}

int64_t SqliteDatabase::Execute(std::string_view sql, const std::vector<Value>& values) {
  if (!values.empty()) return RunOnce(conn_, std::string(sql), values, kSource);
  // Several statements: prepared and run one after another, stopping at the
  // first failure.
  sqlite3* h = conn_->Handle(kSource);
  const std::string text(sql);
  const char* next = text.c_str();
  const int64_t before = sqlite3_total_changes64(h);
  while (next && *next) {
    sqlite3_stmt* s = nullptr;
    const char* tail = nullptr;
    int rc = sqlite3_prepare_v2(h, next, -1, &s, &tail);
    if (rc != SQLITE_OK) RaiseSqlite(h, rc, kSource);
    next = tail;
    if (!s) continue;  // blank or comment
    if (sqlite3_bind_parameter_count(s) > 0) {
      sqlite3_finalize(s);
      Raise(dberr::kGeneric, kSource, "The statement expects values that were not given.");
    }
    while ((rc = sqlite3_step(s)) == SQLITE_ROW) {
    }
    sqlite3_finalize(s);
    if (rc != SQLITE_DONE) RaiseSqlite(h, rc, kSource);
  }
  return sqlite3_total_changes64(h) - before;
}

RecordsetPtr SqliteDatabase::OpenRecordset(std::string_view table_or_sql, RecordsetType type,
                                           const std::vector<Value>& values) {
  const std::string text = TrimWhite(table_or_sql);
  if (values.empty() && TableExists(text)) return OpenTableRecordset(conn_, text, type);
  if (values.empty() && QueryExists(text)) return QueryDefs(text)->OpenRecordset(type);
  // A bare name that is neither a table nor a stored query.
  if (text.find_first_of(" \t\r\n(") == std::string::npos) RaiseTableOrQueryNotFound(kSource, text);
  return OpenSqlRecordset(conn_, text, type, values, {});
}

void SqliteDatabase::BeginTrans() {
  RunOnce(conn_, "BEGIN", {}, "DAO.Workspace");
  conn_->in_transaction = true;
}

void SqliteDatabase::CommitTrans() {
  if (sqlite3_get_autocommit(conn_->Handle("DAO.Workspace"))) {
    Raise(kNoTransaction, "DAO.Workspace",
          "You tried to commit or rollback a transaction without first beginning a transaction.");
  }
  RunOnce(conn_, "COMMIT", {}, "DAO.Workspace");
  conn_->in_transaction = false;
}

void SqliteDatabase::Rollback() {
  if (sqlite3_get_autocommit(conn_->Handle("DAO.Workspace"))) {
    Raise(kNoTransaction, "DAO.Workspace",
          "You tried to commit or rollback a transaction without first beginning a transaction.");
  }
  RunOnce(conn_, "ROLLBACK", {}, "DAO.Workspace");
  conn_->in_transaction = false;
}

}  // namespace detail
}  // namespace orv::db
