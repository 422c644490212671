// tarnby-calc --all: the batches, the worker threads and the ordered results.
#include "BulkRun.h"

#include <algorithm>
#include <atomic>
#include <chrono>
#include <condition_variable>
#include <exception>
#include <map>
#include <memory>
#include <mutex>
#include <optional>
#include <thread>
#include <variant>
#include <vector>

#include "ChangeHistory.h"
#include "ClaimantCalc.h"
#include "Csv.h"
#include "DustModel.h"
#include "DustModelTypes.h"
#include "InputError.h"
#include "Numbers.h"
#include "SharedRun.h"
#include "modTarnbyDatabase.h"

namespace orv::calcrun {

namespace {

using orv::claimcalc::ClaimantResult;
using orv::claimcalc::ClaimantSource;
using orv::claimcalc::Outcome;
using orv::claimcalc::StoredClaimant;
using orv::csv::Cell;

const std::vector<std::string> kColumns = {
    "ID", "OK", "RECOVERABLEQUANTUM", "STORED_RECOVERABLEQUANTUM", "CHANGED", "MESSAGE"};

constexpr const char* kHistoryChanged =
    "The history was changed during the run; it was calculated again at the end";

// One claimant's line of the results file and its share of the summary.
struct Row {
  int32_t id = 0;
  Outcome outcome = Outcome::kFailed;
  std::optional<float> quantum;
  std::optional<float> stored_before;
  std::string message;
  bool stored = false;
  bool skipped = false;
  bool Changed() const { return quantum != stored_before; }
};

// A claimant calculated, with his row in the batch's results.
struct Calculated {
  size_t row = 0;
  StoredClaimant claimant;
  ClaimantResult result;
};

// A claimant whose stored values could not be read.
struct Unread {
  int32_t id = 0;
  OrvError error;
};

struct Batch {
  int64_t index = 0;
  int32_t shared = 0;  // its number in a shared run
  std::vector<int32_t> ids;
  std::vector<Row> rows;
  std::vector<Calculated> calculated;  // until stored
  // Where a file's change history stood when the batch was read: a claimant
  // no record since names is stored without being read again.
  std::optional<orv::claimcalc::ChangeMark> mark;
};

Cell FloatCell(const std::optional<float>& v) { return v ? Cell(orv::FloatToText(*v)) : Cell(); }

// The state the workers share: the pager over claimant IDs, the results
// waiting for their turn to be written, and the first failure.
class Run {
 public:
  explicit Run(const BulkOptions& o) : o_(o) {
    // The engine expands and compacts a dust database whose matrix is not
    // expanded yet when it first opens it. That must happen once, before
    // the workers open the file side by side; a dust database that cannot
    // be used also fails here, before the results file is begun.
    SharedRunOptions shared;
    {
      orv::dust::DustModel first;
      first.SetDustDatabase(o.dust_db);
      shared.dust_data_version = first.DustDataVersion();
      shared.engine_version = first.EngineVersion();
    }
    // The run reads the whole file anyway: its first open checks all of it,
    // the workers' opens only the structure. A row over its declared sizes
    // (another program's write) is refused here because the run would fail
    // at its claimant's store, after earlier batches were stored. The change
    // history, most of a file's rows, is the exception: the run only adds
    // records to it, never updating one it did not write, so its pages and
    // b-trees are checked but not each record's sizes. On a server this
    // connection also lays the shared run out or joins it, which may wait
    // for another process laying it out.
    orv::db::OpenOptions whole_file;
    whole_file.check = orv::db::OpenCheck::WholeFile;
    whole_file.check_progress = o.check_progress;
    whole_file.append_only_tables = {orv::tarnby::kChangeHistoryTable};
    if (orv::db::IsServerPath(o.claimant_db)) whole_file.busy_timeout_ms = 60000;
    pager_db_ = orv::tarnby::OpenClaimantDatabase(o.claimant_db, whole_file);
    if (pager_db_->IsServer()) {
      shared.name = o.run_name;
      shared.store = o.store;
      shared.changed_only = o.changed_only;
      shared.batch = o.batch;
      shared.lease_seconds = o.lease_seconds;
      try {
        shared_ = std::make_unique<SharedRun>(*pager_db_, shared);
      } catch (...) {
        pager_db_->Close();
        throw;
      }
      summary_.shared_run = shared_->Label();
      summary_.began = shared_->Began();
      total_ = shared_->Total();
    } else {
      if (!o.run_name.empty()) {
        pager_db_->Close();
        throw orv::InputError(o.claimant_db, 0, "--run",
                              "a run is shared by several machines only on a server; a file's run "
                              "is one machine's");
      }
      pager_ = std::make_unique<ClaimantSource>(pager_db_);
      total_ = pager_->Count();
    }
    if (!o.results.empty()) csv_ = std::make_unique<orv::csv::CsvWriter>(o.results, kColumns);
    window_ = std::max(4, 3 * Jobs());
  }

