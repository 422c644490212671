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
// needs about 32,000 answers in all, about 4 MB (see bench/bulk/README.md).
#pragma once

#include <bit>
#include <cstddef>
#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <unordered_map>
#include <utility>
#include <vector>

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

// The answers of one stored query asked by colliery and year, the lookups a
// calculation makes for every year of every job. They sit in one
// open-addressed array: a recall is a probe or two into contiguous memory,
// where a node-based map followed a pointer or two, each a likely cache
// miss, for each of a bulk run's millions of lookups.
template <class Answer>
class RememberedByYear {
 public:
  // As Remembered::Recall.
  template <class Ask>
  const Answer& Recall(uint64_t key, Ask&& ask) {
    if (!RememberingLookups()) {
      last_ = ask();
      return last_;
    }
    if (size_ > 0) {
      for (size_t i = Home(key);; i = Next(i)) {
        const Slot& slot = slots_[i];
        if (!slot.used) break;
        if (slot.key == key) return slot.answer;
      }
    }
    Answer answer = ask();
    if (size_ >= kMaxRemembered) Clear();
    if ((size_ + 1) * 2 > slots_.size()) Grow();
    size_t i = Home(key);
    while (slots_[i].used) i = Next(i);
    slots_[i] = Slot{key, true, std::move(answer)};
    ++size_;
    return slots_[i].answer;
  }
  void Clear() {
    slots_ = {};
    size_ = 0;
  }
  size_t Size() const { return size_; }

 private:
  struct Slot {
    uint64_t key = 0;
    bool used = false;
    Answer answer{};
  };
  // Fibonacci hashing: the top bits of the key times 2^64 / phi (as many
  // as the table's size, a power of two, has), so that neighbouring years of
  // one colliery spread over the table.
  size_t Home(uint64_t key) const {
    return static_cast<size_t>((key * 0x9E3779B97F4A7C15ull) >>
                               (64 - std::countr_zero(slots_.size())));
  }
  size_t Next(size_t i) const { return (i + 1) & (slots_.size() - 1); }
  void Grow() {
    std::vector<Slot> old = std::move(slots_);
    const size_t capacity = old.empty() ? 64 : old.size() * 2;
    slots_.assign(capacity, Slot{});
    for (Slot& slot : old) {
      if (!slot.used) continue;
      size_t i = Home(slot.key);
      while (slots_[i].used) i = Next(i);
      slots_[i] = std::move(slot);
    }
  }

  std::vector<Slot> slots_;  // empty, or a power of two of them
  size_t size_ = 0;
  Answer last_{};
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

// The tortious lookup's answers: by the job's surface text (a handful of
// distinct texts), then by colliery and year. All surfaces together keep at
// most kMaxRemembered answers and start afresh when full.
class RememberedTortious {
 public:
  template <class Ask>
  const TortiousAnswer& Recall(uint64_t colliery_year, const std::string& surface, Ask&& ask) {
    if (!RememberingLookups()) {
      last_ = ask();
      return last_;
    }
    if (size_ >= kMaxRemembered) Clear();
    BySurface* memory = nullptr;
    for (BySurface& m : by_surface_) {
      if (m.surface == surface) {
        memory = &m;
        break;
      }
    }
    if (!memory) {
      if (by_surface_.size() >= kMaxSurfaces) Clear();
      memory = &by_surface_.emplace_back(BySurface{surface, {}});
    }
    const size_t before = memory->answers.Size();
    const TortiousAnswer& answer = memory->answers.Recall(colliery_year, std::forward<Ask>(ask));
    size_ += memory->answers.Size() - before;
    return answer;
  }
  void Clear() {
    by_surface_.clear();
    size_ = 0;
  }
  size_t Size() const { return size_; }

 private:
  static constexpr size_t kMaxSurfaces = 64;
  struct BySurface {
    std::string surface;
    RememberedByYear<TortiousAnswer> answers;
  };
  std::vector<BySurface> by_surface_;
  size_t size_ = 0;
  TortiousAnswer last_{};
};

struct LookupMemory {
  RememberedByYear<DustAnswer> dust;
  RememberedTortious tortious;
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
