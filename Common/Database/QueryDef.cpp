// Stored query definitions. Their SQL text and parameter declarations live
// in the database's own table
//   StoredQueries(Name TEXT PRIMARY KEY COLLATE NOCASE, Parameters TEXT, SQL TEXT)
// and parameters are written :Name in the SQL. Prepared statements come
// from the connection's pool keyed by SQL text, so looking a query up again
// does not prepare it again.
#include "Impl.h"
#include "Text.h"

namespace orv::db::detail {

namespace {

constexpr const char* kSource = "DAO.QueryDef";

// Adds the parameters the SQL uses but does not declare (kept as given).
void AddImplicit(std::vector<Parameter>& params, std::string_view sql) {
  for (std::string& name : ParameterNamesInSql(sql)) {
    bool declared = false;
    for (const Parameter& p : params) declared = declared || IEquals(p.name, name);
    if (!declared) params.push_back(Parameter{std::move(name), std::nullopt, Value()});
  }
}

// A leading "PARAMETERS a Long, b Text;" clause becomes the declaration and
// the bracketed references [a] to declared parameters become :a.
void SplitParametersClause(std::string& sql, std::string& decl) {
  const std::string head = TrimWhite(sql);
  if (!IStartsWith(head, "PARAMETERS ")) return;
  const auto semi = head.find(';');
  if (semi == std::string::npos) return;
  decl = TrimWhite(head.substr(11, semi - 11));
  std::string body = TrimWhite(head.substr(semi + 1));
  for (const Parameter& p : ParseParameters(decl)) {
    std::string out;
    size_t i = 0;
    while (i < body.size()) {
      const auto open = body.find('[', i);
      if (open == std::string::npos) break;
      const auto close = body.find(']', open);
      if (close == std::string::npos) break;
      out += body.substr(i, open - i);
      const std::string inner = body.substr(open + 1, close - open - 1);
      out += IEquals(inner, p.name) ? ":" + p.name : body.substr(open, close - open + 1);
      i = close + 1;
    }
    out += body.substr(i);
    body = std::move(out);
  }
  sql = std::move(body);
}

// Fails on SQL that SQLite cannot parse; a table or column not there (yet)
// is accepted, as the query may be stored before its tables are made.
void CheckSyntax(sqlite3* h, const std::string& sql) {
  sqlite3_stmt* stmt = nullptr;
  const int rc = sqlite3_prepare_v2(h, sql.c_str(), -1, &stmt, nullptr);
  sqlite3_finalize(stmt);
  if (rc == SQLITE_OK) return;
  const std::string msg = sqlite3_errmsg(h);
  if (msg.rfind("no such table", 0) == 0 || msg.rfind("no such column", 0) == 0) return;
  Raise(dberr::kGeneric, kSource, msg);
}

void EnsureQueryTable(const ConnectionPtr& conn) {
  if (TableExists(conn, kQueryTable)) return;
  RunOnce(conn,
          "CREATE TABLE StoredQueries(Name TEXT PRIMARY KEY COLLATE NOCASE, Parameters TEXT, "
          "SQL TEXT)",
          {}, kSource);
}

}  // namespace

SqliteQueryDef::SqliteQueryDef(ConnectionPtr conn, std::string name, std::string sql,
                               std::vector<detail::Parameter> params)
    : StoredQueryDef(std::move(name), std::move(sql), std::move(params)), conn_(std::move(conn)) {
  AddImplicit(params_, sql_);
}

RecordsetPtr SqliteQueryDef::OpenRecordset(RecordsetType type) {
  return OpenSqlRecordset(conn_, sql_, type, {}, params_, name_);
}

int64_t SqliteQueryDef::Execute() {
  Statement st = [&] {
    QueryGuard guard(*conn_, name_);
    return Statement(conn_, sql_, kSource);
  }();
  sqlite3_stmt* s = st.Get(kSource);
  BindParameters(s, params_);
  sqlite3* h = sqlite3_db_handle(s);
  const int64_t before = sqlite3_total_changes64(h);
  while (st.Step(kSource)) {
  }
  st.Rewind();
  // The rows the statement itself changed, not those its triggers wrote.
  return sqlite3_total_changes64(h) == before ? 0 : sqlite3_changes64(h);
}

// --- the database's stored queries ----------------------------------------------

QueryDefPtr SqliteDatabase::QueryDefs(std::string_view name) {
  if (!detail::TableExists(conn_, kQueryTable)) RaiseTableOrQueryNotFound(kSource, name);
  Statement st(conn_, "SELECT Name, Parameters, SQL FROM StoredQueries WHERE Name = ?", kSource);
  sqlite3_stmt* s = st.Get(kSource);
  const std::string key(name);
  sqlite3_bind_text(s, 1, key.data(), static_cast<int>(key.size()), SQLITE_STATIC);
  if (!st.Step(kSource)) RaiseTableOrQueryNotFound(kSource, name);
  auto text = [s](int col) {
    const auto* p = reinterpret_cast<const char*>(sqlite3_column_text(s, col));
    return std::string(p ? p : "");
  };
  std::string stored_name = text(0);
  std::vector<detail::Parameter> params = ParseParameters(text(1));
  std::string sql = text(2);
  st.Rewind();
  return std::make_shared<SqliteQueryDef>(conn_, std::move(stored_name), std::move(sql),
                                          std::move(params));
}

bool SqliteDatabase::QueryExists(std::string_view name) {
  if (!detail::TableExists(conn_, kQueryTable)) return false;
  Statement st(conn_, "SELECT 1 FROM StoredQueries WHERE Name = ?", kSource);
  const std::string key(name);
  sqlite3_bind_text(st.Get(kSource), 1, key.data(), static_cast<int>(key.size()), SQLITE_STATIC);
  const bool found = st.Step(kSource);
  st.Rewind();
  return found;
}

QueryDefPtr SqliteDatabase::CreateQueryDef(std::string_view name, std::string_view sql,
                                           std::string_view parameters) {
  const std::string key = TrimWhite(name);
  if (key.empty()) Raise(dberr::kGeneric, kSource, "A query needs a name.");
  std::string text(sql);
  std::string decl(parameters);
  if (decl.empty()) SplitParametersClause(text, decl);
  std::vector<detail::Parameter> params = ParseParameters(decl);  // fails on a bad declaration
  CheckSyntax(conn_->Handle(kSource), text);
  EnsureQueryTable(conn_);
  RunOnce(conn_, "INSERT OR REPLACE INTO StoredQueries(Name, Parameters, SQL) VALUES (?, ?, ?)",
          {Value(key), Value(decl), Value(text)}, kSource);
  return std::make_shared<SqliteQueryDef>(conn_, key, std::move(text), std::move(params));
}

void SqliteDatabase::DeleteQueryDef(std::string_view name) {
  if (!detail::TableExists(conn_, kQueryTable)) RaiseItemNotFound(kSource);
  const int64_t n =
      RunOnce(conn_, "DELETE FROM StoredQueries WHERE Name = ?", {Value(name)}, kSource);
  if (n == 0) RaiseItemNotFound(kSource);
}

std::vector<std::string> SqliteDatabase::QueryNames() {
  std::vector<std::string> names;
  if (!detail::TableExists(conn_, kQueryTable)) return names;
  Statement st(conn_, "SELECT Name FROM StoredQueries ORDER BY Name COLLATE NOCASE", kSource);
  sqlite3_stmt* s = st.Get(kSource);
  while (st.Step(kSource))
    names.emplace_back(reinterpret_cast<const char*>(sqlite3_column_text(s, 0)));
  st.Rewind();
  return names;
}

}  // namespace orv::db::detail
