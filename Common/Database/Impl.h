// The SQLite implementations of Database, QueryDef and Recordset.
#pragma once

#include "Detail.h"

namespace orv::db::detail {

class SqliteDatabase final : public Database {
 public:
  SqliteDatabase(ConnectionPtr conn, std::string name, bool read_only);
  ~SqliteDatabase() override = default;

  const std::string& Name() const override { return name_; }
  bool ReadOnly() const override { return read_only_; }
  void Close() override { conn_->Close(); }
  bool IsOpen() const override { return conn_->IsOpen(); }

  QueryDefPtr QueryDefs(std::string_view name) override;
  bool QueryExists(std::string_view name) override;
  QueryDefPtr CreateQueryDef(std::string_view name, std::string_view sql,
                             std::string_view parameters) override;
  void DeleteQueryDef(std::string_view name) override;
  std::vector<std::string> QueryNames() override;

  int64_t Execute(std::string_view sql, const std::vector<Value>& values) override;
  RecordsetPtr OpenRecordset(std::string_view table_or_sql, RecordsetType type,
                             const std::vector<Value>& values) override;

  void BeginTrans() override { BeginTrans(!read_only_); }
  void BeginTrans(bool will_write) override;
  void CommitTrans() override;
  void Rollback() override;

  bool TableExists(std::string_view table) override;
  std::vector<std::string> TableNames() override;
  std::vector<SchemaObject> SchemaObjects() override;
  std::vector<FieldDef> Fields(std::string_view table) override;
  std::vector<IndexDef> Indexes(std::string_view table) override;
  void CreateTable(std::string_view table, const std::vector<FieldDef>& fields) override;
  void CreateField(std::string_view table, const FieldDef& field) override;
  void CreateIndex(std::string_view table, const IndexDef& index) override;
  void RenameField(std::string_view table, std::string_view from, std::string_view to) override;
  void DeleteField(std::string_view table, std::string_view field) override;
  void DropTable(std::string_view table) override;

  void CopyTo(const std::string& destination) override;

  const ConnectionPtr& Conn() const { return conn_; }

 private:
  ConnectionPtr conn_;
  std::string name_;
  bool read_only_;
};

class SqliteQueryDef final : public StoredQueryDef {
 public:
  SqliteQueryDef(ConnectionPtr conn, std::string name, std::string sql,
                 std::vector<detail::Parameter> params);

  RecordsetPtr OpenRecordset(RecordsetType type) override;
  int64_t Execute() override;

 private:
  ConnectionPtr conn_;
};

// Opens a recordset on a table (table mode: seek allowed) or an SQL SELECT,
// with positional values or named parameters.
RecordsetPtr OpenTableRecordset(const ConnectionPtr& conn, std::string_view table,
                                RecordsetType type);
// `query` names the stored query the SQL comes from (empty for the caller's
// own SQL): on a read-only connection it is prepared under the guard.
RecordsetPtr OpenSqlRecordset(const ConnectionPtr& conn, std::string_view sql, RecordsetType type,
                              std::vector<Value> values, std::vector<Parameter> params,
                              const std::string& query = {});

// Structure operations on an open connection (Structure.cpp).
std::vector<FieldDef> ReadFields(const ConnectionPtr& conn, std::string_view table);
std::vector<IndexDef> ReadIndexes(const ConnectionPtr& conn, std::string_view table);

}  // namespace orv::db::detail
