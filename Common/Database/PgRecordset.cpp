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
#include "Text.h"

namespace orv::db::detail {

namespace {

constexpr const char* kSource = "DAO.Recordset";

[[noreturn]] void RaiseNoCurrent() { Raise(dberr::kNoCurrentRecord, kSource, "No current record."); }

size_t CharCount(const std::string& text) {
  size_t n = 0;
  for (unsigned char c : text) n += (c & 0xC0) != 0x80;
  return n;
}

bool ReadsOnly(std::string_view sql) {
  size_t i = 0;
  while (i < sql.size() && (std::isspace(static_cast<unsigned char>(sql[i])) || sql[i] == '('))
    ++i;
  return IStartsWith(sql.substr(i), "SELECT") || IStartsWith(sql.substr(i), "VALUES");
}

class PgRecordset final : public Recordset {
 public:
  PgRecordset(PgConnectionPtr conn, RecordsetType type, std::string query)
      : conn_(std::move(conn)), type_(type), query_(std::move(query)) {}

  void Open(const std::string& sql_or_table, bool table, std::vector<Value> values,
            std::vector<Parameter> params);

  bool IsEOF() const override { return Check(), pos_ >= nrows_ || live_ == 0; }
  bool IsBOF() const override { return Check(), pos_ < 0 || live_ == 0; }
  void MoveFirst() override;
  void MoveNext() override;
  void MovePrevious() override;
  void MoveLast() override;
  int32_t RecordCount() const override { return Check(), live_; }
  int32_t AbsolutePosition() const override;

  Value Field(std::string_view name) const override { return Field(Column(name)); }
  Value Field(int index) const override;
  int FieldCount() const override { return Check(), static_cast<int>(names_.size()); }
  std::string FieldName(int index) const override;

  Bookmark GetBookmark() const override;
  void SetBookmark(Bookmark b) override;
  Bookmark LastModified() const override;
  void Requery(QueryDef* def) override;

  void AddNew() override;
  void Edit() override;
  void SetField(std::string_view name, const Value& value) override;
  void Update() override;
  void CancelUpdate() override { Check(), mode_ = Mode::None; }
  void Delete() override;

  void SetIndex(std::string_view) override { NotSupported(); }
  void Seek(std::string_view, const std::vector<Value>&) override { NotSupported(); }
  bool NoMatch() const override { return Check(), false; }
  void Close() override { closed_ = true, cells_.clear(), keys_.clear(); }

 private:
  enum class Mode { None, Add, Edit };

  [[noreturn]] static void NotSupported() {
    Raise(kNotSupported, kSource, "Operation is not supported for this type of object.");
  }
  void Check() const {
    if (closed_) Raise(kObjectInvalid, kSource, "Object invalid or no longer set.");
  }
  void Prepare();
  void Run();
  PgResult RunSet(const std::string& sql, const std::vector<Value>& values,
                  const std::vector<uint32_t>& types);
  void Bind(std::vector<Value>& values, std::vector<uint32_t>& types) const;
  int Column(std::string_view name) const;
  size_t Width() const { return names_.size(); }
  bool HasCurrent() const { return pos_ >= 0 && pos_ < nrows_ && !deleted_[size_t(pos_)]; }
  void RequireCurrent() const {
    if (!HasCurrent()) RaiseNoCurrent();
  }
  void RequireUpdatable() const {
    Check();
    if (!updatable_ || conn_->ReadOnly()) {
      Raise(dberr::kReadOnly, kSource, "Cannot update. Database or object is read-only.");
    }
  }
  void MoveTo(int pos, int step);
  bool RefreshRow(int row);
  void Drop(int row) {
    deleted_[size_t(row)] = 1;
    --live_;
    if (cached_row_ == row) cached_row_ = -1;
  }
  int AppendRow(const Value& key);
  std::string TableName() const { return PgIdent(table_.name); }
  std::string KeyName() const { return PgIdent(table_.Column(table_.key_attnum)->name); }
  uint32_t KeyType() const { return PgTypeOf(table_.Column(table_.key_attnum)->type); }

  PgConnectionPtr conn_;
  RecordsetType type_;
  std::string query_;
  bool closed_ = false;
  bool table_mode_ = false;
  std::string sql_;  // as given (table mode: the table's name)
  TranslatedSql translated_;
  std::vector<Value> values_;
  std::vector<Parameter> params_;
  bool named_ = false;
  int64_t generation_ = -1;

