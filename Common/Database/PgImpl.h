// The PostgreSQL implementations of Database, QueryDef and Recordset, for a
// database on a server named by a connection URI (postgresql://...).
//
// Names: the server keeps every table, field and index name in lower case,
// so that SQL written with names in any case (unquoted or quoted, as the
// file engine takes them) finds them; names read back from the server are
// given in upper case. SQL is passed through Translate: "?" and ":Name"
// become the server's $1, $2 ..., and quoted names are lower-cased. Every
// value is bound; none is written into SQL text.
#pragma once

#include <libpq-fe.h>

#include <map>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

#include "Detail.h"

namespace orv::db::detail {

// True for a postgresql:// or postgres:// URI.
bool IsServerUri(std::string_view path);
DatabasePtr OpenServerDatabase(const std::string& uri, const OpenOptions& options);
DatabasePtr CreateServerDatabase(const std::string& uri);

// A result that clears itself.
class PgResult {
 public:
  PgResult() = default;
  explicit PgResult(PGresult* r) : r_(r) {}
  ~PgResult() { PQclear(r_); }
  PgResult(PgResult&& o) noexcept : r_(o.r_) { o.r_ = nullptr; }
  PgResult& operator=(PgResult&& o) noexcept {
    std::swap(r_, o.r_);
    return *this;
  }
  PGresult* get() const { return r_; }
  int Rows() const { return PQntuples(r_); }
  bool IsNull(int row, int col) const { return PQgetisnull(r_, row, col) != 0; }
  std::string Text(int row, int col) const {
    return std::string(PQgetvalue(r_, row, col), size_t(PQgetlength(r_, row, col)));
  }
  int64_t Changed() const;

 private:
  PGresult* r_ = nullptr;
};

// SQL in the server's dialect: placeholders numbered, quoted names folded.
struct TranslatedSql {
  std::string sql;
  int positional = 0;               // "?" marks, numbered $1.. in order
  std::vector<std::string> named;   // ":Name" parameters in slot order
};
TranslatedSql Translate(std::string_view sql);

// A field as the server declares it, read from its catalog.
struct PgColumn {
  int attnum = 0;
  std::string name;  // as stored (lower case)
  FieldDef def;      // name upper case
  std::optional<FieldType> type;
};
struct PgTable {
  uint32_t oid = 0;
  std::string name;  // as stored (lower case)
  std::vector<PgColumn> columns;
  int key_attnum = 0;  // the single-field primary key, 0 when none
  const PgColumn* Column(int attnum) const {
    for (const PgColumn& c : columns)
      if (c.attnum == attnum) return &c;
    return nullptr;
  }
};

class PgConnection {
 public:
  PgConnection(PGconn* h, std::string uri, std::string display, bool read_only, bool exclusive,
               int lock_timeout_ms, QueryBudget budget = {});
  ~PgConnection();
  PgConnection(const PgConnection&) = delete;
  PgConnection& operator=(const PgConnection&) = delete;

  bool IsOpen() const { return h_ != nullptr; }
  void Close();
  bool ReadOnly() const { return read_only_; }
  const std::string& Uri() const { return uri_; }
  // "the database 'x' on the server 'y'": how messages name it.
  const std::string& Display() const { return display_; }

  // How a statement is planned: once, the plan kept with the statement for
  // the connection's life (the server may then plan it for any values), or
  // each time for the values given, for a statement over a whole set that
  // runs now and then, where a plan for any pattern can cost far more than
  // planning.
  enum class Plan { Kept, EachRun };
  // Runs translated SQL with values bound in order; `types` (server type
  // ids, 0 for "as the server infers") may be empty. Failures raise.
  PgResult Run(const std::string& sql, const std::vector<Value>& values,
               const std::vector<uint32_t>& types, std::string_view source,
               Plan plan = Plan::Kept);
  // Runs, as Run does, SQL that comes from the database: the stored query
  // `query`. A run longer than the budget's time is cancelled, and one whose
  // rows or a value of them are larger than the budget allows is refused:
  // both 3035 naming the query, as on a file.
  PgResult RunWithinBudget(const std::string& query, const std::string& sql,
                           const std::vector<Value>& values, const std::vector<uint32_t>& types,
                           std::string_view source, Plan plan = Plan::Kept);
  // The columns a statement would give (prepared as Run prepares it).
  PgResult Describe(const std::string& sql, const std::vector<uint32_t>& types,
                    std::string_view source);
  // Runs SQL with no values through the simple protocol (several statements
  // allowed); returns the rows changed by all of them.
  int64_t RunScript(const std::string& sql, std::string_view source);
  // The info of a table by its server id or its name (nullptr: none).
  const PgTable* Table(uint32_t oid, std::string_view source);
  const PgTable* TableNamed(std::string_view name, std::string_view source);
  // Forgets cached structure and prepared statements after a change of structure.
  void StructureChanged();
  int64_t structure_generation = 0;

