// Reading stored claimants: the claimant row, the work history through
// qdWork, the smoking history through qdSmoke, and the user-defined factors
// the work history names.
#include <algorithm>
#include <string_view>
#include <tuple>
#include <type_traits>

#include "ChangeHistory.h"
#include "ClaimantCalc.h"
#include "Text.h"
#include "UserFactorFields.h"
#include "modDataEntry.h"

namespace orv::claimcalc {

namespace {

using orv::Value;
using orv::db::RecordsetType;

constexpr const char* kSource = "ClaimantSource";

// The claimant fields a calculation reads.
constexpr const char* kClaimantFields =
    "SELECT ID, TITLE, FIRSTNAME, MIDDLENAMES, SURNAME, REF, ZURIRREF, ADD1, ADD2, ADD3, ADD4, "
    "COUNTY, POSTCODE, JURISDICTION, RECOVERABLEQUANTUM, CALCDATE, ENGINEVERSION, "
    "DUSTDATAVERSION";

// A stored number of the current row, null read as 0. A value that does not
// convert (text written by another program, a number out of range) fails
// naming its field.
template <typename T, typename Convert>
T NumberOr0(const orv::db::Recordset& r, const char* field, Convert convert) {
  const Value v = r.Field(field);
  if (v.IsNull()) return T{};
  try {
    return convert(v);
  } catch (const OrvError& e) {
    throw OrvError(e.Number(), field, e.Description());
  }
}
int32_t Int32Or0(const orv::db::Recordset& r, const char* field) {
  return NumberOr0<int32_t>(r, field, [](const Value& v) { return v.AsInt32(); });
}
int16_t Int16Or0(const orv::db::Recordset& r, const char* field) {
  return NumberOr0<int16_t>(r, field, [](const Value& v) { return v.AsInt16(); });
}
float SingleOr0(const orv::db::Recordset& r, const char* field) {
  return NumberOr0<float>(r, field, [](const Value& v) { return v.AsSingle(); });
}

// Runs the history query `name` for one claimant: prepared and opened on
// first use, re-run with the new claimant afterwards.
void RunForClaimant(orv::db::Database& db, const char* name, int32_t claimantID,
                    orv::db::QueryDefPtr& def, orv::db::RecordsetPtr& rows) {
  if (!def) def = db.QueryDefs(name);
  def->SetParameter("WHATCLAIMANTID", claimantID);
  if (!rows)
    rows = def->OpenRecordset(RecordsetType::Snapshot);
  else
    rows->Requery(def.get());
}

}  // namespace

struct ClaimantSource::Prepared {
  orv::db::RecordsetPtr claimant;  // the claimant row, re-run with each ID
  orv::db::QueryDefPtr work_def;
  orv::db::RecordsetPtr work;
  orv::db::QueryDefPtr smoke_def;
  orv::db::RecordsetPtr smoke;
  std::optional<bool> has_user_factors;
  std::optional<bool> has_fingerprints;
};

ClaimantSource::ClaimantSource(orv::db::DatabasePtr claimants)
    : db_(std::move(claimants)), q_(std::make_unique<Prepared>()) {}

ClaimantSource::~ClaimantSource() = default;

WorkRow ReadWorkRow(const orv::db::Recordset& r) {
  WorkRow w;
  w.ID = Int32Or0(r, "ID");
  w.CollieryID = Int32Or0(r, "CollieryID");
  w.JobFactorID = Int32Or0(r, "JobFactorID");
  w.RespFactorID = Int32Or0(r, "RespFactorID");
  w.StartYear = Int16Or0(r, "StartYear");
  w.EndYear = Int16Or0(r, "EndYear");
  w.PitName = r.Field("PitName").TextOrEmpty();
  return w;
}

SmokeRow ReadSmokeRow(const orv::db::Recordset& r) {
  SmokeRow s;
  s.ID = Int32Or0(r, "ID");
  s.SmokeCategoryID = Int32Or0(r, "SmokeCategoryID");
  s.Years = Int32Or0(r, "Years");
  s.StartYear = Int16Or0(r, "StartYear");
  s.EndYear = Int16Or0(r, "EndYear");
  return s;
}

orv::dust::UserFactor ReadUserFactorRow(const orv::db::Recordset& r) {
  orv::dust::UserFactor u;
  orv::tarnby::ForEachUserFactorField(u, [&](const orv::tarnby::UserFactorField& f, auto& v) {
    using T = std::decay_t<decltype(v)>;
    if constexpr (std::is_same_v<T, std::string>) {
      v = r.Field(f.column).TextOrEmpty();
    } else if constexpr (std::is_same_v<T, int32_t>) {
      v = Int32Or0(r, f.column);
    } else if constexpr (std::is_same_v<T, int16_t>) {
      v = Int16Or0(r, f.column);
    } else {
      v = SingleOr0(r, f.column);
    }
  });
  return u;
}

bool WorkRow::operator==(const WorkRow& o) const {
  return user_factor == o.user_factor &&
         std::tie(ID, CollieryID, JobFactorID, RespFactorID, StartYear, EndYear, PitName) ==
         std::tie(o.ID, o.CollieryID, o.JobFactorID, o.RespFactorID, o.StartYear, o.EndYear,
                  o.PitName);
}

bool StoredClaimant::SameHistory(const StoredClaimant& other) const {
  return ID == other.ID && Jurisdiction == other.Jurisdiction && work == other.work &&
         smoking == other.smoking;
}

StoredClaimant ClaimantSource::Read(int32_t claimantID) {
  StoredClaimant c;
  {
    const bool fingerprints = HasFingerprints();
    orv::db::RecordsetPtr& r = q_->claimant;
    if (r) {
      r->RequeryWith({Value(claimantID)});
    } else {
      const std::string sql = std::string(kClaimantFields) +
                              (fingerprints ? ", CALCFINGERPRINT" : "") +
                              " FROM CLAIMANT WHERE ID = ?";
      r = db_->OpenRecordset(sql, RecordsetType::Snapshot, {Value(claimantID)});
    }
    if (r->IsEOF())
      throw OrvError(kErrNoSuchClaimant, kSource,
                     "No claimant with ID " + std::to_string(claimantID));
    const auto text = [&r](const char* f) { return r->Field(f).TextOrEmpty(); };
    c.ID = claimantID;
    c.Jurisdiction = Int32Or0(*r, "JURISDICTION");
    c.identity.Name = orv::tarnby::JoinWords(text("TITLE"), text("FIRSTNAME"), text("MIDDLENAMES"),
                                             text("SURNAME"));
    c.identity.SolicitorRef = text("REF");
    c.identity.ZURIRRef = text("ZURIRREF");
    c.identity.ExtraLabel = kAddressLabel;
    c.identity.Extra = orv::tarnby::JoinNonEmpty(
        ", ",
        {text("ADD1"), text("ADD2"), text("ADD3"), text("ADD4"), text("COUNTY"), text("POSTCODE")});
    const Value q = r->Field("RECOVERABLEQUANTUM");
    if (!q.IsNull()) c.stored_quantum = q.AsSingle();
    const Value when = r->Field("CALCDATE");
    if (!when.IsNull()) c.stored_calcdate = when.AsText();
    const auto optional_text = [&r](const char* f) -> std::optional<std::string> {
      const Value v = r->Field(f);
      if (v.IsNull() || v.AsText().empty()) return std::nullopt;
      return v.AsText();
    };
    c.stored_engine_version = optional_text("ENGINEVERSION");
    c.stored_dust_data_version = optional_text("DUSTDATAVERSION");
    if (fingerprints) c.stored_fingerprint = optional_text("CALCFINGERPRINT");
  }

  Prepared& p = *q_;
  RunForClaimant(*db_, "qdWork", claimantID, p.work_def, p.work);
  for (; !p.work->IsEOF(); p.work->MoveNext()) c.work.push_back(ReadWorkRow(*p.work));
  for (WorkRow& w : c.work) {
    if (w.JobFactorID < orv::dust::kFirstUserFactorID) continue;
    if (!p.has_user_factors) p.has_user_factors = db_->TableExists("USERFACTOR");
    if (!*p.has_user_factors) continue;
    static const std::string kUserFactorSql = orv::tarnby::UserFactorSelect() + " WHERE ID = ?";
    const orv::db::RecordsetPtr f =
        db_->OpenRecordset(kUserFactorSql, RecordsetType::Snapshot, {Value(w.JobFactorID)});
    if (f->IsEOF()) continue;
    w.user_factor = ReadUserFactorRow(*f);
  }

  RunForClaimant(*db_, "qdSmoke", claimantID, p.smoke_def, p.smoke);
  for (; !p.smoke->IsEOF(); p.smoke->MoveNext()) c.smoking.push_back(ReadSmokeRow(*p.smoke));
  return c;
}

std::vector<int32_t> ClaimantSource::NextIDs(int32_t after, int32_t limit) {
  std::vector<int32_t> ids;
  const orv::db::RecordsetPtr r =
      db_->OpenRecordset("SELECT ID FROM CLAIMANT WHERE ID > ? ORDER BY ID LIMIT ?",
                         RecordsetType::Snapshot, {Value(after), Value(limit)});
  for (; !r->IsEOF(); r->MoveNext()) ids.push_back(r->Field(0).AsInt32());
  return ids;
}

bool ClaimantSource::HasFingerprints() {
  if (!q_->has_fingerprints) {
    bool found = false;
    for (const orv::db::FieldDef& f : db_->Fields("CLAIMANT"))
      found = found || IEquals(f.name, "CALCFINGERPRINT");
    q_->has_fingerprints = found;
  }
  return *q_->has_fingerprints;
}

namespace {

int64_t Int64Of(orv::db::Database& db, const std::string& sql,
                const std::vector<Value>& values = {}) {
  const orv::db::RecordsetPtr r = db.OpenRecordset(sql, RecordsetType::Snapshot, values);
  return r->IsEOF() || r->Field(0).IsNull() ? 0 : r->Field(0).AsInt64();
}

}  // namespace

std::optional<ChangeMark> ClaimantSource::Mark() {
  if (db_->IsServer()) return std::nullopt;
  static const std::vector<std::string> triggers = orv::tarnby::ChangeHistoryTriggers(false);
  static const std::string names = [] {
    std::string list;
    for (const std::string& t : triggers) list += (list.empty() ? "'" : ", '") + t + "'";
    return list;
  }();
  // Every change to a tracked table leaves its records only while every
  // trigger is in place; one dropped (recording suspended) and put back
  // later changes the structure version, which ChangedSince compares.
  if (Int64Of(*db_, "SELECT COUNT(*) FROM sqlite_master WHERE type = 'trigger' AND name IN (" +
                        names + ")") != static_cast<int64_t>(triggers.size()))
    return std::nullopt;
  ChangeMark m;
  m.schema_version = Int64Of(*db_, "PRAGMA schema_version");
  m.last_record = Int64Of(*db_, std::string("SELECT MAX(ID) FROM ") + orv::tarnby::kChangeHistoryTable);
  return m;
}

std::optional<std::vector<int32_t>> ClaimantSource::ChangedSince(const ChangeMark& mark,
                                                                 int32_t first, int32_t last) {
  if (db_->IsServer()) return std::nullopt;
  if (Int64Of(*db_, "PRAGMA schema_version") != mark.schema_version) return std::nullopt;
  // Records are never deleted and are numbered upwards: a history that ends
  // before the mark was put in place of the one marked.
  const std::string table = orv::tarnby::kChangeHistoryTable;
  if (Int64Of(*db_, "SELECT MAX(ID) FROM " + table) < mark.last_record) return std::nullopt;
  // A record names the claimant a row belongs to after the change; a row
  // given another claimant or ID also changed what its former one reads.
  const orv::db::RecordsetPtr r = db_->OpenRecordset(
      "SELECT CLAIMANTID FROM " + table +
          " WHERE ID > ? AND (CLAIMANTID IS NULL OR CLAIMANTID BETWEEN ? AND ? OR "
          "(ACTION = 'update' AND FIELD IN ('ID', 'CLAIMANTID')))",
      RecordsetType::Snapshot, {Value(mark.last_record), Value(first), Value(last)});
  std::vector<int32_t> changed;
  for (; !r->IsEOF(); r->MoveNext()) {
    const Value id = r->Field(0);
    if (id.IsNull()) return std::nullopt;  // a user-defined factor
    const int64_t claimant = id.AsInt64();
    if (claimant < first || claimant > last) return std::nullopt;
    changed.push_back(static_cast<int32_t>(claimant));
  }
  std::sort(changed.begin(), changed.end());
  changed.erase(std::unique(changed.begin(), changed.end()), changed.end());
  return changed;
}

int64_t ClaimantSource::Count() {
  const orv::db::RecordsetPtr r =
      db_->OpenRecordset("SELECT COUNT(*) FROM CLAIMANT", RecordsetType::Snapshot);
  return r->Field(0).AsInt64();
}

}  // namespace orv::claimcalc
