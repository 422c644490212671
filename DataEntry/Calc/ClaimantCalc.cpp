// A stored claimant into the engine, the calculation, and the stored result.
#include "ClaimantCalc.h"

#include <bit>
#include <string>
#include <type_traits>

#include <fmt/format.h>

#include "DataLookups.h"
#include "Digest.h"
#include "Dates.h"
#include "DustModel.h"
#include "DustModelTypes.h"
#include "UserFactorFields.h"
#include "colCoalJobs.h"
#include "colSmokeEntry.h"

namespace orv::claimcalc {

std::string RowKey(int32_t id) { return "ID" + std::to_string(id); }

namespace {

// A single by its bits, so that the digest tells every value apart.
std::string Bits(float v) { return fmt::format("{:08x}", std::bit_cast<uint32_t>(v)); }

// A text with its length first, so that no text can pass for two.
std::string Counted(const std::string& t) { return std::to_string(t.size()) + ":" + t; }

}  // namespace

std::string InputsDigest(const StoredClaimant& c, int32_t jurisdiction) {
  std::string text = "tarnby inputs 1\nJ " + std::to_string(jurisdiction) + "\n";
  for (const WorkRow& w : c.work) {
    text += fmt::format("W {} {} {} {} {} {}", w.CollieryID, w.JobFactorID, w.RespFactorID,
                        w.StartYear, w.EndYear, Counted(w.PitName));
    if (w.JobFactorID >= orv::dust::kFirstUserFactorID) {
      if (const auto& u = w.user_factor) {
        // Every field in the list's order: whole numbers in decimal, texts
        // counted, singles by their bits.
        text += " U";
        orv::tarnby::ForEachUserFactorField(*u, [&](const orv::tarnby::UserFactorField&,
                                                    const auto& v) {
          using T = std::decay_t<decltype(v)>;
          if constexpr (std::is_same_v<T, std::string>) {
            text += " " + Counted(v);
          } else if constexpr (std::is_same_v<T, float>) {
            text += " " + Bits(v);
          } else {
            text += " " + std::to_string(v);
          }
        });
      } else {
        text += " U missing";
      }
    }
    text += "\n";
  }
  for (const SmokeRow& s : c.smoking)
    text += fmt::format("S {} {} {} {}\n", s.SmokeCategoryID, s.Years, s.StartYear, s.EndYear);
  return orv::db::Sha256Hex(text);
}

std::string FingerprintText(const std::string& digest, const std::string& calcdate) {
  return digest + " " + calcdate;
}

std::optional<std::string> FingerprintDigest(const StoredClaimant& c) {
  if (!c.stored_fingerprint || !c.stored_calcdate) return std::nullopt;
  const std::string& f = *c.stored_fingerprint;
  const size_t blank = f.find(' ');
  if (blank == std::string::npos || f.substr(blank + 1) != *c.stored_calcdate) return std::nullopt;
  return f.substr(0, blank);
}

std::string HistoryChangedNote(const StoredClaimant& c, int32_t jurisdiction) {
  if (!c.stored_quantum) return {};
  const std::optional<std::string> digest = FingerprintDigest(c);
  if (!digest || *digest == InputsDigest(c, jurisdiction)) return {};
  return "History changed since the last calculation: " +
         orv::ReportTimeOfStored(*c.stored_calcdate);
}

orv::dust::HistoryJob ToHistoryJob(const WorkRow& w) {
  orv::dust::HistoryJob j;
  j.Key = RowKey(w.ID);
  j.CollieryID = w.CollieryID;
  j.StartYear = w.StartYear;
  j.EndYear = w.EndYear;
  j.JobFactorID = w.JobFactorID;
  j.PitName = w.PitName;
  if (w.JobFactorID >= orv::dust::kFirstUserFactorID) {
    // A user-defined factor supplies both factors; a deleted one becomes
    // the placeholder job, as the desktop's grid lists it.
    if (w.user_factor)
      j.user_factor = w.user_factor;
    else
      j.missing_user_factor = true;
  } else {
    // The engine's respirator identifier is 16-bit: a stored value outside
    // that range is refused by the job, as the desktop's conversion does.
    if (w.RespFactorID > INT16_MAX || w.RespFactorID < INT16_MIN)
      throw OrvError::Standard(6, "LoadWorkGrid");
    j.RespFactorID = static_cast<int16_t>(w.RespFactorID);
  }
  return j;
}

orv::dust::HistorySmoke ToHistorySmoke(const SmokeRow& s) {
  orv::dust::HistorySmoke h;
  h.Key = RowKey(s.ID);
  h.CategoryID = s.SmokeCategoryID;
  h.Years = s.Years;
  h.StartYear = s.StartYear;
  h.EndYear = s.EndYear;
  return h;
}

std::vector<orv::dust::HistoryJob> HistoryJobs(const StoredClaimant& c) {
  std::vector<orv::dust::HistoryJob> jobs;
  jobs.reserve(c.work.size());
  for (const WorkRow& w : c.work) jobs.push_back(ToHistoryJob(w));
  return jobs;
}

std::vector<orv::dust::HistorySmoke> HistorySmoking(const StoredClaimant& c) {
  std::vector<orv::dust::HistorySmoke> smoking;
  smoking.reserve(c.smoking.size());
  for (const SmokeRow& s : c.smoking) smoking.push_back(ToHistorySmoke(s));
  return smoking;
}

void LoadHistories(const StoredClaimant& c, orv::dust::colCoalJobs& jobs,
                   orv::dust::colSmokeEntry& smoking) {
  orv::dust::LoadJobs(jobs, HistoryJobs(c));
  orv::dust::LoadSmoking(smoking, HistorySmoking(c));
}

void LoadClaimant(orv::dust::DustModel& model, const StoredClaimant& c,
                  std::optional<int32_t> jurisdiction) {
  if (!model.CoalJobCollection())
    model.SetCoalJobCollection(std::make_shared<orv::dust::colCoalJobs>());
  if (!model.SmokeHistoryCollection())
    model.SetSmokeHistoryCollection(std::make_shared<orv::dust::colSmokeEntry>());
  {
    // One read transaction over the lookups of every job and entry.
    const orv::dust::DataReadSpan span;
    LoadHistories(c, *model.CoalJobCollection(), *model.SmokeHistoryCollection());
  }
  model.SetJurisdiction(jurisdiction.value_or(c.Jurisdiction));
  orv::dust::ApplyIdentity(model, c.identity);
}

ClaimantResult CalculateClaimant(orv::dust::DustModel& model, const StoredClaimant& c,
                                 std::optional<int32_t> jurisdiction) {
  ClaimantResult r;
  r.ID = c.ID;
  r.Jurisdiction = jurisdiction;
  std::string refusal;
  model.SetErrorHandler([&refusal](const std::string& text) { refusal = text; });
  try {
    LoadClaimant(model, c, jurisdiction);
    if (model.Calculate()) {
      r.outcome = Outcome::kCalculated;
      r.RecoverableQuantum = model.RecoverableQuantumPercent();
      r.EngineVersion = model.EngineVersion();
      r.DustDataVersion = model.DustDataVersion();
    } else {
      r.outcome = Outcome::kRefused;
      r.message = refusal;
    }
  } catch (...) {
    r.outcome = Outcome::kFailed;
    r.error = CurrentError();
    r.message = r.error->Describe();
  }
  model.SetErrorHandler({});
  return r;
}

StoredResultValues ResultValues(const ClaimantResult& r,
                                std::chrono::system_clock::time_point when) {
  return {orv::FormatIsoDateTime(when), r.EngineVersion, r.DustDataVersion, r.RecoverableQuantum};
}

bool StoreResult(ClaimantSource& source, const StoredClaimant& calculated,
                 const ClaimantResult& result, std::chrono::system_clock::time_point when) {
  // On a server a transaction sees each statement's own moment, not one
  // picture: the claimant's row is locked first, so that a history save,
  // which clears the stored result in its own transaction, is either seen
  // by the reading below or waits for this transaction and clears after it.
  if (source.Database().IsServer())
    (void)source.Database().OpenRecordset("SELECT ID FROM CLAIMANT WHERE ID = ? FOR UPDATE",
                                          orv::db::RecordsetType::Snapshot,
                                          {Value(calculated.ID)});
  StoredClaimant now;
  try {
    now = source.Read(calculated.ID);
  } catch (const OrvError& e) {
    if (e.Number() == kErrNoSuchClaimant) return false;
    throw;
  }
  if (!now.SameHistory(calculated)) return false;
  // A result stored or cleared by someone else since the claimant was read
  // (a desktop calculation, or the clearing that comes with a history save)
  // is theirs to keep.
  if (now.stored_quantum != calculated.stored_quantum ||
      now.stored_calcdate != calculated.stored_calcdate)
    return false;
  WriteResult(source, calculated, result, when);
  return true;
}

void WriteResult(ClaimantSource& source, const StoredClaimant& calculated,
                 const ClaimantResult& result, std::chrono::system_clock::time_point when) {
  if (result.outcome != Outcome::kCalculated) {
    ClearStoredResult(source.Database(), calculated.ID);
    return;
  }
  const StoredResultValues v = ResultValues(result, when);
  // One statement for the result and its fingerprint: the row is written
  // once, and the change history's trigger runs once for it.
  std::vector<Value> values = {Value(v.CalcDate), Value(v.EngineVersion),
                               Value(v.DustDataVersion), Value(v.RecoverableQuantum)};
  const bool fingerprint = source.HasFingerprints();
  if (fingerprint) {
    const std::string digest =
        !result.inputs_digest.empty()
            ? result.inputs_digest
            : InputsDigest(calculated, result.Jurisdiction.value_or(calculated.Jurisdiction));
    values.emplace_back(FingerprintText(digest, v.CalcDate));
  }
  values.emplace_back(calculated.ID);
  source.Database().Execute(
      fingerprint ? "UPDATE CLAIMANT SET CALCDATE = ?, ENGINEVERSION = ?, DUSTDATAVERSION = ?, "
                    "RECOVERABLEQUANTUM = ?, CALCFINGERPRINT = ? WHERE ID = ?"
                  : "UPDATE CLAIMANT SET CALCDATE = ?, ENGINEVERSION = ?, DUSTDATAVERSION = ?, "
                    "RECOVERABLEQUANTUM = ? WHERE ID = ?",
      values);
}

void ClearStoredResult(orv::db::Database& claimants, int32_t claimantID) {
  // The fingerprint is left as it is: it names the CALCDATE it belongs to,
  // which this empties, so it no longer proves anything.
  claimants.Execute(
      "UPDATE CLAIMANT SET CALCDATE = NULL, ENGINEVERSION = NULL, DUSTDATAVERSION = NULL, "
      "RECOVERABLEQUANTUM = NULL WHERE ID = ?",
      {Value(claimantID)});
}

// Begun as a writing transaction, it takes the write lock at once, so a
// writer waits here for another one rather than failing when it first comes
// to write.
WriteTransaction::WriteTransaction(orv::db::Database& db) : db_(db) {
  db_.BeginTrans(/*will_write=*/true);
  open_ = true;
}

WriteTransaction::~WriteTransaction() {
  if (!open_) return;
  try {
    db_.Rollback();
  } catch (...) {
    // Nothing was committed; SQLite drops the transaction with the connection.
  }
}

void WriteTransaction::Commit() {
  db_.CommitTrans();
  open_ = false;
}

}  // namespace orv::claimcalc
