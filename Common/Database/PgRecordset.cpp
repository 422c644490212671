// Recordsets on a server. A snapshot keeps every row as it was. A dynaset
// over one table with a one-field primary key among its fields is a keyset,
// as on a file: it holds the keys alone, in the SELECT's order, and a row is
// read by its key when the caller moves onto it. Other dynasets (joins,
// computed fields, no key) are read-only and keep every row.
//
// Sending every key of a large set takes the server longer than the file
// takes to read them, so a keyset whose order can be turned round opens
// with one statement that counts the rows and reads the keys of the first
// and the last kEndRows of them: the first row, the last, the record count
// and every position are known at once. The keys between are read, all
// together, the first time the caller moves onto one of them: every key
// not yet held, in the server's order. Rows that tie in the order may come
// in another order at the two ends than in the middle; each is still in the
// set once, among its equals.
//
// Edits are optimistic: Edit reads the row with its version (the server's
// xmin and ctid, which change with every write of the row, also within one
// transaction), and Update writes only where the version is still the one
// read: otherwise 3197 (changed by another user), or 3167 when the row is
// gone. Check and write are one statement, so nobody comes between them.
#include <algorithm>
#include <cctype>
#include <cstdint>
#include <optional>
#include <unordered_set>

#include "OrvError.h"
#include "PgImpl.h"
#include "RecordsetBase.h"
#include "Text.h"

