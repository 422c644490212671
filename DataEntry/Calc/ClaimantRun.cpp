#include "ClaimantRun.h"

#include <chrono>

#include "ClaimantCalc.h"
#include "modTarnbyDatabase.h"

namespace orv::calcrun {

HistoryFile HistoryOf(const orv::claimcalc::StoredClaimant& c) {
  HistoryFile f;
  f.claimant = c.identity;
  f.jobs = orv::claimcalc::HistoryJobs(c);
  f.smoking = orv::claimcalc::HistorySmoking(c);
  return f;
}

ClaimantRunOutcome RunStoredClaimant(CalcOptions options, const ClaimantRunOptions& run) {
  const orv::db::DatabasePtr db = orv::tarnby::OpenClaimantDatabase(run.claimant_db);
  orv::claimcalc::ClaimantSource source(db);
  const orv::claimcalc::StoredClaimant c = source.Read(run.claimant_id);
  options.jurisdiction = run.jurisdiction.value_or(c.Jurisdiction);

  HistoryFile history = HistoryOf(c);
  // Whether his stored result still stands is a question of his own
  // jurisdiction, whatever this run calculates with.
  history.claimant.Note = orv::claimcalc::HistoryChangedNote(c, c.Jurisdiction);
  ClaimantRunOutcome out;
  out.calc = RunCalculation(options, history);
  if (!run.store) return out;

  orv::claimcalc::ClaimantResult r;
  r.ID = c.ID;
  r.Jurisdiction = options.jurisdiction;
  if (out.calc.ok) {
    r.outcome = orv::claimcalc::Outcome::kCalculated;
    for (const auto& [name, value] : out.calc.results)
      if (name == "RecoverableQuantumPercent") r.RecoverableQuantum = value;
    r.EngineVersion = out.calc.engine_version;
    r.DustDataVersion = out.calc.dust_data_version;
  } else {
    r.outcome = out.calc.error ? orv::claimcalc::Outcome::kFailed
                               : orv::claimcalc::Outcome::kRefused;
  }
  orv::claimcalc::WriteTransaction t(*db);
  out.stored = orv::claimcalc::StoreResult(source, c, r, std::chrono::system_clock::now());
  t.Commit();
  return out;
}

}  // namespace orv::calcrun
