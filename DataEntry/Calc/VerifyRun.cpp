#include "VerifyRun.h"

#include <algorithm>
#include <atomic>
#include <exception>
#include <mutex>
#include <thread>

#include "ClaimantCalc.h"
#include "Csv.h"
#include "DustModel.h"
#include "DustModelTypes.h"
#include "Numbers.h"
#include "modTarnbyDatabase.h"

namespace orv::calcrun {

namespace {

using orv::claimcalc::ClaimantResult;
using orv::claimcalc::ClaimantSource;
using orv::claimcalc::Outcome;
using orv::claimcalc::StoredClaimant;

constexpr int32_t kChunk = 100;

// The row of one claimant whose stored result does not stand, or none.
std::optional<VerifyRow> Check(orv::dust::DustModel& model, ClaimantSource& source,
                               const StoredClaimant& c) {
  const ClaimantResult r = orv::claimcalc::CalculateClaimant(model, c);
  VerifyRow row;
  row.id = c.ID;
  row.stored = c.stored_quantum;
  if (r.outcome == Outcome::kCalculated) row.now = r.RecoverableQuantum;
  row.message = r.message;
  const std::optional<std::string> digest =
      source.HasFingerprints() ? orv::claimcalc::FingerprintDigest(c) : std::nullopt;
  if (!digest)
    row.reason = kReasonNoFingerprint;
  else if (*digest != orv::claimcalc::InputsDigest(c, c.Jurisdiction))
    row.reason = kReasonHistoryChanged;
  else if (c.stored_dust_data_version.value_or("") != model.DustDataVersion())
    row.reason = kReasonDustData;
  else if (c.stored_engine_version.value_or("") != model.EngineVersion())
    row.reason = kReasonEngine;
  else if (row.now != row.stored)
    row.reason = kReasonFigure;
  else
    return std::nullopt;
  return row;
}

}  // namespace

bool VerifySummary::Defect() const {
  return std::any_of(rows.begin(), rows.end(),
                     [](const VerifyRow& r) { return r.reason == kReasonFigure; });
}

VerifySummary RunVerify(const VerifyOptions& o) {
  VerifySummary summary;
  std::vector<int32_t> ids;
  {
    // The dust database is opened (and expanded, if it must be) once before
    // the workers open it side by side.
    orv::dust::DustModel first;
    first.SetDustDatabase(o.dust_db);
    const orv::db::DatabasePtr db = orv::tarnby::OpenForReading(o.claimant_db);
    summary.level = orv::tarnby::StructureLevel(*db);
    ClaimantSource pager(db);
    if (o.claimant) {
      pager.Read(*o.claimant);  // an unknown claimant fails here
      ids.push_back(*o.claimant);
    } else {
      for (std::vector<int32_t> page = pager.NextIDs(0, 10000); !page.empty();
           page = pager.NextIDs(page.back(), 10000))
        ids.insert(ids.end(), page.begin(), page.end());
    }
    db->Close();
  }

  std::mutex mu;
  std::atomic<size_t> next{0};
  std::exception_ptr failure;
  int64_t done = 0;
  const auto total = static_cast<int64_t>(ids.size());
  const auto worker = [&] {
    try {
      orv::dust::DustModel model;
      model.SetDustDatabase(o.dust_db);
      model.SetOutputOption(orv::dust::orvNoOutput);
      model.SetErrorMode(orv::dust::orvRaiseErrorEvent);
      const orv::db::DatabasePtr db = orv::tarnby::OpenForReading(o.claimant_db);
      ClaimantSource source(db);
      for (;;) {
        const size_t from = next.fetch_add(kChunk);
        if (from >= ids.size()) break;
        {
          std::lock_guard lock(mu);
          if (failure) break;
        }
        const size_t to = std::min(ids.size(), from + kChunk);
        std::vector<StoredClaimant> chunk;
        db->BeginTrans();
        try {
          for (size_t i = from; i < to; ++i) {
            try {
              chunk.push_back(source.Read(ids[i]));
            } catch (const OrvError& e) {
              if (e.Number() != orv::claimcalc::kErrNoSuchClaimant) throw;
            }
          }
        } catch (...) {
          db->Rollback();
          throw;
        }
        db->CommitTrans();
        std::vector<VerifyRow> rows;
        int64_t without = 0;
        for (const StoredClaimant& c : chunk) {
          if (!c.stored_quantum) {
            ++without;
            continue;
          }
          if (std::optional<VerifyRow> row = Check(model, source, c)) rows.push_back(*row);
        }
        std::lock_guard lock(mu);
        summary.claimants += static_cast<int64_t>(chunk.size());
        summary.without_result += without;
        summary.rows.insert(summary.rows.end(), rows.begin(), rows.end());
        done += static_cast<int64_t>(to - from);
        if (o.progress) o.progress(done, total);
      }
      db->Close();
    } catch (...) {
      std::lock_guard lock(mu);
      if (!failure) failure = std::current_exception();
    }
  };
  const int jobs = o.jobs > 0 ? o.jobs : static_cast<int>(std::max(1u, std::thread::hardware_concurrency()));
  std::vector<std::thread> threads;
  for (int i = 0; i < std::min<int64_t>(jobs, std::max<int64_t>(1, total)); ++i)
    threads.emplace_back(worker);
  for (std::thread& t : threads) t.join();
  if (failure) std::rethrow_exception(failure);
  std::sort(summary.rows.begin(), summary.rows.end(),
            [](const VerifyRow& a, const VerifyRow& b) { return a.id < b.id; });
  summary.standing = summary.claimants - summary.without_result -
                     static_cast<int64_t>(summary.rows.size());
  return summary;
}

namespace {

const std::vector<std::string> kColumns = {"ID", "REASON", "STORED", "NOW"};

std::vector<std::string> Cells(const VerifyRow& r) {
  const auto number = [](const std::optional<float>& v) {
    return v ? orv::FloatToText(*v) : std::string();
  };
  return {std::to_string(r.id), r.reason, number(r.stored), number(r.now)};
}

}  // namespace

// No cell needs quoting: identifiers, the fixed reasons and numbers.
std::string VerifyCsv(const VerifySummary& s) {
  std::string out = "ID,REASON,STORED,NOW\r\n";
  for (const VerifyRow& r : s.rows) {
    const std::vector<std::string> cells = Cells(r);
    out += cells[0] + "," + cells[1] + "," + cells[2] + "," + cells[3] + "\r\n";
  }
  return out;
}

void WriteVerifyCsv(const VerifySummary& s, const std::string& path) {
  orv::csv::CsvWriter csv(path, kColumns);
  for (const VerifyRow& r : s.rows) {
    const std::vector<std::string> cells = Cells(r);
    csv.Row({cells[0], cells[1], cells[2].empty() ? orv::csv::Cell() : orv::csv::Cell(cells[2]),
             cells[3].empty() ? orv::csv::Cell() : orv::csv::Cell(cells[3])});
  }
  csv.Commit();
}

}  // namespace orv::calcrun