  int Jobs() const {
    if (o_.jobs > 0) return o_.jobs;
    return std::max(1u, std::thread::hardware_concurrency());
  }

  BulkSummary Go() {
    std::vector<std::thread> threads;
    for (int i = 0; i < Jobs(); ++i) threads.emplace_back([this] { Worker(); });
    for (std::thread& t : threads) t.join();
    if (failure_) std::rethrow_exception(failure_);
    if (!changed_ids_.empty()) RecalculateChanged();
    if (csv_) csv_->Commit();
    if (shared_ && o_.progress) o_.progress(total_, total_);
    shared_.reset();
    pager_.reset();
    pager_db_->Close();
    return summary_;
  }

 private:
  // The next batch, or none when every claimant has been handed out or the
  // run is stopping. Waits while too many batches are ahead of the writer.
  std::optional<Batch> Take() {
    std::unique_lock lock(mu_);
    cv_.wait(lock,
             [this] { return stop_ || exhausted_ || next_index_ < written_index_ + window_; });
    if (stop_ || exhausted_) return std::nullopt;
    if (shared_) {
      // One claim at a time over the run's connection, which may wait for
      // batches other processes hold; the others' results go on being written.
      lock.unlock();
      std::optional<SharedBatch> taken;
      for (double wait = 0;;) {
        {
          std::lock_guard claim(claim_mu_);
          taken = shared_->Take(wait);
          run_done_ = shared_->DoneSoFar();
        }
        if (taken || wait <= 0) break;
        // Every batch left is held: look again when one may have come free,
        // unless the run is stopping.
        std::unique_lock l(mu_);
        if (cv_.wait_for(l, std::chrono::duration<double>(wait), [this] { return stop_; })) break;
      }
      lock.lock();
      if (!taken) {
        exhausted_ = true;
        cv_.notify_all();
        return std::nullopt;
      }
      Batch b;
      b.index = next_index_++;
      b.shared = taken->number;
      b.ids = std::move(taken->ids);
      return b;
    }
    Batch b;
    b.index = next_index_++;
    b.ids = pager_->NextIDs(last_id_, o_.batch);
    if (b.ids.empty()) {
      exhausted_ = true;
      return std::nullopt;
    }
    last_id_ = b.ids.back();
    return b;
  }

  void Worker() {
    try {
      orv::dust::DustModel model;
      model.SetDustDatabase(o_.dust_db);
      model.SetOutputOption(orv::dust::orvNoOutput);
      model.SetErrorMode(orv::dust::orvRaiseErrorEvent);
      // Reads go through a read-only connection, whose transactions only
      // read and so never hold up an operator's save; the stores through a
      // read-write one.
      orv::db::OpenOptions read_only;
      read_only.read_only = true;
      const orv::db::DatabasePtr reader_db = orv::tarnby::OpenClaimantDatabase(o_.claimant_db, read_only);
      ClaimantSource reader(reader_db);
      orv::db::DatabasePtr writer_db;
      std::unique_ptr<ClaimantSource> writer;
      if (o_.store) {
        writer_db = orv::tarnby::OpenClaimantDatabase(o_.claimant_db);
        writer = std::make_unique<ClaimantSource>(writer_db);
      }
      while (std::optional<Batch> b = Take()) {
        Calculate(model, reader, *b);
        if (writer) {
          Store(*writer, *b);
        } else if (shared_) {
          // Not storing: done in a transaction of its own on the run's connection.
          std::lock_guard claim(claim_mu_);
          orv::claimcalc::WriteTransaction t(*pager_db_);
          const bool mine = shared_->MarkDone(*pager_db_, b->shared);
          t.Commit();
          if (!mine) b->rows.clear();
        }
        b->calculated.clear();
        Finish(std::move(*b));
      }
      writer.reset();
      if (writer_db) writer_db->Close();
      reader_db->Close();
    } catch (...) {
      std::lock_guard lock(mu_);
      if (!failure_) failure_ = std::current_exception();
      stop_ = true;
      cv_.notify_all();
    }
  }

