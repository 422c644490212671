// Field types: the declared SQLite column type of each field type, and the
// conversions of values on writing (to the declared type) and on reading
// (a SINGLE column reads back as a single, YESNO as 0/1, DATETIME as text).
#include <chrono>
#include <cmath>
#include <cstdio>
#include <cstdlib>

#include "Detail.h"
#include "Numbers.h"
#include "OrvError.h"
#include "Text.h"

namespace orv::db::detail {

namespace {

struct TypeName {
  const char* name;
  FieldType type;
};

// Declared column types the layer recognises (upper case, size removed).
// "INTEGER" is a 32-bit Long as in SQL DDL (and SQLite's rowid alias); the
// 16-bit Integer is declared SHORT.
constexpr TypeName kDeclared[] = {
    {"LONG", FieldType::Long},         {"INTEGER", FieldType::Long},
    {"INT", FieldType::Long},          {"LONG INTEGER", FieldType::Long},
    {"BIGINT", FieldType::Long},       {"COUNTER", FieldType::Long},
    {"SHORT", FieldType::Integer},     {"SMALLINT", FieldType::Integer},
    {"INTEGER16", FieldType::Integer}, {"INT16", FieldType::Integer},
    {"TINYINT", FieldType::Integer},   {"BYTE", FieldType::Integer},
    {"SINGLE", FieldType::Single},     {"FLOAT4", FieldType::Single},
    {"DOUBLE", FieldType::Double},     {"DOUBLE PRECISION", FieldType::Double},
    {"FLOAT", FieldType::Double},      {"FLOAT8", FieldType::Double},
    {"REAL", FieldType::Double},       {"NUMERIC", FieldType::Double},
    {"DECIMAL", FieldType::Double},    {"CURRENCY", FieldType::Currency},
    {"MONEY", FieldType::Currency},    {"YESNO", FieldType::YesNo},
    {"BIT", FieldType::YesNo},         {"BOOLEAN", FieldType::YesNo},
    {"LOGICAL", FieldType::YesNo},     {"DATETIME", FieldType::DateTime},
    {"DATE", FieldType::DateTime},     {"TIMESTAMP", FieldType::DateTime},
    {"TEXT", FieldType::Text},         {"VARCHAR", FieldType::Text},
    {"CHAR", FieldType::Text},         {"NVARCHAR", FieldType::Text},
    {"CHARACTER", FieldType::Text},    {"LONGTEXT", FieldType::Memo},
    {"MEMO", FieldType::Memo},         {"CLOB", FieldType::Memo},
};

// Parameter types by the system's names ("Integer" is 16-bit here).
constexpr TypeName kParameterTypes[] = {
    {"LONG", FieldType::Long},     {"INTEGER", FieldType::Integer},
    {"SHORT", FieldType::Integer}, {"BYTE", FieldType::Integer},
    {"SINGLE", FieldType::Single}, {"DOUBLE", FieldType::Double},
    {"FLOAT", FieldType::Double},  {"CURRENCY", FieldType::Currency},
    {"YESNO", FieldType::YesNo},   {"BIT", FieldType::YesNo},
    {"BOOLEAN", FieldType::YesNo}, {"DATETIME", FieldType::DateTime},
    {"DATE", FieldType::DateTime}, {"TEXT", FieldType::Text},
    {"MEMO", FieldType::Memo},     {"LONGTEXT", FieldType::Memo},
};

// Upper-cased declaration without its "(size)"; the size in *size.
std::string Normalise(std::string_view decl, int32_t* size) {
  std::string s = UpperAscii(TrimWhite(decl));
  const auto open = s.find('(');
  if (open != std::string::npos) {
    const auto close = s.find(')', open);
    if (size) *size = std::atoi(s.substr(open + 1, close - open - 1).c_str());
    s = TrimWhite(s.substr(0, open));
  }
  return s;
}

// An OLE automation date (days since 30 December 1899) as ISO-8601 text.
std::string SerialToIso(double serial) {
  using namespace std::chrono;
  // 1 January 100 to 31 December 9999: the dates the type can hold.
  if (!(serial >= -657434.0 && serial < 2958466.0)) RaiseStandard(err::kOverflow);
  const double whole = std::floor(serial);
  auto secs = static_cast<int64_t>(std::llround((serial - whole) * 86400.0));
  int64_t days = static_cast<int64_t>(whole);
  if (secs >= 86400) {
    secs -= 86400;
    ++days;
  }
  const year_month_day ymd{sys_days{year{1899} / December / 30} + std::chrono::days{days}};
  char buf[64];
  std::snprintf(buf, sizeof buf, "%04d-%02u-%02u %02lld:%02lld:%02lld",
                static_cast<int>(ymd.year()), static_cast<unsigned>(ymd.month()),
                static_cast<unsigned>(ymd.day()), static_cast<long long>(secs / 3600),
                static_cast<long long>(secs / 60 % 60), static_cast<long long>(secs % 60));
  return buf;
}

double RoundCurrency(double d) { return std::nearbyint(d * 10000.0) / 10000.0; }

// A currency is a 64-bit count of ten-thousandths.
constexpr double kMaxCurrency = 922337203685477.5807;

}  // namespace

std::string DeclaredType(const FieldDef& f) {
  switch (f.type) {
    case FieldType::Long:
      return f.auto_increment ? "INTEGER" : "LONG";
    case FieldType::Integer:
      return "SHORT";
    case FieldType::Single:
      return "SINGLE";
    case FieldType::Double:
      return "DOUBLE";
    case FieldType::Currency:
      return "CURRENCY";
    case FieldType::YesNo:
      return "YESNO";
    case FieldType::DateTime:
      return "DATETIME";
    case FieldType::Text:
      return "TEXT(" + std::to_string(f.size > 0 ? f.size : 255) + ")";
    case FieldType::Memo:
      return "LONGTEXT";
  }
  return "TEXT";
}

std::optional<FieldType> TypeFromDeclared(std::string_view decl, int32_t* size) {
  // Read in place, with no copy: every column of every recordset opened
  // comes here.
  if (size) *size = 0;
  std::string_view name = TrimWhiteView(decl);
  const size_t open = name.find('(');
  if (open != std::string_view::npos) {
    if (size) *size = std::atoi(std::string(name.substr(open + 1)).c_str());
    name = TrimWhiteView(name.substr(0, open));
  }
  for (const TypeName& t : kDeclared) {
    if (IEquals(name, t.name)) return t.type;
  }
  return std::nullopt;
}

std::optional<FieldType> TypeFromParameterName(std::string_view name) {
  const std::string s = Normalise(name, nullptr);
  if (s.empty() || s == "VALUE" || s == "VARIANT") return std::nullopt;
  for (const TypeName& t : kParameterTypes) {
    if (s == t.name) return t.type;
  }
  Raise(dberr::kGeneric, "DAO.QueryDef", "Unknown parameter type '" + std::string(name) + "'.");
}

Value ConvertTo(FieldType type, const Value& v) {
  if (v.IsNull()) return v;
  switch (type) {
    case FieldType::Long:
      return Value(static_cast<int64_t>(v.AsInt32()));
    case FieldType::Integer:
      return Value(static_cast<int64_t>(v.AsInt16()));
    case FieldType::Single:
      return Value(v.AsSingle());
    case FieldType::Double:
      return Value(v.AsDouble());
    case FieldType::Currency: {
      const double d = RoundCurrency(v.AsDouble());
      if (std::fabs(d) > kMaxCurrency) RaiseStandard(err::kOverflow);
      return Value(d);
    }
    case FieldType::YesNo:
      return Value(v.AsBool());
    case FieldType::Text:
    case FieldType::Memo:
      return v.kind() == Value::Kind::Text ? v : Value(v.AsText());
    case FieldType::DateTime:
      return v.kind() == Value::Kind::Text ? v : Value(SerialToIso(v.AsDouble()));
  }
  return v;
}

Value ReadColumn(sqlite3_stmt* stmt, int col, const std::optional<FieldType>& type) {
  const int kind = sqlite3_column_type(stmt, col);
  if (kind == SQLITE_NULL) return Value();
  const auto text = [&] {
    const auto* p = reinterpret_cast<const char*>(sqlite3_column_text(stmt, col));
    return Value(
        std::string_view(p ? p : "", static_cast<size_t>(sqlite3_column_bytes(stmt, col))));
  };
  if (kind == SQLITE_TEXT || kind == SQLITE_BLOB) {
    if (!type) return text();
    switch (*type) {
      case FieldType::Text:
      case FieldType::Memo:
      case FieldType::DateTime:
        return text();
      default:
        break;
    }
    // A number written as text into a numeric field: read it as a number
    // when it is one, else give the text as it stands.
    try {
      return ConvertTo(*type, text());
    } catch (const OrvError&) {
      return text();
    }
  }
  const bool is_int = kind == SQLITE_INTEGER;
  if (!type) {
    return is_int ? Value(static_cast<int64_t>(sqlite3_column_int64(stmt, col)))
                  : Value(sqlite3_column_double(stmt, col));
  }
  switch (*type) {
    case FieldType::Long:
    case FieldType::Integer:
      if (is_int) return Value(static_cast<int64_t>(sqlite3_column_int64(stmt, col)));
      {
        // A real stored by another program: whole when it can be; beyond any
        // whole number (1e300, NaN) it stays as it is, and its reader's
        // conversion refuses it with the overflow error.
        const double d = std::nearbyint(sqlite3_column_double(stmt, col));
        if (d >= -9.2e18 && d <= 9.2e18) return Value(static_cast<int64_t>(d));
        return Value(d);
      }
    case FieldType::YesNo:
      return Value(is_int ? sqlite3_column_int64(stmt, col) != 0
                          : sqlite3_column_double(stmt, col) != 0);
    case FieldType::Single:
      return Value(static_cast<float>(sqlite3_column_double(stmt, col)));
    case FieldType::Double:
      return Value(sqlite3_column_double(stmt, col));
    case FieldType::Currency:
      return Value(RoundCurrency(sqlite3_column_double(stmt, col)));
    case FieldType::Text:
    case FieldType::Memo:
      return is_int ? Value(std::to_string(sqlite3_column_int64(stmt, col)))
                    : Value(Value(sqlite3_column_double(stmt, col)).AsText());
    case FieldType::DateTime:
      return is_int ? Value(static_cast<int64_t>(sqlite3_column_int64(stmt, col)))
                    : Value(sqlite3_column_double(stmt, col));
  }
  return Value();
}

namespace {
void Bind(sqlite3_stmt* stmt, int slot, const Value& v, sqlite3_destructor_type text_mode) {
  int rc = SQLITE_OK;
  switch (v.kind()) {
    case Value::Kind::Null:
      rc = sqlite3_bind_null(stmt, slot);
      break;
    case Value::Kind::Integer:
      rc = sqlite3_bind_int64(stmt, slot, std::get<int64_t>(v.raw()));
      break;
    case Value::Kind::Real:
      rc = sqlite3_bind_double(stmt, slot, std::get<double>(v.raw()));
      break;
    case Value::Kind::Text: {
      const std::string& s = std::get<std::string>(v.raw());
      rc = sqlite3_bind_text(stmt, slot, s.data(), static_cast<int>(s.size()), text_mode);
      break;
    }
  }
  if (rc != SQLITE_OK) RaiseSqlite(sqlite3_db_handle(stmt), rc, "DAO");
}
}  // namespace

void BindValue(sqlite3_stmt* stmt, int slot, const Value& v) {
  Bind(stmt, slot, v, SQLITE_TRANSIENT);
}

void BindValueNoCopy(sqlite3_stmt* stmt, int slot, const Value& v) {
  Bind(stmt, slot, v, SQLITE_STATIC);
}

}  // namespace orv::db::detail
