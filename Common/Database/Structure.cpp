// Tables, fields and indexes.
//
// Text comparison: CreateTable declares Text and Memo fields COLLATE NOCASE,
// so comparisons, joins, LIKE and unique indexes on them ignore ASCII case as
// the application expects of its databases. Tables made by plain SQL get
// whatever collation their author declares.
//
// Index names belong to a table here but are global in SQLite, so an index
// is stored as "<table>.<name>" ("<table>!<name>" for the primary one);
// "ignore nulls" is a partial index on non-null keys. A table whose key is
// SQLite's INTEGER PRIMARY KEY reports it as the "PrimaryKey" index when it
// has no explicit primary index.
#include <cctype>
#include <cstdio>
#include <cstring>

#include "Impl.h"
#include "Numbers.h"
#include "OrvError.h"
#include "Text.h"

namespace orv::db::detail {

namespace {

constexpr const char* kSource = "DAO.TableDef";

std::string Text(sqlite3_stmt* s, int col) {
  const auto* p = reinterpret_cast<const char*>(sqlite3_column_text(s, col));
  return p ? p : "";
}

std::string DefaultLiteral(const FieldDef& f) {
  const Value v = ConvertTo(f.type, f.default_value);
  switch (v.kind()) {
    case Value::Kind::Integer:
      return std::to_string(std::get<int64_t>(v.raw()));
    case Value::Kind::Real: {
      char buf[40];
      std::snprintf(buf, sizeof buf, "%.17g", std::get<double>(v.raw()));
      return buf;
    }
    case Value::Kind::Text:
      return QuoteLiteral(std::get<std::string>(v.raw()));
    case Value::Kind::Null:
      break;
  }
  return "NULL";
}

// A column's DEFAULT text as table_info gives it, read back as a value.
Value ParseDefault(const std::string& text, FieldType type) {
  if (text.empty() || IEquals(text, "NULL")) return Value();
  if (text.size() >= 2 && text.front() == '\'') {
    return Value(ReplaceAll(text.substr(1, text.size() - 2), "''", "'"));
  }
  try {
    return ConvertTo(type, Value(text));
  } catch (const OrvError&) {
    return Value(text);  // an expression
  }
}

int FieldPosition(const std::vector<FieldDef>& fields, std::string_view name) {
  for (size_t i = 0; i < fields.size(); ++i) {
    if (IEquals(fields[i].name, name)) return static_cast<int>(i);
  }
  return -1;
}

void RequireTable(const ConnectionPtr& conn, std::string_view table) {
  if (!TableExists(conn, table)) RaiseItemNotFound(kSource);
}

// --- table rebuild --------------------------------------------------------------
// The column definitions of a table's CREATE statement, kept verbatim, so a
// rebuild keeps every key, collation, check and default as it was.
struct TableText {
  std::string head;                  // "CREATE TABLE x"
  std::vector<std::string> columns;  // one definition per field, in order
  std::vector<std::string> constraints;
  std::string tail;  // after the closing bracket (WITHOUT ROWID ...)
};

bool IsConstraint(const std::string& seg) {
  const std::string up = UpperAscii(seg);
  for (const char* k : {"CONSTRAINT", "PRIMARY", "UNIQUE", "CHECK", "FOREIGN"}) {
    const size_t n = std::strlen(k);
    if (up.compare(0, n, k) == 0 &&
        (up.size() == n || !std::isalnum(static_cast<unsigned char>(up[n]))))
      return true;
  }
  return false;
}

TableText SplitCreate(const std::string& sql) {
  TableText t;
  size_t i = 0, open = std::string::npos;
  int depth = 0;
  size_t seg_start = 0;
  for (i = 0; i < sql.size(); ++i) {
    const char c = sql[i];
    if (c == '\'' || c == '"' || c == '`' || c == '[') {
      const size_t close = sql.find(c == '[' ? ']' : c, i + 1);
      if (close == std::string::npos) break;
      i = close;
    } else if (c == '(') {
      if (depth++ == 0 && open == std::string::npos) {
        open = i;
        seg_start = i + 1;
      }
    } else if (c == ')' || (c == ',' && depth == 1)) {
      if (c == ')' && --depth != 0) continue;
      std::string seg = TrimWhite(sql.substr(seg_start, i - seg_start));
      (IsConstraint(seg) ? t.constraints : t.columns).push_back(std::move(seg));
      seg_start = i + 1;
      if (c == ')') {
        t.tail = sql.substr(i + 1);
        break;
      }
    }
  }
  if (open == std::string::npos)
    Raise(dberr::kGeneric, kSource, "Cannot read the table definition.");
  t.head = sql.substr(0, open);
  return t;
}

// Rebuilds `table` with `columns` (verbatim definitions); `sources[i]` names
// the old field whose data fills new field i (empty: none). Indexes and
// triggers are re-created and an AUTOINCREMENT counter keeps its value.
void Rebuild(const ConnectionPtr& conn, const std::string& table, const TableText& old,
             const std::vector<std::string>& columns, const std::vector<std::string>& targets,
             const std::vector<std::string>& sources) {
  const std::string q = QuoteIdent(table);
  const std::string tmp = QuoteIdent("orv_rebuild_" + table);
  std::vector<std::string> extras;  // index and trigger statements
  {
    Statement st(conn,
                 "SELECT sql FROM sqlite_schema WHERE type IN ('index', 'trigger') AND "
                 "tbl_name = ? COLLATE NOCASE AND sql IS NOT NULL ORDER BY rowid",
                 kSource);
    BindValue(st.Get(kSource), 1, Value(table));
    while (st.Step(kSource)) extras.push_back(Text(st.Get(kSource), 0));
  }
  RunOnce(conn, "SAVEPOINT orv_rebuild", {}, kSource);
  try {
    std::string create = "CREATE TABLE " + tmp + " (";
    bool first = true;
    for (const auto* list : {&columns, &old.constraints}) {
      for (const std::string& c : *list) {
        create += (first ? "" : ", ") + c;
        first = false;
      }
    }
    RunOnce(conn, create + ")" + old.tail, {}, kSource);
    std::string to, from;
    for (size_t i = 0; i < targets.size(); ++i) {
      if (sources[i].empty()) continue;
      to += (to.empty() ? "" : ", ") + QuoteIdent(targets[i]);
      from += (from.empty() ? "" : ", ") + QuoteIdent(sources[i]);
    }
    if (!to.empty()) {
      RunOnce(conn, "INSERT INTO " + tmp + " (" + to + ") SELECT " + from + " FROM " + q, {},
              kSource);
    }
    const bool has_seq = TableExists(conn, "sqlite_sequence");
    Value seq;
    if (has_seq) {
      Statement st(conn, "SELECT seq FROM sqlite_sequence WHERE name = ? COLLATE NOCASE", kSource);
      BindValue(st.Get(kSource), 1, Value(table));
      if (st.Step(kSource)) seq = ReadColumn(st.Get(kSource), 0, std::nullopt);
    }
    RunOnce(conn, "DROP TABLE " + q, {}, kSource);
    RunOnce(conn, "ALTER TABLE " + tmp + " RENAME TO " + q, {}, kSource);
    for (const std::string& sql : extras) RunOnce(conn, sql, {}, kSource);
    if (!seq.IsNull()) {
      RunOnce(conn, "UPDATE sqlite_sequence SET seq = max(seq, ?) WHERE name = ?",
              {seq, Value(table)}, kSource);
    }
    RunOnce(conn, "RELEASE orv_rebuild", {}, kSource);
  } catch (...) {
    sqlite3_exec(conn->Handle(kSource), "ROLLBACK TO orv_rebuild; RELEASE orv_rebuild", nullptr,
                 nullptr, nullptr);
    throw;
  }
}

std::string CreateSql(const ConnectionPtr& conn, const std::string& table) {
  Statement st(conn,
               "SELECT sql FROM sqlite_schema WHERE type = 'table' AND name = ? COLLATE NOCASE",
               kSource);
  BindValue(st.Get(kSource), 1, Value(table));
  if (!st.Step(kSource)) RaiseItemNotFound(kSource);
  return Text(st.Get(kSource), 0);
}

// The real name of a table as SQLite spells it.
std::string TableName(const ConnectionPtr& conn, std::string_view table) {
  Statement st(conn,
               "SELECT name FROM sqlite_schema WHERE type = 'table' AND name = ? COLLATE NOCASE",
               kSource);
  BindValue(st.Get(kSource), 1, Value(table));
  if (!st.Step(kSource)) RaiseItemNotFound(kSource);
  return Text(st.Get(kSource), 0);
}

}  // namespace

bool TableExists(const ConnectionPtr& conn, std::string_view table) {
  Statement st(conn, "SELECT 1 FROM sqlite_schema WHERE type = 'table' AND name = ? COLLATE NOCASE",
               kSource);
  const std::string key(table);
  BindValue(st.Get(kSource), 1, Value(key));
  const bool found = st.Step(kSource);
  st.Rewind();
  return found;
}

std::string ColumnDefinition(const FieldDef& f) {
  std::string d = QuoteIdent(f.name) + " " + DeclaredType(f);
  if (f.auto_increment) {
    if (f.type != FieldType::Long)
      Raise(dberr::kGeneric, kSource, "Only a Long field can be a counter.");
    return d + " PRIMARY KEY AUTOINCREMENT";
  }
  if (f.required) d += " NOT NULL";
  if (!f.default_value.IsNull()) d += " DEFAULT " + DefaultLiteral(f);
  if (f.type == FieldType::Text || f.type == FieldType::Memo) {
    d += " COLLATE NOCASE";
    if (!f.allow_zero_length) d += " CHECK (" + QuoteIdent(f.name) + " <> '')";
  }
  // The field keeps its declared size and range whoever writes to it: a
  // longer text or a number outside the type fails (3163, 3349) instead of
  // being stored. Values of another kind (text in a number field) are left
  // to the readers' conversion, as before.
  const std::string q = QuoteIdent(f.name);
  const std::string numeric = "typeof(" + q + ") NOT IN ('integer', 'real') OR ";
  auto range = [&](const char* limits) {
    d += std::string(" CONSTRAINT \"") + kRangeCheck + "\" CHECK (" + numeric + q + limits + ")";
  };
  switch (f.type) {
    case FieldType::Text:
      d += std::string(" CONSTRAINT \"") + kSizeCheck + "\" CHECK (length(" + q +
           ") <= " + std::to_string(f.size > 0 ? f.size : 255) + ")";
      break;
    case FieldType::Long:
      range(" BETWEEN -2147483648 AND 2147483647");
      break;
    case FieldType::Integer:
      range(" BETWEEN -32768 AND 32767");
      break;
    case FieldType::Single:
      range(" BETWEEN -3.40282346638528859e38 AND 3.40282346638528859e38");
      break;
    case FieldType::Currency:
      range(" BETWEEN -922337203685477.5807 AND 922337203685477.5807");
      break;
    default:
      break;
  }
  return d;
}

std::vector<FieldDef> ReadFields(const ConnectionPtr& conn, std::string_view table) {
  const std::string name = TableName(conn, table);
  const std::string create = UpperAscii(CreateSql(conn, name));
  Statement st(conn, "SELECT name, type, \"notnull\", dflt_value, pk FROM pragma_table_info(?)",
               kSource);
  sqlite3_stmt* s = st.Get(kSource);
  BindValue(s, 1, Value(name));
  std::vector<FieldDef> fields;
  int pk_count = 0;
  while (st.Step(kSource)) {
    FieldDef f;
    f.name = Text(s, 0);
    const std::string decl = Text(s, 1);
    int32_t size = 0;
    f.type = TypeFromDeclared(decl, &size).value_or(FieldType::Text);
    f.size = f.type == FieldType::Text ? (size > 0 ? size : 255) : 0;
    f.required = sqlite3_column_int(s, 2) != 0;
    f.default_value = ParseDefault(Text(s, 3), f.type);
    const int pk = sqlite3_column_int(s, 4);
    pk_count += pk > 0;
    f.auto_increment =
        pk == 1 && IEquals(decl, "INTEGER") && create.find("AUTOINCREMENT") != std::string::npos;
    const std::string check = "CHECK (" + UpperAscii(QuoteIdent(f.name)) + " <> '')";
    f.allow_zero_length = create.find(check) == std::string::npos;
    fields.push_back(std::move(f));
  }
  if (pk_count > 1) {
    for (FieldDef& f : fields) f.auto_increment = false;
  }
  return fields;
}

// Indexes in the order they were made; with `rowid_key`, an INTEGER PRIMARY
// KEY with no explicit primary index is reported as "PrimaryKey".
std::vector<IndexDef> ReadIndexesImpl(const ConnectionPtr& conn, std::string_view table,
                                      bool rowid_key) {
  const std::string name = TableName(conn, table);
  Statement st(conn,
               "SELECT il.name, il.\"unique\", il.origin, il.partial FROM pragma_index_list(?) il "
               "LEFT JOIN sqlite_schema s ON s.type = 'index' AND s.name = il.name "
               "ORDER BY s.rowid, il.seq",
               kSource);
  sqlite3_stmt* s = st.Get(kSource);
  BindValue(s, 1, Value(name));
  std::vector<IndexDef> out;
  std::vector<std::string> raw_names;
  while (st.Step(kSource)) {
    IndexDef ix;
    const std::string raw = Text(s, 0);
    const std::string origin = Text(s, 2);
    ix.unique = sqlite3_column_int(s, 1) != 0;
    ix.ignore_nulls = sqlite3_column_int(s, 3) != 0;
    ix.name = raw;
    if (raw.size() > name.size() && IStartsWith(raw, name) &&
        (raw[name.size()] == '.' || raw[name.size()] == '!')) {
      ix.primary = raw[name.size()] == '!';
      ix.name = raw.substr(name.size() + 1);
    } else if (origin == "pk") {
      ix.primary = true;
      ix.name = "PrimaryKey";
    }
    out.push_back(std::move(ix));
    raw_names.push_back(raw);
  }
  st.Rewind();
  for (size_t i = 0; i < out.size(); ++i) {
    Statement fs(conn, "SELECT name FROM pragma_index_info(?) ORDER BY seqno", kSource);
    BindValue(fs.Get(kSource), 1, Value(raw_names[i]));
    while (fs.Step(kSource)) out[i].fields.push_back(Text(fs.Get(kSource), 0));
  }
  if (rowid_key) {
    bool has_primary = false;
    for (const IndexDef& ix : out) has_primary = has_primary || ix.primary;
    Statement ps(conn, "SELECT name, type FROM pragma_table_info(?) WHERE pk > 0", kSource);
    BindValue(ps.Get(kSource), 1, Value(name));
    std::vector<std::pair<std::string, std::string>> keys;
    while (ps.Step(kSource)) keys.emplace_back(Text(ps.Get(kSource), 0), Text(ps.Get(kSource), 1));
    if (!has_primary && keys.size() == 1 && IEquals(keys[0].second, "INTEGER")) {
      out.insert(out.begin(), IndexDef{"PrimaryKey", {keys[0].first}, true, true, false});
    }
  }
  return out;
}

std::vector<IndexDef> ReadIndexes(const ConnectionPtr& conn, std::string_view table) {
  return ReadIndexesImpl(conn, table, true);
}

// --- the database's structure operations -------------------------------------------

bool SqliteDatabase::TableExists(std::string_view table) {
  return detail::TableExists(conn_, table);
}

std::vector<std::string> SqliteDatabase::TableNames() {
  Statement st(conn_,
               "SELECT name FROM sqlite_schema WHERE type = 'table' AND name NOT LIKE 'sqlite\\_%' "
               "ESCAPE '\\' AND name NOT IN ('OrvDatabaseInfo', 'StoredQueries') "
               "ORDER BY name COLLATE NOCASE",
               kSource);
  std::vector<std::string> names;
  while (st.Step(kSource)) names.push_back(Text(st.Get(kSource), 0));
  return names;
}

std::vector<SchemaObject> SqliteDatabase::SchemaObjects() {
  // Automatic indexes of unique constraints are named sqlite_autoindex_...
  // and left out with the engine's own tables.
  Statement st(conn_,
               "SELECT type, name, tbl_name FROM sqlite_schema WHERE name NOT LIKE 'sqlite\\_%' "
               "ESCAPE '\\' AND tbl_name NOT IN ('OrvDatabaseInfo', 'StoredQueries') "
               "ORDER BY name COLLATE NOCASE",
               kSource);
  std::vector<SchemaObject> objects;
  while (st.Step(kSource)) {
    const std::string type = Text(st.Get(kSource), 0);
    SchemaObject::Kind kind = SchemaObject::Kind::Table;
    if (type == "view") kind = SchemaObject::Kind::View;
    if (type == "trigger") kind = SchemaObject::Kind::Trigger;
    if (type == "index") kind = SchemaObject::Kind::Index;
    objects.push_back({kind, Text(st.Get(kSource), 1), Text(st.Get(kSource), 2)});
  }
  return objects;
}

std::vector<FieldDef> SqliteDatabase::Fields(std::string_view table) {
  RequireTable(conn_, table);
  return ReadFields(conn_, table);
}

std::vector<IndexDef> SqliteDatabase::Indexes(std::string_view table) {
  RequireTable(conn_, table);
  return ReadIndexes(conn_, table);
}

void SqliteDatabase::CreateTable(std::string_view table, const std::vector<FieldDef>& fields) {
  if (fields.empty()) Raise(dberr::kGeneric, kSource, "A table needs at least one field.");
  std::string sql = "CREATE TABLE " + QuoteIdent(table) + " (";
  for (size_t i = 0; i < fields.size(); ++i) sql += (i ? ", " : "") + ColumnDefinition(fields[i]);
  RunOnce(conn_, sql + ")", {}, kSource);
}

void SqliteDatabase::CreateField(std::string_view table, const FieldDef& field) {
  const std::string name = TableName(conn_, table);
  const std::vector<FieldDef> fields = ReadFields(conn_, name);
  if (FieldPosition(fields, field.name) >= 0) {
    Raise(dberr::kGeneric, kSource,
          "Field '" + field.name + "' already exists in table '" + name + "'.");
  }
  const std::string def = ColumnDefinition(field);
  const bool at_end = field.ordinal < 0 || field.ordinal >= static_cast<int32_t>(fields.size());
  const bool alter_can =
      at_end && !field.auto_increment && !(field.required && field.default_value.IsNull());
  if (alter_can) {
    RunOnce(conn_, "ALTER TABLE " + QuoteIdent(name) + " ADD COLUMN " + def, {}, kSource);
    return;
  }
  const TableText old = SplitCreate(CreateSql(conn_, name));
  const size_t at = at_end ? fields.size() : static_cast<size_t>(field.ordinal);
  std::vector<std::string> columns = old.columns, targets, sources;
  columns.insert(columns.begin() + static_cast<std::ptrdiff_t>(at), def);
  for (const FieldDef& f : fields) targets.push_back(f.name);
  sources = targets;
  targets.insert(targets.begin() + static_cast<std::ptrdiff_t>(at), field.name);
  sources.insert(sources.begin() + static_cast<std::ptrdiff_t>(at), std::string());
  Rebuild(conn_, name, old, columns, targets, sources);
}

void SqliteDatabase::CreateIndex(std::string_view table, const IndexDef& index) {
  const std::string name = TableName(conn_, table);
  if (index.name.empty() || index.fields.empty()) {
    Raise(dberr::kGeneric, kSource, "An index needs a name and at least one field.");
  }
  const std::vector<FieldDef> fields = ReadFields(conn_, name);
  for (const std::string& f : index.fields) {
    if (FieldPosition(fields, f) < 0) RaiseItemNotFound("DAO.Index");
  }
  if (index.primary) {
    for (const IndexDef& ix : ReadIndexesImpl(conn_, name, false)) {
      if (ix.primary) Raise(kPrimaryKeyExists, "DAO.Index", "Primary key already exists.");
    }
  }
  std::string sql = (index.primary || index.unique) ? "CREATE UNIQUE INDEX " : "CREATE INDEX ";
  sql += QuoteIdent(name + (index.primary ? "!" : ".") + index.name) + " ON " + QuoteIdent(name) +
         " (";
  std::string where;
  for (size_t i = 0; i < index.fields.size(); ++i) {
    sql += (i ? ", " : "") + QuoteIdent(index.fields[i]);
    where += (i ? " AND " : "") + QuoteIdent(index.fields[i]) + " IS NOT NULL";
  }
  sql += ")";
  if (index.ignore_nulls) sql += " WHERE " + where;
  RunOnce(conn_, sql, {}, "DAO.Index");
}

void SqliteDatabase::RenameField(std::string_view table, std::string_view from,
                                 std::string_view to) {
  const std::string name = TableName(conn_, table);
  if (FieldPosition(ReadFields(conn_, name), from) < 0) RaiseItemNotFound("DAO.Field");
  RunOnce(conn_,
          "ALTER TABLE " + QuoteIdent(name) + " RENAME COLUMN " + QuoteIdent(from) + " TO " +
              QuoteIdent(to),
          {}, "DAO.Field");
}

void SqliteDatabase::DeleteField(std::string_view table, std::string_view field) {
  const std::string name = TableName(conn_, table);
  const std::vector<FieldDef> fields = ReadFields(conn_, name);
  const int pos = FieldPosition(fields, field);
  if (pos < 0) RaiseItemNotFound("DAO.Fields");
  for (const IndexDef& ix : ReadIndexesImpl(conn_, name, true)) {
    for (const std::string& f : ix.fields) {
      if (IEquals(f, field)) {
        Raise(kFieldInIndex, "DAO.Fields",
              "Can't delete a field that is part of an index or is needed by the system.");
      }
    }
  }
  try {
    RunOnce(conn_, "ALTER TABLE " + QuoteIdent(name) + " DROP COLUMN " + QuoteIdent(field), {},
            "DAO.Fields");
    return;
  } catch (const OrvError& e) {
    if (e.Number() != dberr::kGeneric) throw;
  }
  // SQLite refused to drop the column in place: rebuild the table without it.
  const TableText old = SplitCreate(CreateSql(conn_, name));
  std::vector<std::string> columns = old.columns, targets;
  columns.erase(columns.begin() + pos);
  for (const FieldDef& f : fields) targets.push_back(f.name);
  targets.erase(targets.begin() + pos);
  Rebuild(conn_, name, old, columns, targets, targets);
}

void SqliteDatabase::DropTable(std::string_view table) {
  const std::string name = TableName(conn_, table);
  RunOnce(conn_, "DROP TABLE " + QuoteIdent(name), {}, kSource);
}

}  // namespace orv::db::detail
