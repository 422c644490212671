// Loading a claimant's histories into the engine's collections from plain
// values: the one place where a host (the command-line calculator, the
// desktop program) turns its rows into jobs and smoking entries, including
// the values and texts of user-defined factors.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "colCoalJobs.h"
#include "colSmokeEntry.h"
#include "UserFactor.h"

namespace orv::dust {

class DustModel;

// The job factor's text of a user-defined factor: Descr + " (User defined:
// non CHA " + the job factor as "#.##" + " @ " + the time underground as a
// percentage + ")".
std::string UserFactorJobText(const UserFactor& f);
// The respirator factor's text: Descr + " (User defined: non CHA " + the
// respirator factor in plain decimal + ")".
std::string UserFactorRespText(const UserFactor& f);

// A factor's text as lists and combos show it: a number that opens with its
// decimal point gains a leading zero (".9" reads "0.9") and one that ends with
// it loses the point ("1." reads "1"). The report keeps its own patterns.
std::string FactorListText(const std::string& text);

// The uplift given to every job with a user-defined factor.
inline constexpr float kUserFactorUplift = 1.16f;
// The texts of a job whose user-defined factor no longer exists.
inline constexpr const char* kMissingUserFactorText = "Missing user defined factor";

// One employment entry. A job with `user_factor` takes all its factor values
// from it; one with `missing_user_factor` becomes the placeholder job of a
// deleted user-defined factor (code "??", every factor 0) under the
// identifier `JobFactorID`; any other is looked up by its identifiers
// (the job factor by JobFactorID when not 0, else by JobFactorCode).
struct HistoryJob {
  std::string Key;
  int32_t CollieryID = 0;
  int16_t StartYear = 0;
  int16_t EndYear = 0;
  int32_t JobFactorID = 0;
  std::string JobFactorCode;
  int16_t RespFactorID = 0;
  std::string PitName;
  std::optional<UserFactor> user_factor;
  bool missing_user_factor = false;
};

// One smoking entry: the category by CategoryID when not 0, else by
// CategoryCode; the years as given.
struct HistorySmoke {
  std::string Key;
  int32_t CategoryID = 0;
  std::string CategoryCode;
  int32_t Years = 0;
  int16_t StartYear = 0;
  int16_t EndYear = 0;
};

// The claimant's identification, as the report heading names it.
struct ClaimantIdentity {
  std::string Name;
  std::string SolicitorRef;
  std::string ZURIRRef;
  std::optional<std::string> ExtraLabel;  // none: the model's own default
  std::string Extra;
  // The heading's note (DustModel::SetHeadingNote); empty: none.
  std::string Note;
};

// Adds one job to `jobs` under its key, through the collection's own Add or
// AddWithFactorsPastClosure, and returns it. A job the collection refuses
// (an unknown colliery or factor: error 380) is raised unchanged.
CoalJobPtr AddJob(colCoalJobs& jobs, const HistoryJob& j);
// Adds one smoking entry under its key; failures as AddJob.
SmokeEntryPtr AddSmoke(colSmokeEntry& smoking, const HistorySmoke& s);

// Empties `jobs` and adds each job in the order given, through the
// collection's own Add or AddWithFactorsPastClosure. A job the collection
// refuses (an unknown colliery or factor: error 380) stops the load with
// that failure, the jobs before it added.
void LoadJobs(colCoalJobs& jobs, const std::vector<HistoryJob>& history);
// Empties `smoking` and adds each entry in the order given; failures as
// LoadJobs.
void LoadSmoking(colSmokeEntry& smoking, const std::vector<HistorySmoke>& history);
// Sets the model's ClaimantName, SolicitorRef, ZURIRRef, ClaimantExtraLabel
// (when given), ClaimantExtra and HeadingNote.
void ApplyIdentity(DustModel& model, const ClaimantIdentity& who);

}  // namespace orv::dust
