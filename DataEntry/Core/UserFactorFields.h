// The fields of a user-defined factor, once: the claimant database's
// USERFACTOR columns, the keys of a history file, the structure level that
// added each and the value of the engine's UserFactor it holds. The table's
// structure, its readers and writers, the history file and the inputs digest
// all take the fields from here, in this order.
#pragma once

#include <string>
#include <variant>
#include <vector>

#include "Database.h"
#include "UserFactor.h"

namespace orv::tarnby {

struct UserFactorField {
  const char* column;     // in USERFACTOR
  const char* key;        // in a history file
  db::FieldType type;     // the column's type
  int32_t size;           // a text's size in characters
  int level;              // the structure level that added the column
  std::variant<int32_t dust::UserFactor::*, int16_t dust::UserFactor::*,
               float dust::UserFactor::*, std::string dust::UserFactor::*>
      member;
};

inline constexpr const char* kUserFactorTable = "USERFACTOR";

// ID is the key; texts default to the empty text, numbers to 0.
inline constexpr UserFactorField kUserFactorFields[] = {
    {"ID", "id", db::FieldType::Long, 0, 19, &dust::UserFactor::ID},
    {"CODE", "code", db::FieldType::Text, 3, 19, &dust::UserFactor::Code},
    {"DESCR", "descr", db::FieldType::Text, 50, 19, &dust::UserFactor::Descr},
    {"JOBFACTOR", "job_factor", db::FieldType::Single, 0, 19, &dust::UserFactor::JobFactor},
    {"DUSTYTIMEFACTOR", "dusty_time_factor", db::FieldType::Single, 0, 19,
     &dust::UserFactor::DustyTimeFactor},
    {"RESPFACTOR", "resp_factor", db::FieldType::Single, 0, 19, &dust::UserFactor::RespFactor},
    {"STARTYEAR", "start_year", db::FieldType::Integer, 0, 19, &dust::UserFactor::StartYear},
    {"ENDYEAR", "end_year", db::FieldType::Integer, 0, 19, &dust::UserFactor::EndYear},
    {"STARTYEARVAL", "start_year_val", db::FieldType::Single, 0, 19,
     &dust::UserFactor::StartYearVal},
    {"ENDYEARVAL", "end_year_val", db::FieldType::Single, 0, 19, &dust::UserFactor::EndYearVal},
    {"YEARSPASTCLOSURE", "years_past_closure", db::FieldType::Integer, 0, 20,
     &dust::UserFactor::YearsPastClosure},
};

// Calls `visit(field, value)` for every field of `u` in order, `value` being
// the member of `u` the field holds (an int32_t, int16_t, float or
// std::string, const when `u` is).
template <typename UserFactorT, typename Visit>
void ForEachUserFactorField(UserFactorT& u, Visit&& visit) {
  for (const UserFactorField& f : kUserFactorFields)
    std::visit([&](auto member) { visit(f, u.*member); }, f.member);
}

// The column definitions that structure level `level` adds to USERFACTOR
// (the table itself at the first of them).
std::vector<db::FieldDef> UserFactorColumnsOfLevel(int level);

// "SELECT ID, CODE, ... FROM USERFACTOR", every field in order.
std::string UserFactorSelect();

// Sets every field but ID of the recordset's current (edited or added) row
// from `u`.
void SetUserFactorFields(db::Recordset& rs, const dust::UserFactor& u);

// Adds `u` to USERFACTOR.
void InsertUserFactor(db::Database& d, const dust::UserFactor& u);

}  // namespace orv::tarnby
