// Library-internal: the answers of the dust data lookups, remembered for as
// long as the thread's connection stays on the same file.
//
// The dust data a connection reads never changes under it (the file is
// opened read-only; a new version arrives as a new file), and a bulk run
// asks the same few thousand colliery-years again and again. So each lookup
// keeps the answer of its stored query for each distinct set of parameters:
// found or not found, with the fields the engine reads. A miss runs the
// file's own stored query with the same parameters, so a file whose stored
// queries differ still gets its own answers. Failures are not remembered.
//
// The memory belongs to the connection state: assigning the dust data
// database again starts with none, and the matrix expansion and compaction
// clear it (ClearLookupMemory).
//
// Bounded: each lookup keeps at most kMaxRemembered answers and starts
// afresh when full. The national sample (450 collieries, 770,000 claimants)
// needs about 32,000 answers in all, about 5 MB (see bench/bulk/README.md).
#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <unordered_map>
#include <utility>

#include "DataLookups.h"

namespace orv::dust::detail {

inline constexpr size_t kMaxRemembered = size_t{1} << 18;

// Whether lookups are remembered now (the process-wide switch of
// SetRememberLookups).
bool RememberingLookups();

// The answers of one stored query, by its parameters.
template <class Key, class Answer, class Hash = std::hash<Key>>
class Remembered {
 public:
  // The remembered answer, or what `ask` answers (then remembered while
  // the switch is on). `ask` is the stored query; what it raises passes on
  // and nothing is remembered. The reference holds until the next Recall.
  template <class Ask>
  const Answer& Recall(const Key& key, Ask&& ask) {
    if (!RememberingLookups()) {
      last_ = ask();
      return last_;
    }
    if (auto it = answers_.find(key); it != answers_.end()) return it->second;
    Answer answer = ask();
    if (answers_.size() >= kMaxRemembered) answers_.clear();
    return answers_.emplace(key, std::move(answer)).first->second;
  }
  void Clear() { answers_.clear(); }
  size_t Size() const { return answers_.size(); }

 private:
  std::unordered_map<Key, Answer, Hash> answers_;
  Answer last_{};
};

// A colliery and year as one key.
inline uint64_t CollieryYear(int32_t colliery, int16_t year) {
  return (uint64_t{static_cast<uint32_t>(colliery)} << 16) | static_cast<uint16_t>(year);
}

struct TortiousKey {
  uint64_t colliery_year = 0;
  std::string surface;
  bool operator==(const TortiousKey&) const = default;
};
struct TortiousKeyHash {
  size_t operator()(const TortiousKey& k) const {
    return std::hash<uint64_t>{}(k.colliery_year) ^ (std::hash<std::string>{}(k.surface) << 1);
  }
};

struct DustAnswer {
  bool found = false;
  float value = 0;
  std::string marker;
};
struct TortiousAnswer {
  bool found = false;
  float value = 0;
};
struct SplitAnswer {
  int16_t type = 0;
  std::string descr;
};
struct OpenRangeAnswer {
  int16_t start = 0;
  int16_t end = 0;
};

struct LookupMemory {
  Remembered<uint64_t, DustAnswer> dust;
  Remembered<TortiousKey, TortiousAnswer, TortiousKeyHash> tortious;
  Remembered<int32_t, SplitAnswer> split;
  Remembered<int32_t, OpenRangeAnswer> open_range;
  Remembered<int32_t, std::optional<CollieryRow>> colliery;
  Remembered<int32_t, std::optional<JobFactorRow>> job_factor;
  Remembered<std::string, std::optional<JobFactorRow>> job_factor_by_code;
  Remembered<int32_t, std::optional<RespFactorRow>> resp_factor;
  Remembered<int32_t, std::optional<SmokeFactorRow>> smoke_factor;
  Remembered<std::string, std::optional<SmokeFactorRow>> smoke_factor_by_code;

  void Clear() { *this = LookupMemory{}; }
  // Answers kept, all lookups together.
  size_t Size() const {
    return dust.Size() + tortious.Size() + split.Size() + open_range.Size() + colliery.Size() +
           job_factor.Size() + job_factor_by_code.Size() + resp_factor.Size() +
           smoke_factor.Size() + smoke_factor_by_code.Size();
  }
};

}  // namespace orv::dust::detail
