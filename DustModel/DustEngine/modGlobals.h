// The engine's dust data connection and model parameters.
//
// One connection per host thread, shared by every engine object of that
// thread (jobs, smoking entries, the dust model, the lookup lists). It is
// absent until SetupDataDB runs on the thread and lives until the thread (or
// the library) ends. Every lookup that the calculation repeats per colliery
// and year re-runs a query prepared once per connection; none opens a new
// cursor.
//
// Failures of the connection are raised as orv::OrvError by RaiseDataError:
// the number plus the component error base (when positive), the step in hand
// as source ("SetupDataDB: Reading model parameters", "ReadParms: Error
// reading AvgYrPXR model parameter", "Creating PXR Matrix: Compacting PXR
// database", ...), and the description of the underlying failure.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

#include "ModelParameters.h"

namespace orv::dust {

// The oldest dust data version the engine accepts (the dust data contract's).
inline constexpr int16_t kRequiredDataVersion = orv::dustdata::kRequiredDataVersion;

// Error raised by engine objects created before the connection is ready.
inline constexpr int32_t kErrNotInitialised = 9100;
inline constexpr const char* kNotInitialisedText = "Dust model database not initialised";

// The model parameters, read once per connection by ReadParms. All start at
// 0, false or empty.
struct ModelParms {
  std::string Version;
  float AvgYrPXR = 0;
  float BordPillarTFac = 0;
  float AnnSmokeUnit = 0;
  float PctPrevCat1 = 0;
  float YearsAvgSmokeEquiv = 0;
  int32_t BordPillarID = 0;
  int16_t LimitationYear = 0;
  int16_t RespiratorYear = 0;
  float LimitYearVal = 0;
  float RespYearVal = 0;
  int16_t BaseYear = 0;
  int16_t AAvgStartYear = 0;
  int16_t AAvgEndYear = 0;
  int16_t RespEndYear = 0;
  float RespEndYearVal = 0;
  int32_t SmallMineJobID = 0;
  int32_t SmallMineRespID = 0;
  int32_t RespiratorWornRespID = 0;
  int16_t ScottishLimitationYear = 0;
  float ScottishLimitYearVal = 0;
  int16_t SurfaceData = 0;
  int16_t MatrixReady = 0;
  int16_t AreaAvgMode = 0;
  int16_t CheckJobRespSurface = 0;
  int16_t MaxYearsPastClosure = 0;
  bool LiabilitySplitEnhancements = false;  // false when the key is absent
};

// Starts or restarts the thread's connection on the dust data database file
// DBPath: opens it shared and read-only with the fixed password, prepares the
// stored queries, reads the model parameters, checks the version and expands
// (then compacts and reopens) the matrix when MatrixReady is 0.
// Returns true when the connection is ready (DataReady is then true); false
// only when the matrix expansion reported failure (DataReady unchanged).
// Every other failure is raised: a missing file as 53 + base with the
// description "File not found - " + DBPath and source "SetupDataDB: ".
[[nodiscard]] bool SetupDataDB(const std::string& DBPath);

// Reads every model parameter of the open connection. True on success;
// a missing key (except LiabilitySplitEnhancements) raises 9999 + base, a
// version below kRequiredDataVersion raises 1234 + base.
bool ReadParms();

// Expands the matrix when MatrixReady is 0 through "OrvDustM.MakeMatrix",
// then compacts the file and reopens the connection. True unless the
// expansion reported failure. Not enough disk space or ten taken temporary
// names show a warning box and skip the compaction (still true).
[[nodiscard]] bool CheckPXRMatrix();

// True once SetupDataDB has succeeded on this thread; never turns back.
bool DataReady();

// The model parameters of the thread's connection.
const ModelParms& Parms();
// First and last year of the dust matrix range: BaseYear, and the calendar
// year at the time the parameters were read plus 100.
int16_t DefStartYear();
int16_t DefEndYear();

// Full file name of the open dust data database (empty when none is open).
std::string DataDBName();

// The years in which a colliery was open; DefStartYear/DefEndYear stand in
// for a missing row and for null or 0 years. Always true; failures raise
// with the source "Retrieving colliery open range, colliery <id>".
bool GetOpenRange(int32_t CollieryID, int16_t& StartYear, int16_t& EndYear);

// The liability split type of a colliery (its own, else its coal area's,
// else 0) and the matching description (empty with 0). Failures raise with
// the source "Retrieving data about need for liability split, colliery <id>".
int16_t GetLiabilitySplitType(int32_t CollieryID, std::string& Descr);

// The dust matrix entry of one colliery in one year. Found: true, Marker the
// entry's marker (null gives "") and DustVal its value. Not found: false,
// Marker "NO ENTRY" and DustVal 0. Re-runs the prepared cursor; database
// failures are raised as they come.
[[nodiscard]] bool LookupDust(int32_t CollieryID, int16_t Year, std::string& Marker,
                              float& DustVal);

// The tortious dust percentage of one colliery, year and surface flag
// ("Y"/"N"). Found: true and TortiousVal; not found: false and 0.
[[nodiscard]] bool LookupTortious(int32_t CollieryID, int16_t Year, const std::string& Surface,
                                  float& TortiousVal);

// Whether the lookups of every thread's connection remember their answers
// (on unless switched off): each stored query runs once per distinct set of
// parameters while the connection stays on the same file, and its answer is
// kept for the next time. Switched off, every lookup runs its query, as for
// comparisons and benchmarks. Answers kept meanwhile stay valid.
void SetRememberLookups(bool on);
bool RemembersLookups();
// The answers the thread's connection keeps now, all lookups together.
size_t RememberedLookups();

// Raises the failure in hand again as the connection passes failures on:
// number ErrNum plus the component error base when ErrNum > 0 (else
// unchanged), source Context, the failure's own description. Call only from
// a catch block.
[[noreturn]] void RaiseDataError(int32_t ErrNum, const std::string& Context);

// Raises kErrNotInitialised with kNotInitialisedText and the given source
// unless DataReady() is true.
void RequireDataReady(const std::string& source);

// For tests: replaces the free disk space probe used before compaction
// (nullptr restores the file system's own answer).
using FreeSpaceProbe = uintmax_t (*)(const std::string& folder);
void SetFreeSpaceProbe(FreeSpaceProbe probe);

}  // namespace orv::dust
