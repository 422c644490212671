#include "UserFactorFields.h"

#include <string_view>
#include <type_traits>

namespace orv::tarnby {

std::vector<db::FieldDef> UserFactorColumnsOfLevel(int level) {
  std::vector<db::FieldDef> out;
  for (const UserFactorField& f : kUserFactorFields) {
    if (f.level != level) continue;
    db::FieldDef d;
    d.name = f.column;
    d.type = f.type;
    d.size = f.size;
    d.allow_zero_length = false;
    if (std::string_view(f.column) == "ID")
      d.required = true;
    else
      d.default_value = f.type == db::FieldType::Text ? Value("") : Value(0);
    out.push_back(std::move(d));
  }
  return out;
}

std::string UserFactorSelect() {
  std::string sql = "SELECT ";
  for (const UserFactorField& f : kUserFactorFields) {
    if (&f != kUserFactorFields) sql += ", ";
    sql += f.column;
  }
  return sql + " FROM " + kUserFactorTable;
}

namespace {

// A member's value typed as the field's column keeps it.
template <typename T>
Value ColumnValue(const UserFactorField& f, const T& v) {
  if constexpr (std::is_same_v<T, std::string>) {
    return Value(v);
  } else if (f.type == db::FieldType::Integer) {
    return Value(static_cast<int16_t>(v));
  } else if (f.type == db::FieldType::Long) {
    return Value(static_cast<int32_t>(v));
  } else {
    return Value(static_cast<float>(v));
  }
}

}  // namespace

void SetUserFactorFields(db::Recordset& rs, const dust::UserFactor& u) {
  ForEachUserFactorField(u, [&](const UserFactorField& f, const auto& v) {
    if (std::string_view(f.column) != "ID") rs.SetField(f.column, ColumnValue(f, v));
  });
}

void InsertUserFactor(db::Database& d, const dust::UserFactor& u) {
  std::string columns;
  std::string marks;
  std::vector<Value> values;
  ForEachUserFactorField(u, [&](const UserFactorField& f, const auto& v) {
    columns += (columns.empty() ? "" : ", ") + std::string(f.column);
    marks += marks.empty() ? "?" : ", ?";
    values.push_back(ColumnValue(f, v));
  });
  d.Execute(std::string("INSERT INTO ") + kUserFactorTable + " (" + columns + ") VALUES (" +
                marks + ")",
            values);
}

}  // namespace orv::tarnby
