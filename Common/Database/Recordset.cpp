// Recordsets. Both kinds run their statement to the end when opened or
// re-run and then reset it, so that no lock is held between calls and the
// same prepared statement is simply rebound and stepped again on Requery.
//
// A snapshot keeps every row as it was. A dynaset over one base table reads
// only each row's rowid (added to the SELECT as a hidden first column): it
// is a keyset, holding the keys and reading a row from the table whenever
// it moves onto it, so opening it costs the keys alone, it sees other
// users' changes, writes its own adds, edits and deletes to the table by
// rowid, and keeps rows it adds at the end of the set. (A dynaset whose
// SELECT also computes fields keeps every row, as those fields cannot be
// read again by rowid.) A dynaset on SQL that is not a single-table SELECT
// (joins, DISTINCT, WITH) is read-only and keeps every row too. Bookmarks
// are positions in the set, valid until Requery.
//
// Edits are optimistic: Edit re-reads the row and remembers it as stored;
// Update, inside a write transaction, compares the stored row with that
// copy and refuses (3197) when another connection or recordset changed it
// meanwhile, instead of overwriting their change.
#include <cctype>
#include <cstring>
#include <unordered_set>

#include "Impl.h"
#include "RecordsetBase.h"
#include "OrvError.h"
#include "Text.h"

namespace orv::db::detail {

namespace {

constexpr const char* kSource = "DAO.Recordset";
constexpr const char* kRowidColumn = "orv$rowid";

// The SELECT with the rowid injected as first column, or empty when the SQL
// does not start with a plain SELECT.
std::string InjectRowid(const std::string& sql) {
  const std::string head = TrimWhite(sql);
  if (!IStartsWith(head, "SELECT") || head.size() < 7 ||
      !std::isspace(static_cast<unsigned char>(head[6])))
    return {};
  std::string rest = TrimWhite(head.substr(7));
  if (IStartsWith(rest, "DISTINCT")) return {};
  if (IStartsWith(rest, "ALL ")) rest = rest.substr(4);
  return "SELECT _rowid_ AS \"" + std::string(kRowidColumn) + "\", " + rest;
}

// A column as stored, for comparing a row before and after: type and bytes.
struct StoredValue {
  int type = SQLITE_NULL;
  int64_t i = 0;
  double d = 0;
  std::string bytes;
  bool operator==(const StoredValue& o) const {
    if (type != o.type) return false;
    switch (type) {
      case SQLITE_INTEGER:
        return i == o.i;
      case SQLITE_FLOAT:
        return std::memcmp(&d, &o.d, sizeof d) == 0;
      case SQLITE_NULL:
        return true;
      default:
        return bytes == o.bytes;
    }
  }
};

class SqliteRecordset final : public RecordsetBase {
 public:
  SqliteRecordset(ConnectionPtr conn, RecordsetType type, std::string query = {})
      : conn_(std::move(conn)), type_(type) {
    query_ = std::move(query);
  }

  // Opens on a table (seek allowed) or on SQL.
  void OpenTable(const std::string& table);
  void OpenSql(const std::string& sql, std::vector<Value> values, std::vector<Parameter> params);

  using RecordsetBase::Field;
  Value Field(int index) const override;

  void Requery(QueryDef* def) override;

  void AddNew() override;
  void Edit() override;
  void SetField(std::string_view name, const Value& value) override;
  void Update() override;
  void Delete() override;

  bool FindFirst(std::string_view field, const Value& value) override;

  void SetIndex(std::string_view index) override;
  void Seek(std::string_view op, const std::vector<Value>& values) override;
  bool NoMatch() const override { return Check(), no_match_; }

  void Close() override;

