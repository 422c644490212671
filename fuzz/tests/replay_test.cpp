// Feeds every kept input of one fuzz target (its seed corpus and the inputs
// that once found a fault) to the target's entry point: a fault that comes
// back fails here, in every build, not only under the fuzzer.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "FuzzSupport.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size);

namespace {

// The suite is named after the target (TARNBY_FUZZ_SUITE), so that each
// target's replay has a test name of its own.
#define TARNBY_KEPT_INPUTS_TEST(suite) TEST(suite, EveryKeptInputRunsCleanly)

TARNBY_KEPT_INPUTS_TEST(TARNBY_FUZZ_SUITE) {
  std::vector<std::filesystem::path> files;
  for (const auto& entry : std::filesystem::directory_iterator(TARNBY_FUZZ_CORPUS))
    if (entry.is_regular_file()) files.push_back(entry.path());
  std::sort(files.begin(), files.end());
  ASSERT_FALSE(files.empty()) << "no kept inputs in " << TARNBY_FUZZ_CORPUS;
  for (const auto& file : files) {
    SCOPED_TRACE(file.string());
    std::ifstream in(file, std::ios::binary);
    std::ostringstream bytes;
    bytes << in.rdbuf();
    const std::string input = bytes.str();
    EXPECT_EQ(LLVMFuzzerTestOneInput(reinterpret_cast<const uint8_t*>(input.data()), input.size()),
              0);
    // A stored query that never ends: the run ended because the budget stopped it.
    if (file.filename().string().find("endless") != std::string::npos) {
      EXPECT_NE(orv::fuzz::BudgetStop().find("was stopped"), std::string::npos)
          << orv::fuzz::BudgetStop();
    }
  }
}

}  // namespace
