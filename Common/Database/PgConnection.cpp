// The connection to a PostgreSQL server: opening by URI, the session's
// settings and its advisory lock, prepared statements, SQL translation,
// values in and out, and the server's failures as the layer's numbers.
//
// "Opened by another program" on a server: every connection holds the
// advisory lock of the database for its life, shared, or exclusive when
// opened exclusively (the structure upgrade). An exclusive open is refused
// while any other program is connected, and every open while an exclusive
// one is, with the same 3051 messages as on a file.
//
// The password never passes through this layer: libpq reads it from the
// user's password file, service file or environment. A URI that carries
// one is refused, and no message shows the URI's password.
#include <poll.h>

#include <algorithm>
#include <cctype>
#include <cerrno>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <cstdlib>

#include "OrvError.h"
#include "PgImpl.h"
#include "Text.h"

namespace orv::db::detail {

namespace {

constexpr const char* kSource = "DAO.Database";
// The advisory lock every program connection holds on its database.
constexpr const char* kLockKey = "4F525644";  // "ORVD"

constexpr uint32_t kBoolOid = 16, kInt8Oid = 20, kInt2Oid = 21, kInt4Oid = 23, kTextOid = 25,
                   kFloat4Oid = 700, kFloat8Oid = 701, kVarcharOid = 1043, kTimestampOid = 1114,
                   kNumericOid = 1700;

bool IsNameChar(char c) {
  return std::isalnum(static_cast<unsigned char>(c)) || c == '_' ||
         static_cast<unsigned char>(c) >= 0x80;
}

std::string Trimmed(const char* s) {
  std::string t = s ? s : "";
  while (!t.empty() && std::isspace(static_cast<unsigned char>(t.back()))) t.pop_back();
  return t;
}

// The parts of a connection URI that name it, parsed as libpq parses it.
struct Target {
  std::string host, port, dbname, user;
  bool has_password = false;
};

Target Parse(const std::string& uri, std::string* error) {
  Target t;
  char* err = nullptr;
  PQconninfoOption* opts = PQconninfoParse(uri.c_str(), &err);
  if (!opts) {
    *error = Trimmed(err ? err : "the connection URI is not valid");
    PQfreemem(err);
    return t;
  }
  for (PQconninfoOption* o = opts; o->keyword; ++o) {
    if (!o->val) continue;
    const std::string_view k = o->keyword;
    if (k == "host" || k == "hostaddr") {
      if (t.host.empty()) t.host = o->val;
    } else if (k == "port") {
      t.port = o->val;
    } else if (k == "dbname") {
      t.dbname = o->val;
    } else if (k == "user") {
      t.user = o->val;
    } else if (k == "password" && *o->val) {
      t.has_password = true;
    }
  }
  PQconninfoFree(opts);
  return t;
}

std::string DisplayOf(const Target& t) {
  std::string host = t.host.empty() ? "localhost" : t.host;
  if (!t.port.empty()) host += ":" + t.port;
  return "the database '" + (t.dbname.empty() ? std::string("(default)") : t.dbname) +
         "' on the server '" + host + "'";
}

[[noreturn]] void RaiseCannotOpen(const std::string& display, std::string_view why) {
  Raise(dberr::kCannotOpen, kSource,
        "The database engine cannot open " + display + ": " + std::string(why));
}

// Connects; the failures are 3051 naming the server and database.
PGconn* Connect(const std::string& uri, const std::string& display) {
  PGconn* h = PQconnectdb(uri.c_str());
  if (h && PQstatus(h) == CONNECTION_OK) return h;
  std::string why = h ? Trimmed(PQerrorMessage(h)) : "out of memory";
  PQfinish(h);
  // libpq's lines (a hint after a line break and a tab) as one line: a
  // tool's message is one line.
  std::string one_line;
  for (char c : why) {
    const bool blank = c == '\n' || c == '\t' || c == '\r';
    if (!blank) one_line += c;
    else if (!one_line.empty() && one_line.back() != ' ') one_line += ' ';
  }
  why = std::move(one_line);
  const std::string lower = LowerAscii(why);
  if (lower.find("password") != std::string::npos ||
      lower.find("authentication") != std::string::npos ||
      lower.find("role") != std::string::npos || lower.find("permission") != std::string::npos) {
    RaiseCannotOpen(display, "the server refused the login (" + why + ").");
  }
  if (lower.find("database") != std::string::npos &&
      lower.find("does not exist") != std::string::npos) {
    RaiseCannotOpen(display, "the server has no such database (" + why + ").");
  }
  RaiseCannotOpen(display, "the server cannot be reached (" + why + ").");
}

std::string NumberText(double d) {
  if (std::isnan(d)) return "NaN";
  if (std::isinf(d)) return d > 0 ? "Infinity" : "-Infinity";
  char buf[40];
  std::snprintf(buf, sizeof buf, "%.17g", d);
  return buf;
}

}  // namespace

bool IsServerUri(std::string_view path) {
  return IStartsWith(path, "postgresql://") || IStartsWith(path, "postgres://");
}

}  // namespace orv::db::detail

