// Library-internal access to the connection's prepared queries: the typed
// lookups that jobs, smoking entries and lists make, and the shared cursors
// of the lookup lists. Each lookup sets its parameters on the prepared query
// definition, re-runs the same cursor and reads the first row; the fields of
// one lookup are read before any other lookup runs.
#pragma once

#include <cstdint>
#include <string>

#include "Database.h"

namespace orv::dust {

struct CollieryRow {
  std::string Colliery;
  std::string AREA;
  int32_t CoalAreaID = 0;
};

struct JobFactorRow {
  int32_t ID = 0;
  std::string Code;
  float Factor = 0;
  std::string Descr;
  std::string Surface;  // "Y" for surface work; null reads as ""
  float Uplift = 0;
  float DustyTimeFactor = 0;
  bool NonCHA = false;
  bool NonCHACheck = false;
  float YearsPastClose = 0;
};

struct RespFactorRow {
  float Factor = 0;
  std::string Descr;
  std::string Surface;
  int16_t StartYear = 0;
  int16_t EndYear = 0;
  float StartYearVal = 0;
  float EndYearVal = 0;
};

struct SmokeFactorRow {
  int32_t ID = 0;
  std::string Code;
  float Factor = 0;
  std::string LISTDESCR;
};

// Each returns true and fills the row when the query finds one, false
// (row untouched) otherwise. Without a prepared connection they fail with
// error 91. Answers are remembered per connection (see
// detail/LookupMemory.h).
[[nodiscard]] bool LookupCollieryByID(int32_t id, CollieryRow& row);
[[nodiscard]] bool LookupJobFactor(int32_t id, JobFactorRow& row);
[[nodiscard]] bool LookupJobFactorByCode(const std::string& code, JobFactorRow& row);
[[nodiscard]] bool LookupRespFactor(int32_t id, RespFactorRow& row);
[[nodiscard]] bool LookupSmokeFactor(int32_t id, SmokeFactorRow& row);
[[nodiscard]] bool LookupSmokeFactorByCode(const std::string& code, SmokeFactorRow& row);

// The open dust data database of the thread's connection; error 91 when
// there is none.
db::DatabasePtr OpenDataDB();

// One read transaction on the thread's dust data for as long as it lives
// (none when no dust data database is set): every lookup meanwhile sees the
// same state of the data, and the file is locked once instead of once per
// lookup (which costs more than the lookup itself). The transaction begins
// with the first lookup that runs its query, so a span whose every answer
// is remembered touches no file. Spans may nest; the outermost ends it.
class DataReadSpan {
 public:
  DataReadSpan();
  ~DataReadSpan();
  DataReadSpan(const DataReadSpan&) = delete;
  DataReadSpan& operator=(const DataReadSpan&) = delete;

 private:
  bool active_ = false;
};

// The lookup list kinds; lists of one kind share one query and cursor.
enum class ListKind { CoalArea, SmokeFactor, RespFactor, JobFactor, Colliery };
inline constexpr int kListKinds = 5;

// The shared query and cursor of one list kind. The database is held so that
// the cursor outlives a restart of the connection.
struct SharedListCursor {
  db::DatabasePtr database;
  db::QueryDefPtr def;
  db::RecordsetPtr cursor;
};
SharedListCursor& ListCursor(ListKind kind);

}  // namespace orv::dust
