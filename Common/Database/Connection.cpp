// The shared SQLite connection, its statements and the mapping of SQLite
// failures to the numbers callers test for.
#include <cstring>

#include "Detail.h"
#include "OrvError.h"

namespace orv::db::detail {

namespace {
// Idle prepared statements kept per connection beyond those in use.
constexpr size_t kMaxIdle = 64;

std::string Source(std::string_view source) {
  return source.empty() ? std::string("DAO") : std::string(source);
}
}  // namespace

void Raise(int32_t number, std::string_view source, std::string description) {
  throw OrvError(number, Source(source), std::move(description));
}

void RaiseItemNotFound(std::string_view source) {
  Raise(dberr::kItemNotFound, source, "Item not found in this collection.");
}

void RaiseTableOrQueryNotFound(std::string_view source, std::string_view name) {
  Raise(dberr::kTableOrQueryNotFound, source,
        "The database engine cannot find the input table or query '" + std::string(name) +
            "'. Make sure it exists and that its name is spelled correctly.");
}

void RaiseSqlite(sqlite3* handle, int rc, std::string_view source) {
  const std::string message = handle ? sqlite3_errmsg(handle) : sqlite3_errstr(rc);
  switch (rc) {
    case SQLITE_CONSTRAINT_UNIQUE:
    case SQLITE_CONSTRAINT_PRIMARYKEY:
    case SQLITE_CONSTRAINT_ROWID:
      Raise(dberr::kDuplicateKey, source,
            "The changes you requested to the table were not successful because they would "
            "create duplicate values in the index, primary key, or relationship. (" +
                message + ")");
    default:
      break;
  }
  if ((rc & 0xff) == SQLITE_READONLY) {
    Raise(dberr::kReadOnly, source, "Cannot update. Database or object is read-only.");
  }
  static constexpr std::string_view kNoTable = "no such table: ";
  if (message.rfind(kNoTable, 0) == 0) {
    std::string name = message.substr(kNoTable.size());
    if (name.rfind("main.", 0) == 0) name.erase(0, 5);
    RaiseTableOrQueryNotFound(source, name);
  }
  Raise(dberr::kGeneric, source, message);
}

std::string QuoteIdent(std::string_view name) {
  if (name.empty() || name.find('\0') != std::string_view::npos) {
    Raise(dberr::kGeneric, "DAO", "Invalid name '" + std::string(name) + "'.");
  }
  std::string q = "\"";
  for (char c : name) {
    if (c == '"') q += '"';
    q += c;
  }
  q += '"';
  return q;
}

std::string QuoteLiteral(std::string_view text) {
  std::string q = "'";
  for (char c : text) {
    if (c == '\'') q += '\'';
    q += c;
  }
  q += '\'';
  return q;
}

// --- Connection -----------------------------------------------------------------

Connection::Connection(sqlite3* handle, std::string path, bool read_only)
    : handle_(handle), path_(std::move(path)), read_only_(read_only) {}

Connection::~Connection() { Close(); }

sqlite3* Connection::Handle(std::string_view source) const {
  if (!handle_) Raise(kObjectInvalid, source, "Object invalid or no longer set.");
  return handle_;
}

void Connection::Close() {
  if (!handle_) return;
  for (Statement* s : live_) {
    // The statement object outlives the connection's handle: finalize here.
    sqlite3_finalize(s->Raw());
    s->Orphan();
  }
  live_.clear();
  for (auto& [sql, stmt] : idle_) sqlite3_finalize(stmt);
  idle_.clear();
  sqlite3_close_v2(handle_);
  handle_ = nullptr;
}

sqlite3_stmt* Connection::Acquire(const std::string& sql, std::string_view source) {
  sqlite3* h = Handle(source);
  for (auto it = idle_.rbegin(); it != idle_.rend(); ++it) {
    if (it->first == sql) {
      sqlite3_stmt* s = it->second;
      idle_.erase(std::next(it).base());
      return s;
    }
  }
  sqlite3_stmt* stmt = nullptr;
  const char* tail = nullptr;
  const int rc = sqlite3_prepare_v2(h, sql.c_str(), static_cast<int>(sql.size() + 1), &stmt, &tail);
  if (rc != SQLITE_OK) RaiseSqlite(h, rc, source);
  if (!stmt) Raise(dberr::kGeneric, source, "The SQL text holds no statement.");
  while (tail && (*tail == ' ' || *tail == ';' || *tail == '\n' || *tail == '\r' || *tail == '\t'))
    ++tail;
  if (tail && *tail) {
    sqlite3_finalize(stmt);
    Raise(dberr::kGeneric, source, "Only one SQL statement is allowed here.");
  }
  return stmt;
}

void Connection::Release(std::string&& sql, sqlite3_stmt* stmt) {
  if (!handle_) {
    sqlite3_finalize(stmt);
    return;
  }
  sqlite3_reset(stmt);
  sqlite3_clear_bindings(stmt);
  if (idle_.size() >= kMaxIdle) {
    sqlite3_finalize(idle_.front().second);
    idle_.erase(idle_.begin());
  }
  idle_.emplace_back(std::move(sql), stmt);
}

void Connection::Unregister(Statement* s) {
  for (size_t i = 0; i < live_.size(); ++i) {
    if (live_[i] == s) {
      live_[i] = live_.back();
      live_.pop_back();
      return;
    }
  }
}

// --- Statement ------------------------------------------------------------------

Statement::Statement(ConnectionPtr conn, std::string sql, std::string_view source)
    : conn_(std::move(conn)), sql_(std::move(sql)) {
  stmt_ = conn_->Acquire(sql_, source);
  conn_->Register(this);
}

Statement::Statement(Statement&& o) noexcept
    : conn_(std::move(o.conn_)), stmt_(o.stmt_), sql_(std::move(o.sql_)) {
  o.stmt_ = nullptr;
  if (conn_ && stmt_) {
    conn_->Unregister(&o);
    conn_->Register(this);
  }
}

Statement& Statement::operator=(Statement&& o) noexcept {
  if (this == &o) return *this;
  Reset();
  conn_ = std::move(o.conn_);
  stmt_ = o.stmt_;
  sql_ = std::move(o.sql_);
  o.stmt_ = nullptr;
  if (conn_ && stmt_) {
    conn_->Unregister(&o);
    conn_->Register(this);
  }
  return *this;
}

void Statement::Reset() {
  if (conn_) {
    conn_->Unregister(this);
    if (stmt_) conn_->Release(std::move(sql_), stmt_);
  }
  stmt_ = nullptr;
  sql_.clear();
  conn_.reset();
}

sqlite3_stmt* Statement::Get(std::string_view source) const {
  if (!stmt_) Raise(kObjectInvalid, source, "Object invalid or no longer set.");
  return stmt_;
}

bool Statement::Step(std::string_view source) {
  sqlite3_stmt* s = Get(source);
  const int rc = sqlite3_step(s);
  if (rc == SQLITE_ROW) return true;
  if (rc == SQLITE_DONE) return false;
  sqlite3_reset(s);
  RaiseSqlite(sqlite3_db_handle(s), rc, source);
}

void Statement::Rewind() {
  if (stmt_) sqlite3_reset(stmt_);
}

int64_t RunOnce(const ConnectionPtr& conn, const std::string& sql, const std::vector<Value>& values,
                std::string_view source) {
  Statement st(conn, sql, source);
  sqlite3_stmt* s = st.Get(source);
  const int slots = sqlite3_bind_parameter_count(s);
  if (static_cast<int>(values.size()) != slots) {
    Raise(dberr::kGeneric, source,
          "The statement expects " + std::to_string(slots) + " values but " +
              std::to_string(values.size()) + " were given.");
  }
  for (int i = 0; i < slots; ++i) BindValueNoCopy(s, i + 1, values[static_cast<size_t>(i)]);
  sqlite3* h = sqlite3_db_handle(s);
  const int64_t before = sqlite3_total_changes64(h);
  while (st.Step(source)) {
  }
  st.Rewind();
  return sqlite3_total_changes64(h) - before;
}

}  // namespace orv::db::detail
