// Recordsets on a server. A snapshot keeps every row as it was. A dynaset
// over one table with a one-field primary key among its fields is a keyset,
// as on a file: opening it reads the keys alone, in the SELECT's order
// (SELECT key FROM (the SELECT)), and a row is read by its key when the
// caller moves onto it. Other dynasets (joins, computed fields, no key) are
// read-only and keep every row.
//
// Edits are optimistic: Edit reads the row with its version (the server's
// xmin and ctid, which change with every write of the row, also within one
// transaction), and Update writes only where the version is still the one
// read: otherwise 3197 (changed by another user), or 3167 when the row is
// gone. Check and write are one statement, so nobody comes between them.
#include <cctype>

#include "OrvError.h"
#include "PgImpl.h"
#include "RecordsetBase.h"
#include "Text.h"

namespace orv::db::detail {

namespace {

constexpr const char* kSource = "DAO.Recordset";

bool ReadsOnly(std::string_view sql) {
  size_t i = 0;
  while (i < sql.size() && (std::isspace(static_cast<unsigned char>(sql[i])) || sql[i] == '('))
    ++i;
  return IStartsWith(sql.substr(i), "SELECT") || IStartsWith(sql.substr(i), "VALUES");
}

class PgRecordset final : public RecordsetBase {
 public:
  PgRecordset(PgConnectionPtr conn, RecordsetType type, std::string query)
      : conn_(std::move(conn)), type_(type) {
    query_ = std::move(query);
  }

  void Open(const std::string& sql_or_table, bool table, std::vector<Value> values,
            std::vector<Parameter> params);

  using RecordsetBase::Field;
  Value Field(int index) const override;

  void Requery(QueryDef* def) override;

  void AddNew() override;
  void Edit() override;
  void SetField(std::string_view name, const Value& value) override;
  void Update() override;
  void Delete() override;

  void SetIndex(std::string_view) override { NotSupported(); }
  void Seek(std::string_view, const std::vector<Value>&) override { NotSupported(); }
  bool NoMatch() const override { return Check(), false; }
  void Close() override { closed_ = true, cells_.clear(), keys_.clear(); }

 private:
  [[noreturn]] static void NotSupported() {
    Raise(kNotSupported, kSource, "Operation is not supported for this type of object.");
  }
  void Prepare();
  void Run() override;
  PgResult RunSet(const std::string& sql, const std::vector<Value>& values,
                  const std::vector<uint32_t>& types);
  void Bind(std::vector<Value>& values, std::vector<uint32_t>& types) const;
  size_t Width() const { return names_.size(); }
  void RequireUpdatable() const {
    Check();
    if (!updatable_ || conn_->ReadOnly()) {
      Raise(dberr::kReadOnly, kSource, "Cannot update. Database or object is read-only.");
    }
  }
  bool RefreshRow(int row) override;
  void Drop(int row) override {
    RecordsetBase::Drop(row);
    if (cached_row_ == row) cached_row_ = -1;
  }
  int AppendRow(const Value& key);
  std::string TableName() const { return PgIdent(table_.name); }
  std::string KeyName() const { return PgIdent(table_.Column(table_.key_attnum)->name); }
  uint32_t KeyType() const { return PgTypeOf(table_.Column(table_.key_attnum)->type); }

  PgConnectionPtr conn_;
  RecordsetType type_;
  std::string sql_;  // as given (table mode: the table's name)
  TranslatedSql translated_;
  std::vector<Parameter> params_;
  int64_t generation_ = -1;

  std::vector<int> attnums_;  // the table field of each column, 0 when computed
  PgTable table_;             // the base table of an updatable dynaset
  bool keyset_ = false;  // keys only; with computed fields every row is kept
  int key_col_ = -1;
  std::string key_output_;  // the key column's name in the SELECT's output

  std::vector<Value> keys_;   // keyset
  std::vector<Value> cells_;  // every row (not a keyset) or the row last read
  Value& Cell(int row, size_t c) {
    return keyset_ ? cells_[c] : cells_[size_t(row) * Width() + c];
  }
  int cached_row_ = -1;
  std::string cached_version_;  // xmin:ctid of that row