namespace orv::db {

std::string DisplayName(std::string_view path) {
  if (!detail::IsServerUri(path)) return std::string(path);
  std::string error;
  const detail::Target t = detail::Parse(std::string(path), &error);
  return error.empty() ? detail::DisplayOf(t) : "the connection URI given";
}

bool HoldsPassword(std::string_view path) {
  if (!detail::IsServerUri(path)) return false;
  std::string error;
  return detail::Parse(std::string(path), &error).has_password;
}

std::string WithoutPassword(std::string_view path) {
  if (!detail::IsServerUri(path)) return std::string(path);
  const size_t start = path.find("://") + 3;
  const size_t query = path.find('?', start);
  // The user's part ends at the last '@' before the path or the query.
  std::string_view authority = path.substr(start, path.find_first_of("/?", start) - start);
  std::string out(path.substr(0, start));
  if (const size_t at = authority.rfind('@'); at != std::string_view::npos) {
    const std::string_view user = authority.substr(0, at);
    out += user.substr(0, user.find(':'));
    out += authority.substr(at);
  } else {
    out += authority;
  }
  out += path.substr(start + authority.size(),
                     query == std::string_view::npos ? std::string_view::npos
                                                     : query - start - authority.size());
  if (query == std::string_view::npos) return out;
  // The parameters but password=.
  char separator = '?';
  std::string_view rest = path.substr(query + 1);
  while (!rest.empty()) {
    const size_t amp = rest.find('&');
    const std::string_view param = rest.substr(0, amp);
    if (!IStartsWith(param, "password=") && !param.empty()) {
      out += separator;
      out += param;
      separator = '&';
    }
    if (amp == std::string_view::npos) break;
    rest = rest.substr(amp + 1);
  }
  return out;
}

}  // namespace orv::db

