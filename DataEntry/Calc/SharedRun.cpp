// A bulk run shared through the server's work tables: laying the run out,
// joining it, taking batches under a lease and marking them done.
#include "SharedRun.h"

#include <unistd.h>

#include <algorithm>
#include <random>

#include "InputError.h"
#include "OrvError.h"
#include "modTarnbyDatabase.h"

namespace orv::calcrun {

namespace {

using orv::Value;
using orv::db::RecordsetType;

// The server's clock, in seconds.
constexpr const char* kNow = "extract(epoch from clock_timestamp())";
// Laying out and joining runs one process at a time: a lock of the
// transaction's, apart from the one every program connection holds.
constexpr const char* kLayOutLock = "SELECT pg_advisory_xact_lock(1414681170, 1)";
// An automatic run no process has worked on for this long is left, and the
// next process begins a new one.
constexpr int kAbandonedAfterSeconds = 3600;

std::string Taker() {
  char host[256] = {};
  gethostname(host, sizeof host - 1);
  std::random_device random;
  char tail[16];
  snprintf(tail, sizeof tail, "%08x", random());
  return std::string(host) + ":" + std::to_string(getpid()) + ":" + tail;
}

// Runs `body` in a write transaction of `db`, rolled back when it throws.
template <typename Body>
void InTransaction(orv::db::Database& db, Body body) {
  db.BeginTrans(true);
  try {
    body();
    db.CommitTrans();
  } catch (...) {
    try {
      db.Rollback();
    } catch (...) {
      // The failure in hand is the one to report.
    }
    throw;
  }
}

}  // namespace

SharedRun::SharedRun(orv::db::Database& db, const SharedRunOptions& options)
    : db_(db), o_(options), taker_(Taker()) {
  key_ = !o_.name.empty() ? o_.name
                          : "dust data " + o_.dust_data_version + ", engine " + o_.engine_version +
                                (o_.store ? ", --store" : "") +
                                (o_.changed_only ? ", --changed-only" : "");
  InTransaction(db_, [&] {
    db_.Execute(kLayOutLock);
    orv::tarnby::CreateSharedRunTables(db_);
    const orv::db::RecordsetPtr last = db_.OpenRecordset(
        std::string("SELECT r.GENERATION, r.STORE, r.CHANGEDONLY, r.DUSTDATAVERSION, "
                    "r.ENGINEVERSION, (SELECT COUNT(*) FROM BULKRUNBATCH b WHERE b.RUNKEY = "
                    "r.RUNKEY AND b.GENERATION = r.GENERATION AND b.DONEAT IS NULL) AS UNDONE, ") +
            kNow +
            " - GREATEST(r.STARTED, (SELECT MAX(GREATEST(b.TAKENAT, b.DONEAT)) FROM BULKRUNBATCH "
            "b WHERE b.RUNKEY = r.RUNKEY AND b.GENERATION = r.GENERATION)) AS IDLE "
            "FROM BULKRUN r WHERE r.RUNKEY = ? ORDER BY r.GENERATION DESC LIMIT 1",
        RecordsetType::Snapshot, {Value(key_)});
    bool join = false;
    if (!last->IsEOF()) {
      generation_ = last->Field("GENERATION").AsInt32();
      if (!o_.name.empty()) {
        // A named run is one recalculation: every process of it must do the
        // same work with the same data.
        const auto differs = [&](const char* field, const Value& mine) {
          return !(last->Field(field).AsText() == mine.AsText());
        };
        std::string what;
        if (differs("STORE", Value(o_.store ? 1 : 0)) ||
            differs("CHANGEDONLY", Value(o_.changed_only ? 1 : 0)))
          what = "another choice of --store and --changed-only";
        else if (differs("DUSTDATAVERSION", Value(o_.dust_data_version)))
          what = "dust data version " + last->Field("DUSTDATAVERSION").AsText();
        else if (differs("ENGINEVERSION", Value(o_.engine_version)))
          what = "engine version " + last->Field("ENGINEVERSION").AsText();
        if (!what.empty())
          throw orv::InputError(db_.Name(), 0, "--run",
                                "the run '" + o_.name + "' was begun with " + what +
                                    "; give it the same, or name a new run");
        join = true;
      } else {
        const Value idle = last->Field("IDLE");
        join = last->Field("UNDONE").AsInt64() > 0 && !idle.IsNull() &&
               idle.AsDouble() < kAbandonedAfterSeconds;
        if (!join) ++generation_;
      }
    }
    began_ = !join;
    if (began_) {
      // The earlier generations' batches are of no more use.
      db_.Execute("DELETE FROM BULKRUNBATCH WHERE RUNKEY = ?", {Value(key_)});
      db_.Execute(std::string("INSERT INTO BULKRUN (RUNKEY, GENERATION, DUSTDATAVERSION, "
                              "ENGINEVERSION, STORE, CHANGEDONLY, STARTED) VALUES (?, ?, ?, ?, "
                              "?, ?, ") +
                      kNow + ")",
                  {Value(key_), Value(generation_), Value(o_.dust_data_version),
                   Value(o_.engine_version), Value(o_.store ? 1 : 0),
                   Value(o_.changed_only ? 1 : 0)});
      db_.Execute(
          "INSERT INTO BULKRUNBATCH (RUNKEY, GENERATION, BATCHNO, FIRSTID, LASTID, CLAIMANTS) "
          "SELECT CAST(? AS varchar), CAST(? AS integer), n, MIN(ID), MAX(ID), COUNT(*) FROM "
          "(SELECT ID, (row_number() OVER (ORDER BY ID) - 1) / CAST(? AS integer) AS n "
          "FROM CLAIMANT) AS c GROUP BY n",
          {Value(key_), Value(generation_), Value(std::max(1, o_.batch))});
      // The last batch has no upper bound: claimants added while the run is
      // laid out or worked on are calculated too, as a run on a file pages
      // on to them.
      db_.Execute(
          "UPDATE BULKRUNBATCH SET LASTID = NULL WHERE RUNKEY = ? AND GENERATION = ? AND "
          "BATCHNO = (SELECT MAX(BATCHNO) FROM BULKRUNBATCH WHERE RUNKEY = ? AND GENERATION = ?)",
          {Value(key_), Value(generation_), Value(key_), Value(generation_)});
    }
    total_ = db_.OpenRecordset(
                    "SELECT COALESCE(SUM(CLAIMANTS), 0) FROM BULKRUNBATCH WHERE RUNKEY = ? AND "
                    "GENERATION = ?",
                    RecordsetType::Snapshot, {Value(key_), Value(generation_)})
                 ->Field(0)
                 .AsInt64();
  });
  label_ = "'" + key_ + "'" + (o_.name.empty() ? " (" + std::to_string(generation_) + ")" : "");
}

std::optional<SharedBatch> SharedRun::Take(double& wait_seconds) {
  const std::vector<Value> run = {Value(key_), Value(generation_)};
  wait_seconds = 0;
  std::optional<SharedBatch> taken;
  bool left = false;
  InTransaction(db_, [&] {
    const orv::db::RecordsetPtr free = db_.OpenRecordset(
        std::string("SELECT BATCHNO, FIRSTID, LASTID FROM BULKRUNBATCH WHERE RUNKEY = ? AND "
                    "GENERATION = ? AND DONEAT IS NULL AND (LEASEUNTIL IS NULL OR LEASEUNTIL < ") +
            kNow + ") ORDER BY BATCHNO LIMIT 1 FOR UPDATE SKIP LOCKED",
        RecordsetType::Snapshot, run);
    if (free->IsEOF()) {
      // Nothing free: every batch left is held by another process, or
      // none is left. Look again when the first lease runs out.
      const orv::db::RecordsetPtr held = db_.OpenRecordset(
          std::string("SELECT COUNT(*), MIN(LEASEUNTIL) - ") + kNow +
              " FROM BULKRUNBATCH WHERE RUNKEY = ? AND GENERATION = ? AND DONEAT IS NULL",
          RecordsetType::Snapshot, run);
      left = held->Field(0).AsInt64() > 0;
      const Value until = held->Field(1);
      wait_seconds = until.IsNull() ? 0.1 : std::clamp(until.AsDouble(), 0.05, 1.0);
      return;
    }
    SharedBatch b;
    b.number = free->Field(0).AsInt32();
    db_.Execute(std::string("UPDATE BULKRUNBATCH SET TAKENBY = ?, TAKENAT = ") + kNow +
                    ", LEASEUNTIL = " + kNow +
                    " + ? WHERE RUNKEY = ? AND GENERATION = ? AND BATCHNO = ?",
                {Value(taker_), Value(o_.lease_seconds), Value(key_), Value(generation_),
                 Value(b.number)});
    const Value last = free->Field(2);
    const orv::db::RecordsetPtr ids =
        last.IsNull()
            ? db_.OpenRecordset("SELECT ID FROM CLAIMANT WHERE ID >= ? ORDER BY ID",
                                RecordsetType::Snapshot, {free->Field(1)})
            : db_.OpenRecordset("SELECT ID FROM CLAIMANT WHERE ID >= ? AND ID <= ? ORDER BY ID",
                                RecordsetType::Snapshot, {free->Field(1), last});
    for (; !ids->IsEOF(); ids->MoveNext()) b.ids.push_back(ids->Field(0).AsInt32());
    done_so_far_ = db_.OpenRecordset(
                          "SELECT COALESCE(SUM(CLAIMANTS), 0) FROM BULKRUNBATCH WHERE RUNKEY = ? "
                          "AND GENERATION = ? AND DONEAT IS NOT NULL",
                          RecordsetType::Snapshot, run)
                       ->Field(0)
                       .AsInt64();
    taken = std::move(b);
  });
  if (!taken && !left) {
    wait_seconds = 0;
    done_so_far_ = total_;
  }
  return taken;
}

bool SharedRun::MarkDone(orv::db::Database& db, int32_t batch) {
  return db.Execute(std::string("UPDATE BULKRUNBATCH SET DONEAT = ") + kNow +
                        " WHERE RUNKEY = ? AND GENERATION = ? AND BATCHNO = ? AND TAKENBY = ? "
                        "AND DONEAT IS NULL",
                    {Value(key_), Value(generation_), Value(batch), Value(taker_)}) == 1;
}

}  // namespace orv::calcrun