 private:
  // `fresh`: after a change of structure, not from the statement pool.
  void Prepare(const std::string& sql, bool fresh = false);
  void LoadColumns();
  void Bind(sqlite3_stmt* s);
  void Run() override;
  int64_t SchemaVersion();
  void RequireUpdatable() const;
  // A keyset holds the cells of one row, the one last read.
  const Value& Cell(int row, int col) const {
    return keyset_ ? cells_[size_t(col)]
                   : cells_[size_t(row) * size_t(ncols_ - first_) + size_t(col)];
  }
  Value& Cell(int row, int col) {
    return keyset_ ? cells_[size_t(col)]
                   : cells_[size_t(row) * size_t(ncols_ - first_) + size_t(col)];
  }
  bool RefreshRow(int row) override;  // re-reads a dynaset row; false when it is gone
  int AppendRow(int64_t rowid);
  // The base table's whole row as stored; false when it is gone.
  bool ReadStored(int64_t rowid, std::vector<StoredValue>& out);
  void UpdateEdited(const std::string& sets, std::vector<Value>& values);

  ConnectionPtr conn_;
  RecordsetType type_;
  Statement stmt_;
  std::string table_;  // base table of an updatable dynaset
  std::string sql_;  // the caller's SQL (table mode: empty)
  std::vector<Parameter> params_;

  int first_ = 0;  // 1 when column 0 is the hidden rowid
  int ncols_ = 0;
  int reprepared_ = -1;
  std::vector<std::string> origins_;  // base-table column of each field, empty when computed
  bool keyset_ = false;               // keys only; cells_ holds the row last read
  int cached_row_ = -1;               // that row (keyset)

  std::vector<Value> cells_;
  std::vector<int64_t> rowids_;

  std::vector<Value> edit_;
  std::vector<uint8_t> edit_set_;
  std::vector<StoredValue> original_;  // the edited row as stored at Edit

