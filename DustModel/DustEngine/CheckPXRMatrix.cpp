// Expanding a new dust data database's matrix, then compacting the rewritten
// file and reopening the connection on it.
#include <filesystem>
#include <string>
#include <system_error>

#include "DustDataPassword.h"
#include "IMakeMatrix.h"
#include "MessageBox.h"
#include "OrvError.h"
#include "Registry.h"
#include "detail/Connection.h"
#include "modGlobals.h"

namespace orv::dust {

namespace {

namespace fs = std::filesystem;

constexpr const char* kExpansionClass = "OrvDustM.MakeMatrix";
constexpr int kMaxCompactCopies = 10;

FreeSpaceProbe g_free_space_probe = nullptr;

uintmax_t FreeSpace(const fs::path& folder) {
  if (g_free_space_probe) return g_free_space_probe(folder.string());
  std::error_code ec;
  const fs::space_info info = fs::space(folder, ec);
  // Unknown free space does not stop the compaction; the compaction itself
  // fails clearly if the disk is full.
  return ec ? UINTMAX_MAX : info.available;
}

[[noreturn]] void RaiseFileError(const std::string& what, const std::error_code& ec) {
  throw OrvError(err::kFileAccess, {},
                 StandardErrorText(err::kFileAccess) + " - " + what + ": " + ec.message());
}

// Runs the expansion on the open database; its answer (a failure raises).
bool RunExpansion() {
  const ComponentPtr obj = CreateObject(kExpansionClass);
  const auto make = As<IMakeMatrix>(obj);
  if (!make) RaiseStandard(err::kNoSuchMember);
  const detail::ConnectionState& c = detail::Conn();
  return make->MakeMatrixPastClosure(c.database->Name(), kDustDataPassword, c.def_start_year,
                                     c.def_end_year, c.parms.AAvgStartYear, c.parms.AAvgEndYear,
                                     c.parms.MaxYearsPastClosure);
}

// The compaction and reopening after a successful expansion, recording each
// step's text in `step`.
bool CompactAndReopen(std::string& step) {
  step = "Saving database name";
  const std::string full_name = detail::Conn().database->Name();

  step = "Creating file system object";
  step = "Creating reference to PXR database";
  const fs::path file(full_name);
  std::error_code ec;
  const uintmax_t size = fs::file_size(file, ec);
  if (ec) RaiseFileError(full_name, ec);

  step = "Checking disk space for Compact";
  if (FreeSpace(file.parent_path()) < size) {
    MsgBox("Unable to compact the PXR data database as there is not enough disk space",
           mb::kInformation, "Warning");
    return true;
  }

  step = "Getting temporary name for compact";
  const std::string own_name = file.filename().string();
  fs::path temp_name;
  for (int n = 1; n <= kMaxCompactCopies && temp_name.empty(); ++n) {
    const fs::path candidate = file.parent_path() / (own_name + std::to_string(n));
    if (!fs::exists(candidate, ec)) temp_name = candidate;
  }
  if (temp_name.empty()) {
    MsgBox(
        "Unable to compact the PXR data database as there are too many copies of the "
        "PXR database " +
            full_name,
        mb::kInformation, "Warning");
    return true;
  }

  step = "Closing PXR database for compact";
  detail::CloseConnection();

  // Compacted under the free name, then renamed over the file in one step:
  // a program stopped half way leaves the expanded file or the compacted one.
  step = "Compacting PXR database";
  db::CompactInPlace(full_name, temp_name.string(), DustDataConnect());

  step = "Reopening PXR database";
  detail::ThreadState& st = detail::State();
  st.reopening_after_expansion = true;
  try {
    const bool ready = SetupDataDB(full_name);
    st.reopening_after_expansion = false;
    return ready;
  } catch (...) {
    st.reopening_after_expansion = false;
    throw;
  }
}

}  // namespace

void SetFreeSpaceProbe(FreeSpaceProbe probe) { g_free_space_probe = probe; }

bool CheckPXRMatrix() {
  if (detail::Conn().parms.MatrixReady != 0) return true;
  std::string step;
  try {
    // An expansion that answered true but left MatrixReady at 0 would be
    // started again on every reopen, without end: stop with a clear error.
    if (detail::State().reopening_after_expansion) {
      step = "Checking expanded matrix";
      throw OrvError(err::kInvalidCall, {},
                     "The matrix expansion finished but the dust data database still has "
                     "MatrixReady 0");
    }
    step = "Loading matrix expansion module";
    if (!RunExpansion()) return false;
    detail::ClearLookupMemory();  // the expansion rewrote the file
    return CompactAndReopen(step);
  } catch (...) {
    RaiseDataError(CurrentError().Number(), "Creating PXR Matrix: " + step);
  }
}

}  // namespace orv::dust