  bool InTransaction() const;
  bool Connected() const { return h_ && PQstatus(h_) == CONNECTION_OK; }
  // The caller's transaction (BeginTrans to CommitTrans or Rollback) is
  // open. A connection lost inside it is not opened again until it has been
  // rolled back: a later statement of it would otherwise run on its own on
  // the new connection and be kept while the rest was lost.
  void SetTransactionOpen(bool open) { transaction_open_ = open; }
  // Raises the layer's error for a failed result (or a lost connection).
  [[noreturn]] void RaiseResult(PGresult* r, std::string_view source);

 private:
  // Before a statement: a connection lost outside a transaction (a
  // restarted server) is opened again, so that the next action works.
  void EnsureConnected(std::string_view source);
  void SetUpSession(std::string_view source);
  const std::string& Prepared(const std::string& sql, const std::vector<uint32_t>& types,
                              std::string_view source);
  [[noreturn]] void RaiseLost(std::string_view source, const std::string& why);
  [[noreturn]] void RaiseOverBudget(const std::string& query, const std::string& what) const;

  PGconn* h_;
  std::string uri_;
  std::string display_;
  bool read_only_;
  bool exclusive_;
  int lock_timeout_ms_;
  QueryBudget budget_;
  std::unordered_map<std::string, std::string> prepared_;
  int next_statement_ = 0;
  std::map<uint32_t, PgTable> tables_;
  bool transaction_open_ = false;
};
using PgConnectionPtr = std::shared_ptr<PgConnection>;

// Server type ids of the declared parameter types.
uint32_t PgTypeOf(const std::optional<FieldType>& type);
// Reads a cell of a result as the field type (or as its server type).
Value PgCell(const PgResult& r, int row, int col, const std::optional<FieldType>& type);
// The field type of a result column computed by the SQL (no table field).
std::optional<FieldType> PgTypeOfResult(uint32_t oid, int fmod, int32_t* size);
// `name` lower-cased and double-quoted.
std::string PgIdent(std::string_view name);

class PgDatabase final : public Database {
 public:
  PgDatabase(PgConnectionPtr conn, std::string name) : conn_(std::move(conn)), name_(std::move(name)) {}

  const std::string& Name() const override { return name_; }
  bool ReadOnly() const override { return conn_->ReadOnly(); }
  void Close() override { conn_->Close(); }
  bool IsOpen() const override { return conn_->IsOpen(); }
  bool IsServer() const override { return true; }

  QueryDefPtr QueryDefs(std::string_view name) override;
  bool QueryExists(std::string_view name) override;
  QueryDefPtr CreateQueryDef(std::string_view name, std::string_view sql,
                             std::string_view parameters) override;
  void DeleteQueryDef(std::string_view name) override;
  std::vector<std::string> QueryNames() override;

  int64_t Execute(std::string_view sql, const std::vector<Value>& values) override;
  RecordsetPtr OpenRecordset(std::string_view table_or_sql, RecordsetType type,
                             const std::vector<Value>& values) override;

  void BeginTrans() override { BeginTrans(true); }
  void BeginTrans(bool will_write) override;
  void CommitTrans() override;
  void Rollback() override;

  bool TableExists(std::string_view table) override;
  std::vector<std::string> TableNames() override;
  std::vector<FieldDef> Fields(std::string_view table) override;
  std::vector<IndexDef> Indexes(std::string_view table) override;
  void CreateTable(std::string_view table, const std::vector<FieldDef>& fields) override;
  void CreateField(std::string_view table, const FieldDef& field) override;
  void CreateIndex(std::string_view table, const IndexDef& index) override;
  void RenameField(std::string_view table, std::string_view from, std::string_view to) override;
  void DeleteField(std::string_view table, std::string_view field) override;
  void DropTable(std::string_view table) override;

  void CopyTo(const std::string& destination) override;
  std::vector<SchemaObject> SchemaObjects() override;

 private:
  const PgTable& RequireTable(std::string_view table, std::string_view source);
  // Runs structure SQL inside the caller's transaction or a savepoint-free
  // one of its own, then forgets cached structure.
  void Structure(const std::string& sql, std::string_view source);
  void Rebuild(const PgTable& t, const std::vector<FieldDef>& fields,
               const std::vector<IndexDef>& indexes);

  PgConnectionPtr conn_;
  std::string name_;
};

class PgQueryDef final : public StoredQueryDef {
 public:
  PgQueryDef(PgConnectionPtr conn, std::string name, std::string sql,
             std::vector<detail::Parameter> params);

  RecordsetPtr OpenRecordset(RecordsetType type) override;
  int64_t Execute() override;

 private:
  PgConnectionPtr conn_;
};

// The values and server types of named parameters in the slot order of
// translated SQL.
void BindNamed(const TranslatedSql& t, const std::vector<Parameter>& params,
               std::vector<Value>& values, std::vector<uint32_t>& types);

RecordsetPtr OpenPgRecordset(const PgConnectionPtr& conn, const std::string& sql_or_table,
                             bool table, RecordsetType type, std::vector<Value> values,
                             std::vector<Parameter> params, const std::string& query = {});

}  // namespace orv::db::detail