  std::vector<std::string> index_fields_;
  bool no_match_ = false;
  Statement refresh_;
  Statement stored_;
  // A keyset's key query: the rowids alone, in the set's order (SQLite then
  // reads an index rather than every row where it can).
  Statement keys_;
  std::string prepared_sql_;
  int64_t schema_version_ = 0;
};

void SqliteRecordset::Prepare(const std::string& sql, bool fresh) {
  stmt_.Reset();
  first_ = 0;
  updatable_ = false;
  table_.clear();
  reprepared_ = -1;
  refresh_.Reset();
  stored_.Reset();
  keys_.Reset();
  prepared_sql_ = sql;
  if (type_ == RecordsetType::Dynaset) schema_version_ = SchemaVersion();
  QueryGuard guard(*conn_, query_);
  if (type_ == RecordsetType::Dynaset) {
    const std::string with_rowid = InjectRowid(sql);
    if (!with_rowid.empty()) {
      try {
        stmt_ = Statement(conn_, with_rowid, kSource, fresh);
      } catch (const OrvError& e) {
        // Without a rowid to read (no table, a view) the SQL is run as it
        // stands; what else is wrong with it fails that way too.
        if (e.Number() != dberr::kGeneric && e.Number() != dberr::kBrokenQuery) throw;
      }
    }
    if (stmt_.Valid()) {
      sqlite3_stmt* s = stmt_.Raw();
      const char* t0 = sqlite3_column_table_name(s, 0);
      // Updatable when every field from a table is from the rowid's table
      // and at least one is (an aggregate has none).
      bool single = t0 != nullptr;
      bool any = false;
      for (int i = 1; single && i < sqlite3_column_count(s); ++i) {
        const char* t = sqlite3_column_table_name(s, i);
        single = !t || std::string_view(t) == t0;
        any = any || t;
      }
      single = single && any;
      first_ = 1;
      if (single) {
        updatable_ = true;
        table_ = t0;
        std::string inner = with_rowid;
        while (!inner.empty() &&
               (inner.back() == ';' || std::isspace(static_cast<unsigned char>(inner.back()))))
          inner.pop_back();
        try {
          keys_ = Statement(conn_,
                            "SELECT \"" + std::string(kRowidColumn) + "\" FROM (\n" + inner + "\n)",
                            kSource, fresh);
        } catch (const OrvError& e) {
          if (e.Number() != dberr::kGeneric) throw;  // else the keys come from the full SELECT
        }
      }
    }
  }
  if (!stmt_.Valid()) stmt_ = Statement(conn_, sql, kSource, fresh);
  // Opening runs the statement at once: one that would change the file
  // (a stored SELECT replaced by a DELETE) is refused before it runs.
  if (!sqlite3_stmt_readonly(stmt_.Raw())) {
    const std::string what = conn_->Writes().empty() ? "change the database" : conn_->Writes();
    stmt_.Reset();
    if (query_.empty()) {
      Raise(dberr::kNoPermission, kSource,
            "A recordset may only read: the SQL would " + what + ". Run it as an action.");
    }
    Raise(dberr::kNoPermission, "DAO.QueryDef",
          conn_->RefusalText(query_, what, "A query opened for its records may only read them."));
  }
}

int64_t SqliteRecordset::SchemaVersion() {
  Statement st(conn_, "PRAGMA schema_version", kSource);
  const int64_t v = st.Step(kSource) ? sqlite3_column_int64(st.Get(kSource), 0) : 0;
  st.Rewind();
  return v;
}

void SqliteRecordset::LoadColumns() {
  sqlite3_stmt* s = stmt_.Get(kSource);
  const int reprepared = sqlite3_stmt_status(s, SQLITE_STMTSTATUS_REPREPARE, 0);
  if (reprepared == reprepared_) return;
  reprepared_ = reprepared;
  ncols_ = sqlite3_column_count(s);
  names_.clear();
  NamesChanged();
  kinds_.clear();
  sizes_.clear();
  origins_.clear();
  keyset_ = updatable_;
  for (int i = first_; i < ncols_; ++i) {
    const char* name = sqlite3_column_name(s, i);
    const char* decl = sqlite3_column_decltype(s, i);
    const char* origin = sqlite3_column_origin_name(s, i);
    names_.emplace_back(name ? name : "");
    int32_t size = 0;
    kinds_.push_back(decl ? TypeFromDeclared(decl, &size) : std::nullopt);
    sizes_.push_back(size);
    origins_.emplace_back(updatable_ && origin ? origin : "");
    keyset_ = keyset_ && !origins_.back().empty();
  }
  refresh_.Reset();
  stored_.Reset();
}

void SqliteRecordset::OpenTable(const std::string& table) {
  table_mode_ = true;
  const std::string q = QuoteIdent(table);
  Prepare("SELECT * FROM " + q);
  Run();
}

void SqliteRecordset::OpenSql(const std::string& sql, std::vector<Value> values,
                              std::vector<Parameter> params) {
  sql_ = sql;
  values_ = std::move(values);
  params_ = std::move(params);
  named_ = values_.empty();
  Prepare(sql_);
  Run();
}

void SqliteRecordset::Bind(sqlite3_stmt* s) {
  sqlite3_reset(s);
  if (named_) {
    BindParameters(s, params_);
  } else {
    const int slots = sqlite3_bind_parameter_count(s);
    if (slots != static_cast<int>(values_.size())) {
      Raise(dberr::kGeneric, kSource,
            "The statement expects " + std::to_string(slots) + " values but " +
                std::to_string(values_.size()) + " were given.");
    }
    for (int i = 0; i < slots; ++i) BindValueNoCopy(s, i + 1, values_[size_t(i)]);
  }
}

void SqliteRecordset::Run() {
  // The key query is run instead of the SELECT, whose column descriptions
  // stand for the set's fields: when the structure has changed since they
  // were prepared, both are prepared again.
  if (keys_.Valid() && SchemaVersion() != schema_version_) Prepare(prepared_sql_, true);
  sqlite3_stmt* s = stmt_.Get(kSource);
  Bind(s);
  cells_.clear();
  rowids_.clear();
  cached_row_ = -1;
  nrows_ = 0;
  bool first_row = true;
  if (keys_.Valid()) {
    LoadColumns();
    first_row = false;
  }
  if (keyset_ && keys_.Valid()) {
    sqlite3_stmt* k = keys_.Get(kSource);
    Bind(k);
    try {
      while (keys_.Step(kSource)) rowids_.push_back(sqlite3_column_int64(k, 0));
    } catch (...) {
      sqlite3_reset(k);
      throw;
    }
    sqlite3_reset(k);
    nrows_ = static_cast<int>(rowids_.size());
  } else {
    try {
      while (stmt_.Step(kSource)) {
        if (first_row) LoadColumns();  // the step may have re-prepared it
        first_row = false;
        if (first_) rowids_.push_back(sqlite3_column_int64(s, 0));
        if (!keyset_) {
          int64_t bytes = 0;
          for (int c = first_; c < ncols_; ++c) {
            cells_.push_back(ReadColumn(s, c, kinds_[size_t(c - first_)]));
            bytes += sizeof(Value) + sqlite3_column_bytes(s, c);
          }
          stmt_.ChargeRow(bytes);
        }
        ++nrows_;
      }
    } catch (...) {
      sqlite3_reset(s);
      throw;
    }
  }
  if (first_row) LoadColumns();
  if (keyset_) cells_.assign(size_t(ncols_ - first_), Value());
  sqlite3_reset(s);
  deleted_.assign(size_t(nrows_), 0);
  live_ = nrows_;
  pos_ = 0;  // the first row; with none, at the end and the beginning at once
  mode_ = Mode::None;
  no_match_ = false;
  if (keyset_) MoveTo(0, 1);  // reads the first row, passing over any deleted since
}

Value SqliteRecordset::Field(int index) const {
  Check();
  if (index < 0 || index >= ncols_ - first_) RaiseItemNotFound("DAO.Fields");
  if (mode_ != Mode::None && edit_set_[size_t(index)]) return edit_[size_t(index)];
  if (mode_ == Mode::Add) return Value();
  RequireCurrent();
  if (keyset_ && cached_row_ != pos_ && !const_cast<SqliteRecordset*>(this)->RefreshRow(pos_)) {
    Raise(kRecordDeleted, kSource, "Record is deleted.");
  }
  return Cell(pos_, index);
}

void SqliteRecordset::Requery(QueryDef* def) {
  Check();
  if (def) {
    auto* q = dynamic_cast<SqliteQueryDef*>(def);
    if (!q) Raise(dberr::kGeneric, kSource, "The query definition is not of this database.");
    if (q->SQL() != sql_ || table_mode_) {
      table_mode_ = false;
      sql_ = q->SQL();
      query_ = q->Name();
      Prepare(sql_);
    }
    params_ = q->Params();  // assignment reuses the strings' storage
    named_ = true;
  }
  Run();
}

// --- updates ---------------------------------------------------------------------

void SqliteRecordset::RequireUpdatable() const {
  Check();
  if (!updatable_ || conn_->ReadOnly()) {
    Raise(dberr::kReadOnly, kSource, "Cannot update. Database or object is read-only.");
  }
}

bool SqliteRecordset::RefreshRow(int row) {
  if (!refresh_.Valid()) {
    std::string sql = "SELECT ";
    for (size_t i = 0; i < origins_.size(); ++i) {
      sql +=
          (i ? ", " : "") + (origins_[i].empty() ? std::string("NULL") : QuoteIdent(origins_[i]));
    }
    refresh_ =
        Statement(conn_, sql + " FROM " + QuoteIdent(table_) + " WHERE _rowid_ = ?", kSource);
  }
  sqlite3_stmt* s = refresh_.Get(kSource);
  sqlite3_reset(s);
  sqlite3_bind_int64(s, 1, rowids_[size_t(row)]);
  const bool found = refresh_.Step(kSource);
  if (found) {
    for (int c = 0; c < ncols_ - first_; ++c) {
      if (!origins_[size_t(c)].empty()) Cell(row, c) = ReadColumn(s, c, kinds_[size_t(c)]);
    }
    if (keyset_) cached_row_ = row;
  } else if (keyset_ && cached_row_ == row) {
    cached_row_ = -1;
  }
  sqlite3_reset(s);
  return found;
}

bool SqliteRecordset::ReadStored(int64_t rowid, std::vector<StoredValue>& out) {
  if (!stored_.Valid()) {
    stored_ =
        Statement(conn_, "SELECT * FROM " + QuoteIdent(table_) + " WHERE _rowid_ = ?", kSource);
  }
  sqlite3_stmt* s = stored_.Get(kSource);
  sqlite3_reset(s);
  sqlite3_bind_int64(s, 1, rowid);
  const bool found = stored_.Step(kSource);
  out.clear();
  if (found) {
    const int n = sqlite3_column_count(s);
    out.resize(size_t(n));
    for (int c = 0; c < n; ++c) {
      StoredValue& v = out[size_t(c)];
      v.type = sqlite3_column_type(s, c);
      if (v.type == SQLITE_INTEGER) v.i = sqlite3_column_int64(s, c);
      if (v.type == SQLITE_FLOAT) v.d = sqlite3_column_double(s, c);
      if (v.type == SQLITE_TEXT || v.type == SQLITE_BLOB) {
        const void* p = v.type == SQLITE_TEXT ? static_cast<const void*>(sqlite3_column_text(s, c))
                                              : sqlite3_column_blob(s, c);
        v.bytes.assign(static_cast<const char*>(p ? p : ""),
                       static_cast<size_t>(sqlite3_column_bytes(s, c)));
      }
    }
  }
  sqlite3_reset(s);
  return found;
}

int SqliteRecordset::AppendRow(int64_t rowid) {
  const bool at_end = pos_ >= nrows_;
  rowids_.push_back(rowid);
  if (!keyset_) cells_.resize(cells_.size() + size_t(ncols_ - first_));
  deleted_.push_back(0);
  const int row = nrows_++;
  ++live_;
  if (at_end) pos_ = nrows_;  // stays at the end of the set
  if (!RefreshRow(row)) {
    Drop(row);
  }
  return row;
}

void SqliteRecordset::AddNew() {
  RequireUpdatable();
  mode_ = Mode::Add;
  edit_.assign(names_.size(), Value());
  edit_set_.assign(names_.size(), 0);
}

void SqliteRecordset::Edit() {
  RequireUpdatable();
  RequireCurrent();
  // The row as it is now: the edit starts from it and Update checks that
  // nobody changed it meanwhile.
  if (!RefreshRow(pos_) || !ReadStored(rowids_[size_t(pos_)], original_)) {
    Drop(pos_);
    Raise(kRecordDeleted, kSource, "Record is deleted.");
  }
  mode_ = Mode::Edit;
  edit_.assign(names_.size(), Value());
  edit_set_.assign(names_.size(), 0);
}

void SqliteRecordset::SetField(std::string_view name, const Value& value) {
  Check();
  if (mode_ == Mode::None) {
    Raise(kUpdateWithoutEdit, kSource, "Update or CancelUpdate without AddNew or Edit.");
  }
  const int c = Column(name);
  if (origins_[size_t(c)].empty()) Raise(3164, kSource, "Field cannot be updated.");
  edit_[size_t(c)] = ForField(c, value);
  edit_set_[size_t(c)] = 1;
}

// Writes the edited fields, unless another connection or recordset changed
// or deleted the row since Edit: the comparison and the write happen inside
// one write transaction, so nobody can change the row between them.
void SqliteRecordset::UpdateEdited(const std::string& sets, std::vector<Value>& values) {
  const int64_t rowid = rowids_[size_t(pos_)];
  sqlite3* h = conn_->Handle(kSource);
  const bool own = sqlite3_get_autocommit(h) != 0;
  if (own) RunOnce(conn_, "BEGIN IMMEDIATE", {}, kSource);
  try {
    std::vector<StoredValue> now;
    if (!ReadStored(rowid, now)) {
      mode_ = Mode::None;
      Drop(pos_);
      Raise(kRecordDeleted, kSource, "Record is deleted.");
    }
    if (now != original_) {
      mode_ = Mode::None;
      RaiseDataChanged(kSource);
    }
    if (!sets.empty()) {
      values.emplace_back(static_cast<long long>(rowid));
      RunOnce(conn_, "UPDATE " + QuoteIdent(table_) + " SET " + sets + " WHERE _rowid_ = ?", values,
              kSource);
    }
    if (own) RunOnce(conn_, "COMMIT", {}, kSource);
  } catch (...) {
    if (own) sqlite3_exec(h, "ROLLBACK", nullptr, nullptr, nullptr);
    if (mode_ == Mode::None && HasCurrent()) {
      try {
        RefreshRow(pos_);
      } catch (...) {
        // The refusal in hand is what the caller must hear; the row is
        // read again when next used.
      }
    }
    throw;
  }
}

void SqliteRecordset::Update() {
  Check();
  if (mode_ == Mode::None) {
    Raise(kUpdateWithoutEdit, kSource, "Update or CancelUpdate without AddNew or Edit.");
  }
  std::vector<Value> values;
  std::string cols, marks, sets;
  for (size_t c = 0; c < edit_set_.size(); ++c) {
    if (!edit_set_[c]) continue;
    const std::string q = QuoteIdent(origins_[c]);
    cols += (cols.empty() ? "" : ", ") + q;
    marks += marks.empty() ? "?" : ", ?";
    sets += (sets.empty() ? "" : ", ") + q + " = ?";
    values.push_back(edit_[c]);
  }
  const std::string table = QuoteIdent(table_);
  if (mode_ == Mode::Add) {
    RunOnce(conn_,
            cols.empty() ? "INSERT INTO " + table + " DEFAULT VALUES"
                         : "INSERT INTO " + table + " (" + cols + ") VALUES (" + marks + ")",
            values, kSource);
    const int row = AppendRow(sqlite3_last_insert_rowid(conn_->Handle(kSource)));
    last_modified_ = row + 1;
  } else {
    RequireCurrent();
    UpdateEdited(sets, values);
    RefreshRow(pos_);
    last_modified_ = pos_ + 1;
  }
  mode_ = Mode::None;
}

void SqliteRecordset::Delete() {
  RequireUpdatable();
  RequireCurrent();
  mode_ = Mode::None;
  RunOnce(conn_, "DELETE FROM " + QuoteIdent(table_) + " WHERE _rowid_ = ?",
          {Value(static_cast<int64_t>(rowids_[size_t(pos_)]))}, kSource);
  Drop(pos_);
}

// --- seek ------------------------------------------------------------------------

void SqliteRecordset::SetIndex(std::string_view index) {
  Check();
  if (!table_mode_ || !updatable_) {
    Raise(kNotSupported, kSource, "Operation is not supported for this type of object.");
  }
  for (const IndexDef& ix : ReadIndexes(conn_, table_)) {
    if (IEquals(ix.name, index)) {
      index_fields_ = ix.fields;
      // The set follows the index order, as a table opened on an index does.
      std::string order;
      for (const std::string& f : index_fields_)
        order += (order.empty() ? "" : ", ") + QuoteIdent(f);
      Prepare("SELECT * FROM " + QuoteIdent(table_) + " ORDER BY " + order + ", _rowid_");
      Run();
      return;
    }
  }
  RaiseItemNotFound("DAO.Indexes");
}

void SqliteRecordset::Seek(std::string_view op, const std::vector<Value>& values) {
  Check();
  if (!table_mode_ || !updatable_ || index_fields_.empty()) {
    Raise(kNotSupported, kSource, "Operation is not supported for this type of object.");
  }
  static constexpr std::string_view kOps[] = {"=", ">=", ">", "<=", "<"};
  bool known = false;
  for (std::string_view k : kOps) known = known || k == op;
  if (!known || values.empty() || values.size() > index_fields_.size()) {
    Raise(dberr::kGeneric, kSource, "Invalid argument to Seek.");
  }
  // Forward from the start of the index for =, >=, >; backward from its end
  // for <=, <.
  const bool backward = op[0] == '<';
  std::string lhs, rhs, order;
  std::vector<Value> bound;
  for (size_t i = 0; i < values.size(); ++i) {
    const std::string q = QuoteIdent(index_fields_[i]);
    lhs += (i ? ", " : "") + q;
    rhs += i ? ", ?" : "?";
    order += (i ? ", " : "") + q + (backward ? " DESC" : "");
    const int c = Column(index_fields_[i]);
    bound.push_back(kinds_[size_t(c)] ? ConvertTo(*kinds_[size_t(c)], values[i]) : values[i]);
  }
  if (values.size() > 1) {
    lhs = "(" + lhs + ")";
    rhs = "(" + rhs + ")";
  }
  const std::string sql = "SELECT _rowid_ FROM " + QuoteIdent(table_) + " WHERE " + lhs + " " +
                          std::string(op) + " " + rhs + " ORDER BY " + order + ", _rowid_" +
                          (backward ? " DESC" : "") + " LIMIT 1";
  Statement st(conn_, sql, kSource);
  for (size_t i = 0; i < bound.size(); ++i) BindValue(st.Get(kSource), int(i) + 1, bound[i]);
  mode_ = Mode::None;
  no_match_ = !st.Step(kSource);
  if (no_match_) {
    pos_ = nrows_;  // no current record
    return;
  }
  const int64_t rowid = sqlite3_column_int64(st.Get(kSource), 0);
  st.Rewind();
  for (int i = 0; i < nrows_; ++i) {
    if (rowids_[size_t(i)] == rowid && !deleted_[size_t(i)]) {
      MoveTo(i, 0);
      return;
    }
  }
  pos_ = nrows_;
  MoveTo(AppendRow(rowid), 0);  // added to the table since the set was read
}

bool SqliteRecordset::FindFirst(std::string_view field, const Value& value) {
  Check();
  const int c = Column(field);
  const Value wanted = AsField(c, value);
  if (!keyset_ || origins_[size_t(c)].empty() || wanted.IsNull()) {
    return RecordsetBase::FindFirst(field, value);
  }
  // The table's rows that have the value, then the first of them in the
  // set: without reading the rows before it.
  std::unordered_set<int64_t> having;
  {
    Statement st(conn_,
                 "SELECT _rowid_ FROM " + QuoteIdent(table_) + " WHERE " +
                     QuoteIdent(origins_[size_t(c)]) + " = ?",
                 kSource);
    BindValue(st.Get(kSource), 1, wanted);
    while (st.Step(kSource)) having.insert(sqlite3_column_int64(st.Get(kSource), 0));
  }
  const int was = pos_;
  for (int row = 0; row < nrows_ && !having.empty(); ++row) {
    if (deleted_[size_t(row)] || !having.count(rowids_[size_t(row)])) continue;
    MoveTo(row, 0);
    if (HasCurrent()) return true;  // else deleted since the set was read
  }
  MoveTo(was, 0);
  return false;
}

void SqliteRecordset::Close() {
  if (closed_) return;
  stmt_.Reset();
  refresh_.Reset();
  stored_.Reset();
  cells_.clear();
  closed_ = true;
}

}  // namespace

RecordsetPtr OpenTableRecordset(const ConnectionPtr& conn, std::string_view table,
                                RecordsetType type) {
  auto rs = std::make_unique<SqliteRecordset>(conn, type);
  rs->OpenTable(std::string(table));
  return rs;
}

RecordsetPtr OpenSqlRecordset(const ConnectionPtr& conn, std::string_view sql, RecordsetType type,
                              std::vector<Value> values, std::vector<Parameter> params,
                              const std::string& query) {
  auto rs = std::make_unique<SqliteRecordset>(conn, type, query);
  rs->OpenSql(std::string(sql), std::move(values), std::move(params));
  return rs;
}

}  // namespace orv::db::detail
