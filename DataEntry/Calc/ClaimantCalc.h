// Calculating a stored claimant: the one path from the claimant database to
// the engine and back, shared by the desktop program's calculate command and
// the command-line calculator.
//
//   ClaimantSource   reads a claimant, his work and smoking histories and the
//                    user-defined factors they use, through the claimant
//                    database's stored queries (qdWork, qdSmoke), prepared
//                    once per connection and re-run for every claimant.
//   LoadClaimant     puts what was read into the engine's job and smoking
//                    collections exactly as the desktop's history grids do
//                    (standard jobs by identifier; user-defined factors with
//                    all their values through AddWithFactorsPastClosure; a
//                    deleted factor as the "Missing user defined factor"
//                    placeholder), and sets the jurisdiction and the
//                    claimant's identification on the dust model.
//   CalculateClaimant  loads and calculates, catching the engine's outcome:
//                    calculated, refused (with the engine's message) or
//                    failed (a run-time failure).
//   StoreResult      writes CALCDATE, ENGINEVERSION, DUSTDATAVERSION and
//                    RECOVERABLEQUANTUM as the desktop does after a
//                    successful calculation (and clears them after one that
//                    was not), but only while the claimant's history is still
//                    the one the result was calculated from.
//   ClearStoredResult  empties the stored result; a history save calls it in
//                    the same transaction as the save.
//
// Nothing here shows a window; every failure is an orv::OrvError.
// Thread use: one ClaimantSource per thread and connection, and one
// DustModel per thread (the engine's dust data connection is per thread).
#pragma once

#include <chrono>
#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "Database.h"
#include "HistoryLoader.h"
#include "OrvError.h"

namespace orv::dust {
class DustModel;
class colCoalJobs;
class colSmokeEntry;
}  // namespace orv::dust

namespace orv::claimcalc {

// A claimant that is not in the database (CLAIMANT has no row with the ID).
inline constexpr int32_t kErrNoSuchClaimant = 3021;

// The label the desktop gives the claimant's address in the report heading.
inline constexpr const char* kAddressLabel = "Claimant Address: ";

// One WORKHISTORY row as stored, with the user-defined factor it names (read
// from USERFACTOR when JOBFACTORID is 10000 or more).
struct WorkRow {
  int32_t ID = 0;
  int32_t CollieryID = 0;
  int32_t JobFactorID = 0;
  int32_t RespFactorID = 0;  // the engine takes it as a 16-bit identifier
  int16_t StartYear = 0;
  int16_t EndYear = 0;
  std::string PitName;  // null reads as ""
  // For a JOBFACTORID of 10000 or more: the factor's row, or none when the
  // row no longer exists (or the database has no USERFACTOR table).
  std::optional<orv::dust::UserFactor> user_factor;
  // Every field equal, the user-defined factor's values included.
  bool operator==(const WorkRow& other) const;
};

// One SMOKEHISTORY row as stored (nulls read as 0).
struct SmokeRow {
  int32_t ID = 0;
  int32_t SmokeCategoryID = 0;
  int32_t Years = 0;
  int16_t StartYear = 0;
  int16_t EndYear = 0;
  bool operator==(const SmokeRow&) const = default;
};

// Everything a calculation of one claimant reads from the claimant
// database, in the order the stored queries give it.
struct StoredClaimant {
  int32_t ID = 0;
  int32_t Jurisdiction = 0;  // CLAIMANT.JURISDICTION; null reads as 0
  // The report heading's identification: the name as title, first name,
  // middle names and surname joined by single blanks (empty parts left
  // out); the address lines, county and postcode, trimmed, empty ones left
  // out, joined by ", ", under kAddressLabel.
  orv::dust::ClaimantIdentity identity;
  std::vector<WorkRow> work;
  std::vector<SmokeRow> smoking;
  // The result stored before this calculation (null: none), and when it
  // was stored.
  std::optional<float> stored_quantum;
  std::optional<std::string> stored_calcdate;
  std::optional<std::string> stored_engine_version;
  std::optional<std::string> stored_dust_data_version;
  // CALCFINGERPRINT (none below structure level 21 or when empty).
  std::optional<std::string> stored_fingerprint;