namespace orv::db::detail {

int64_t PgResult::Changed() const {
  const char* n = PQcmdTuples(r_);
  return n && *n ? std::atoll(n) : 0;
}

std::string PgIdent(std::string_view name) {
  if (name.empty() || name.find('\0') != std::string_view::npos) {
    Raise(dberr::kGeneric, "DAO", "Not a valid name.");
  }
  std::string q = "\"";
  for (char c : LowerAscii(name)) {
    if (c == '"') q += '"';
    q += c;
  }
  return q + "\"";
}

TranslatedSql Translate(std::string_view sql) {
  TranslatedSql t;
  std::string& out = t.sql;
  out.reserve(sql.size() + 16);
  for (size_t i = 0; i < sql.size(); ++i) {
    const char c = sql[i];
    if (c == '\'') {  // a literal, as it stands
      const size_t end = sql.find('\'', i + 1);
      const size_t stop = end == std::string_view::npos ? sql.size() : end + 1;
      out.append(sql.substr(i, stop - i));
      i = stop - 1;
    } else if (c == '"') {  // a quoted name, folded as unquoted names are
      const size_t end = sql.find('"', i + 1);
      const size_t stop = end == std::string_view::npos ? sql.size() : end + 1;
      out += LowerAscii(sql.substr(i, stop - i));
      i = stop - 1;
    } else if (c == '-' && i + 1 < sql.size() && sql[i + 1] == '-') {
      const size_t end = sql.find('\n', i);
      const size_t stop = end == std::string_view::npos ? sql.size() : end;
      out.append(sql.substr(i, stop - i));
      i = stop - 1;
    } else if (c == '?') {
      out += "$" + std::to_string(++t.positional);
    } else if ((c == ':' || c == '@') && i + 1 < sql.size() && IsNameChar(sql[i + 1]) &&
               !std::isdigit(static_cast<unsigned char>(sql[i + 1])) &&
               (i == 0 || sql[i - 1] != ':') && !(c == ':' && sql[i + 1] == ':')) {
      size_t j = i + 1;
      while (j < sql.size() && IsNameChar(sql[j])) ++j;
      const std::string name(sql.substr(i + 1, j - i - 1));
      size_t slot = 0;
      while (slot < t.named.size() && !IEquals(t.named[slot], name)) ++slot;
      if (slot == t.named.size()) t.named.push_back(name);
      out += "$" + std::to_string(slot + 1);
      i = j - 1;
    } else {
      out += c;
    }
  }
  return t;
}

uint32_t PgTypeOf(const std::optional<FieldType>& type) {
  if (!type) return 0;
  switch (*type) {
    case FieldType::Long:
      return kInt4Oid;
    case FieldType::Integer:
    case FieldType::YesNo:
      return kInt2Oid;
    case FieldType::Single:
      return kFloat4Oid;
    case FieldType::Double:
      return kFloat8Oid;
    case FieldType::Currency:
      return kNumericOid;
    case FieldType::DateTime:
      return kTimestampOid;
    case FieldType::Text:
    case FieldType::Memo:
      return kTextOid;
  }
  return 0;
}

std::optional<FieldType> PgTypeOfResult(uint32_t oid, int fmod, int32_t* size) {
  if (size) *size = 0;
  switch (oid) {
    case kInt4Oid:
    case kInt8Oid:
      return FieldType::Long;
    case kInt2Oid:
      return FieldType::Integer;
    case kFloat4Oid:
      return FieldType::Single;
    case kFloat8Oid:
      return FieldType::Double;
    case kNumericOid:
      return fmod == ((19 << 16) | 4) + 4 ? std::optional(FieldType::Currency)
                                          : std::optional(FieldType::Double);
    case kBoolOid:
      return FieldType::YesNo;
    case kTimestampOid:
      return FieldType::DateTime;
    case kVarcharOid:
      if (size && fmod > 4) *size = fmod - 4;
      return FieldType::Text;
    case kTextOid:
      return FieldType::Memo;
    default:
      return std::nullopt;
  }
}

Value PgCell(const PgResult& r, int row, int col, const std::optional<FieldType>& type) {
  if (r.IsNull(row, col)) return Value();
  const char* p = PQgetvalue(r.get(), row, col);
  const uint32_t oid = PQftype(r.get(), col);
  if (oid == kBoolOid) return Value(static_cast<int64_t>(*p == 't' ? 1 : 0));
  std::optional<FieldType> t = type;
  if (!t) t = PgTypeOfResult(oid, PQfmod(r.get(), col), nullptr);
  if (!t) return Value(r.Text(row, col));
  switch (*t) {
    case FieldType::Long:
    case FieldType::Integer:
      if (oid == kInt2Oid || oid == kInt4Oid || oid == kInt8Oid)
        return Value(static_cast<int64_t>(std::strtoll(p, nullptr, 10)));
      return ConvertTo(*t, Value(std::strtod(p, nullptr)));
    case FieldType::YesNo:
      return Value(static_cast<int64_t>(std::strtod(p, nullptr) != 0 ? 1 : 0));
    case FieldType::Single:
      return Value(std::strtof(p, nullptr));
    case FieldType::Double:
      return Value(std::strtod(p, nullptr));
    case FieldType::Currency:
      return ConvertTo(FieldType::Currency, Value(std::strtod(p, nullptr)));
    case FieldType::DateTime:
    case FieldType::Text:
    case FieldType::Memo:
      return Value(r.Text(row, col));
  }
  return Value(r.Text(row, col));
}

// --- the connection ---------------------------------------------------------------

PgConnection::PgConnection(PGconn* h, std::string uri, std::string display, bool read_only,
                           bool exclusive, int lock_timeout_ms, QueryBudget budget)
    : h_(h),
      uri_(std::move(uri)),
      display_(std::move(display)),
      read_only_(read_only),
      exclusive_(exclusive),
      lock_timeout_ms_(lock_timeout_ms),
      budget_(budget) {
  try {
    SetUpSession(kSource);
  } catch (...) {
    PQfinish(h_);
    h_ = nullptr;
    throw;
  }
}

PgConnection::~PgConnection() { Close(); }

void PgConnection::Close() {
  // The advisory lock is let go before the connection ends: the server ends
  // a session a moment after its program has gone, and an upgrade started
  // at once would still find it.
  if (h_ && PQstatus(h_) == CONNECTION_OK && PQtransactionStatus(h_) == PQTRANS_IDLE) {
    PgResult(PQexec(h_, "SELECT pg_advisory_unlock_all()"));
  }
  if (h_) PQfinish(h_);
  h_ = nullptr;
  prepared_.clear();
  tables_.clear();
}

void PgConnection::SetUpSession(std::string_view source) {
  // Messages in English whatever the server's settings, dates as ISO text,
  // lock waits bounded, the advisory lock of the database taken.
  std::string setup =
      "SET client_encoding = 'UTF8'; SET DateStyle = 'ISO, YMD'; SET lc_messages = 'C';"
      "SET extra_float_digits = 1; SET lock_timeout = " +
      // No wait at all (an exclusive open's choice on a file) would fail on
      // the server's own brief locks (autovacuum): then the usual wait.
      std::to_string(lock_timeout_ms_ > 0 ? lock_timeout_ms_ : OpenOptions{}.busy_timeout_ms) +
      ";";
  if (read_only_) setup += "SET default_transaction_read_only = on;";
  PgResult r(PQexec(h_, setup.c_str()));
  if (PQresultStatus(r.get()) != PGRES_COMMAND_OK) {
    // lc_messages is a superuser's setting on some servers: go on without it.
    PgResult again(PQexec(h_, ReplaceAll(setup, "SET lc_messages = 'C';", "").c_str()));
    if (PQresultStatus(again.get()) != PGRES_COMMAND_OK) RaiseResult(again.get(), source);
  }
  // A program killed mid-statement: the server notices soon and undoes its
  // work, releasing its locks (best effort: older servers lack the setting).
  PgResult(PQexec(h_, "SET client_connection_check_interval = 1000"));
  const std::string lock = std::string("SELECT ") +
                           (exclusive_ ? "pg_try_advisory_lock" : "pg_try_advisory_lock_shared") +
                           "(x'" + kLockKey + "'::bigint)";
  PgResult l(PQexec(h_, lock.c_str()));
  if (PQresultStatus(l.get()) != PGRES_TUPLES_OK) RaiseResult(l.get(), source);
  if (l.Text(0, 0) != "t") {
    RaiseCannotOpen(display_, exclusive_ ? "it is already opened by another user."
                                         : "it is already opened exclusively by another user.");
  }
}

bool PgConnection::InTransaction() const {
  // A lost connection's status is unknown: the caller's own word stands.
  if (!Connected()) return h_ && transaction_open_;
  return PQtransactionStatus(h_) != PQTRANS_IDLE;
}

void PgConnection::RaiseLost(std::string_view source, const std::string& why) {
  // libpq's account runs over several indented lines: its first says why.
  std::string first;
  for (char c : why.substr(0, why.find('\n'))) {
    if (!std::isspace(static_cast<unsigned char>(c)) || (!first.empty() && first.back() != ' ')) {
      first += std::isspace(static_cast<unsigned char>(c)) ? ' ' : c;
    }
  }
  while (!first.empty() && first.back() == ' ') first.pop_back();
  Raise(dberr::kConnectionLost, source,
        "The connection to " + display_ +
            " was lost; what was being saved was not saved. The next action connects again. (" +
            first + ")");
}

void PgConnection::EnsureConnected(std::string_view source) {
  if (!h_) Raise(kObjectInvalid, source, "Object invalid or no longer set.");
  if (PQstatus(h_) == CONNECTION_OK) return;
  if (transaction_open_) {
    RaiseLost(source, "the transaction in hand went with it; roll it back before going on");
  }
  PQreset(h_);
  prepared_.clear();
  tables_.clear();
  if (PQstatus(h_) != CONNECTION_OK) RaiseLost(source, Trimmed(PQerrorMessage(h_)));
  SetUpSession(source);
}

void PgConnection::StructureChanged() {
  tables_.clear();
  ++structure_generation;
  // Prepared statements describe the structure they were prepared on.
  if (h_ && !prepared_.empty()) {
    for (const auto& [sql, name] : prepared_) {
      (void)sql;
      PgResult r(PQexec(h_, ("DEALLOCATE " + name).c_str()));
    }
  }
  prepared_.clear();
}

const std::string& PgConnection::Prepared(const std::string& sql,
                                          const std::vector<uint32_t>& types,
                                          std::string_view source) {
  EnsureConnected(source);
  std::string key = sql;
  for (uint32_t t : types) key += "\x1f" + std::to_string(t);
  auto it = prepared_.find(key);
  if (it == prepared_.end()) {
    const std::string name = "orv" + std::to_string(++next_statement_);
    std::vector<Oid> oids(types.begin(), types.end());
    PgResult p(PQprepare(h_, name.c_str(), sql.c_str(), static_cast<int>(oids.size()),
                         oids.empty() ? nullptr : oids.data()));
    if (PQresultStatus(p.get()) != PGRES_COMMAND_OK) RaiseResult(p.get(), source);
    it = prepared_.emplace(std::move(key), name).first;
  }
  return it->second;
}

PgResult PgConnection::Describe(const std::string& sql, const std::vector<uint32_t>& types,
                                std::string_view source) {
  const std::string& name = Prepared(sql, types, source);
  PgResult r(PQdescribePrepared(h_, name.c_str()));
  if (PQresultStatus(r.get()) != PGRES_COMMAND_OK) RaiseResult(r.get(), source);
  return r;
}

namespace {

// Values as the texts the server reads them from; a null value has none.
class BoundTexts {
 public:
  explicit BoundTexts(const std::vector<Value>& values)
      : texts_(values.size()), ptrs_(values.size(), nullptr) {
    for (size_t i = 0; i < values.size(); ++i) {
      const Value& v = values[i];
      switch (v.kind()) {
        case Value::Kind::Null:
          continue;
        case Value::Kind::Integer:
          texts_[i] = std::to_string(std::get<int64_t>(v.raw()));
          break;
        case Value::Kind::Real:
          texts_[i] = NumberText(std::get<double>(v.raw()));
          break;
        case Value::Kind::Text:
          texts_[i] = std::get<std::string>(v.raw());
          break;
      }
      ptrs_[i] = texts_[i].c_str();
    }
  }
  int Count() const { return static_cast<int>(ptrs_.size()); }
  const char* const* Data() const { return ptrs_.empty() ? nullptr : ptrs_.data(); }

