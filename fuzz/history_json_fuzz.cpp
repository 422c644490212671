// Fuzz target: the history file of tarnby-calc. Anything may come in; the
// only acceptable failure is an InputError naming the file.
#include <cstddef>
#include <cstdint>
#include <string>

#include "HistoryJson.h"
#include "InputError.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const std::string text(reinterpret_cast<const char*>(data), size);
  try {
    const orv::calcrun::HistoryFile h = orv::calcrun::ParseHistory(text, "history.json");
    // Every text read must be the file's own: touch them all.
    size_t total = h.claimant.Name.size() + h.claimant.Extra.size();
    for (const auto& j : h.jobs) total += j.PitName.size() + j.JobFactorCode.size();
    for (const auto& s : h.smoking) total += s.CategoryCode.size();
    if (total > size) __builtin_trap();
  } catch (const orv::InputError&) {
  }
  return 0;
}