  void Calculate(orv::dust::DustModel& model, ClaimantSource& source, Batch& b) {
    // Each claimant of the batch, read, or the failure that kept him from
    // being read.
    std::vector<std::variant<StoredClaimant, Unread>> claimants;
    claimants.reserve(b.ids.size());
    {
      // One read transaction: the batch is read as one consistent picture
      // and the file is locked once, not once per query.
      orv::db::Database& db = source.Database();
      db.BeginTrans();
      try {
        if (o_.store) b.mark = source.Mark();
        for (int32_t id : b.ids) {
          try {
            claimants.emplace_back(source.Read(id));
          } catch (const OrvError& e) {
            // Deleted since the batch was paged: nothing to calculate.
            if (e.Number() == orv::claimcalc::kErrNoSuchClaimant) continue;
            // A stored value that does not convert is that claimant's
            // failure; any other stops the run.
            if (e.Number() != orv::err::kTypeMismatch && e.Number() != orv::err::kOverflow) throw;
            claimants.emplace_back(Unread{id, e});
          }
        }
      } catch (...) {
        db.Rollback();
        throw;
      }
      db.CommitTrans();
    }
    b.rows.reserve(claimants.size());
    for (size_t i = 0; i < claimants.size(); ++i) {
      Row row;
      if (const Unread* unread = std::get_if<Unread>(&claimants[i])) {
        row.id = unread->id;
        row.outcome = Outcome::kFailed;
        row.message = unread->error.Describe();
        b.rows.push_back(std::move(row));
        continue;
      }
      StoredClaimant& c = std::get<StoredClaimant>(claimants[i]);
      ClaimantResult r = orv::claimcalc::CalculateClaimant(model, c);
      // Worked out here, beside the other threads, rather than while the
      // store holds the file's one write lock.
      if (o_.store && r.outcome == Outcome::kCalculated && source.HasFingerprints())
        r.inputs_digest = orv::claimcalc::InputsDigest(c, c.Jurisdiction);
      row.id = c.ID;
      row.outcome = r.outcome;
      if (r.outcome == Outcome::kCalculated) row.quantum = r.RecoverableQuantum;
      row.stored_before = c.stored_quantum;
      row.message = r.message;
      b.rows.push_back(std::move(row));
      b.calculated.push_back({b.rows.size() - 1, std::move(c), r});
    }
  }

  void Store(ClaimantSource& source, Batch& b) {
    if (o_.before_store && !b.ids.empty()) o_.before_store(b.ids.front());
    const auto when = std::chrono::system_clock::now();
    orv::claimcalc::WriteTransaction t(source.Database());
    // In a shared run the batch is done in the same transaction as its
    // results. One whose lease ran out and that another process took over is
    // that process's to store and list: nothing of it is kept here.
    if (shared_ && !shared_->MarkDone(source.Database(), b.shared)) {
      b.rows.clear();
      return;
    }
    // The claimants whose history may have changed since the batch was read
    // are read again before their results are written; the others need not
    // be.
    std::optional<std::vector<int32_t>> changed;
    if (b.mark && !b.ids.empty())
      changed = source.ChangedSince(*b.mark, b.ids.front(), b.ids.back());
    const auto unchanged = [&changed](int32_t id) {
      return changed && !std::binary_search(changed->begin(), changed->end(), id);
    };
    bool first = true;
    for (const Calculated& done : b.calculated) {
      Row& row = b.rows[done.row];
      bool stored = true;
      if (unchanged(done.claimant.ID))
        orv::claimcalc::WriteResult(source, done.claimant, done.result, when);
      else
        stored = orv::claimcalc::StoreResult(source, done.claimant, done.result, when);
      if (stored) {
        row.stored = true;
      } else {
        row.skipped = true;
        row.message = kHistoryChanged;
        std::lock_guard lock(mu_);
        changed_ids_.push_back(done.claimant.ID);
      }
      if (first && o_.in_store) o_.in_store(b.ids.front());
      first = false;
    }
    t.Commit();
  }