 private:
  std::vector<std::string> texts_;
  std::vector<const char*> ptrs_;
};

// The server types of `count` values: those given, then "as the server
// infers" (0); none when no type is given.
std::vector<Oid> TypesOf(const std::vector<uint32_t>& types, size_t count) {
  if (types.empty()) return {};
  std::vector<Oid> oids(types.begin(), types.end());
  oids.resize(std::max(count, oids.size()), 0);
  return oids;
}

// "10 s", or "250 ms" when not whole seconds.
std::string DurationText(int32_t ms) {
  return ms % 1000 == 0 ? std::to_string(ms / 1000) + " s" : std::to_string(ms) + " ms";
}

}  // namespace

PgResult PgConnection::Run(const std::string& sql, const std::vector<Value>& values,
                           const std::vector<uint32_t>& types, std::string_view source,
                           Plan plan) {
  const BoundTexts bound(values);
  PgResult r;
  if (plan == Plan::EachRun) {
    EnsureConnected(source);
    const std::vector<Oid> oids = TypesOf(types, values.size());
    r = PgResult(PQexecParams(h_, sql.c_str(), bound.Count(), oids.empty() ? nullptr : oids.data(),
                              bound.Data(), nullptr, nullptr, 0));
  } else {
    const std::string name = Prepared(sql, types, source);
    r = PgResult(
        PQexecPrepared(h_, name.c_str(), bound.Count(), bound.Data(), nullptr, nullptr, 0));
  }
  const auto status = PQresultStatus(r.get());
  if (status != PGRES_COMMAND_OK && status != PGRES_TUPLES_OK) RaiseResult(r.get(), source);
  return r;
}

void PgConnection::RaiseOverBudget(const std::string& query, const std::string& what) const {
  Raise(dberr::kQueryBudget, "DAO.QueryDef",
        "The stored query '" + query + "' of " + display_ + " was stopped: it " + what +
            ", more than a query from a database may. The database's queries may have been "
            "changed by another program.");
}

PgResult PgConnection::RunWithinBudget(const std::string& query, const std::string& sql,
                                       const std::vector<Value>& values,
                                       const std::vector<uint32_t>& types,
                                       std::string_view source, Plan plan) {
  const BoundTexts bound(values);
  if (plan == Plan::EachRun) {
    EnsureConnected(source);
    const std::vector<Oid> oids = TypesOf(types, values.size());
    if (!PQsendQueryParams(h_, sql.c_str(), bound.Count(), oids.empty() ? nullptr : oids.data(),
                           bound.Data(), nullptr, nullptr, 0)) {
      RaiseResult(nullptr, source);
    }
  } else {
    const std::string name = Prepared(sql, types, source);
    if (!PQsendQueryPrepared(h_, name.c_str(), bound.Count(), bound.Data(), nullptr, nullptr, 0)) {
      RaiseResult(nullptr, source);
    }
  }
  // The whole result is awaited; past the budget's time the server is asked
  // to cancel the run, which then ends as cancelled ("57014").
  using Clock = std::chrono::steady_clock;
  const Clock::time_point deadline = Clock::now() + std::chrono::milliseconds(budget_.server_ms);
  bool cancelled = false;
  while (PQisBusy(h_)) {
    int wait_ms = -1;
    if (!cancelled) {
      const auto left =
          std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now()).count();
      if (left <= 0) {
        cancelled = true;
        if (PGcancel* cancel = PQgetCancel(h_)) {
          char error[256];
          PQcancel(cancel, error, sizeof error);
          PQfreeCancel(cancel);
        }
        continue;
      }
      wait_ms = static_cast<int>(std::min<int64_t>(left, budget_.server_ms));
    }
    pollfd ready{PQsocket(h_), POLLIN, 0};
    if (::poll(&ready, 1, wait_ms) < 0 && errno != EINTR) break;
    if (!PQconsumeInput(h_)) break;
  }
  PgResult r(PQgetResult(h_));
  while (PGresult* more = PQgetResult(h_)) PQclear(more);
  const auto status = PQresultStatus(r.get());
  if (status != PGRES_COMMAND_OK && status != PGRES_TUPLES_OK) {
    const char* state = r.get() ? PQresultErrorField(r.get(), PG_DIAG_SQLSTATE) : nullptr;
    if (cancelled && state && std::string_view(state) == "57014") {
      RaiseOverBudget(query, "ran for more than " + DurationText(budget_.server_ms));
    }
    RaiseResult(r.get(), source);
  }
  // The sizes a file's query is held to, on the rows as they have arrived.
  int64_t taken = 0;
  const int columns = PQnfields(r.get());
  for (int row = 0; row < r.Rows(); ++row) {
    for (int col = 0; col < columns; ++col) {
      const int length = PQgetlength(r.get(), row, col);
      if (length > budget_.value_bytes) {
        RaiseOverBudget(query, "made a value larger than " +
                                   std::to_string(budget_.value_bytes >> 20) + " MB");
      }
      taken += length;
    }
    if (taken > budget_.memory_bytes) {
      RaiseOverBudget(query, "returned rows of more than " +
                                 std::to_string(budget_.memory_bytes >> 20) + " MB");
    }
  }
  return r;
}