  std::vector<std::string> names_;
  std::vector<std::optional<FieldType>> kinds_;
  std::vector<int32_t> sizes_;
  std::vector<int> attnums_;  // the table field of each column, 0 when computed
  PgTable table_;             // the base table of an updatable dynaset
  bool updatable_ = false;
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
  std::vector<uint8_t> deleted_;
  int nrows_ = 0;
  int live_ = 0;
  int pos_ = -1;

  Mode mode_ = Mode::None;
  std::vector<Value> edit_;
  std::vector<uint8_t> edit_set_;
  std::string edit_version_;
  Bookmark last_modified_ = 0;
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

int PgRecordset::Column(std::string_view name) const {
  Check();
  for (size_t i = 0; i < names_.size(); ++i) {
    if (IEquals(names_[i], name)) return static_cast<int>(i);
  }
  RaiseItemNotFound("DAO.Fields");
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

std::string PgRecordset::FieldName(int index) const {
  Check();
  if (index < 0 || size_t(index) >= Width()) RaiseItemNotFound("DAO.Fields");
  return names_[size_t(index)];
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

void PgRecordset::MoveTo(int pos, int step) {
  mode_ = Mode::None;
  pos_ = pos;
  while (HasCurrent() && updatable_ && !RefreshRow(pos_)) {
    Drop(pos_);
    if (step == 0) return;
    do pos_ += step;
    while (pos_ >= 0 && pos_ < nrows_ && deleted_[size_t(pos_)]);
  }
}

void PgRecordset::MoveFirst() {
  Check();
  if (live_ == 0) RaiseNoCurrent();
  int p = 0;
  while (p < nrows_ && deleted_[size_t(p)]) ++p;
  MoveTo(p, 1);
}

void PgRecordset::MoveLast() {
  Check();
  if (live_ == 0) RaiseNoCurrent();
  int p = nrows_ - 1;
  while (p >= 0 && deleted_[size_t(p)]) --p;
  MoveTo(p, -1);
}

void PgRecordset::MoveNext() {
  if (IsEOF()) RaiseNoCurrent();
  int p = pos_ + 1;
  while (p < nrows_ && deleted_[size_t(p)]) ++p;
  MoveTo(p, 1);
}

void PgRecordset::MovePrevious() {
  if (IsBOF()) RaiseNoCurrent();
  int p = pos_ - 1;
  while (p >= 0 && deleted_[size_t(p)]) --p;
  MoveTo(p, -1);
}

int32_t PgRecordset::AbsolutePosition() const {
  Check();
  if (!HasCurrent()) return -1;
  int32_t n = 0;
  for (int i = 0; i < pos_; ++i) n += deleted_[size_t(i)] ? 0 : 1;
  return n;
}

Recordset::Bookmark PgRecordset::GetBookmark() const {
  Check();
  RequireCurrent();
  return pos_ + 1;
}

void PgRecordset::SetBookmark(Bookmark b) {
  Check();
  if (b < 1 || b > nrows_ || deleted_[size_t(b - 1)]) Raise(3159, kSource, "Not a valid bookmark.");
  MoveTo(static_cast<int>(b - 1), 0);
  if (!HasCurrent()) Raise(kRecordDeleted, kSource, "Record is deleted.");
}

Recordset::Bookmark PgRecordset::LastModified() const {
  Check();
  if (last_modified_ == 0) RaiseNoCurrent();
  return last_modified_;
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
  const auto& kind = kinds_[size_t(c)];
  Value v = value;
  if (kind) {
    try {
      v = ConvertTo(*kind, value);
    } catch (const OrvError& e) {
      if (e.Number() == err::kOverflow) RaiseNumericOverflow(kSource, names_[size_t(c)]);
      throw;
    }
    const int32_t size = sizes_[size_t(c)];
    if (*kind == FieldType::Text && size > 0 && v.kind() == Value::Kind::Text &&
        CharCount(std::get<std::string>(v.raw())) > size_t(size)) {
      RaiseFieldTooSmall(kSource, names_[size_t(c)]);
    }
  }
  edit_[size_t(c)] = std::move(v);
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
