// Reporting on a dust data database: its version and model parameters, the
// state of its matrix, its row counts, and every inconsistency found. Each
// check is one query; a database that lacks a table or query gets that
// reported and the checks that need it skipped.
#include <functional>

#include "DustDataBuild.h"
#include "ExpansionSchema.h"
#include "ModelParameters.h"
#include "InputError.h"
#include "Numbers.h"
#include "OrvError.h"
#include "Tables.h"
#include "detail/Access.h"
#include "detail/Schema.h"

namespace orv::dustdata {
namespace {

using detail::OpenDustData;
using detail::ReadParm;
using orv::db::Database;
using orv::db::RecordsetType;

constexpr int kExamples = 5;

std::string Quoted(const std::string& s) { return "\"" + s + "\""; }

// The values of the first column of a query (its values bound to its `?`),
// at most kExamples of them. Only table and column names, which cannot be
// bound, are written into the SQL.
std::vector<std::string> Column0(Database& db, const std::string& sql,
                                 const std::vector<Value>& values = {}) {
  const int limit = kExamples;
  std::vector<std::string> out;
  auto rs = db.OpenRecordset(sql, RecordsetType::Snapshot, values);
  for (; !rs->IsEOF() && static_cast<int>(out.size()) < limit; rs->MoveNext()) {
    out.push_back(rs->Field(0).TextOrEmpty());
  }
  return out;
}

int64_t Count(Database& db, const std::string& sql) {
  auto rs = db.OpenRecordset(sql, RecordsetType::Snapshot);
  return rs->Field(0).AsInt64();
}

std::string Join(const std::vector<std::string>& items) {
  std::string s;
  for (const std::string& i : items) s += (s.empty() ? "" : ", ") + i;
  return s;
}

const char* KindText(ParmKind k) {
  switch (k) {
    case ParmKind::Single:
      return "a number";
    case ParmKind::Int16:
      return "a 16-bit whole number";
    case ParmKind::Int32:
      return "a 32-bit whole number";
    case ParmKind::Bool:
      return "True, False or a number";
    case ParmKind::Text:
      break;
  }
  return "a text";
}

void Convert(ParmKind k, const std::string& v) {
  switch (k) {
    case ParmKind::Single:
      (void)orv::ParseSingle(v);
      break;
    case ParmKind::Int16:
      (void)orv::ParseInt16(v);
      break;
    case ParmKind::Int32:
      (void)orv::ParseInt32(v);
      break;
    case ParmKind::Bool:
      (void)orv::ParseBool(v);
      break;
    case ParmKind::Text:
      break;
  }
}

class Checker {
 public:
  Checker(Database& db, CheckReport& r) : db_(db), r_(r) {}

  void Run() {
    Tables();
    Parameters();
    Queries();
    if (!tables_ok_) return;
    NumbersThatAreText();
    References();
    YearRanges();
    AllowedValues();
    Overlaps();
    FactorParameters();
    Matrix();
  }

 private:
  void Problem(std::string text) { r_.problems.push_back(std::move(text)); }

  void Tables() {
    for (const Table& t : BaseTables()) {
      if (!db_.TableExists(t.name)) {
        Problem(std::string("the table ") + t.name + " is missing");
        tables_ok_ = false;
        continue;
      }
      r_.row_counts.emplace_back(t.name, Count(db_, std::string("SELECT COUNT(*) FROM ") + t.name));
    }
  }

  void Parameters() {
    if (!db_.TableExists("PARMS")) return;
    for (const ModelParameter& p : kModelParameters) {
      const auto v = ReadParm(db_, p.key);
      r_.parameters.emplace_back(p.key, v ? *v : "(missing)");
      if (!v) {
        if (p.missing_value == nullptr)
          Problem(std::string("the model parameter ") + p.key + " is missing");
        continue;
      }
      try {
        Convert(p.kind, *v);
      } catch (const OrvError&) {
        Problem(std::string("the model parameter ") + p.key + " " + Quoted(*v) + " is not " +
                KindText(p.kind));
      }
      if (std::string(p.key) == "Version") Version(*v);
      if (std::string(p.key) == kMatrixReadyKey) MatrixReady(*v);
    }
    for (const char* divisor : {"AvgYrPXR", "PctPrevCat1"}) {
      const auto v = ReadParm(db_, divisor);
      try {
        if (v && orv::ParseSingle(*v) == 0.0f) {
          Problem(std::string("the model parameter ") + divisor +
                  " is 0, and the dust insult is divided by it");
        }
      } catch (const OrvError&) {
      }
    }
  }

