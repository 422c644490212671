// Opening and creating database files, statements and transactions.
//
// Our files are SQLite databases marked with PRAGMA application_id "ORVD"
// and holding the info table OrvDatabaseInfo(Key, Value) and the table of
// stored queries. Any other file fails to open with 3051.
//
// Opening is careful with what it is given: SQLite's defensive settings are
// switched on (no writes to the schema or to shadow tables, no functions
// from the schema that could have side effects, cell size checks), and the
// file is checked before it is used (the whole file, or at a cost that does
// not grow with it: OpenOptions::check), so that a damaged, truncated or
// foreign file is refused at once with an error naming it.
//
// Locking: every connection holds a lock on the file for its whole life (see
// FileLock): a shared open a shared lock, an exclusive open an exclusive
// one, so an exclusive open is refused while any other connection has the
// file open and every open is refused while an exclusive one has it. Within
// that, SQLite's own locking orders the statements of shared connections,
// with a busy timeout; an exclusive connection also keeps SQLite's write lock
// (locking_mode EXCLUSIVE) so that programs outside this layer stay out too.
// A read-only open refuses every write with 3027, attaches nothing, and runs
// stored queries under an authorizer that lets them only read.
//
// Passwords are checked at open (3031); see Password.cpp for what they do
// and do not protect.
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <exception>
#include <filesystem>
#include <functional>
#include <mutex>
#include <system_error>

#include "Impl.h"
#include "PgImpl.h"
#include "OrvError.h"
#include "SafeFiles.h"
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

// Why an open is refused when another connection or program has the file:
// the one 3051 that is about the moment, not about the file.
constexpr std::string_view kOpenedByAnother = "it is already opened by another user.";
constexpr std::string_view kOpenedExclusively = "it is already opened exclusively by another user.";
constexpr std::string_view kLockedByAnother = "it is locked by another program.";

[[noreturn]] void RaiseCannotOpen(const std::string& path, std::string_view why) {
  Raise(dberr::kCannotOpen, kSource,
        "The database engine cannot open the file '" + path + "': " + std::string(why));
}

// The 3051 of an SQLite failure while opening.
[[noreturn]] void RaiseOpenFailure(sqlite3* h, const std::string& path, int rc) {
  const std::string detail = h ? sqlite3_errmsg(h) : sqlite3_errstr(rc);
  switch (rc & 0xff) {
    case SQLITE_BUSY:
    case SQLITE_LOCKED:
      RaiseCannotOpen(path, kLockedByAnother);
    case SQLITE_NOTADB:
      RaiseCannotOpen(path, "it is not a database.");
    case SQLITE_CORRUPT:
    case SQLITE_IOERR:
    case SQLITE_FORMAT:
    case SQLITE_RANGE:
      RaiseCannotOpen(path, "the file is damaged (" + detail + ").");
    case SQLITE_CANTOPEN:
    case SQLITE_PERM:
    case SQLITE_AUTH:
      RaiseCannotOpen(path, "you need permission to use its data.");
    case SQLITE_READONLY:
      if (rc == SQLITE_READONLY_ROLLBACK) {
        // Undoing the change writes the file and removes its journal from
        // the folder: a folder that cannot be written (a read-only disk or
        // mount, which binds the superuser too) is the true cause then.
        const std::string folder = fs::path(path).parent_path().string();
        if (::access(folder.c_str(), W_OK) != 0) {
          RaiseCannotOpen(path, "a change to it was interrupted and must be undone first, but "
                                "its folder '" + folder + "' cannot be written (" +
                                    std::strerror(errno) + ").");
        }
        RaiseCannotOpen(path,
                        "a change to it was interrupted and must be undone first, which needs "
                        "permission to write to it.");
      }
      RaiseCannotOpen(path, detail);
    default:
      RaiseCannotOpen(path, detail);
  }
}

// Runs a statement at open time; any failure is 3051 naming the file.
void RunAtOpen(sqlite3* h, const std::string& path, const char* sql) {
  const int rc = sqlite3_exec(h, sql, nullptr, nullptr, nullptr);
  if (rc != SQLITE_OK) RaiseOpenFailure(h, path, rc);
}

