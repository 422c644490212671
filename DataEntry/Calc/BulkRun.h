// Recalculating every claimant of a claimant database (tarnby-calc --all).
//
// The claimants are paged through in ascending ID order in batches; each of
// N worker threads has its own engine (and so its own dust data connection)
// and its own claimant database connection. A worker reads a batch's
// claimants in one read transaction, calculates them with no report, and,
// with `store`, writes the batch's results in one short write transaction,
// each result only while that claimant's history is still the one it was
// calculated from. A run killed part-way keeps every batch committed before
// it and can simply be run again.
//
// On a server the batches are shared out through the server instead of
// paged here (SharedRun.h): several processes, on one machine or many, run
// one recalculation together, each storing and listing the claimants it
// calculated, and a process started after one was killed completes it.
//
// The results file is written in claimant order whatever the number of
// threads, so that the same database gives the same file for any N. Memory
// stays bounded by the batches in flight, not by the number of claimants.
#pragma once

#include <cstdint>
#include <functional>
#include <string>

namespace orv::calcrun {

struct BulkOptions {
  std::string dust_db;
  std::string claimant_db;
  bool store = false;
  std::string results;  // CSV file; empty: none
  bool changed_only = false;
  int jobs = 0;        // worker threads; 0 or less: the number of processors
  int batch = 1000;    // claimants per read and per write transaction
  // On a server the run is shared with every process started for the same
  // recalculation (see SharedRun.h): `run_name` names it (empty: the
  // automatic key), `lease_seconds` is how long a batch taken is this
  // process's alone. A file's run is this process's only.
  std::string run_name;
  int lease_seconds = 120;
  // Told how many claimants are done of how many, from one thread at a time.
  std::function<void(int64_t done, int64_t total)> progress;
  // Told how far the first open's check of the whole file has come, before
  // any claimant is read (OpenOptions::check_progress).
  std::function<void(int64_t done, int64_t total)> check_progress;
  // For tests: runs on a worker after the batch starting at claimant
  // `first_id` is read and calculated and before its results are stored.
  std::function<void(int32_t first_id)> before_store;
  // For tests: runs inside the batch's write transaction after its first
  // result is written.
  std::function<void(int32_t first_id)> in_store;
  // For tests: runs before the result of claimant `id`, calculated again at
  // the end of the run, is stored.
  std::function<void(int32_t id)> before_store_again;
};

struct BulkSummary {
  int64_t calculated = 0;
  int64_t refused = 0;
  int64_t failed = 0;
  int64_t stored = 0;   // results written (calculated ones and cleared ones)
  int64_t skipped = 0;  // not stored: the history changed during the run
  int64_t changed = 0;  // results that differ from the value stored before
  // Results cleared: the history kept changing through the recalculations
  // at the end of the run (a claimant skipped is calculated again there, up
  // to three times; one stored then counts as stored, no longer skipped).
  int64_t cleared = 0;
  // On a server: the shared run's name, and whether this process began it
  // (false: it joined one begun elsewhere).
  std::string shared_run;
  bool began = true;
};

// "N calculated, M refused, K failed" (and ", C cleared" when some were).
std::string SummaryLine(const BulkSummary& s);

// Runs the whole database (on a server, this process's share of the run).
// A failure that stops the run (a database that cannot be opened or
// written, a dust database the engine refuses) is raised as OrvError after
// the other workers have stopped; batches committed by then stay stored and
// no results file is left. A --run name given for a file, or a named run
// begun with another mode or other versions, is an InputError.
BulkSummary RunAll(const BulkOptions& options);

}  // namespace orv::calcrun
