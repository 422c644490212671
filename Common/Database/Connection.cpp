// The shared SQLite connection, its statements and the mapping of SQLite
// failures to the numbers callers test for.
#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <map>
#include <mutex>

#include "Detail.h"
#include "OrvError.h"
#include "Text.h"

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

void RaiseDataChanged(std::string_view source) {
  Raise(dberr::kDataChanged, source,
        "The record has been changed by another user since you started editing it; your "
        "changes were not saved. The record now shows the other user's changes: edit it "
        "again if yours still apply.");
}

void RaiseFieldTooSmall(std::string_view source, std::string_view field) {
  Raise(dberr::kFieldTooSmall, source,
        (field.empty() ? std::string("The field") : "The field '" + std::string(field) + "'") +
            " is too small to accept the amount of data you attempted to add. Try inserting or "
            "pasting less data.");
}

void RaiseNumericOverflow(std::string_view source, std::string_view field) {
  Raise(dberr::kNumericOverflow, source,
        field.empty() ? std::string("Numeric field overflow.")
                      : "Numeric field overflow: the value does not fit the field '" +
                            std::string(field) + "'.");
}

void RaiseSqlite(sqlite3* handle, int rc, std::string_view source) {
  const std::string message = handle ? sqlite3_errmsg(handle) : sqlite3_errstr(rc);
  switch (rc & 0xff) {
    case SQLITE_BUSY:
    case SQLITE_LOCKED:
      Raise(dberr::kCurrentlyLocked, source,
            "Could not update; currently locked by another user. Try again when the other user "
            "has finished. (" +
                message + ")");
    case SQLITE_CORRUPT:
    case SQLITE_NOTADB: {
      const char* file = handle ? sqlite3_db_filename(handle, "main") : nullptr;
      Raise(dberr::kDamaged, source,
            "The database file '" + std::string(file ? file : "") +
                "' is damaged and cannot be used (" + message +
                "). Restore it from a backup copy.");
    }
    default:
      break;
  }
  if (rc == SQLITE_CONSTRAINT_CHECK) {
    if (message.find(kSizeCheck) != std::string::npos) RaiseFieldTooSmall(source, {});
    if (message.find(kRangeCheck) != std::string::npos) RaiseNumericOverflow(source, {});
  }
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

// --- FileLock -------------------------------------------------------------------
//
// Each connection locks the file through a descriptor of its own, with
// flock, so two connections conflict even inside one process. Closing any
// descriptor of a file drops every POSIX (fcntl) lock the process holds on
// it, SQLite's included; so a descriptor is never closed while a connection
// of this process still has the file open: it is unlocked and kept, per
// file, and the file's descriptors are closed together when its last
// connection closes (SQLite has closed its own by then).

namespace {

struct OpenFile {
  int live = 0;            // connections holding a lock on it
  std::vector<int> spare;  // unlocked descriptors kept for reuse
};

std::mutex& LockMutex() {
  static std::mutex m;
  return m;
}

std::map<std::pair<uint64_t, uint64_t>, OpenFile>& OpenFiles() {
  static std::map<std::pair<uint64_t, uint64_t>, OpenFile> files;
  // A child process made by fork shares its parent's descriptors, and with
  // them their locks: it starts a registry of its own and leaves those alone.
  static pid_t owner = ::getpid();
  if (owner != ::getpid()) {
    owner = ::getpid();
    files.clear();
  }
  return files;
}

void ForgetIfUnused(const std::pair<uint64_t, uint64_t>& key) {
  auto it = OpenFiles().find(key);
  if (it == OpenFiles().end() || it->second.live > 0) return;
  for (int fd : it->second.spare) ::close(fd);
  OpenFiles().erase(it);
}

}  // namespace

FileLock& FileLock::operator=(FileLock&& o) noexcept {
  if (this != &o) {
    Release();
    fd_ = o.fd_;
    key_ = o.key_;
    o.fd_ = -1;
  }
  return *this;
}

bool FileLock::Acquire(const std::string& path, bool exclusive, std::string* why) {
  Release();
  std::lock_guard<std::mutex> guard(LockMutex());
  struct stat st {};
  if (::stat(path.c_str(), &st) != 0) {
    if (why) *why = std::strerror(errno);
    return false;
  }
  const std::pair<uint64_t, uint64_t> key{static_cast<uint64_t>(st.st_dev),
                                          static_cast<uint64_t>(st.st_ino)};
  OpenFile& file = OpenFiles()[key];
  int fd = -1;
  if (!file.spare.empty()) {
    fd = file.spare.back();
    file.spare.pop_back();
  } else {
    fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0) {
      if (why) *why = std::strerror(errno);
      ForgetIfUnused(key);
      return false;
    }
  }
  int rc = 0;
  do rc = ::flock(fd, (exclusive ? LOCK_EX : LOCK_SH) | LOCK_NB);
  while (rc != 0 && errno == EINTR);
  if (rc != 0 && errno == EWOULDBLOCK) {
    file.spare.push_back(fd);
    ForgetIfUnused(key);
    if (why) why->clear();
    return false;
  }
  // A file system without flock (ENOLCK): the connection goes on without
  // this lock, with SQLite's own locking only. Its descriptor still counts,
  // as it must not be closed while SQLite has the file open.
  ++file.live;
  fd_ = fd;
  key_ = key;
  return true;
}

