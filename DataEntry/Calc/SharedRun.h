// A bulk run on a server shared by several processes or machines.
//
// The run's claimants are laid out once, by the first process to begin it,
// as numbered batches of consecutive claimant IDs in the server's work table
// BULKRUNBATCH (the run itself is a row of BULKRUN). Every process of the
// run takes the next free batch with FOR UPDATE SKIP LOCKED and a lease: a
// batch taken is its own until the lease runs out, and a batch is done only
// when the process that holds it says so, in the same transaction as the
// results it stores. A process killed part-way leaves its batch to whoever
// takes it once the lease has run out; one that outlived its lease finds its
// batch taken over and keeps nothing of it. So every claimant is calculated,
// stored and listed by exactly one process.
//
// Which processes share one run: those started with the same --run NAME, or
// without one those of the same mode (storing or not, changed rows only or
// all) with the same dust data and engine versions while that run is
// unfinished and has been worked on in the last hour. A finished or
// abandoned automatic run is followed by a new one (its generation + 1); a
// named run, once finished, has nothing left and stays finished.
//
// All times are the server's clock, so machines whose clocks differ agree.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "Database.h"

namespace orv::calcrun {

struct SharedRunOptions {
  std::string name;  // --run NAME; empty: the automatic key
  bool store = false;
  bool changed_only = false;
  std::string dust_data_version;
  std::string engine_version;
  int batch = 250;          // claimants per batch when the run is laid out
  int lease_seconds = 120;  // how long a taken batch is the taker's alone
};

// One batch taken: its claimants' IDs, read when it is taken.
struct SharedBatch {
  int32_t number = 0;
  std::vector<int32_t> ids;
};

class SharedRun {
 public:
  // Joins the run on the claimant database `db` (a server connection kept
  // for the run's own statements), or begins it. A --run NAME begun with
  // another mode or other versions is refused as bad input (InputError).
  SharedRun(orv::db::Database& db, const SharedRunOptions& options);

  // The next batch: a free one, or one whose lease has run out. None when
  // there is none: with `wait_seconds` 0 every batch of the run is done;
  // otherwise every batch left is held (by other processes, or by this
  // one's other threads) and the caller looks again after that long.
  std::optional<SharedBatch> Take(double& wait_seconds);

  // Marks the batch done on `db`, inside the caller's write transaction (on
  // the storing connection, the same one as the batch's results): false,
  // with nothing marked, when the lease ran out and another process has
  // taken the batch over; the caller then keeps nothing of it.
  bool MarkDone(orv::db::Database& db, int32_t batch);

  // How the run is named in messages: "'NAME'" or the automatic key, with
  // its generation.
  const std::string& Label() const { return label_; }
  // The claimants laid out in the run, and those in batches done so far (by
  // every process), as seen at the last Take.
  int64_t Total() const { return total_; }
  int64_t DoneSoFar() const { return done_so_far_; }
  // True when this process laid the run out; false when it joined one.
  bool Began() const { return began_; }

 private:
  orv::db::Database& db_;
  SharedRunOptions o_;
  std::string key_;
  int32_t generation_ = 1;
  std::string taker_;  // host, process and a random part
  std::string label_;
  int64_t total_ = 0;
  int64_t done_so_far_ = 0;
  bool began_ = false;
};

}  // namespace orv::calcrun
