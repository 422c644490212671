// Fuzz target: reading a dust data source folder (the reference data that
// other offices send as CSV files). The first byte of the input chooses the
// table; the rest replaces that table's file in a copy of the small test
// source folder, so that a sound input also gets through the reference and
// range checks. The only acceptable failures are InputError and OrvError.
#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>

#include "FuzzSupport.h"
#include "InputError.h"
#include "Load.h"
#include "OrvError.h"
#include "Tables.h"

namespace {

namespace fs = std::filesystem;

// The copy of the test source folder, made on first use.
const fs::path& SourceCopy() {
  static const fs::path folder = [] {
    const fs::path p = orv::fuzz::ScratchFolder() / "source";
    fs::create_directories(p);
    fs::copy(TARNBY_DUSTDATA_FIXTURE, p,
             fs::copy_options::recursive | fs::copy_options::overwrite_existing);
    return p;
  }();
  return folder;
}

std::string ReadAll(const fs::path& p) {
  std::ifstream in(p, std::ios::binary);
  std::ostringstream s;
  s << in.rdbuf();
  return s.str();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size == 0) return 0;
  const auto& tables = orv::dustdata::BaseTables();
  const orv::dustdata::Table& table = tables[data[0] % tables.size()];
  const fs::path file = SourceCopy() / table.file;
  const fs::path original = fs::path(TARNBY_DUSTDATA_FIXTURE) / table.file;
  orv::fuzz::WriteBytes(file, data + 1, size - 1);
  try {
    const auto loaded = orv::dustdata::LoadSource(SourceCopy().string(), {});
    for (const auto& t : loaded) {
      for (const auto& row : t.rows) {
        if (row.values.size() != t.table->columns.size()) __builtin_trap();
      }
    }
  } catch (const orv::tools::InputError&) {
  } catch (const orv::OrvError&) {
  }
  // Put the table's own file back (or remove it when the source leaves the
  // optional table out).
  std::error_code ec;
  if (fs::exists(original, ec)) {
    const std::string text = ReadAll(original);
    orv::fuzz::WriteBytes(file, reinterpret_cast<const uint8_t*>(text.data()), text.size());
  } else {
    fs::remove(file, ec);
  }
  return 0;
}
