// The history file of tarnby-calc: a claimant's identification, jobs and
// smoking entries as JSON, read into the plain values the engine's history
// loader takes.
#pragma once

#include <string>
#include <vector>

#include "HistoryLoader.h"

namespace orv::calcrun {

struct HistoryFile {
  orv::dust::ClaimantIdentity claimant;
  std::vector<orv::dust::HistoryJob> jobs;
  std::vector<orv::dust::HistorySmoke> smoking;
};

// More jobs, or more smoking entries, than any career has.
inline constexpr size_t kMaxHistoryEntries = 500;

// Reads and checks the file. Bad input (unreadable file, malformed JSON, an
// unknown field, a value of the wrong kind or out of range, a job without
// its years, a smoking entry without years, a text longer than the
// claimant database's field that keeps it or holding a NUL character, a
// span of years beyond 32767, more than kMaxHistoryEntries jobs or smoking
// entries) raises orv::InputError naming the file, the line (JSON syntax
// errors) and the field ("jobs[2].start_year", counted from 1).
HistoryFile ReadHistoryFile(const std::string& path);

// The same from text already read; `name` stands for the file in messages.
HistoryFile ParseHistory(const std::string& text, const std::string& name);

}  // namespace orv::calcrun