void FileLock::Release() {
  if (fd_ < 0) return;
  std::lock_guard<std::mutex> guard(LockMutex());
  ::flock(fd_, LOCK_UN);
  OpenFile& file = OpenFiles()[key_];
  --file.live;
  file.spare.push_back(fd_);
  fd_ = -1;
  ForgetIfUnused(key_);
}

// --- Connection -----------------------------------------------------------------

namespace {
// How many virtual machine steps pass between two looks at the budget.
constexpr int kStepsPerLook = 1000;
}  // namespace

Connection::Connection(sqlite3* handle, std::string path, bool read_only, FileLock lock,
                       QueryBudget budget)
    : handle_(handle),
      path_(std::move(path)),
      read_only_(read_only),
      lock_(std::move(lock)),
      budget_(budget) {
  // Every connection: the authorizer only acts while a stored query's SQL is
  // prepared (Guard), so the layer's own statements are never refused; the
  // progress handler only counts while a stored query runs.
  sqlite3_set_authorizer(handle_, &Connection::Authorize, this);
  sqlite3_progress_handler(handle_, kStepsPerLook, &Connection::Progress, this);
}

int Connection::Progress(void* self) {
  auto* c = static_cast<Connection*>(self);
  if (c->budget_steps_ == nullptr) return 0;
  *c->budget_steps_ += kStepsPerLook;
  return *c->budget_steps_ > c->budget_.steps ? 1 : 0;
}

void Connection::RaiseOverBudget(const std::string& query, const std::string& what) const {
  Raise(dberr::kQueryBudget, "DAO.QueryDef",
        "The stored query '" + query + "' of the " + (read_only_ ? "read-only " : "") +
            "database '" + path_ + "' was stopped: it " +
            what + ", more than a query from a file may. The file's queries may have been "
            "changed by another program.");
}

int Connection::StepWithinBudget(sqlite3_stmt* stmt, const std::string& query, int64_t& spent) {
  sqlite3* h = Handle("DAO.QueryDef");
  const int length = sqlite3_limit(h, SQLITE_LIMIT_LENGTH, budget_.value_bytes);
  budget_steps_ = &spent;
  const int rc = sqlite3_step(stmt);
  budget_steps_ = nullptr;
  sqlite3_limit(h, SQLITE_LIMIT_LENGTH, length);
  if (rc == SQLITE_INTERRUPT && spent > budget_.steps) {
    sqlite3_reset(stmt);
    RaiseOverBudget(query, "ran for more than " + std::to_string(budget_.steps) + " steps");
  }
  if (rc == SQLITE_TOOBIG) {
    sqlite3_reset(stmt);
    RaiseOverBudget(query, "made a value larger than " +
                               std::to_string(budget_.value_bytes >> 20) + " MB");
  }
  if (rc == SQLITE_NOMEM) {
    sqlite3_reset(stmt);
    RaiseOverBudget(query, "ran out of memory");
  }
  return rc;
}

