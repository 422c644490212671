// Expanding a database's matrix now, as the engine would on first open:
// the expansion library rewrites the matrix in place, then the file is
// compacted in place (the same step the engine takes after its expansion),
// its copy made in a private folder beside the file.
#include <filesystem>

#include "Dates.h"
#include "DustDataBuild.h"
#include "DustDataPassword.h"
#include "IMakeMatrix.h"
#include "Numbers.h"
#include "OrvError.h"
#include "Registry.h"
#include "SafeFiles.h"
#include "detail/Access.h"

namespace orv::dustdata {
namespace {

namespace fs = std::filesystem;
using detail::OpenDustData;
using detail::ReadParm;
using orv::InputError;

constexpr int32_t kExpansionFailed = 9999;

struct ExpansionYears {
  int16_t base_year;
  int16_t aa_start;
  int16_t aa_end;
  int16_t max_past_closure;
};

ExpansionYears ReadYears(const std::string& path) {
  auto db = OpenDustData(path, true);
  auto year = [&](const char* key) {
    const auto v = ReadParm(*db, key);
    if (!v) throw InputError(path, 0, key, "the model parameter is missing");
    try {
      return orv::ParseInt16(*v);
    } catch (const OrvError&) {
      throw InputError(path, 0, key, "\"" + *v + "\" is not a 16-bit whole number");
    }
  };
  ExpansionYears y{year("BaseYear"), year("AAvgStartYear"), year("AAvgEndYear"),
                   year("MaxYearsPastClosure")};
  db->Close();
  return y;
}

}  // namespace

void ExpandDatabase(const std::string& db_path) {
  const std::string path = fs::absolute(db_path).string();
  const ExpansionYears y = ReadYears(path);
  const int16_t def_end = orv::ToInt16(orv::CurrentYear() + 100);

  bool ok = false;
  {
    orv::ComponentPtr component = orv::CreateObject("OrvDustM.MakeMatrix");
    auto make_matrix = orv::As<orv::IMakeMatrix>(component);
    if (!make_matrix) {
      throw OrvError(err::kCantCreateObject, "ExpandDatabase",
                     "OrvDustM.MakeMatrix does not offer the matrix expansion interface");
    }
    ok = make_matrix->MakeMatrixPastClosure(path, orv::kDustDataPassword, y.base_year, def_end,
                                            y.aa_start, y.aa_end, y.max_past_closure);
  }
  if (!ok) {
    throw OrvError(kExpansionFailed, "ExpandDatabase",
                   "the matrix expansion reported failure; the database was not compacted");
  }
  const std::string side = orv::files::MakeSideFolder(path);
  std::error_code ignored;
  try {
    orv::db::CompactInPlace(path, side + "/compact.db", orv::DustDataConnect());
  } catch (...) {
    fs::remove_all(side, ignored);
    throw;
  }
  fs::remove_all(side, ignored);
}

}  // namespace orv::dustdata