// The first column of the first row of a statement run at open time as
// text (empty when there is no row); failures are 3051 naming the file.
std::string ReadAtOpen(sqlite3* h, const std::string& path, const char* sql) {
  sqlite3_stmt* s = nullptr;
  int rc = sqlite3_prepare_v2(h, sql, -1, &s, nullptr);
  if (rc == SQLITE_OK) rc = sqlite3_step(s);
  std::string v;
  if (rc == SQLITE_ROW) {
    const auto* p = reinterpret_cast<const char*>(sqlite3_column_text(s, 0));
    v = p ? p : "";
  }
  sqlite3_finalize(s);
  if (rc == SQLITE_ROW || rc == SQLITE_DONE) return v;
  RaiseOpenFailure(h, path, rc);
}

// A change that never finished (a crash, a killed process) leaves its
// journal beside the file, and the file half written until the change is
// undone. Only a read-write connection undoes it, as it first reads; a
// read-only one refuses the file. So before a read-only open, a read-write
// connection reads the file once when such a journal is there. (SQLite
// itself decides whether the journal is one to undo: one of a change still
// under way elsewhere is left alone.)
void UndoInterruptedChange(const std::string& path) {
  std::error_code ec;
  const auto size = fs::file_size(path + "-journal", ec);
  if (ec || size == 0) return;
  sqlite3* h = nullptr;
  if (sqlite3_open_v2(path.c_str(), &h, SQLITE_OPEN_READWRITE | SQLITE_OPEN_NOMUTEX, nullptr) ==
      SQLITE_OK) {
    sqlite3_db_config(h, SQLITE_DBCONFIG_DEFENSIVE, 1, nullptr);
    sqlite3_db_config(h, SQLITE_DBCONFIG_TRUSTED_SCHEMA, 0, nullptr);
    (void)sqlite3_exec(h, "SELECT count(*) FROM sqlite_schema", nullptr, nullptr, nullptr);
  }
  sqlite3_close(h);
}

// Waits for another connection's lock: looks again after 0.1 ms, then after
// twice as long each time up to 5 ms, until `timeout_ms` of waiting have
// passed, when the statement fails as locked (3218). SQLite's own handler
// sleeps 1, 2, 5, 10 ... 100 ms: a connection waiting for another's
// transaction of a few milliseconds (a bulk run's batch, an operator's save)
// slept many times longer than the wait, and two bulk workers on one file
// spent most of their time asleep.
int WaitForLock(void* timeout_ms, int count) {
  constexpr int64_t kFirstUs = 100;
  constexpr int64_t kLongestUs = 5000;
  constexpr int kDoublings = 6;  // 100 << 6 > 5000
  const int64_t limit_us = static_cast<int64_t>(reinterpret_cast<intptr_t>(timeout_ms)) * 1000;
  // What the earlier calls for this lock slept.
  const int64_t slept_us = count <= kDoublings
                               ? kFirstUs * ((int64_t{1} << count) - 1)
                               : kFirstUs * ((int64_t{1} << kDoublings) - 1) +
                                     (count - kDoublings) * kLongestUs;
  if (slept_us >= limit_us) return 0;
  const int64_t step_us = count < kDoublings ? kFirstUs << count : kLongestUs;
  ::usleep(static_cast<useconds_t>(std::min(step_us, limit_us - slept_us)));
  return 1;
}

void SetLockWait(sqlite3* h, int timeout_ms) {
  sqlite3_busy_handler(h, timeout_ms > 0 ? WaitForLock : nullptr,
                       reinterpret_cast<void*>(static_cast<intptr_t>(timeout_ms)));
}

// Defensive settings for a file that may come from anywhere.
void Harden(sqlite3* h, const std::string& path, bool read_only) {
  sqlite3_db_config(h, SQLITE_DBCONFIG_DEFENSIVE, 1, nullptr);
  sqlite3_db_config(h, SQLITE_DBCONFIG_TRUSTED_SCHEMA, 0, nullptr);
  sqlite3_db_config(h, SQLITE_DBCONFIG_ENABLE_LOAD_EXTENSION, 0, nullptr);
  RunAtOpen(h, path, "PRAGMA cell_size_check=ON");
  if (read_only) sqlite3_limit(h, SQLITE_LIMIT_ATTACHED, 0);
}

