// Fuzz target: `tarnby-claimants import`, the claimant CSV folder that
// solicitors' offices send. The first byte of the input chooses the file;
// the rest replaces it in a copy of the sample claimant folder, which is
// imported into a fresh, empty claimant database. A refused import must be
// an InputError (or OrvError) and leave the database without any of the
// folder's rows; an accepted one must leave a database that exports.
#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <string>

#include "ClaimantsCsv.h"
#include "FuzzSupport.h"
#include "InputError.h"
#include "OrvError.h"
#include "modTarnbyDatabase.h"

namespace {

namespace fs = std::filesystem;

constexpr const char* kFiles[] = {"claimants.csv", "work_history.csv", "smoke_history.csv",
                                   "user_factors.csv"};

const fs::path& Work() {
  static const fs::path folder = [] {
    const fs::path p = orv::fuzz::ScratchFolder() / "claimants";
    fs::remove_all(p);
    fs::create_directories(p / "source");
    orv::tarnby::CreateClaimantDatabase((p / "EMPTY.db").string());
    return p;
  }();
  return folder;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size == 0) return 0;
  const fs::path& work = Work();
  const fs::path source = work / "source";
  const fs::path db = work / "TARNBY.db";
  fs::copy_file(work / "EMPTY.db", db, fs::copy_options::overwrite_existing);
  for (const char* f : kFiles)
    fs::copy_file(fs::path(TARNBY_CLAIMANT_SAMPLE) / f, source / f,
                  fs::copy_options::overwrite_existing);
  const char* chosen = kFiles[data[0] % std::size(kFiles)];
  orv::fuzz::WriteBytes(source / chosen, data + 1, size - 1);

  bool imported = false;
  try {
    (void)orv::claimants::ImportFolder(db.string(), source.string());
    imported = true;
  } catch (const orv::tools::InputError&) {
  } catch (const orv::OrvError&) {
  }
  static const auto empty_counts =
      orv::claimants::CheckDatabase((work / "EMPTY.db").string()).row_counts;
  const orv::claimants::CheckReport report = orv::claimants::CheckDatabase(db.string());
  if (!imported) {
    // Refused as a whole: not one row may have stayed.
    if (report.row_counts != empty_counts) __builtin_trap();
  } else {
    (void)orv::claimants::ExportFolder(db.string(), (work / "export").string());
  }
  return 0;
}