void Connection::ChargeRows(const std::string& query, int64_t& taken, int64_t bytes) const {
  taken += bytes;
  if (taken > budget_.memory_bytes) {
    RaiseOverBudget(query, "returned rows of more than " +
                               std::to_string(budget_.memory_bytes >> 20) + " MB");
  }
}

namespace {

// Functions that reach outside the database or change the connection.
bool HasSideEffects(const std::string& upper_name) {
  for (const char* f : {"LOAD_EXTENSION", "READFILE", "WRITEFILE", "EDIT", "FTS3_TOKENIZER",
                        "SQLAR_COMPRESS", "SQLAR_UNCOMPRESS", "ZIPFILE"}) {
    if (upper_name == f) return true;
  }
  return false;
}

// Pragmas that change something even when given no value.
bool PragmaActsAlone(const std::string& upper_name) {
  for (const char* p : {"OPTIMIZE", "SHRINK_MEMORY", "WAL_CHECKPOINT", "INCREMENTAL_VACUUM"}) {
    if (upper_name == p) return true;
  }
  return false;
}

}  // namespace

int Connection::Authorize(void* self, int action, const char* a, const char* b, const char*,
                          const char*) {
  auto* c = static_cast<Connection*>(self);
  if (c->guarded_query_.empty()) return SQLITE_OK;
  const std::string first = a ? a : "";
  auto deny = [c](std::string what) {
    c->refused_ = std::move(what);
    return SQLITE_DENY;
  };
  switch (action) {
    case SQLITE_SELECT:
    case SQLITE_READ:
    case SQLITE_RECURSIVE:
      return SQLITE_OK;
    case SQLITE_FUNCTION:
      if (b && HasSideEffects(UpperAscii(b))) return deny("call the function " + std::string(b));
      return SQLITE_OK;
    case SQLITE_ATTACH:
      return deny("attach the file '" + first + "'");
    case SQLITE_DETACH:
      return deny("detach a database");
    case SQLITE_INSERT:
    case SQLITE_UPDATE:
    case SQLITE_DELETE:
      if (c->read_only_) return deny("write to the table '" + first + "'");
      // A read-write connection runs stored action queries; what the query
      // writes is noted, so that a recordset opened on it can be refused.
      if (c->writes_.empty()) c->writes_ = "write to the table '" + first + "'";
      return SQLITE_OK;
    case SQLITE_PRAGMA:
      // Reading a setting is harmless where the database is writable anyway;
      // setting one (a value given) is not.
      if (c->read_only_ || b || PragmaActsAlone(UpperAscii(first)))
        return deny("use the setting '" + first + "'");
      return SQLITE_OK;
    case SQLITE_TRANSACTION:
    case SQLITE_SAVEPOINT:
      return deny("begin or end a transaction");
    default:
      return deny("change the database's structure");
  }
}

std::string Connection::RefusalText(std::string_view query, std::string_view what,
                                    std::string_view rule) const {
  if (rule.empty()) {
    rule = read_only_ ? "Stored queries here may only read the database."
                      : "Stored queries may read and change rows, nothing more.";
  }
  return "The stored query '" + std::string(query) + "' of the " +
         (read_only_ ? "read-only " : "") + "database '" + path_ + "' was refused: it would " +
         std::string(what) + ". " + std::string(rule);
}

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
  for (Idle& i : idle_) sqlite3_finalize(i.stmt);
  idle_.clear();
  sqlite3_close_v2(handle_);
  handle_ = nullptr;
  lock_.Release();  // after SQLite has closed the file
}