  // The claimants whose history changed while the run calculated them,
  // calculated again now, a few times at most. One whose history keeps
  // changing has its stored result cleared, as a history save does, so no
  // stored result stays that its history no longer gives.
  void RecalculateChanged() {
    constexpr int kRounds = 3;
    orv::dust::DustModel model;
    model.SetDustDatabase(o_.dust_db);
    model.SetOutputOption(orv::dust::orvNoOutput);
    model.SetErrorMode(orv::dust::orvRaiseErrorEvent);
    const orv::db::DatabasePtr db = orv::tarnby::OpenClaimantDatabase(o_.claimant_db);
    ClaimantSource source(db);
    for (int round = 0; round < kRounds && !changed_ids_.empty(); ++round) {
      std::vector<int32_t> still;
      for (int32_t id : changed_ids_) {
        StoredClaimant c;
        try {
          c = source.Read(id);
        } catch (const OrvError& e) {
          if (e.Number() == orv::claimcalc::kErrNoSuchClaimant) continue;  // deleted meanwhile
          throw;
        }
        const ClaimantResult r = orv::claimcalc::CalculateClaimant(model, c);
        if (o_.before_store_again) o_.before_store_again(id);
        orv::claimcalc::WriteTransaction t(*db);
        const bool stored = orv::claimcalc::StoreResult(source, c, r, std::chrono::system_clock::now());
        t.Commit();
        if (stored) {
          ++summary_.stored;
          --summary_.skipped;
        } else {
          still.push_back(id);
        }
      }
      changed_ids_ = std::move(still);
    }
    for (int32_t id : changed_ids_) {
      orv::claimcalc::WriteTransaction t(*db);
      orv::claimcalc::ClearStoredResult(*db, id);
      t.Commit();
      ++summary_.cleared;
    }
    db->Close();
  }

  // Hands a finished batch to the writer, which writes batches in order.
  void Finish(Batch b) {
    std::lock_guard lock(mu_);
    done_.emplace(b.index, std::move(b));
    for (auto it = done_.find(written_index_); it != done_.end(); it = done_.find(written_index_)) {
      Write(it->second);
      done_.erase(it);
      ++written_index_;
    }
    cv_.notify_all();
  }

  void Write(const Batch& b) {
    for (const Row& r : b.rows) {
      summary_.calculated += r.outcome == Outcome::kCalculated;
      summary_.refused += r.outcome == Outcome::kRefused;
      summary_.failed += r.outcome == Outcome::kFailed;
      summary_.stored += r.stored;
      summary_.skipped += r.skipped;
      summary_.changed += r.Changed();
      if (csv_ && (!o_.changed_only || r.Changed())) {
        csv_->Row({std::to_string(r.id), r.outcome == Outcome::kCalculated ? "1" : "0",
                   FloatCell(r.quantum), FloatCell(r.stored_before), r.Changed() ? "1" : "0",
                   r.message.empty() ? Cell() : Cell(r.message)});
      }
    }
    done_count_ += static_cast<int64_t>(b.rows.size());
    // Shared: every process's batches done, as the run's table said.
    if (o_.progress) o_.progress(std::max(done_count_, run_done_.load()), total_);
  }

  const BulkOptions& o_;
  orv::db::DatabasePtr pager_db_;
  std::unique_ptr<ClaimantSource> pager_;  // a file's run
  std::unique_ptr<SharedRun> shared_;      // a server's run
  std::mutex claim_mu_;                    // the shared run's connection
  std::atomic<int64_t> run_done_ = 0;
  std::unique_ptr<orv::csv::CsvWriter> csv_;
  int64_t total_ = 0;
  int64_t window_ = 4;

  std::mutex mu_;
  std::condition_variable cv_;
  int32_t last_id_ = 0;
  int64_t next_index_ = 0;
  int64_t written_index_ = 0;
  bool exhausted_ = false;
  bool stop_ = false;
  std::exception_ptr failure_;
  std::map<int64_t, Batch> done_;
  std::vector<int32_t> changed_ids_;  // not stored: their history changed
  int64_t done_count_ = 0;
  BulkSummary summary_;
};

}  // namespace

std::string SummaryLine(const BulkSummary& s) {
  return std::to_string(s.calculated) + " calculated, " + std::to_string(s.refused) + " refused, " +
         std::to_string(s.failed) + " failed" +
         (s.cleared > 0 ? ", " + std::to_string(s.cleared) + " cleared" : "");
}

BulkSummary RunAll(const BulkOptions& options) {
  Run run(options);
  return run.Go();
}

}  // namespace orv::calcrun