namespace orv::db::detail {

namespace {

constexpr const char* kSource = "DAO.Recordset";

// Keys read at each end of a large keyset when it opens.
constexpr int kEndRows = 200;

// A bookmark given while the middle of a keyset was still unread: rows the
// server added there since may move the rows after them on.
constexpr Recordset::Bookmark kBeforeFill = Recordset::Bookmark(1) << 40;

bool WordChar(char c) {
  return std::isalnum(static_cast<unsigned char>(c)) || c == '_' ||
         static_cast<unsigned char>(c) >= 0x80;
}

// A SELECT split at its own ORDER BY: the statement without it, and the
// order forwards and backwards. A SELECT without an order is put in the
// order of its key (the column at `key_ordinal`), as a file gives its rows.
struct Ordering {
  std::string base;
  std::string forward;   // " ORDER BY ..."
  std::string backward;  // the same order reversed
};

// Empty when the statement's order cannot be turned round safely: a LIMIT,
// OFFSET, FETCH or FOR clause, a set operation, an ORDER BY ... USING, or
// text this scanner does not follow (dollar quoting).
std::optional<Ordering> SplitOrdering(std::string_view sql, int key_ordinal) {
  // Comments out (they mean nothing, and one would swallow what follows it);
  // literals and quoted names kept as they are and passed over.
  std::string text;
  text.reserve(sql.size());
  struct Word {
    std::string upper;
    size_t at;
    int depth;
  };
  std::vector<Word> words;
  std::vector<std::pair<size_t, int>> commas;  // position, depth
  int depth = 0;
  for (size_t i = 0; i < sql.size(); ++i) {
    const char c = sql[i];
    if (c == '\'' || c == '"') {
      const size_t end = sql.find(c, i + 1);
      if (end == std::string_view::npos) return std::nullopt;
      text.append(sql.substr(i, end + 1 - i));
      i = end;
    } else if (c == '-' && i + 1 < sql.size() && sql[i + 1] == '-') {
      const size_t end = sql.find('\n', i);
      text += ' ';
      i = end == std::string_view::npos ? sql.size() : end;
    } else if (c == '/' && i + 1 < sql.size() && sql[i + 1] == '*') {
      const size_t end = sql.find("*/", i + 2);
      if (end == std::string_view::npos) return std::nullopt;
      text += ' ';
      i = end + 1;
    } else if (c == '$' && i + 1 < sql.size() && !std::isdigit(static_cast<unsigned char>(sql[i + 1]))) {
      return std::nullopt;
    } else if (WordChar(c) && !std::isdigit(static_cast<unsigned char>(c)) &&
               (text.empty() || !WordChar(text.back()))) {
      size_t j = i;
      while (j < sql.size() && WordChar(sql[j])) ++j;
      words.push_back({UpperAscii(sql.substr(i, j - i)), text.size(), depth});
      text.append(sql.substr(i, j - i));
      i = j - 1;
    } else {
      if (c == '(') ++depth;
      if (c == ')') --depth;
      if (c == ',') commas.emplace_back(text.size(), depth);
      text += c;
    }
  }
  size_t order_at = std::string::npos, items_at = 0;
  for (size_t w = 0; w < words.size(); ++w) {
    if (words[w].depth != 0) continue;
    const std::string& u = words[w].upper;
    if (u == "LIMIT" || u == "OFFSET" || u == "FETCH" || u == "FOR" || u == "UNION" ||
        u == "INTERSECT" || u == "EXCEPT") {
      return std::nullopt;
    }
    if (u == "ORDER" && w + 1 < words.size() && words[w + 1].upper == "BY" &&
        words[w + 1].depth == 0) {
      order_at = words[w].at;
      items_at = words[w + 1].at + 2;
    }
  }
  const std::string key = std::to_string(key_ordinal);
  Ordering o;
  if (order_at == std::string::npos) {
    o.base = text;
    o.forward = " ORDER BY " + key;
    o.backward = " ORDER BY " + key + " DESC";
    return o;
  }
  o.base = text.substr(0, order_at);
  // The items, split at the commas of the ORDER BY's own level.
  std::vector<std::pair<size_t, size_t>> items;
  size_t from = items_at;
  for (const auto& [at, d] : commas) {
    if (at < items_at || d != 0) continue;
    items.emplace_back(from, at);
    from = at + 1;
  }
  items.emplace_back(from, text.size());
  auto words_of = [&](size_t b, size_t e) {
    std::vector<const Word*> out;
    for (const Word& w : words)
      if (w.at >= b && w.at < e && w.depth == 0) out.push_back(&w);
    return out;
  };
  for (const auto& [b, e] : items) {
    std::vector<const Word*> ws = words_of(b, e);
    for (const Word* w : ws)
      if (w->upper == "USING") return std::nullopt;
    size_t expr_end = e;
    bool descending = false;
    std::string nulls;  // "FIRST" or "LAST" when given
    // Trailing words, read from the end: [ASC | DESC] [NULLS FIRST | LAST].
    auto trailing = [&](const char* word) {
      if (ws.empty() || ws.back()->upper != word) return false;
      const size_t after = ws.back()->at + ws.back()->upper.size();
      for (size_t k = after; k < expr_end; ++k)
        if (!std::isspace(static_cast<unsigned char>(text[k]))) return false;
      expr_end = ws.back()->at;
      ws.pop_back();
      return true;
    };
    if (trailing("FIRST") || trailing("LAST")) {
      nulls = std::toupper(static_cast<unsigned char>(text[expr_end])) == 'F' ? "FIRST" : "LAST";
      if (!trailing("NULLS")) return std::nullopt;
    }
    if (trailing("DESC")) {
      descending = true;
    } else {
      trailing("ASC");
    }
    std::string expr = text.substr(b, expr_end - b);
    while (!expr.empty() && std::isspace(static_cast<unsigned char>(expr.back()))) expr.pop_back();
    while (!expr.empty() && std::isspace(static_cast<unsigned char>(expr.front()))) expr.erase(0, 1);
    if (expr.empty()) return std::nullopt;
    const std::string back_nulls =
        nulls.empty() ? "" : nulls == "FIRST" ? " NULLS LAST" : " NULLS FIRST";
    o.forward += (o.forward.empty() ? " ORDER BY " : ", ") + expr +
                 (descending ? " DESC" : " ASC") + (nulls.empty() ? "" : " NULLS " + nulls);
    o.backward += (o.backward.empty() ? " ORDER BY " : ", ") + expr +
                  (descending ? " ASC" : " DESC") + back_nulls;
  }
  return o;
}

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