  // True when the histories and the jurisdiction, everything the stored
  // result depends on, are the same in both.
  bool SameHistory(const StoredClaimant& other) const;
};

// A digest of everything a stored result is calculated from that can change
// the figure: the jurisdiction used, and the work and smoking histories in
// their stored order with every value the engine takes (a user-defined
// factor's values included, and whether a named factor is missing). Row
// IDs, names and addresses are left out: they change the report, not the
// figure. The engine and dust data versions are kept beside it.
std::string InputsDigest(const StoredClaimant& c, int32_t jurisdiction);

// The CALCFINGERPRINT text stored with a result: the digest and the
// CALCDATE it was stored with. A result stored later by a program that
// writes no fingerprint changes CALCDATE and so no longer matches it.
std::string FingerprintText(const std::string& digest, const std::string& calcdate);

// The digest a stored fingerprint holds when it belongs to the stored result
// (its CALCDATE matches); none otherwise.
std::optional<std::string> FingerprintDigest(const StoredClaimant& c);

// The report's line for a claimant whose stored result was calculated from
// another history than his present one (or under another jurisdiction than
// `jurisdiction`): "History changed since the last calculation: 14:05 on 07
// Dec 2026". Empty when he has no stored result, when it has no fingerprint
// to tell by, or when it is still current.
std::string HistoryChangedNote(const StoredClaimant& c, int32_t jurisdiction);

// The collection key of a stored history row: "ID" followed by the row's ID.
std::string RowKey(int32_t id);

// The current row of a WORKHISTORY, SMOKEHISTORY or USERFACTOR recordset,
// null numbers read as 0 and null texts as "". A work row's user-defined
// factor is left for the caller to read.
WorkRow ReadWorkRow(const orv::db::Recordset& r);
SmokeRow ReadSmokeRow(const orv::db::Recordset& r);
orv::dust::UserFactor ReadUserFactorRow(const orv::db::Recordset& r);

// One stored row as the engine's history loader takes it, keyed by RowKey.
// A work row with a user-defined factor identifier takes that factor, or
// becomes the placeholder job when it has none. A respirator identifier
// outside 16 bits is the overflow error 6.
orv::dust::HistoryJob ToHistoryJob(const WorkRow& w);
orv::dust::HistorySmoke ToHistorySmoke(const SmokeRow& s);

// The jobs and smoking entries of a stored claimant as the engine's history
// loader takes them, keyed "ID" followed by the row's ID, in the stored
// order: what the desktop's grids and the history file both turn into
// collections.
std::vector<orv::dust::HistoryJob> HistoryJobs(const StoredClaimant& c);
std::vector<orv::dust::HistorySmoke> HistorySmoking(const StoredClaimant& c);

// Where a claimant file's change history stood when claimants were read:
// its last record and the file's structure version.
struct ChangeMark {
  int64_t last_record = 0;
  int64_t schema_version = 0;
};

// Reads stored claimants over one open claimant database connection. The
// stored queries are prepared on first use and re-run for every claimant.
// Not thread-safe: one per thread.
class ClaimantSource {
 public:
  // `claimants` must stay open while the source is used.
  explicit ClaimantSource(orv::db::DatabasePtr claimants);
  ~ClaimantSource();
  ClaimantSource(const ClaimantSource&) = delete;
  ClaimantSource& operator=(const ClaimantSource&) = delete;

  // Reads one claimant. No CLAIMANT row with that ID: OrvError
  // kErrNoSuchClaimant ("No claimant with ID <id>"). Database failures are
  // raised as they come. For a consistent picture, call inside a
  // transaction of the caller's.
  StoredClaimant Read(int32_t claimantID);

  // Up to `limit` claimant IDs above `after`, ascending: a run over every
  // claimant pages through the table without holding it in memory.
  std::vector<int32_t> NextIDs(int32_t after, int32_t limit);

  // The number of claimants.
  int64_t Count();

  // Whether stored results carry a fingerprint (structure level 21 or later).
  bool HasFingerprints();

  // Where the change history stands, read inside the caller's read
  // transaction, when every later change to a claimant, his histories or a
  // user-defined factor is bound to leave a record after it: on a file
  // whose change history has all its triggers. None otherwise, and on a
  // server, whose records are numbered as they are written rather than in
  // the order their transactions commit.
  std::optional<ChangeMark> Mark();

  // Of the claimants `first` to `last`, those whose reading may differ from
  // what was read at `mark`, because a record since names them (ascending,
  // each once). None when any claimant's may: a user-defined factor was
  // changed, a row was given another claimant or ID, the file's structure
  // changed (recording may have been suspended), or the history no longer
  // reaches the mark. Call inside the write transaction that stores, so that
  // the answer holds until it commits.
  std::optional<std::vector<int32_t>> ChangedSince(const ChangeMark& mark, int32_t first,
                                                   int32_t last);

  orv::db::Database& Database() { return *db_; }

