// The claimant database objects the program keeps for the whole run, and
// SetupDatabase, which opens them.
#include <filesystem>
#include <system_error>

#include "modDataEntry.h"
#include "modTarnbyDatabase.h"

namespace orv::tarnby {

db::DatabasePtr ClaimantDatabase;
db::QueryDefPtr qdclaimant;
db::QueryDefPtr qdWork;
db::QueryDefPtr qdJob;
db::QueryDefPtr qdSmoke;
db::QueryDefPtr qdSmokeEntry;
db::RecordsetPtr rsClaimant;
db::RecordsetPtr rsWork;
db::RecordsetPtr rsJob;
db::RecordsetPtr rsSmoke;
db::RecordsetPtr rsSmokeEntry;
std::string SearchName;
std::string SearchRef;
std::string SearchZurir;

namespace {

// Shared for work, with the check of constant cost; exclusive only to
// upgrade the structure, which rewrites the file: then the whole file is
// checked first.
db::DatabasePtr Open(const std::string& path, bool exclusive) {
  db::OpenOptions options;
  options.exclusive = exclusive;
  if (exclusive) options.check = db::OpenCheck::WholeFile;
  return OpenClaimantDatabase(path, options);
}

// A query with one parameter set, and a dynaset opened on it.
void Prepare(db::QueryDefPtr& query, db::RecordsetPtr& records, const char* name,
             const char* parameter, const Value& value, std::string& step,
             const char* parameters_step, const char* records_step) {
  query = ClaimantDatabase->QueryDefs(name);
  step = parameters_step;
  query->SetParameter(parameter, value);
  step = records_step;
  records = query->OpenRecordset(db::RecordsetType::Dynaset);
}

constexpr const char* kUpdateFailed =
    "Failed to update the claimant database to the latest structure. You could try exiting "
    "program and re-entering";

}  // namespace

void CloseClaimantDatabase() {
  for (db::RecordsetPtr* rs : {&rsClaimant, &rsWork, &rsJob, &rsSmoke, &rsSmokeEntry}) {
    if (*rs) (*rs)->Close();
    rs->reset();
  }
  for (db::QueryDefPtr* q : {&qdclaimant, &qdWork, &qdJob, &qdSmoke, &qdSmokeEntry}) q->reset();
  if (ClaimantDatabase && ClaimantDatabase->IsOpen()) ClaimantDatabase->Close();
  ClaimantDatabase.reset();
}

bool SetupDatabase() {
  const std::string path = Settings.Database;
  const bool server = db::IsServerPath(path);
  std::error_code ec;
  if (!server && !std::filesystem::is_regular_file(path, ec)) {
    ShowProgramError("Cannot locate Claimant Data Database file " + path +
                         "\nUse menu Tools/Options to set the true location of the file",
                     false);
    return false;
  }
  CloseClaimantDatabase();
  std::string step;
  try {
    // A server is named by its database and host: a URI is never shown.
    step = server ? "Opening " + db::DisplayName(path) : "Opening database " + path;
    ClaimantDatabase = Open(path, false);
    UpdateConfirmed = false;
    if (UpdateDataBase(true, *ClaimantDatabase)) {
      // Closed first, so that the backup copies a closed file and the
      // exclusive open below is not refused by our own connection.
      CloseClaimantDatabase();
      if (!ConfirmDatabaseUpdate()) {
        ShowProgramError(kUpdateFailed, false);
        return false;
      }
      ClaimantDatabase = Open(path, true);
      if (!UpdateDataBase(false, *ClaimantDatabase)) {
        CloseClaimantDatabase();
        ShowProgramError(kUpdateFailed, false);
        return false;
      }
      CloseClaimantDatabase();
      ClaimantDatabase = Open(path, false);
    }

    step = "Setting claimant information query";
    qdclaimant = ClaimantDatabase->QueryDefs("qdclaimant");
    step = "Setting claimant work history query";
    qdWork = ClaimantDatabase->QueryDefs("qdWork");
    step = "Setting claimant job information query";
    qdJob = ClaimantDatabase->QueryDefs("qdJob");
    step = "Setting claimant smoking history query";
    qdSmoke = ClaimantDatabase->QueryDefs("qdSmoke");
    step = "Setting claimant smoking information query";
    qdSmokeEntry = ClaimantDatabase->QueryDefs("qdSmokeEntry");

    step = "Setting claimant information query initial parameters";
    qdclaimant->SetParameter("WHATNAME", Value("*"));
    qdclaimant->SetParameter("WHATREF", Value("*"));
    qdclaimant->SetParameter("WHATZURIR", Value("*"));
    SearchName.clear();
    SearchRef.clear();
    SearchZurir.clear();
    step = "Initialising claimant information records";
    rsClaimant = qdclaimant->OpenRecordset(db::RecordsetType::Dynaset);

    Prepare(qdWork, rsWork, "qdWork", "WHATCLAIMANTID", Value(0), step,
            "Setting claimant work history query initial parameters",
            "Initialising claimant work history records");
    Prepare(qdJob, rsJob, "qdJob", "WHATID", Value(0), step,
            "Setting claimant job information query initial parameters",
            "Initialising claimant job information records");
    Prepare(qdSmoke, rsSmoke, "qdSmoke", "WHATCLAIMANTID", Value(0), step,
            "Setting claimant smoking history query initial parameters",
            "Initialising claimant smoking history records");
    Prepare(qdSmokeEntry, rsSmokeEntry, "qdSmokeEntry", "WHATID", Value(0), step,
            "Setting claimant smoking information query initial parameters",
            "Initialising claimant smoking information records");
    return true;
  } catch (...) {
    ShowProgramError("An error occurred while: \n" + step, true);
    CloseClaimantDatabase();
    return false;
  }
}

}  // namespace orv::tarnby