  Bookmark GetBookmark() const override {
    const Bookmark b = RecordsetBase::GetBookmark();
    return missing_ > 0 ? b | kBeforeFill : b;
  }
  bool FindFirst(std::string_view field, const Value& value) override;
  Bookmark LastModified() const override {
    const Bookmark b = RecordsetBase::LastModified();
    return missing_ > 0 ? b | kBeforeFill : b;
  }
  void SetBookmark(Bookmark b) override {
    if (b & kBeforeFill) {
      b &= ~kBeforeFill;
      if (b > shift_at_) b += shift_by_;
    }
    RecordsetBase::SetBookmark(b);
  }

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
                  const std::vector<uint32_t>& types,
                  PgConnection::Plan plan = PgConnection::Plan::Kept);
  std::string QuotedKey() const;
  // Opens a large keyset at its two ends; false when the server's answer
  // does not hold together (the caller then reads every key).
  bool RunEnds(const std::vector<Value>& values, const std::vector<uint32_t>& types);
  // Reads the keys between the two ends.
  void FillKeys();
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

  std::optional<Ordering> ordering_;  // a keyset whose order turns round

  std::vector<Value> keys_;   // keyset; null where not yet read
  int missing_ = 0;           // keys not yet read
  int shift_at_ = INT32_MAX;  // rows from here on moved on by shift_by_
  int shift_by_ = 0;          //   when the middle was read
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
  ordering_.reset();
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
  if (keyset_) ordering_ = SplitOrdering(translated_.sql, key_col_ + 1);
}

// A stored query's SQL runs under the budget of SQL from the database; the
// caller's own does not.
// The key statements of a keyset, which read over the whole set once per
// opening, are planned for their values each time: kept, the server may
// plan a search's pattern for any pattern and read every row in its order.
PgResult PgRecordset::RunSet(const std::string& sql, const std::vector<Value>& values,
                             const std::vector<uint32_t>& types, PgConnection::Plan plan) {
  if (query_.empty()) return conn_->Run(sql, values, types, kSource, plan);
  return conn_->RunWithinBudget(query_, sql, values, types, kSource, plan);
}