  std::vector<Value> edit_;
  std::vector<uint8_t> edit_set_;
  std::string edit_version_;
};

void PgRecordset::Open(const std::string& sql_or_table, bool table, std::vector<Value> values,
                       std::vector<Parameter> params) {
  table_mode_ = table;
  sql_ = sql_or_table;
  values_ = std::move(values);
  params_ = std::move(params);
  named_ = values_.empty();
  Prepare();
  Run();
}

void PgRecordset::Bind(std::vector<Value>& values, std::vector<uint32_t>& types) const {
  if (named_) {
    BindNamed(translated_, params_, values, types);
    return;
  }
  values = values_;
  types.clear();
  if (static_cast<size_t>(translated_.positional) != values_.size()) {
    Raise(dberr::kGeneric, kSource,
          "The statement expects " + std::to_string(translated_.positional) + " values but " +
              std::to_string(values_.size()) + " were given.");
  }
}

void PgRecordset::Prepare() {
  generation_ = conn_->structure_generation;
  updatable_ = false;
  key_col_ = -1;
  std::string sql;
  if (table_mode_) {
    const PgTable* t = conn_->TableNamed(sql_, kSource);
    if (!t) RaiseTableOrQueryNotFound(kSource, sql_);
    sql = "SELECT * FROM " + PgIdent(t->name);
    if (t->key_attnum) sql += " ORDER BY " + PgIdent(t->Column(t->key_attnum)->name);
  } else {
    sql = sql_;
    // Opening runs the statement: one that is not a query is refused first.
    if (!ReadsOnly(sql)) {
      if (query_.empty()) {
        Raise(dberr::kNoPermission, kSource,
              "A recordset may only read: the SQL would change the database. Run it as an action.");
      }
      Raise(dberr::kNoPermission, "DAO.QueryDef",
            "The stored query '" + query_ + "' of " + conn_->Display() +
                " was refused: it would change the database. A query opened for its records may "
                "only read them.");
    }
  }
  translated_ = Translate(sql);
  // A trailing ";" (after any comment) would end the key query's subquery.
  std::string& text = translated_.sql;
  while (!text.empty() &&
         (text.back() == ';' || std::isspace(static_cast<unsigned char>(text.back())))) {
    text.pop_back();
  }
  text += "\n";
  std::vector<Value> values;
  std::vector<uint32_t> types;
  Bind(values, types);
  PgResult d = conn_->Describe(translated_.sql, types, kSource);
  const int n = PQnfields(d.get());
  names_.clear();
  NamesChanged();
  kinds_.clear();
  sizes_.clear();
  attnums_.clear();
  uint32_t only = 0;
  bool single = true;
  bool computed = false;
  for (int c = 0; c < n; ++c) {
    const uint32_t oid = PQftable(d.get(), c);
    const int att = PQftablecol(d.get(), c);
    names_.push_back(UpperAscii(PQfname(d.get(), c)));
    int32_t size = 0;
    std::optional<FieldType> kind = PgTypeOfResult(PQftype(d.get(), c), PQfmod(d.get(), c), &size);
    if (const PgTable* t = conn_->Table(oid, kSource)) {
      if (const PgColumn* col = t->Column(att)) {
        if (col->type) kind = col->type;
        size = col->def.size;
      }
    }
    kinds_.push_back(kind);
    sizes_.push_back(size);
    attnums_.push_back(oid ? att : 0);
    computed = computed || oid == 0;
    if (only != 0 && oid != 0 && oid != only) single = false;
    only = oid ? oid : only;
  }
  if (type_ != RecordsetType::Dynaset || !single || only == 0) return;
  const std::string upper = UpperAscii(sql);
  for (const char* word : {" JOIN ", "DISTINCT", "GROUP BY", " UNION ", "WITH "}) {
    if (upper.find(word) != std::string::npos) return;
  }
  const PgTable* t = conn_->Table(only, kSource);
  if (!t || t->key_attnum == 0) return;
  for (int c = 0; c < n; ++c) {
    if (attnums_[size_t(c)] == t->key_attnum) {
      key_col_ = c;
      key_output_ = PQfname(d.get(), c);
      break;
    }
  }
  if (key_col_ < 0) return;
  table_ = *t;
  updatable_ = true;
  keyset_ = !computed;
}

// A stored query's SQL runs under the budget of SQL from the database; the
// caller's own does not.
PgResult PgRecordset::RunSet(const std::string& sql, const std::vector<Value>& values,
                             const std::vector<uint32_t>& types) {
  if (query_.empty()) return conn_->Run(sql, values, types, kSource);
  return conn_->RunWithinBudget(query_, sql, values, types, kSource);
}

void PgRecordset::Run() {
  if (generation_ != conn_->structure_generation) Prepare();
  std::vector<Value> values;
  std::vector<uint32_t> types;
  Bind(values, types);
  keys_.clear();
  cells_.clear();
  cached_row_ = -1;
  keyset_ = keyset_ && updatable_;
  if (keyset_) {
    // The keys alone, in the set's order.
    std::string quoted = "\"";
    for (char ch : key_output_) quoted += ch == '"' ? std::string("\"\"") : std::string(1, ch);
    quoted += "\"";
    PgResult r = RunSet("SELECT " + quoted + " FROM (" + translated_.sql + ") AS \"orv$set\"",
                        values, types);
    nrows_ = r.Rows();
    keys_.reserve(size_t(nrows_));
    for (int i = 0; i < nrows_; ++i) keys_.push_back(PgCell(r, i, 0, kinds_[size_t(key_col_)]));
    cells_.assign(Width(), Value());
  } else {
    PgResult r = RunSet(translated_.sql, values, types);
    nrows_ = r.Rows();
    cells_.reserve(size_t(nrows_) * Width());
    for (int i = 0; i < nrows_; ++i) {
      for (size_t c = 0; c < Width(); ++c) cells_.push_back(PgCell(r, i, int(c), kinds_[c]));
      if (updatable_) keys_.push_back(cells_[size_t(i) * Width() + size_t(key_col_)]);
    }
  }
  deleted_.assign(size_t(nrows_), 0);
  live_ = nrows_;
  pos_ = 0;
  mode_ = Mode::None;
  if (keyset_) MoveTo(0, 1);
}

Value PgRecordset::Field(int index) const {
  Check();
  if (index < 0 || size_t(index) >= Width()) RaiseItemNotFound("DAO.Fields");
  if (mode_ != Mode::None && edit_set_[size_t(index)]) return edit_[size_t(index)];
  if (mode_ == Mode::Add) return Value();
  RequireCurrent();
  if (keyset_ && cached_row_ != pos_ && !const_cast<PgRecordset*>(this)->RefreshRow(pos_)) {
    Raise(kRecordDeleted, kSource, "Record is deleted.");
  }
  return const_cast<PgRecordset*>(this)->Cell(pos_, size_t(index));
}

bool PgRecordset::RefreshRow(int row) {
  std::string sql = "SELECT xmin::text || ':' || ctid::text";
  for (int att : attnums_) sql += att ? ", " + PgIdent(table_.Column(att)->name) : ", NULL";
  sql += " FROM " + TableName() + " WHERE " + KeyName() + " = $1";
  PgResult r = conn_->Run(sql, {keys_[size_t(row)]}, {KeyType()}, kSource);
  if (r.Rows() == 0) {
    if (cached_row_ == row) cached_row_ = -1;
    return false;
  }
  cached_version_ = r.Text(0, 0);
  for (size_t c = 0; c < Width(); ++c) {
    if (attnums_[c]) Cell(row, c) = PgCell(r, 0, int(c) + 1, kinds_[c]);
  }
  cached_row_ = row;
  return true;
}

void PgRecordset::Requery(QueryDef* def) {
  Check();
  if (def) {
    auto* q = dynamic_cast<PgQueryDef*>(def);
    if (!q) Raise(dberr::kGeneric, kSource, "The query definition is not of this database.");
    if (q->SQL() != sql_ || table_mode_) {
      table_mode_ = false;
      sql_ = q->SQL();
      query_ = q->Name();
      named_ = true;
      params_ = q->Params();
      Prepare();
    }
    params_ = q->Params();
    named_ = true;
  }
  Run();
}

// --- updates ---------------------------------------------------------------------

int PgRecordset::AppendRow(const Value& key) {
  const bool at_end = pos_ >= nrows_;
  keys_.push_back(key);
  if (!keyset_) cells_.resize(cells_.size() + Width());
  deleted_.push_back(0);
  const int row = nrows_++;
  ++live_;
  if (at_end) pos_ = nrows_;
  if (!RefreshRow(row)) Drop(row);
  return row;
}

void PgRecordset::AddNew() {
  RequireUpdatable();
  mode_ = Mode::Add;
  edit_.assign(Width(), Value());
  edit_set_.assign(Width(), 0);
}

void PgRecordset::Edit() {
  RequireUpdatable();
  RequireCurrent();
  if (!RefreshRow(pos_)) {
    Drop(pos_);
    Raise(kRecordDeleted, kSource, "Record is deleted.");
  }
  edit_version_ = cached_version_;
  mode_ = Mode::Edit;
  edit_.assign(Width(), Value());
  edit_set_.assign(Width(), 0);
}

void PgRecordset::SetField(std::string_view name, const Value& value) {
  Check();
  if (mode_ == Mode::None) {
    Raise(kUpdateWithoutEdit, kSource, "Update or CancelUpdate without AddNew or Edit.");
  }
  const int c = Column(name);
  if (attnums_[size_t(c)] == 0) Raise(3164, kSource, "Field cannot be updated.");
  edit_[size_t(c)] = ForField(c, value);
  edit_set_[size_t(c)] = 1;
}

void PgRecordset::Update() {
  Check();
  if (mode_ == Mode::None) {
    Raise(kUpdateWithoutEdit, kSource, "Update or CancelUpdate without AddNew or Edit.");
  }
  std::vector<Value> values;
  std::vector<uint32_t> types;
  std::string cols, marks, sets;
  for (size_t c = 0; c < edit_set_.size(); ++c) {
    if (!edit_set_[c]) continue;
    const std::string q = PgIdent(table_.Column(attnums_[c])->name);
    values.push_back(edit_[c]);
    types.push_back(PgTypeOf(kinds_[c]));
    const std::string mark = "$" + std::to_string(values.size());
    cols += (cols.empty() ? "" : ", ") + q;
    marks += (marks.empty() ? "" : ", ") + mark;
    sets += (sets.empty() ? "" : ", ") + q + " = " + mark;
  }
  if (mode_ == Mode::Add) {
    PgResult r = conn_->Run(cols.empty() ? "INSERT INTO " + TableName() + " DEFAULT VALUES RETURNING " +
                                               KeyName()
                                         : "INSERT INTO " + TableName() + " (" + cols +
                                               ") VALUES (" + marks + ") RETURNING " + KeyName(),
                            values, types, kSource);
    mode_ = Mode::None;
    const int row = AppendRow(PgCell(r, 0, 0, kinds_[size_t(key_col_)]));
    last_modified_ = row + 1;
    return;
  }
  RequireCurrent();
  const Value key = keys_[size_t(pos_)];
  const std::string version = edit_version_;
  const auto colon = version.find(':');
  if (!sets.empty()) {
    values.push_back(key);
    types.push_back(KeyType());
    values.push_back(Value(version.substr(0, colon)));
    types.push_back(25);
    values.push_back(Value(version.substr(colon + 1)));
    types.push_back(25);
    const size_t n = values.size();
    const int64_t changed =
        conn_
            ->Run("UPDATE " + TableName() + " SET " + sets + " WHERE " + KeyName() + " = $" +
                      std::to_string(n - 2) + " AND xmin::text = $" + std::to_string(n - 1) +
                      " AND ctid = $" + std::to_string(n) + "::tid",
                  values, types, kSource)
            .Changed();
    if (changed == 0) {
      mode_ = Mode::None;
      if (!RefreshRow(pos_)) {
        Drop(pos_);
        Raise(kRecordDeleted, kSource, "Record is deleted.");
      }
      RaiseDataChanged(kSource);
    }
  } else if (!RefreshRow(pos_) || cached_version_ != version) {
    mode_ = Mode::None;
    if (cached_row_ != pos_) {
      Drop(pos_);
      Raise(kRecordDeleted, kSource, "Record is deleted.");
    }
    RaiseDataChanged(kSource);
  }
  mode_ = Mode::None;
  RefreshRow(pos_);
  last_modified_ = pos_ + 1;
}

void PgRecordset::Delete() {
  RequireUpdatable();
  RequireCurrent();
  mode_ = Mode::None;
  conn_->Run("DELETE FROM " + TableName() + " WHERE " + KeyName() + " = $1",
             {keys_[size_t(pos_)]}, {KeyType()}, kSource);
  Drop(pos_);
}

}  // namespace

RecordsetPtr OpenPgRecordset(const PgConnectionPtr& conn, const std::string& sql_or_table,
                             bool table, RecordsetType type, std::vector<Value> values,
                             std::vector<Parameter> params, const std::string& query) {
  auto rs = std::make_unique<PgRecordset>(conn, type, query);
  rs->Open(sql_or_table, table, std::move(values), std::move(params));
  return rs;
}

}  // namespace orv::db::detail
