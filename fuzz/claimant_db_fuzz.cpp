// Fuzz target: a damaged claimant database file. The input is written as
// the file, which is then checked and exported as `tarnby-claimants check`
// and `export` do, and opened for reading and asked for its structure level
// as the program does at start. Failures must come as InputError or
// OrvError; a stored query that never ends is stopped by the budget.
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

void RemoveSideFiles(const std::string& db) {
  std::error_code ec;
  for (const char* suffix : {"-journal", "-wal", "-shm"}) fs::remove(db + suffix, ec);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const std::string db = (orv::fuzz::ScratchFolder() / "TARNBY.db").string();
  RemoveSideFiles(db);
  orv::fuzz::WriteBytes(db, data, size);
  orv::fuzz::BudgetStop().clear();
  try {
    const orv::claimants::CheckReport report = orv::claimants::CheckDatabase(db);
    (void)orv::claimants::FormatCheckReport(report);
    for (const std::string& p : report.problems) orv::fuzz::NoteBudgetStop(p);
  } catch (const orv::OrvError& e) {
    orv::fuzz::NoteBudgetStop(e.Description());
  } catch (const orv::tools::InputError&) {
  }
  try {
    const orv::db::DatabasePtr d = orv::tarnby::OpenForReading(db);
    (void)orv::tarnby::StructureLevel(*d);
    d->Close();
  } catch (const orv::OrvError&) {
  }
  try {
    (void)orv::claimants::ExportFolder(db, (orv::fuzz::ScratchFolder() / "export").string());
  } catch (const orv::OrvError&) {
  } catch (const orv::tools::InputError&) {
  }
  RemoveSideFiles(db);
  return 0;
}
