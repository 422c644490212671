// The claimant recordset at scale. Builds a claimant database of ROWS
// (100,000 by default) claimant-like rows in a scratch folder, then times,
// each on a fresh connection (best of five):
//   - opening the database file (with its quick integrity check),
//   - opening a dynaset on the table, on an ordered SELECT and on a stored
//     query with a search pattern, and moving to the last row,
//   - re-running the stored query (Requery), the step to its 201st row, and
//     finding its 50,000th row by key (FindFirst) against reading up to it,
//   - the same SELECT as a snapshot, which keeps every row,
// with the growth of the process's resident memory over each recordset.
//
// bench_keyset ROWS URI runs the same on a PostgreSQL server: URI names an
// empty database of it (postgresql:///bench?host=/socket/folder), which the
// benchmark fills.
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <functional>
#include <string>
#include <vector>

#include "Database.h"

namespace {

namespace fs = std::filesystem;
using Clock = std::chrono::steady_clock;
using orv::Value;
using orv::db::FieldDef;
using orv::db::FieldType;
using orv::db::RecordsetType;

constexpr int kRepeats = 5;

double Millis(Clock::time_point from) {
  return std::chrono::duration<double, std::milli>(Clock::now() - from).count();
}

// Resident memory of the process, in KiB.
long ResidentKiB() {
  std::ifstream statm("/proc/self/statm");
  long pages = 0, resident = 0;
  statm >> pages >> resident;
  return resident * (sysconf(_SC_PAGESIZE) / 1024);
}

void Build(const std::string& path, int rows) {
  auto db = orv::db::CreateDatabase(path);
  FieldDef id = MakeField("ID", FieldType::Long);
  id.auto_increment = true;
  db->CreateTable("CLAIMANT", {id,
                               MakeField("SURNAME", FieldType::Text, 40),
                               MakeField("FORENAMES", FieldType::Text, 60),
                               MakeField("TITLE", FieldType::Text, 10),
                               MakeField("ADDRESS1", FieldType::Text, 50),
                               MakeField("ADDRESS2", FieldType::Text, 50),
                               MakeField("ADDRESS3", FieldType::Text, 50),
                               MakeField("TOWN", FieldType::Text, 40),
                               MakeField("POSTCODE", FieldType::Text, 10),
                               MakeField("NINO", FieldType::Text, 13),
                               MakeField("DOB", FieldType::DateTime),
                               MakeField("DATEOFDEATH", FieldType::DateTime),
                               MakeField("MARRIED", FieldType::Integer),
                               MakeField("SPOUSEALIVE", FieldType::Integer),
                               MakeField("SOLICITORREF", FieldType::Text, 30),
                               MakeField("CLAIMDATE", FieldType::DateTime),
                               MakeField("JURISDICTION", FieldType::Integer),
                               MakeField("RESULTTOTAL", FieldType::Single),
                               MakeField("RESULTSHARE", FieldType::Single),
                               MakeField("RESULTTEXT", FieldType::Memo)});
  db->CreateIndex("CLAIMANT", orv::db::IndexDef{"BySurname", {"SURNAME", "FORENAMES"}});
  static const char* kSurnames[] = {"Smith", "Jones",  "Brown",   "Taylor",  "Wilson", "Davies",
                                    "Evans", "Thomas", "Johnson", "Roberts", "Walker", "Wright"};
  db->BeginTrans();
  auto insert = [&](int i) {
    const std::string n = std::to_string(i);
    db->Execute(
        "INSERT INTO CLAIMANT (SURNAME, FORENAMES, TITLE, ADDRESS1, ADDRESS2, TOWN, POSTCODE, "
        "NINO, DOB, MARRIED, SPOUSEALIVE, SOLICITORREF, CLAIMDATE, JURISDICTION, RESULTTOTAL, "
        "RESULTSHARE, RESULTTEXT) VALUES (?, ?, 'Mr', ?, 'Colliery Row', 'Tarnby', 'TB1 2AB', ?, "
        "'1931-04-12 00:00:00', 1, 2, ?, '2004-05-27 00:00:00', 1, ?, ?, ?)",
        {std::string(kSurnames[i % 12]) + n.substr(n.size() - 1), "John William " + n,
         n + " Pit Lane", "AB" + n + "C", "SOL/" + n, 123.5f + static_cast<float>(i % 97), 0.25f,
         "Total exposure " + n + " gm-3.hrs; share 25%."});
  };
  for (int i = 0; i < rows; ++i) insert(i);
  db->CommitTrans();
  db->CreateQueryDef("qdClaimantSearch",
                     "SELECT * FROM CLAIMANT WHERE SURNAME LIKE :WhatSurname ORDER BY SURNAME, "
                     "FORENAMES",
                     "WhatSurname Text");
}

struct Result {
  double open_ms = 1e9;
  double again_ms = 1e9;  // opened once more on the same connection, with MoveLast
  double last_ms = 1e9;
  long kib = 0;
  int count = 0;
};

// Opens a recordset with `open`, moves last; best time of kRepeats.
Result Measure(const std::string& path,
               const std::function<orv::db::RecordsetPtr(orv::db::Database&)>& open) {
  Result r;
  for (int i = 0; i < kRepeats; ++i) {
    auto db = orv::db::OpenDatabase(path);
    const long before = ResidentKiB();
    auto t = Clock::now();
    orv::db::RecordsetPtr rs = open(*db);
    r.open_ms = std::min(r.open_ms, Millis(t));
    t = Clock::now();
    rs->MoveLast();
    (void)rs->Field("SURNAME");
    r.last_ms = std::min(r.last_ms, Millis(t));
    r.count = rs->RecordCount();
    r.kib = std::max(r.kib, ResidentKiB() - before);
    rs.reset();
    t = Clock::now();
    rs = open(*db);
    rs->MoveLast();
    (void)rs->Field("SURNAME");
    r.again_ms = std::min(r.again_ms, Millis(t));
  }
  return r;
}

// Each recordset opened on a fresh connection, best of kRepeats, and the
// stored query re-run.
void MeasureSets(const std::string& path) {
  auto print = [](const char* what, const Result& r) {
    std::printf("%-44s open %7.1f ms  MoveLast %6.2f ms  again %6.1f ms  rows %d  memory +%ld KiB\n",
                what, r.open_ms, r.last_ms, r.again_ms, r.count, r.kib);
  };
  print("dynaset on the table", Measure(path, [](orv::db::Database& db) {
          return db.OpenRecordset("CLAIMANT", RecordsetType::Dynaset);
        }));
  print("dynaset, SELECT ordered by name", Measure(path, [](orv::db::Database& db) {
          return db.OpenRecordset("SELECT * FROM CLAIMANT ORDER BY SURNAME, FORENAMES",
                                  RecordsetType::Dynaset);
        }));
  print("dynaset, stored query, pattern '*'", Measure(path, [](orv::db::Database& db) {
          auto q = db.QueryDefs("qdClaimantSearch");
          q->SetParameter("WhatSurname", "%");
          return q->OpenRecordset(RecordsetType::Dynaset);
        }));
  print("snapshot, SELECT ordered by name (all rows)", Measure(path, [](orv::db::Database& db) {
          return db.OpenRecordset("SELECT * FROM CLAIMANT ORDER BY SURNAME, FORENAMES",
                                  RecordsetType::Snapshot);
        }));

  {
    auto db = orv::db::OpenDatabase(path);
    auto q = db->QueryDefs("qdClaimantSearch");
    q->SetParameter("WhatSurname", "%");
    auto rs = q->OpenRecordset(RecordsetType::Dynaset);
    double requery = 1e9;
    for (int i = 0; i < kRepeats; ++i) {
      q->SetParameter("WhatSurname", "%");
      const auto t = Clock::now();
      rs->Requery(q.get());
      rs->MoveLast();
      requery = std::min(requery, Millis(t));
    }
    std::printf("%-44s %8.1f ms\n", "requery of the stored query + MoveLast", requery);
    // Stepping from the 200th row to the 201st: on a server, the first step
    // past the keys read at the opening reads the keys between.
    double step = 1e9;
    for (int i = 0; i < kRepeats; ++i) {
      q->SetParameter("WhatSurname", "%");
      rs->Requery(q.get());
      for (int n = 1; n < 200; ++n) rs->MoveNext();
      const auto t = Clock::now();
      rs->MoveNext();
      (void)rs->Field("SURNAME");
      step = std::min(step, Millis(t));
    }
    std::printf("%-44s %8.1f ms\n", "the step to the stored query's 201st row", step);

    // Back to the claimant in the middle, as the desktop does when a search
    // is cleared: by its key, and (once) by reading row after row.
    rs->Requery(q.get());
    for (int n = 1; n < 50'000; ++n) rs->MoveNext();
    const Value middle = rs->Field("ID");
    double find = 1e9;
    for (int i = 0; i < kRepeats; ++i) {
      rs->Requery(q.get());
      const auto t = Clock::now();
      if (!rs->FindFirst("ID", middle)) std::printf("FindFirst did not find its row\n");
      find = std::min(find, Millis(t));
    }
    rs->Requery(q.get());
    auto t = Clock::now();
    for (rs->MoveFirst(); !rs->IsEOF() && !(rs->Field("ID") == middle); rs->MoveNext()) {
    }
    const double walk = Millis(t);
    std::printf("%-44s %8.1f ms  (row after row: %.1f ms)\n", "FindFirst by key of the 50,000th row",
                find, walk);
  }
}

}  // namespace

int main(int argc, char** argv) {
  const int rows = argc > 1 ? std::atoi(argv[1]) : 100000;
  const fs::path dir = fs::temp_directory_path() / ("bench_keyset_" + std::to_string(getpid()));
  fs::create_directories(dir);
  const bool server = argc > 2;
  const std::string path = server ? std::string(argv[2]) : (dir / "claimants.db").string();
  auto t = Clock::now();
  Build(path, rows);
  std::printf("built %d claimants in %.0f ms (%.1f MB)\n", rows, Millis(t),
              server ? 0.0 : static_cast<double>(fs::file_size(path)) / 1e6);

  double open_db = 1e9;
  for (int i = 0; i < kRepeats; ++i) {
    t = Clock::now();
    auto db = orv::db::OpenDatabase(path);
    open_db = std::min(open_db, Millis(t));
  }
  std::printf("%-44s %8.1f ms\n", "open the database (with integrity check)", open_db);

  if (!server) {
    MeasureSets(path);
  } else {
    // A server plans the ordered queries by its statistics of the table and
    // reads rows faster once they are marked visible to all; straight after
    // a load it has neither until autovacuum comes by. So three states:
    // as loaded, after ANALYZE, and after VACUUM as well (as
    // tarnby-claimants copy and import leave a table).
    std::printf("-- as loaded\n");
    MeasureSets(path);
    orv::db::OpenDatabase(path)->Execute("ANALYZE CLAIMANT");
    std::printf("-- after ANALYZE\n");
    MeasureSets(path);
    orv::db::OpenDatabase(path)->Execute("VACUUM CLAIMANT");
    std::printf("-- after VACUUM\n");
    MeasureSets(path);
  }
  fs::remove_all(dir);
  return 0;
}