// The rows of every table but `skipped` against their CHECK constraints,
// one table at a time, in the caller's read transaction.
std::string CheckRowsBut(sqlite3* h, const std::string& path,
                         const std::vector<std::string>& skipped) {
  std::vector<std::string> tables;
  {
    sqlite3_stmt* s = nullptr;
    int rc = sqlite3_prepare_v2(
        h, "SELECT name FROM sqlite_schema WHERE type = 'table' AND name NOT LIKE 'sqlite\\_%' "
           "ESCAPE '\\' ORDER BY rootpage",
        -1, &s, nullptr);
    while (rc == SQLITE_OK || rc == SQLITE_ROW) {
      rc = sqlite3_step(s);
      const auto* name = reinterpret_cast<const char*>(sqlite3_column_text(s, 0));
      if (rc == SQLITE_ROW && name) tables.emplace_back(name);
    }
    sqlite3_finalize(s);
    if (rc != SQLITE_DONE) RaiseOpenFailure(h, path, rc);
  }
  for (const std::string& table : tables) {
    if (std::any_of(skipped.begin(), skipped.end(),
                    [&](const std::string& t) { return IEquals(t, table); }))
      continue;
    const std::string sql = "PRAGMA quick_check(" + detail::QuoteIdent(table) + ")";
    const std::string result = ReadAtOpen(h, path, sql.c_str());
    if (result != "ok") return result;
  }
  return "ok";
}

// The quick integrity check: the b-trees, their pages and cells, and that
// each index has the rows of its table (quick_check skips the costlier
// comparison of index contents); on a read-write connection also every row
// against its NOT NULL and CHECK constraints, but the CHECK constraints of
// the rows of `append_only` (OpenOptions::append_only_tables).
void CheckIntegrity(sqlite3* h, const std::string& path,
                    const std::function<void(int64_t, int64_t)>& progress = {},
                    const std::vector<std::string>& append_only = {}) {
  // How far the check has come: the connection's page reads (its cache
  // misses) against the reads it will make. It reads every page, and the
  // tables' pages once more (to count each table's rows against its
  // indexes): about twice the file's pages, as a file is mostly tables
  // (1.84 times on a 100,000-claimant file). The estimate is held below
  // the end until the check is done.
  struct Watch {
    sqlite3* h;
    const std::function<void(int64_t, int64_t)>& progress;
    int64_t total = 0;
    int64_t told = -1;
    std::exception_ptr failed;
    static int Look(void* self) {
      auto* w = static_cast<Watch*>(self);
      int read = 0, highest = 0;
      sqlite3_db_status(w->h, SQLITE_DBSTATUS_CACHE_MISS, &read, &highest, 0);
      const int64_t done = std::min<int64_t>(read, w->total - 1);
      if (done <= w->told || (done - w->told) * 200 < w->total) return 0;
      w->told = done;
      try {
        w->progress(done, w->total);
      } catch (...) {
        w->failed = std::current_exception();
        return 1;  // stops the check, which then fails; the failure passes on
      }
      return 0;
    }
  } watch{h, progress, 0, -1, nullptr};
  if (progress) {
    const int64_t pages = std::atoll(ReadAtOpen(h, path, "PRAGMA page_count").c_str());
    watch.total = std::max<int64_t>(1, 2 * pages);
    sqlite3_progress_handler(h, 5000, &Watch::Look, &watch);
  }
  struct Unwatch {
    sqlite3* h;
    ~Unwatch() { sqlite3_progress_handler(h, 0, nullptr, nullptr); }
  } unwatch{h};
  std::string result;
  try {
    if (append_only.empty() || sqlite3_db_readonly(h, "main") == 1) {
      // A read-only connection checks no constraints anyway.
      result = ReadAtOpen(h, path, "PRAGMA quick_check(1)");
    } else {
      // Every page and b-tree with the constraints switched off, then every
      // other table's rows with them on, all in one read transaction. The
      // switch is the connection's: it is back on before anything else
      // runs, whatever happens, or its own writes would go unchecked.
      RunAtOpen(h, path, "BEGIN");
      struct Restore {
        sqlite3* h;
        ~Restore() {
          sqlite3_exec(h, "PRAGMA ignore_check_constraints=0", nullptr, nullptr, nullptr);
          sqlite3_exec(h, "COMMIT", nullptr, nullptr, nullptr);
        }
      } restore{h};
      RunAtOpen(h, path, "PRAGMA ignore_check_constraints=1");
      result = ReadAtOpen(h, path, "PRAGMA quick_check(1)");
      RunAtOpen(h, path, "PRAGMA ignore_check_constraints=0");
      if (result == "ok") result = CheckRowsBut(h, path, append_only);
    }
  } catch (...) {
    if (watch.failed) std::rethrow_exception(watch.failed);
    throw;
  }
  if (watch.failed) std::rethrow_exception(watch.failed);
  if (result != "ok") RaiseCannotOpen(path, "the file is damaged (" + result + ").");
  if (progress) progress(watch.total, watch.total);
}