int64_t PgConnection::RunScript(const std::string& sql, std::string_view source) {
  EnsureConnected(source);
  if (!PQsendQuery(h_, sql.c_str())) RaiseResult(nullptr, source);
  int64_t changed = 0;
  PgResult failed;
  while (PGresult* r = PQgetResult(h_)) {
    PgResult res(r);
    const auto status = PQresultStatus(r);
    if (status != PGRES_COMMAND_OK && status != PGRES_TUPLES_OK) {
      if (!failed.get()) failed = std::move(res);
      continue;
    }
    changed += res.Changed();
  }
  if (failed.get()) RaiseResult(failed.get(), source);
  return changed;
}

void PgConnection::RaiseResult(PGresult* r, std::string_view source) {
  if (!h_ || PQstatus(h_) != CONNECTION_OK) {
    RaiseLost(source, h_ ? Trimmed(PQerrorMessage(h_)) : "closed");
  }
  const char* state = r ? PQresultErrorField(r, PG_DIAG_SQLSTATE) : nullptr;
  const std::string code = state ? state : "";
  std::string message = r ? Trimmed(PQresultErrorField(r, PG_DIAG_MESSAGE_PRIMARY))
                          : Trimmed(PQerrorMessage(h_));
  if (message.empty()) message = Trimmed(PQerrorMessage(h_));
  const char* column = r ? PQresultErrorField(r, PG_DIAG_COLUMN_NAME) : nullptr;
  if (code == "23505") {
    Raise(dberr::kDuplicateKey, source,
          "The changes you requested to the table were not successful because they would create "
          "duplicate values in the index, primary key, or relationship. (" +
              message + ")");
  }
  if (code == "22001") RaiseFieldTooSmall(source, column ? UpperAscii(column) : "");
  if (code == "22003") RaiseNumericOverflow(source, column ? UpperAscii(column) : "");
  if (code == "42P01") {
    Raise(dberr::kTableOrQueryNotFound, source,
          "The database engine cannot find the input table or query named in the statement. (" +
              message + ")");
  }
  if (code == "25006") {
    Raise(dberr::kReadOnly, source, "Cannot update. Database or object is read-only.");
  }
  if (code == "42501") {
    Raise(dberr::kNoDesignPermission, source,
          "The server refused: this login has no permission for this on " + display_ +
              " (a change of structure needs the administrator's login). Nothing of it was "
              "saved. (" +
              message + ")");
  }
  if (code == "55P03" || code == "40P01" || code == "40001") {
    Raise(dberr::kCurrentlyLocked, source,
          "Could not update; currently locked by another user. Try again when the other user "
          "has finished. (" +
              message + ")");
  }
  if (code.rfind("08", 0) == 0 || code == "57P01" || code == "57P02" || code == "57P03") {
    RaiseLost(source, message);
  }
  Raise(dberr::kGeneric, source, message);
}