  void Version(const std::string& v) {
    r_.version = v;
    try {
      const int n = orv::ToInt16(orv::ParseNumber(v));
      if (n < kRequiredDataVersion) {
        Problem("the version " + v + " is older than the required version " +
                std::to_string(kRequiredDataVersion));
      }
    } catch (const OrvError&) {
      Problem("the version " + Quoted(v) + " is not a number");
    }
  }

  void MatrixReady(const std::string& v) {
    try {
      r_.matrix_ready = orv::ParseNumber(v) != 0;
    } catch (const OrvError&) {
      r_.matrix_ready = false;
    }
  }

  void Queries() {
    std::vector<std::string> missing;
    // Every query the engine and the expansion read with runs once, under
    // the budget of a query from a file: one another program changed to
    // write, attach a file or the like is refused by this read-only
    // connection, and one that never ends or fills memory is stopped, naming
    // it. (The expansion's action queries are compared with its own below.)
    std::vector<StoredQuery> reading = detail::BaseQueries();
    for (const StoredQuery& q : ExpansionQueries()) {
      if (std::string_view(q.sql).starts_with("SELECT")) reading.push_back(q);
      else if (!db_.QueryExists(q.name)) missing.emplace_back(q.name);
    }
    for (const StoredQuery& q : reading) {
      if (!db_.QueryExists(q.name)) {
        missing.emplace_back(q.name);
        continue;
      }
      try {
        db_.QueryDefs(q.name)->OpenRecordset(orv::db::RecordsetType::Snapshot);
      } catch (const OrvError& e) {
        if (e.Number() == orv::db::dberr::kNoPermission ||
            e.Number() == orv::db::dberr::kQueryBudget ||
            e.Number() == orv::db::dberr::kBrokenQuery)
          Problem(e.Description());
      }
    }
    if (!missing.empty()) Problem("stored queries missing: " + Join(missing));
    // The expansion writes only through its own action queries.
    for (const std::string& name : ForeignActionQueries(db_)) {
      if (db_.QueryExists(name))
        Problem("the stored query " + name + " is not the matrix expansion's own");
    }
  }

  // Text another program stored in a number column, which the engine
  // cannot read: the table, the row and the column.
  void NumbersThatAreText() {
    for (const Table& t : BaseTables()) {
      for (const Column& c : t.columns) {
        if (c.type == ColumnType::Text) continue;
        const std::string col = c.name;
        for (const std::string& row :
             Column0(db_, "SELECT _rowid_ || ': ' || quote(" + col + ") FROM " + t.name +
                              " WHERE typeof(" + col + ") IN ('text', 'blob') ORDER BY _rowid_"))
          Problem(std::string(t.name) + " row " + row + " in " + col + ": not a number");
      }
    }
  }

  // Identifiers in a column that name no row of the table they refer to.
  void References() {
    for (const Table& t : BaseTables()) {
      for (const Column& c : t.columns) {
        if (c.references == nullptr) continue;
        const std::string col = c.name;
        const std::string sql = "SELECT DISTINCT " + col + " FROM " + t.name + " WHERE " + col +
                                " IS NOT NULL" + (c.zero_is_none ? " AND " + col + " > 0" : "") +
                                " AND " + col + " NOT IN (SELECT ID FROM " + c.references +
                                ") ORDER BY 1";
        const auto bad = Column0(db_, sql);
        if (!bad.empty()) {
          Problem(std::string(t.name) + "." + col + " names rows missing from " + c.references +
                  ": " + Join(bad));
        }
      }
    }
  }

  void YearRanges() {
    for (const Table& t : BaseTables()) {
      for (const auto& [from, to] : t.year_ranges) {
        const int64_t n = Count(db_, std::string("SELECT COUNT(*) FROM ") + t.name + " WHERE " +
                                         from + " > 0 AND " + to + " > 0 AND " + to + " < " + from);
        if (n > 0) {
          Problem(std::string(t.name) + ": " + std::to_string(n) + " rows with " + to + " before " +
                  from);
        }
      }
    }
    const int64_t empty = Count(db_, "SELECT COUNT(*) FROM DUSTMATRIX WHERE ENDYEAR < STARTYEAR");
    if (empty > 0) {
      Problem("DUSTMATRIX: " + std::to_string(empty) + " runs end before they start");
    }
  }

  void AllowedValues() {
    for (const Table& t : BaseTables()) {
      for (const Column& c : t.columns) {
        if (c.allowed.empty()) continue;
        std::string list;
        std::string marks;
        std::vector<Value> values;
        for (const std::string& a : c.allowed) {
          list += (list.empty() ? "'" : ", '") + a + "'";
          marks += marks.empty() ? "?" : ", ?";
          values.emplace_back(a);
        }
        const auto bad = Column0(db_,
                                 std::string("SELECT DISTINCT ") + c.name + " FROM " + t.name +
                                     " WHERE " + c.name + " IS NULL OR " + c.name +
                                     " COLLATE BINARY NOT IN (" + marks + ") ORDER BY 1",
                                 values);
        if (!bad.empty()) {
          Problem(std::string(t.name) + "." + c.name + " holds values outside " + list + ": " +
                  Join(bad));
        }
      }
    }
  }