uint32_t BigEndian32(const unsigned char* p) {
  return (uint32_t{p[0]} << 24) | (uint32_t{p[1]} << 16) | (uint32_t{p[2]} << 8) | p[3];
}

// The check whose cost does not grow with the file, inside one read
// transaction so that no writer's commit is seen half done:
//  - the page count the header records (SQLite keeps it current, with the
//    change counter it is valid for) against the file's size: a file cut
//    short is refused as SQLite would refuse it on reading the lost pages;
//  - the quick check of the schema and of the layer's own tables, which
//    every open and every stored query read.
// False when the header records no current page count (a file written by
// an old program, or one in WAL mode): the caller checks the whole file.
bool CheckStructure(sqlite3* h, const std::string& path) {
  RunAtOpen(h, path, "BEGIN");
  struct EndRead {
    sqlite3* h;
    ~EndRead() { sqlite3_exec(h, "COMMIT", nullptr, nullptr, nullptr); }
  } end_read{h};
  // The first read takes SQLite's shared lock.
  const std::string tables = ReadAtOpen(
      h, path,
      "SELECT group_concat(name, ' ') FROM sqlite_schema WHERE type = 'table' AND name IN "
      "('OrvDatabaseInfo', 'StoredQueries')");
  // The header and the size are read through SQLite's own descriptor of
  // the file. Opening the file again and closing it would drop every POSIX
  // lock this process holds on it: the locks of this program's other
  // connections too, letting another program write beside a writer here.
  sqlite3_file* file = nullptr;
  if (sqlite3_file_control(h, "main", SQLITE_FCNTL_FILE_POINTER, &file) != SQLITE_OK || !file ||
      !file->pMethods)
    return false;
  unsigned char header[100];
  if (file->pMethods->xRead(file, header, sizeof header, 0) != SQLITE_OK) return false;
  uint32_t page_size = (uint32_t{header[16]} << 8) | header[17];
  if (page_size == 1) page_size = 65536;
  const bool wal = header[18] == 2 || header[19] == 2;
  const uint32_t pages = BigEndian32(header + 28);
  if (wal || pages == 0 || BigEndian32(header + 92) != BigEndian32(header + 24)) return false;
  sqlite3_int64 size = 0;
  if (file->pMethods->xFileSize(file, &size) != SQLITE_OK) return false;
  if (static_cast<uintmax_t>(size) < uintmax_t{pages} * page_size || BigEndian32(header + 36) >= pages)
    RaiseCannotOpen(path, "the file is damaged (database disk image is malformed).");
  std::vector<std::string> checks = {"sqlite_schema"};
  for (const char* own : {"OrvDatabaseInfo", "StoredQueries"})
    if (tables.find(own) != std::string::npos) checks.emplace_back(own);
  for (const std::string& table : checks) {
    const std::string result =
        ReadAtOpen(h, path, ("PRAGMA quick_check(\"" + table + "\")").c_str());
    if (result != "ok") RaiseCannotOpen(path, "the file is damaged (" + result + ").");
  }
  return true;
}