const PgTable* PgConnection::Table(uint32_t oid, std::string_view source) {
  if (oid == 0) return nullptr;
  auto it = tables_.find(oid);
  if (it != tables_.end()) return &it->second;
  PgResult r = Run(
      "SELECT a.attnum, a.attname, format_type(a.atttypid, a.atttypmod), a.attnotnull, "
      "pg_get_expr(d.adbin, d.adrelid), a.attidentity, c.relname, "
      "(SELECT conkey[1] FROM pg_constraint k WHERE k.conrelid = c.oid AND k.contype = 'p' "
      " AND array_length(k.conkey, 1) = 1), "
      "EXISTS (SELECT 1 FROM pg_constraint z WHERE z.conrelid = c.oid AND z.contype = 'c' "
      " AND z.conname = 'orv$nonempty$' || a.attname) "
      "FROM pg_class c JOIN pg_attribute a ON a.attrelid = c.oid "
      "LEFT JOIN pg_attrdef d ON d.adrelid = a.attrelid AND d.adnum = a.attnum "
      "WHERE c.oid = $1 AND a.attnum > 0 AND NOT a.attisdropped ORDER BY a.attnum",
      {Value(static_cast<int64_t>(oid))}, {26}, source);
  if (r.Rows() == 0) return nullptr;
  PgTable t;
  t.oid = oid;
  t.name = r.Text(0, 6);
  t.key_attnum = r.IsNull(0, 7) ? 0 : std::atoi(PQgetvalue(r.get(), 0, 7));
  for (int i = 0; i < r.Rows(); ++i) {
    PgColumn c;
    c.attnum = std::atoi(PQgetvalue(r.get(), i, 0));
    c.name = r.Text(i, 1);
    const std::string decl = r.Text(i, 2);
    FieldDef& f = c.def;
    f.name = UpperAscii(c.name);
    f.required = r.Text(i, 3) == "t";
    f.auto_increment = !r.Text(i, 5).empty();
    f.allow_zero_length = r.Text(i, 8) != "t";
    if (decl == "integer" || decl == "bigint") {
      f.type = FieldType::Long;
    } else if (decl == "smallint") {
      f.type = FieldType::Integer;
    } else if (decl == "yesno" || decl == "boolean") {
      f.type = FieldType::YesNo;
    } else if (decl == "real") {
      f.type = FieldType::Single;
    } else if (decl == "double precision") {
      f.type = FieldType::Double;
    } else if (decl == "numeric(19,4)") {
      f.type = FieldType::Currency;
    } else if (decl.rfind("numeric", 0) == 0) {
      f.type = FieldType::Double;
    } else if (decl.rfind("timestamp", 0) == 0 || decl == "date") {
      f.type = FieldType::DateTime;
    } else if (decl.rfind("character varying(", 0) == 0) {
      f.type = FieldType::Text;
      f.size = std::atoi(decl.c_str() + 18);
    } else if (decl == "text" || decl == "character varying") {
      f.type = FieldType::Memo;
    } else {
      f.type = FieldType::Memo;
      c.type = std::nullopt;
      t.columns.push_back(std::move(c));
      continue;
    }
    c.type = f.type;
    if (!r.IsNull(i, 4) && !f.auto_increment) {
      // A default as the server writes it: 'text'::type, or a number.
      const std::string d = r.Text(i, 4);
      if (!d.empty() && d[0] == '\'') {
        std::string text;
        size_t k = 1;
        for (; k < d.size(); ++k) {
          if (d[k] == '\'') {
            if (k + 1 < d.size() && d[k + 1] == '\'') {
              text += '\'';
              ++k;
              continue;
            }
            break;
          }
          text += d[k];
        }
        f.default_value = Value(text);
      } else {
        std::string n = d;
        if (n.size() > 2 && n.front() == '(' && n.back() == ')') n = n.substr(1, n.size() - 2);
        char* end = nullptr;
        const double v = std::strtod(n.c_str(), &end);
        if (end && end != n.c_str()) {
          f.default_value = (v == std::floor(v) && std::fabs(v) < 9e15)
                                ? Value(static_cast<int64_t>(v))
                                : Value(v);
        }
      }
    }
    t.columns.push_back(std::move(c));
  }
  return &tables_.emplace(oid, std::move(t)).first->second;
}