sqlite3_stmt* Connection::Acquire(const std::string& sql, std::string_view source, bool* checked,
                                  bool fresh) {
  sqlite3* h = Handle(source);
  const bool guarded = Guarded();
  writes_.clear();
  for (auto it = idle_.rbegin(); !fresh && it != idle_.rend(); ++it) {
    if (it->sql == sql && (it->checked || !guarded)) {
      sqlite3_stmt* s = it->stmt;
      if (checked) *checked = it->checked;
      idle_.erase(std::next(it).base());
      return s;
    }
  }
  sqlite3_stmt* stmt = nullptr;
  const char* tail = nullptr;
  refused_.clear();
  const int rc = sqlite3_prepare_v2(h, sql.c_str(), static_cast<int>(sql.size() + 1), &stmt, &tail);
  // A refusal shows as SQLITE_AUTH, or as a plain error for a function.
  if (rc != SQLITE_OK && guarded && !refused_.empty())
    Raise(dberr::kNoPermission, "DAO.QueryDef", RefusalText(guarded_query_, refused_));
  if (rc != SQLITE_OK && guarded) {
    // A stored query that does not compile: its name and the file's, with
    // what is wrong (a table or column another program renamed, say).
    try {
      RaiseSqlite(h, rc, source);
    } catch (const OrvError& e) {
      Raise(dberr::kBrokenQuery, e.Source(),
            "The stored query '" + guarded_query_ + "' of the " +
                (read_only_ ? "read-only " : "") + "database '" + path_ +
                "' cannot be run: " + e.Description());
    }
  }
  if (rc != SQLITE_OK) RaiseSqlite(h, rc, source);
  if (checked) *checked = guarded;
  if (!stmt) Raise(dberr::kGeneric, source, "The SQL text holds no statement.");
  while (tail && (*tail == ' ' || *tail == ';' || *tail == '\n' || *tail == '\r' || *tail == '\t'))
    ++tail;
  if (tail && *tail) {
    sqlite3_finalize(stmt);
    Raise(dberr::kGeneric, source, "Only one SQL statement is allowed here.");
  }
  return stmt;
}

void Connection::Release(std::string&& sql, sqlite3_stmt* stmt, bool checked) {
  if (!handle_) {
    sqlite3_finalize(stmt);
    return;
  }
  sqlite3_reset(stmt);
  sqlite3_clear_bindings(stmt);
  if (idle_.size() >= kMaxIdle) {
    sqlite3_finalize(idle_.front().stmt);
    idle_.erase(idle_.begin());
  }
  idle_.push_back(Idle{std::move(sql), stmt, checked});
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

Statement::Statement(ConnectionPtr conn, std::string sql, std::string_view source, bool fresh)
    : conn_(std::move(conn)), sql_(std::move(sql)), query_(conn_->GuardedQuery()) {
  stmt_ = conn_->Acquire(sql_, source, &checked_, fresh);
  conn_->Register(this);
}

Statement::Statement(Statement&& o) noexcept
    : conn_(std::move(o.conn_)),
      stmt_(o.stmt_),
      sql_(std::move(o.sql_)),
      checked_(o.checked_),
      query_(std::move(o.query_)),
      spent_(o.spent_),
      taken_(o.taken_) {
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
  checked_ = o.checked_;
  query_ = std::move(o.query_);
  spent_ = o.spent_;
  taken_ = o.taken_;
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
    if (stmt_) conn_->Release(std::move(sql_), stmt_, checked_);
  }
  stmt_ = nullptr;
  sql_.clear();
  query_.clear();
  conn_.reset();
}

sqlite3_stmt* Statement::Get(std::string_view source) const {
  if (!stmt_) Raise(kObjectInvalid, source, "Object invalid or no longer set.");
  return stmt_;
}

bool Statement::Step(std::string_view source) {
  sqlite3_stmt* s = Get(source);
  int rc = 0;
  if (query_.empty()) {
    rc = sqlite3_step(s);
  } else {
    if (!sqlite3_stmt_busy(s)) spent_ = taken_ = 0;  // a new run
    rc = conn_->StepWithinBudget(s, query_, spent_);
  }
  if (rc == SQLITE_ROW) return true;
  if (rc == SQLITE_DONE) return false;
  sqlite3_reset(s);
  RaiseSqlite(sqlite3_db_handle(s), rc, source);
}

void Statement::ChargeRow(int64_t bytes) {
  if (!query_.empty()) conn_->ChargeRows(query_, taken_, bytes);
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
  // The rows the statement itself changed, not those its triggers wrote.
  return sqlite3_total_changes64(h) == before ? 0 : sqlite3_changes64(h);
}

}  // namespace orv::db::detail