// The kind of the file by the tables only one kind holds (read from the
// schema alone, before the password: a file of the other kind is named as
// such rather than refused for its password).
DatabaseKind KindOfFile(sqlite3* h, const std::string& path) {
  const std::string tables = ReadAtOpen(
      h, path,
      "SELECT group_concat(upper(name), ' ') FROM sqlite_schema WHERE type = 'table' AND "
      "upper(name) IN ('CLAIMANT', 'DUSTMATRIX')");
  if (tables.find("CLAIMANT") != std::string::npos) return DatabaseKind::Claimant;
  if (tables.find("DUSTMATRIX") != std::string::npos) return DatabaseKind::DustData;
  return DatabaseKind::Any;
}

void RequireKind(sqlite3* h, const std::string& path, DatabaseKind wanted) {
  if (wanted == DatabaseKind::Any) return;
  const DatabaseKind found = KindOfFile(h, path);
  if (found == DatabaseKind::Any || found == wanted) return;
  RaiseCannotOpen(path, "it is " + std::string(KindName(found)) + ", not " +
                            std::string(KindName(wanted)) + ".");
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

std::string_view KindName(DatabaseKind kind) {
  switch (kind) {
    case DatabaseKind::DustData:
      return "a dust data database";
    case DatabaseKind::Claimant:
      return "a claimant database";
    case DatabaseKind::Any:
      break;
  }
  return {};
}

std::string_view KindName(SchemaObject::Kind kind) {
  switch (kind) {
    case SchemaObject::Kind::View:
      return "view";
    case SchemaObject::Kind::Trigger:
      return "trigger";
    case SchemaObject::Kind::Index:
      return "index";
    case SchemaObject::Kind::Table:
      break;
  }
  return "table";
}

bool IsRefusedForUse(const OrvError& e) {
  const int32_t n = e.Number();
  if (n != dberr::kCannotOpen && n != kComponentErrorBase + dberr::kCannotOpen) return false;
  const std::string& d = e.Description();
  for (std::string_view why : {kOpenedByAnother, kOpenedExclusively, kLockedByAnother}) {
    if (d.ends_with(why)) return true;
  }
  return false;
}

// Before the first connection: no memory statistics. SQLite otherwise counts
// every allocation under one mutex shared by all connections, which threads
// calculating side by side then queue on. (Too late once SQLite has started;
// then nothing changes.)
static void ConfigureEngineOnce() {
  static std::once_flag once;
  std::call_once(once, [] { (void)sqlite3_config(SQLITE_CONFIG_MEMSTATUS, 0); });
}

bool IsServerPath(std::string_view path) { return detail::IsServerUri(path); }

DatabasePtr OpenDatabase(const std::string& path, const OpenOptions& options) {
  if (detail::IsServerUri(path)) return detail::OpenServerDatabase(path, options);
  ConfigureEngineOnce();
  const std::string full = AbsolutePath(path);
  std::error_code ec;
  if (!fs::exists(full, ec)) {
    Raise(dberr::kFileNotFound, kSource, "Could not find file '" + full + "'.");
  }
  if (fs::is_directory(full, ec))
    Raise(dberr::kPathNotValid, kSource, "'" + full + "' is not a valid path.");

  // The connection's lock on the file comes first: a refused open touches
  // nothing. (Declared before the handle, so released after it closes.)
  detail::FileLock lock;
  std::string why;
  if (!lock.Acquire(full, options.exclusive, &why)) {
    // Out of file handles is this program's (or the system's) state of the
    // moment, not the file's permissions.
    if (why == std::strerror(EMFILE) || why == std::strerror(ENFILE)) {
      Raise(dberr::kGeneric, kSource,
            "Cannot open the file '" + full + "': too many files are open (" + why +
                "); close other programs or files and try again.");
    }
    if (!why.empty()) RaiseCannotOpen(full, "you need permission to use its data (" + why + ").");
    RaiseCannotOpen(full, options.exclusive ? kOpenedByAnother : kOpenedExclusively);
  }

  // Exclusive read-only still takes the write lock (so that nobody else opens
  // the file) and refuses writes through query_only.
  const bool handle_read_only = options.read_only && !options.exclusive;
  if (handle_read_only) UndoInterruptedChange(full);
  HandleGuard g;
  // A connection is never used by two threads at once (each thread opens its
  // own; one handed between threads is handed under a lock), so SQLite's own
  // per-connection mutex would only cost time.
  int rc = sqlite3_open_v2(
      full.c_str(), &g.h,
      (handle_read_only ? SQLITE_OPEN_READONLY : SQLITE_OPEN_READWRITE) | SQLITE_OPEN_NOMUTEX,
      nullptr);
  if (rc != SQLITE_OK) RaiseCannotOpen(full, "you need permission to use its data.");
  sqlite3_extended_result_codes(g.h, 1);
  SetLockWait(g.h, options.busy_timeout_ms);

  // SQLite opens a write-protected file read-only even when asked for
  // read-write; such a connection can only hold the shared lock.
  const bool file_read_only = sqlite3_db_readonly(g.h, "main") == 1;
  const bool read_only = options.read_only || file_read_only;
  Harden(g.h, full, read_only);
  if (options.exclusive) {
    RunAtOpen(g.h, full, "PRAGMA locking_mode=EXCLUSIVE");
    RunAtOpen(g.h, full,
              file_read_only ? "SELECT count(*) FROM sqlite_schema" : "BEGIN EXCLUSIVE; COMMIT");
  }
  if (ReadAtOpen(g.h, full, "PRAGMA application_id") != std::to_string(detail::kApplicationId)) {
    RaiseCannotOpen(full, "it is not a database of this system.");
  }
  if (options.check.value_or(OpenCheck::WholeFile) == OpenCheck::WholeFile ||
      !CheckStructure(g.h, full))
    CheckIntegrity(g.h, full, options.check_progress, options.append_only_tables);
  RequireKind(g.h, full, options.kind);
  if (options.read_only && options.exclusive) RunAtOpen(g.h, full, "PRAGMA query_only=1");

  auto conn = std::make_shared<detail::Connection>(g.Take(), full, read_only, std::move(lock),
                                                   options.query_budget);
  if (!detail::PasswordMatches(StoredPasswordHash(conn), detail::PasswordOf(options.connect))) {
    conn->Close();
    Raise(dberr::kBadPassword, kSource, "Not a valid password for the database '" + full + "'.");
  }
  return std::make_shared<detail::SqliteDatabase>(conn, full, read_only);
}

DatabasePtr CreateDatabase(const std::string& path, const std::string& connect) {
  if (detail::IsServerUri(path)) return detail::CreateServerDatabase(path);
  ConfigureEngineOnce();
  const std::string full = AbsolutePath(path);
  std::error_code ec;
  if (fs::exists(full, ec)) Raise(detail::kDatabaseExists, kSource, "Database already exists.");
  const fs::path parent = fs::path(full).parent_path();
  if (!fs::is_directory(parent, ec))
    Raise(dberr::kPathNotValid, kSource, "'" + full + "' is not a valid path.");
  // Made here, exclusively, so that SQLite opens this new file and not one
  // (or a link) another program put in its place after the check above.
  try {
    ::close(files::CreateExclusive(full));
  } catch (const OrvError& e) {
    if (e.Number() == files::kFileExists)
      Raise(detail::kDatabaseExists, kSource, "Database already exists.");
    Raise(dberr::kPathNotValid, kSource, e.Description());
  }
  files::GiveDefaultMode(full);

  detail::FileLock lock;
  HandleGuard g;
  const int rc =
      sqlite3_open_v2(full.c_str(), &g.h, SQLITE_OPEN_READWRITE | SQLITE_OPEN_CREATE, nullptr);
  if (rc != SQLITE_OK) RaiseCannotOpen(full, "the file cannot be created.");
  sqlite3_extended_result_codes(g.h, 1);
  SetLockWait(g.h, OpenOptions{}.busy_timeout_ms);
  Harden(g.h, full, false);
  // SQLite makes the file at its first write; the lock needs it now.
  RunAtOpen(g.h, full, ("PRAGMA application_id=" + std::to_string(detail::kApplicationId)).c_str());
  std::string why;
  if (!lock.Acquire(full, false, &why)) RaiseCannotOpen(full, "the file cannot be locked. " + why);
  auto conn = std::make_shared<detail::Connection>(g.Take(), full, false, std::move(lock));
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
  // The rows the statements themselves changed, not those their triggers
  // wrote (a change history's records, for one).
  int64_t changed = 0;
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
    const int64_t before = sqlite3_total_changes64(h);
    while ((rc = sqlite3_step(s)) == SQLITE_ROW) {
    }
    sqlite3_finalize(s);
    if (rc != SQLITE_DONE) RaiseSqlite(h, rc, kSource);
    if (sqlite3_total_changes64(h) != before) changed += sqlite3_changes64(h);
  }
  return changed;
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

void SqliteDatabase::BeginTrans(bool will_write) {
  // A writer takes the write lock at the start (waiting for another writer)
  // which avoids the deadlock of two readers that both want to write, where
  // one must fail.
  RunOnce(conn_, will_write && !conn_->ReadOnly() ? "BEGIN IMMEDIATE" : "BEGIN", {},
          "DAO.Workspace");
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

void SqliteDatabase::CopyTo(const std::string& destination) {
  constexpr const char* kCopySource = "DAO.Database";
  std::error_code ec;
  const fs::path dest = fs::absolute(destination, ec);
  if (ec || destination.empty()) {
    Raise(dberr::kPathNotValid, kCopySource, "'" + destination + "' is not a valid path.");
  }
  if (fs::exists(fs::symlink_status(dest, ec))) {
    Raise(kDatabaseExists, kCopySource, "Database already exists.");
  }
  if (!fs::is_directory(dest.parent_path(), ec)) {
    Raise(dberr::kPathNotValid, kCopySource, "'" + destination + "' is not a valid path.");
  }
  if (!sqlite3_get_autocommit(conn_->Handle(kCopySource))) {
    Raise(dberr::kGeneric, kCopySource, "A database cannot be copied inside a transaction.");
  }
  // The copy is written in a folder of its own beside the destination that
  // only this user may enter, so nobody can put a link or a file of theirs
  // in its way, given the database's mode and group, and renamed to its
  // name only if nothing has taken that name meanwhile: a copy never
  // overwrites a file.
  std::string side;
  try {
    side = files::MakeSideFolder(dest.string());
  } catch (const OrvError& e) {
    Raise(dberr::kPathNotValid, kCopySource, e.Description());
  }
  const std::string copy = side + "/copy.db";
  auto remove_side = [&] { fs::remove_all(side, ec); };
  // VACUUM INTO reads the database in one read transaction and writes the
  // copy through an attached connection, so it needs one attachment (and no
  // query_only) even on a read-only connection; it writes only the copy.
  sqlite3* h = conn_->Handle(kCopySource);
  const int limit = sqlite3_limit(h, SQLITE_LIMIT_ATTACHED, -1);
  bool query_only = false;
  {
    Statement st(conn_, "PRAGMA query_only", kCopySource);
    query_only = st.Step(kCopySource) && sqlite3_column_int(st.Get(kCopySource), 0) != 0;
  }
  auto restore = [&] {
    sqlite3_limit(h, SQLITE_LIMIT_ATTACHED, limit);
    if (query_only) sqlite3_exec(h, "PRAGMA query_only=1", nullptr, nullptr, nullptr);
  };
  if (limit < 1) sqlite3_limit(h, SQLITE_LIMIT_ATTACHED, 1);
  if (query_only) sqlite3_exec(h, "PRAGMA query_only=0", nullptr, nullptr, nullptr);
  try {
    RunOnce(conn_, "VACUUM INTO ?", {Value(copy)}, kCopySource);
  } catch (...) {
    restore();
    remove_side();
    throw;
  }
  restore();
  files::KeepModeAndGroup(conn_->Path(), copy);
  const bool moved = files::RenameNoReplace(copy, dest.lexically_normal().string(), ec);
  const std::error_code move_error = ec;
  remove_side();
  if (!moved && !move_error) Raise(kDatabaseExists, kCopySource, "Database already exists.");
  if (!moved) {
    Raise(dberr::kPathNotValid, kCopySource,
          "Cannot write '" + dest.string() + "': " + move_error.message());
  }
}

}  // namespace detail
}  // namespace orv::db