const PgTable* PgConnection::TableNamed(std::string_view name, std::string_view source) {
  PgResult r = Run(
      "SELECT c.oid FROM pg_class c WHERE c.relname = $1 AND c.relkind IN ('r', 'p') "
      "AND c.relnamespace = current_schema()::regnamespace",
      {Value(LowerAscii(name))}, {}, source);
  if (r.Rows() == 0) return nullptr;
  return Table(static_cast<uint32_t>(std::strtoul(PQgetvalue(r.get(), 0, 0), nullptr, 10)), source);
}

// --- opening ----------------------------------------------------------------------

namespace {

// The URI checked before anything is sent to the server: malformed, or
// carrying a password, it is refused naming what was given (without it).
Target CheckUri(const std::string& uri) {
  std::string error;
  const Target t = Parse(uri, &error);
  if (!error.empty()) {
    Raise(dberr::kCannotOpen, kSource,
          "The database engine cannot open the connection URI given: " + error);
  }
  if (t.has_password) {
    RaiseCannotOpen(DisplayOf(t),
                    "the connection URI holds a password. Give it through the PostgreSQL "
                    "password file (~/.pgpass), the service file or PGPASSWORD instead.");
  }
  return t;
}

}  // namespace

DatabasePtr OpenServerDatabase(const std::string& uri, const OpenOptions& options) {
  const Target t = CheckUri(uri);
  const std::string display = DisplayOf(t);
  PGconn* h = Connect(uri, display);
  auto conn = std::make_shared<PgConnection>(h, uri, display, options.read_only, options.exclusive,
                                             options.busy_timeout_ms, options.query_budget);
  // Ours: the layer's info table; then the kind, as on a file.
  const PgTable* info = conn->TableNamed(kInfoTable, kSource);
  if (!info) RaiseCannotOpen(display, "it is not a database of this system.");
  if (options.kind != DatabaseKind::Any) {
    const bool claimant = conn->TableNamed("CLAIMANT", kSource) != nullptr;
    const bool dust = conn->TableNamed("DUSTMATRIX", kSource) != nullptr;
    const DatabaseKind found =
        claimant ? DatabaseKind::Claimant : dust ? DatabaseKind::DustData : DatabaseKind::Any;
    if (found != DatabaseKind::Any && found != options.kind) {
      RaiseCannotOpen(display, "it is " + std::string(KindName(found)) + ", not " +
                                   std::string(KindName(options.kind)) + ".");
    }
  }
  return std::make_shared<PgDatabase>(conn, uri);
}

DatabasePtr CreateServerDatabase(const std::string& uri) {
  const Target t = CheckUri(uri);
  const std::string display = DisplayOf(t);
  PGconn* h = Connect(uri, display);
  auto conn = std::make_shared<PgConnection>(h, uri, display, false, false,
                                             OpenOptions{}.busy_timeout_ms);
  if (conn->TableNamed(kInfoTable, kSource)) {
    Raise(kDatabaseExists, kSource, "Database already exists.");
  }
  conn->RunScript(
      "BEGIN;"
      "CREATE DOMAIN yesno AS smallint;"
      "CREATE TABLE orvdatabaseinfo(key varchar(64) PRIMARY KEY, value text);"
      "CREATE TABLE storedqueries(name varchar(64) PRIMARY KEY, parameters text, sql text);"
      "INSERT INTO orvdatabaseinfo(key, value) VALUES ('Format', '1'), ('Password', '');"
      "COMMIT",
      kSource);
  conn->StructureChanged();
  return std::make_shared<PgDatabase>(conn, uri);
}

}  // namespace orv::db::detail