void PgRecordset::Run() {
  if (generation_ != conn_->structure_generation) Prepare();
  std::vector<Value> values;
  std::vector<uint32_t> types;
  Bind(values, types);
  keys_.clear();
  cells_.clear();
  cached_row_ = -1;
  missing_ = 0;
  shift_at_ = INT32_MAX;
  shift_by_ = 0;
  keyset_ = keyset_ && updatable_;
  if (keyset_) {
    if (!ordering_ || !RunEnds(values, types)) {
      // The keys alone, in the set's order.
      PgResult r = RunSet("SELECT " + QuotedKey() + " FROM (" + translated_.sql +
                              ") AS \"orv$set\"",
                          values, types, PgConnection::Plan::EachRun);
      nrows_ = r.Rows();
      keys_.clear();
      keys_.reserve(size_t(nrows_));
      for (int i = 0; i < nrows_; ++i) keys_.push_back(PgCell(r, i, 0, kinds_[size_t(key_col_)]));
      missing_ = 0;
    }
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

std::string PgRecordset::QuotedKey() const {
  std::string quoted = "\"";
  for (char ch : key_output_) quoted += ch == '"' ? std::string("\"\"") : std::string(1, ch);
  return quoted + "\"";
}

bool PgRecordset::RunEnds(const std::vector<Value>& values, const std::vector<uint32_t>& types) {
  const Ordering& o = *ordering_;
  const std::string key = QuotedKey() + "::text";
  const std::string limit = " LIMIT " + std::to_string(kEndRows);
  // One statement, so that the count and both ends are of one moment.
  PgResult r = RunSet("SELECT 0, count(*)::text FROM (" + o.base + ") AS \"orv$set\"\n" +
                          "UNION ALL (SELECT 1, " + key + " FROM (" + o.base + o.forward + limit +
                          ") AS \"orv$set\")\n" + "UNION ALL (SELECT 2, " + key + " FROM (" +
                          o.base + o.backward + limit + ") AS \"orv$set\")",
                      values, types, PgConnection::Plan::EachRun);
  const auto& kind = kinds_[size_t(key_col_)];
  std::vector<Value> head, tail;
  long long count = -1;
  for (int i = 0; i < r.Rows(); ++i) {
    const std::string part = r.Text(i, 0);
    if (part == "0") count = std::stoll(r.Text(i, 1));
    if (part == "1") head.push_back(PgCell(r, i, 1, kind));
    if (part == "2") tail.push_back(PgCell(r, i, 1, kind));
  }
  if (count < 0 || count > INT32_MAX) return false;
  const size_t n = size_t(count);
  const size_t ends = std::min(n, size_t(kEndRows));
  if (head.size() != ends || tail.size() != ends) return false;
  keys_.assign(n, Value());
  for (size_t i = 0; i < ends; ++i) keys_[i] = std::move(head[i]);
  for (size_t i = 0; i < ends; ++i) {
    Value& slot = keys_[n - 1 - i];
    if (!slot.IsNull() && !(slot == tail[i])) return false;
    slot = std::move(tail[i]);
  }
  nrows_ = int(n);
  missing_ = int(n - std::min(n, 2 * ends));  // the two ends meet in a small set
  return true;
}

void PgRecordset::FillKeys() {
  std::vector<Value> values;
  std::vector<uint32_t> types;
  Bind(values, types);
  const Ordering& o = *ordering_;
  PgResult r = RunSet("SELECT " + QuotedKey() + " FROM (" + o.base + o.forward +
                          ") AS \"orv$set\"",
                      values, types, PgConnection::Plan::EachRun);
  // Every key this set does not hold yet belongs between its two ends, in
  // the server's order: rows another user deleted since the set opened are
  // gone from it, and rows added since may be among them.
  std::unordered_set<std::string> known;
  for (const Value& k : keys_)
    if (!k.IsNull()) known.insert(k.AsText());
  const auto& kind = kinds_[size_t(key_col_)];
  std::vector<Value> middle;
  for (int i = 0; i < r.Rows(); ++i) {
    Value k = PgCell(r, i, 0, kind);
    if (!known.count(k.AsText())) middle.push_back(std::move(k));
  }
  size_t next = 0;
  int end_of_gap = -1;
  for (int row = 0; row < nrows_; ++row) {
    if (!keys_[size_t(row)].IsNull() || deleted_[size_t(row)]) continue;
    end_of_gap = row + 1;
    if (next < middle.size()) {
      keys_[size_t(row)] = std::move(middle[next++]);
    } else {
      Drop(row);  // fewer rows now than when the set opened
    }
  }
  missing_ = 0;
  if (next == middle.size() || end_of_gap < 0) return;
  // More rows now: the rest go in after the gap, and the rows after it move on.
  const int extra = int(middle.size() - next);
  keys_.insert(keys_.begin() + end_of_gap, std::make_move_iterator(middle.begin() + long(next)),
               std::make_move_iterator(middle.end()));
  deleted_.insert(deleted_.begin() + end_of_gap, size_t(extra), 0);
  nrows_ += extra;
  live_ += extra;
  auto move_on = [&](auto& row) {
    if (row >= end_of_gap) row += extra;
  };
  move_on(pos_);
  move_on(cached_row_);
  if (last_modified_ > end_of_gap) last_modified_ += extra;
  shift_at_ = end_of_gap;
  shift_by_ = extra;
}

bool PgRecordset::FindFirst(std::string_view field, const Value& value) {
  Check();
  const int c = Column(field);
  if (!keyset_ || c != key_col_) return RecordsetBase::FindFirst(field, value);
  // By the keys the set holds, without reading the rows before it.
  const Value wanted = AsField(c, value);
  if (missing_ > 0) FillKeys();
  const int was = pos_;
  for (int row = 0; row < nrows_; ++row) {
    if (deleted_[size_t(row)] || !(keys_[size_t(row)] == wanted)) continue;
    MoveTo(row, 0);
    if (HasCurrent()) return true;  // else deleted by another user since the set opened
  }
  MoveTo(was, 0);
  return false;
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
  if (keys_[size_t(row)].IsNull()) {
    if (missing_ > 0) FillKeys();
    if (keys_[size_t(row)].IsNull()) return false;  // gone since the set opened
  }
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