  // Runs of years of one colliery (and surface flag) that share a year. In
  // an expanded matrix the lookup of a year takes the most specific run
  // that holds it, so a one-year strike inside a longer run is meant: a
  // warning. Tortious runs are data of their own: a problem.
  void Overlaps() {
    struct Runs {
      const char* table;
      const char* partition;
      bool warning;
    };
    for (const Runs& r :
         {Runs{"DUSTMATRIX", "COLLIERYID", true}, Runs{"TORTIOUS", "COLLIERYID, SURFACE", false}}) {
      const std::string sql =
          std::string(
              "SELECT DISTINCT COLLIERYID FROM (SELECT COLLIERYID, STARTYEAR, MAX(ENDYEAR) "
              "OVER (PARTITION BY ") +
          r.partition +
          " ORDER BY STARTYEAR, ENDYEAR ROWS BETWEEN UNBOUNDED PRECEDING AND 1 PRECEDING) AS "
          "PREVEND FROM " +
          r.table + " WHERE ENDYEAR >= STARTYEAR) WHERE STARTYEAR <= PREVEND ORDER BY 1";
      const auto bad = Column0(db_, sql);
      if (bad.empty()) continue;
      if (r.warning) {
        r_.warnings.push_back(std::string(r.table) + ": runs of years overlap for colliery " +
                              Join(bad) + " (a year takes the latest-starting, shortest run)");
      } else {
        Problem(std::string(r.table) + ": runs of years overlap for colliery " + Join(bad));
      }
    }
  }

  // The factors the calculation insists on for small mines and respirators.
  void FactorParameters() {
    struct Ref {
      const char* key;
      const char* table;
    };
    for (const Ref& ref :
         {Ref{"SmallMineJobID", "JOBFACTORS"}, Ref{"SmallMineRespID", "RESPFACTORS"},
          Ref{"RespiratorWornRespID", "RESPFACTORS"}}) {
      const auto v = ReadParm(db_, ref.key);
      if (!v) continue;
      // A value that is no number is reported with the parameters; only the
      // parse is excused here, never the query.
      int32_t id = 0;
      try {
        id = orv::ParseInt32(*v);
      } catch (const OrvError&) {
        continue;
      }
      auto rs = db_.OpenRecordset(std::string("SELECT ID FROM ") + ref.table + " WHERE ID = ?",
                                  RecordsetType::Snapshot, {Value(id)});
      if (rs->IsEOF()) {
        Problem(std::string("the model parameter ") + ref.key + " " + *v + " names no row of " +
                ref.table);
      }
    }
  }

  void Matrix() {
    const int64_t rows = Count(db_, "SELECT COUNT(*) FROM DUSTMATRIX");
    if (r_.matrix_ready && rows == 0) Problem("the matrix is marked expanded but holds no rows");
  }

  Database& db_;
  CheckReport& r_;
  bool tables_ok_ = true;
};

}  // namespace

CheckReport CheckDatabase(const std::string& path) {
  auto db = OpenDustData(path, true);
  CheckReport report;
  Checker(*db, report).Run();
  db->Close();
  return report;
}

std::vector<std::string> FormatCheckReport(const CheckReport& r) {
  std::vector<std::string> lines;
  lines.push_back("Dust data version: " + (r.version.empty() ? "(missing)" : r.version));
  lines.push_back("Model parameters:");
  for (const auto& [key, value] : r.parameters) lines.push_back("  " + key + " = " + value);
  lines.push_back(r.matrix_ready ? "Matrix: expanded"
                                 : "Matrix: not expanded (expanded on first open, or run expand)");
  lines.push_back("Rows:");
  for (const auto& [table, n] : r.row_counts) {
    lines.push_back("  " + table + " " + std::to_string(n));
  }
  if (!r.warnings.empty()) {
    lines.push_back("Warnings: " + std::to_string(r.warnings.size()));
    for (const std::string& w : r.warnings) lines.push_back("  - " + w);
  }
  if (r.problems.empty()) {
    lines.push_back("No inconsistencies found.");
  } else {
    lines.push_back("Inconsistencies found: " + std::to_string(r.problems.size()));
    for (const std::string& p : r.problems) lines.push_back("  - " + p);
  }
  return lines;
}

}  // namespace orv::dustdata