 private:
  struct Prepared;
  orv::db::DatabasePtr db_;
  std::unique_ptr<Prepared> q_;
};

// Fills `jobs` and `smoking` (each emptied first) from the claimant's
// histories, in the stored order, through the collections' own Add and
// AddWithFactorsPastClosure: what LoadWorkGrid and LoadSmokeGrid put into
// the engine. A row the engine refuses (an unknown colliery or factor:
// error 380) stops the load with that failure.
void LoadHistories(const StoredClaimant& c, orv::dust::colCoalJobs& jobs,
                   orv::dust::colSmokeEntry& smoking);

// LoadHistories into the model's collections (created when the model has
// none), then the jurisdiction (the claimant's, or `jurisdiction` when
// given) and the identification of the report heading. The model's dust
// database must be set.
void LoadClaimant(orv::dust::DustModel& model, const StoredClaimant& c,
                  std::optional<int32_t> jurisdiction = std::nullopt);

// How a calculation ended.
enum class Outcome { kCalculated, kRefused, kFailed };

struct ClaimantResult {
  int32_t ID = 0;
  Outcome outcome = Outcome::kFailed;
  // kRefused: the engine's validation message; kFailed: the failure
  // described as "number (source): description".
  std::string message;
  std::optional<orv::OrvError> error;  // kFailed only
  // kCalculated only: what the desktop stores.
  float RecoverableQuantum = 0;
  std::string EngineVersion;
  std::string DustDataVersion;
  // The jurisdiction calculated with (none: the claimant's own).
  std::optional<int32_t> Jurisdiction;
  // InputsDigest of what was calculated, when the caller worked it out
  // before storing (a bulk run does, outside its write lock); empty: the
  // store works it out.
  std::string inputs_digest;
};

// LoadClaimant and Calculate on `model`, with the report channel and error
// mode the caller has set on the model. Catches the outcome instead of
// raising: a refusal keeps the text the engine reported through its Error
// event (ErrorMode orvRaiseErrorEvent; with orvShowMsg the engine shows its
// box and the message stays empty), a run-time failure keeps the error.
// The model's Error handler is this call's own while it runs and is left
// empty afterwards.
ClaimantResult CalculateClaimant(orv::dust::DustModel& model, const StoredClaimant& c,
                                 std::optional<int32_t> jurisdiction = std::nullopt);

// The stored-result fields as the desktop writes them.
struct StoredResultValues {
  std::string CalcDate;  // ISO-8601 "2026-12-07 14:05:33"
  std::string EngineVersion;
  std::string DustDataVersion;
  float RecoverableQuantum = 0;
};
StoredResultValues ResultValues(const ClaimantResult& r,
                                std::chrono::system_clock::time_point when);

// Writes the result of a calculation of `calculated` to its CLAIMANT row:
// a calculated result as the desktop stores it (CALCDATE = `when`), with its
// fingerprint from structure level 21 on, any
// other outcome as the empty stored result (the desktop clears it before
// calculating). Before writing it reads the claimant again and writes
// nothing when his history is no longer `calculated`'s (an operator saved a
// change meanwhile; that save cleared the stored result) or when his stored
// result was changed or cleared by someone else since it was read.
// Returns true when written, false when skipped for either reason or for a
// claimant deleted meanwhile. Must run inside a write transaction of the
// caller's on `source`'s connection (see WriteTransaction), so that the check
// and the write are one.
[[nodiscard]] bool StoreResult(ClaimantSource& source, const StoredClaimant& calculated,
                               const ClaimantResult& result,
                               std::chrono::system_clock::time_point when);

// StoreResult's write alone, for a claimant the caller knows to be unchanged
// since `calculated` was read (ClaimantSource::ChangedSince does not name
// him), inside the caller's write transaction.
void WriteResult(ClaimantSource& source, const StoredClaimant& calculated,
                 const ClaimantResult& result, std::chrono::system_clock::time_point when);

// Empties CALCDATE, ENGINEVERSION, DUSTDATAVERSION and RECOVERABLEQUANTUM of
// one claimant (a fingerprint left behind names a CALCDATE that is gone, and
// so proves nothing). A history save runs it in the same transaction as the save,
// so that no result calculated from the old history can be stored after it.
void ClearStoredResult(orv::db::Database& claimants, int32_t claimantID);

// A transaction that takes the database's write lock when it begins (so a
// writer waits for another writer instead of failing on a lock upgrade).
// Rolls back when destroyed without Commit.
class WriteTransaction {
 public:
  explicit WriteTransaction(orv::db::Database& db);
  ~WriteTransaction();
  WriteTransaction(const WriteTransaction&) = delete;
  WriteTransaction& operator=(const WriteTransaction&) = delete;
  void Commit();

 private:
  orv::db::Database& db_;
  bool open_ = false;
};

}  // namespace orv::claimcalc
