// tarnby-calc --verify: every stored result (or one claimant's) calculated
// again without storing and compared with what it was calculated from.
//
// A stored result stands when its fingerprint is the digest of the
// claimant's current histories, the dust data and engine versions are the
// ones running now, and the same inputs give the same figure. Otherwise
// its row gives the first reason, in this order:
//   "no fingerprint"     stored before structure level 21, or by a program
//                        that writes none;
//   "history changed"    the histories, factors or jurisdiction differ;
//   "dust data version"  calculated with another dust data version;
//   "engine version"     calculated with another engine version;
//   "figure differs"     the same inputs now give another figure (or none):
//                        a defect.
// Claimants without a stored result are counted, not listed.
#pragma once

#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <vector>

namespace orv::calcrun {

inline constexpr const char* kReasonNoFingerprint = "no fingerprint";
inline constexpr const char* kReasonHistoryChanged = "history changed";
inline constexpr const char* kReasonDustData = "dust data version";
inline constexpr const char* kReasonEngine = "engine version";
inline constexpr const char* kReasonFigure = "figure differs";

struct VerifyOptions {
  std::string dust_db;
  std::string claimant_db;
  std::optional<int32_t> claimant;  // none: every claimant
  int jobs = 0;                     // worker threads; 0: the number of processors
  std::function<void(int64_t done, int64_t total)> progress;
};

struct VerifyRow {
  int32_t id = 0;
  std::string reason;
  std::optional<float> stored;
  std::optional<float> now;  // none: the calculation refused or failed
  std::string message;       // the refusal or failure, if any
};

struct VerifySummary {
  int16_t level = 0;          // the claimant database's structure level
  int64_t claimants = 0;      // looked at
  int64_t without_result = 0; // nothing stored to verify
  int64_t standing = 0;       // stored results that stand
  std::vector<VerifyRow> rows;  // the others, in claimant order
  bool Defect() const;
};

// Reads the claimant database read-only (at any structure level; nothing is
// upgraded or written). An unknown --claimant raises OrvError 3021.
VerifySummary RunVerify(const VerifyOptions& options);

// The rows as CSV: ID, REASON, STORED, NOW.
std::string VerifyCsv(const VerifySummary& s);
// The same written to `path` (through a temporary file, renamed when complete).
void WriteVerifyCsv(const VerifySummary& s, const std::string& path);

}  // namespace orv::calcrun
