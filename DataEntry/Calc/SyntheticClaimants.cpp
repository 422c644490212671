// The synthetic claimant generator: a seeded walk through invented careers
// against the collieries and factors of a dust data database.
#include "SyntheticClaimants.h"

#include <algorithm>
#include <array>
#include <string>
#include <vector>

#include "Database.h"
#include "DustDataPassword.h"
#include "OrvError.h"
#include "UserFactorFields.h"

namespace orv::claimcalc {

namespace {

using orv::db::RecordsetType;

// splitmix64: small, fast, and the same on every platform, so a seed gives
// the same database everywhere.
class Random {
 public:
  explicit Random(uint64_t seed) : state_(seed) {}
  uint64_t Next() {
    uint64_t z = (state_ += 0x9E3779B97F4A7C15ull);
    z = (z ^ (z >> 30)) * 0xBF58476D1CE4E5B9ull;
    z = (z ^ (z >> 27)) * 0x94D049BB133111EBull;
    return z ^ (z >> 31);
  }
  // A whole number from lo to hi, both included.
  int Between(int lo, int hi) {
    return lo + static_cast<int>(Next() % static_cast<uint64_t>(hi - lo + 1));
  }
  // True with the given chance in a hundred.
  bool Percent(int chance) { return Between(1, 100) <= chance; }
  template <typename T>
  const T& Pick(const std::vector<T>& from) {
    return from[static_cast<size_t>(Between(0, static_cast<int>(from.size()) - 1))];
  }

 private:
  uint64_t state_;
};

struct Pit {
  int32_t id;
  int32_t area;
  int open_from;
  int open_to;
};

// What the generator takes from the dust data.
struct DustChoices {
  int first_year = 1947;
  int last_year = 1994;  // the last year of the area averages: the matrix's end
  std::vector<Pit> pits;                    // listed collieries of normal areas
  std::vector<std::pair<int32_t, int32_t>> area_averages;  // area, colliery
  std::vector<Pit> small_mines;             // collieries of the small mines' area
  int32_t small_mine_job = 0;
  int32_t small_mine_resp = 0;
  int32_t resp_worn = 0;
  std::vector<int32_t> underground_jobs;
  std::vector<int32_t> surface_jobs;
  int32_t no_respirator = 0;      // underground, factor 0
  int32_t surface_respirator = 0;  // the surface flag set
  std::vector<int32_t> respirators;  // underground with a factor
  std::vector<int32_t> smoke_categories;  // with a factor above 0
};

int YearOr(const Value& v, int fallback) {
  return v.IsNull() || v.AsInt32() == 0 ? fallback : v.AsInt32();
}

std::string Parm(orv::db::Database& d, const char* key) {
  const auto r = d.OpenRecordset("SELECT PARMVALUE FROM PARMS WHERE PARM = ?",
                                 RecordsetType::Snapshot, {Value(key)});
  return r->IsEOF() ? std::string() : r->Field(0).TextOrEmpty();
}

DustChoices ReadDustChoices(const std::string& dust_db) {
  orv::db::OpenOptions o;
  o.read_only = true;
  o.connect = orv::DustDataConnect();
  const orv::db::DatabasePtr d = orv::db::OpenDatabase(dust_db, o);
  DustChoices c;
  c.first_year = std::stoi(Parm(*d, "BaseYear"));
  c.last_year = std::stoi(Parm(*d, "AAvgEndYear"));
  c.small_mine_job = std::stoi(Parm(*d, "SmallMineJobID"));
  c.small_mine_resp = std::stoi(Parm(*d, "SmallMineRespID"));
  c.resp_worn = std::stoi(Parm(*d, "RespiratorWornRespID"));

  for (auto r = d->OpenRecordset(
           "SELECT ID, AVERAGE_COLLIERYID, AREATYPE, SPLITTYPE FROM COALAREAS ORDER BY ID",
           RecordsetType::Snapshot);
       !r->IsEOF(); r->MoveNext()) {
    const int32_t area = r->Field("ID").AsInt32();
    const Value avg = r->Field("AVERAGE_COLLIERYID");
    if (avg.IsNull() || avg.AsInt32() == 0) continue;
    if (r->Field("SPLITTYPE").IsNull() && r->Field("AREATYPE").TextOrEmpty() == "NORMAL")
      c.area_averages.emplace_back(area, avg.AsInt32());
  }
  // Collieries with open years of their own (those worked as part of
  // another colliery have none and no dust values of their own).
  for (auto r = d->OpenRecordset(
           "SELECT C.ID, C.COALAREAID, C.OPENSTARTYEAR, C.OPENENDYEAR, A.SPLITTYPE "
           "FROM COLLIERIES C JOIN COALAREAS A ON A.ID = C.COALAREAID "
           "WHERE A.AREATYPE = 'NORMAL' AND C.ID <> A.AVERAGE_COLLIERYID "
           "AND C.OPENSTARTYEAR IS NOT NULL ORDER BY C.ID",
           RecordsetType::Snapshot);
       !r->IsEOF(); r->MoveNext()) {
    const Pit p{r->Field(0).AsInt32(), r->Field(1).AsInt32(), YearOr(r->Field(2), c.first_year),
                YearOr(r->Field(3), c.last_year)};
    (r->Field(4).IsNull() ? c.pits : c.small_mines).push_back(p);
  }
  for (auto r = d->OpenRecordset("SELECT ID, CODE, FACTOR, SURFACE FROM JOBFACTORS ORDER BY ID",
                                 RecordsetType::Snapshot);
       !r->IsEOF(); r->MoveNext()) {
    const int32_t id = r->Field(0).AsInt32();
    if (id == c.small_mine_job || r->Field(2).AsSingle() <= 0) continue;
    const std::string code = r->Field(1).TextOrEmpty();
    if (code == "ND" || code == "BP") continue;  // kept for special cases
    (r->Field(3).AsBool() ? c.surface_jobs : c.underground_jobs).push_back(id);
  }
  for (auto r = d->OpenRecordset("SELECT ID, FACTOR, SURFACE FROM RESPFACTORS ORDER BY ID",
                                 RecordsetType::Snapshot);
       !r->IsEOF(); r->MoveNext()) {
    const int32_t id = r->Field(0).AsInt32();
    if (r->Field(2).AsBool()) {
      if (c.surface_respirator == 0) c.surface_respirator = id;
    } else if (r->Field(1).AsSingle() > 0) {
      c.respirators.push_back(id);
    } else if (c.no_respirator == 0) {
      c.no_respirator = id;
    }
  }
  for (auto r = d->OpenRecordset("SELECT ID FROM SMOKEFACTORS WHERE FACTOR > 0 ORDER BY ID",
                                 RecordsetType::Snapshot);
       !r->IsEOF(); r->MoveNext())
    c.smoke_categories.push_back(r->Field(0).AsInt32());
  if (c.pits.empty() || c.underground_jobs.empty() || c.surface_jobs.empty() ||
      c.smoke_categories.empty())
    throw OrvError(5, "GenerateClaimants", "The dust data has too few collieries or factors");
  return c;
}

constexpr std::array kSurnames = {"Harker",  "Bramley", "Ostle",   "Pellow",  "Tunstall",
                                  "Garside", "Fenwick", "Lowther", "Rudd",    "Ashworth",
                                  "Hebblen", "Carrick", "Maddern", "Thwaite", "Scorer"};
constexpr std::array kFirstNames = {"Walter", "Albert", "Ernest", "Harold", "Stanley",
                                    "Dennis", "Ronald", "Kenneth", "George", "Thomas"};
constexpr std::array kStreets = {"Pit Row", "Lamplight Terrace", "Headstock Lane", "Winding Way",
                                 "Shaft Road"};
constexpr std::array kTowns = {"Arnmoor", "Brisvale", "Corrowfield", "Dunmarch", "Elsforth"};
constexpr std::array kPitNames = {"Brackenhole Drift", "Owlet Level", "Sough End", "Nab Wood"};

template <typename A>
const char* Any(Random& rnd, const A& a) {
  return a[static_cast<size_t>(rnd.Between(0, static_cast<int>(a.size()) - 1))];
}

struct JobRow {
  int32_t colliery = 0;
  int32_t job = 0;
  int32_t resp = 0;
  int start = 0;
  int end = 0;
  std::string pit;
};

// A respirator for an underground job starting in `year`.
int32_t Respirator(Random& rnd, const DustChoices& c, int year) {
  if (year < 1970 || c.respirators.empty() || !rnd.Percent(40)) return c.no_respirator;
  return rnd.Percent(50) && c.resp_worn ? c.resp_worn : rnd.Pick(c.respirators);
}

std::vector<JobRow> Career(Random& rnd, const DustChoices& c, int start, int years,
                           int32_t user_factors) {
  std::vector<JobRow> jobs;
  const int32_t area = rnd.Pick(c.pits).area;
  std::vector<Pit> home;
  for (const Pit& p : c.pits)
    if (p.area == area) home.push_back(p);
  const int last = start + years - 1;
  int year = start;
  const int surface_from = last - rnd.Between(0, 8);
  while (year <= last && jobs.size() < 6) {
    JobRow j{};
    j.start = year;
    j.end = std::min(last, year + rnd.Between(2, 15) - 1);
    std::vector<Pit> open;
    for (const Pit& p : home)
      if (p.open_from <= year && p.open_to >= year) open.push_back(p);
    std::vector<Pit> small;
    for (const Pit& p : c.small_mines)
      if (p.open_from <= year && p.open_to >= year) small.push_back(p);
    if (!small.empty() && rnd.Percent(3)) {  // a licensed small mine, named
      const Pit& p = rnd.Pick(small);
      j.colliery = p.id;
      j.end = std::min(j.end, p.open_to);
      j.job = c.small_mine_job;
      j.resp = c.small_mine_resp;
      j.pit = Any(rnd, kPitNames);
    } else if (open.empty() || rnd.Percent(5)) {  // a pit not listed: the area's average
      j.colliery = 0;
      for (const auto& [a, avg] : c.area_averages)
        if (a == area) j.colliery = avg;
      if (j.colliery == 0) break;
    } else {
      const Pit& p = rnd.Pick(open);
      j.colliery = p.id;
      j.end = std::min(j.end, p.open_to);
    }
    if (j.job == 0) {
      if (user_factors > 0 && rnd.Percent(2)) {
        j.job = j.resp = 10000 + rnd.Between(0, user_factors - 1);
      } else if (j.start >= surface_from) {
        j.job = rnd.Pick(c.surface_jobs);
        j.resp = c.surface_respirator;
      } else {
        j.job = rnd.Pick(c.underground_jobs);
        j.resp = Respirator(rnd, c, j.start);
      }
    }
    if (j.colliery == 0 || j.resp == 0) break;
    jobs.push_back(j);
    year = j.end + 1 + (rnd.Percent(10) ? rnd.Between(1, 2) : 0);
  }
  return jobs;
}

void AddUserFactors(orv::db::Database& d, int32_t count) {
  static const struct {
    const char* code;
    const char* descr;
    float job, dusty, resp;
  } kFactors[] = {{"BD", "Borehole driller", 0.7f, 0.6f, 20},
                  {"CF", "Conveyor fitter", 0.45f, 0.8f, 0},
                  {"SI", "Stone inspector", 0.6f, 0.5f, 25}};
  for (int32_t i = 0; i < count; ++i) {
    const auto& f = kFactors[i % 3];
    orv::dust::UserFactor u;
    u.ID = orv::dust::kFirstUserFactorID + i;
    u.Code = f.code;
    u.Descr = std::string(f.descr) + " " + std::to_string(i + 1);
    u.JobFactor = f.job;
    u.DustyTimeFactor = f.dusty;
    u.RespFactor = f.resp;
    u.StartYear = 1975;
    u.EndYear = 1994;
    u.StartYearVal = 1.0f;
    u.EndYearVal = 0.5f;
    u.YearsPastClosure = static_cast<float>(i % 2);
    orv::tarnby::InsertUserFactor(d, u);
  }
}

}  // namespace

void GenerateClaimants(const std::string& claimants_db, const std::string& dust_db,
                       const SyntheticOptions& options,
                       const std::function<void(int64_t written)>& progress) {
  const DustChoices choices = ReadDustChoices(dust_db);
  const orv::db::DatabasePtr d = orv::db::OpenDatabase(claimants_db);
  Random rnd(options.seed);

  int32_t next_id = 1;
  {
    const auto r = d->OpenRecordset("SELECT MAX(ID) FROM CLAIMANT", RecordsetType::Snapshot);
    if (!r->Field(0).IsNull()) next_id = r->Field(0).AsInt32() + 1;
  }
  int32_t user_factors = 0;
  if (options.user_factors > 0) {
    const auto r = d->OpenRecordset("SELECT COUNT(*) FROM USERFACTOR", RecordsetType::Snapshot);
    if (r->Field(0).AsInt64() == 0) {
      d->BeginTrans();
      AddUserFactors(*d, options.user_factors);
      d->CommitTrans();
    }
    user_factors = options.user_factors;
  }

  int64_t written = 0;
  while (written < options.claimants) {
    const int64_t n = std::min<int64_t>(options.batch, options.claimants - written);
    d->BeginTrans();
    for (int64_t i = 0; i < n; ++i, ++next_id) {
      const int birth = rnd.Between(1922, 1962);
      const int start = std::max(choices.first_year, birth + rnd.Between(15, 18));
      const int years = std::min(rnd.Between(6, 40), choices.last_year - start + 1);
      const std::string n_text = std::to_string(next_id);
      d->Execute(
          "INSERT INTO CLAIMANT (ID, REF, ZURIRREF, SURNAME, FIRSTNAME, MIDDLENAMES, TITLE, ADD1, "
          "ADD2, COUNTY, POSTCODE, SEX, JURISDICTION) VALUES (?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?)",
          {Value(next_id), Value("S/" + n_text), Value("Z-" + n_text), Value(Any(rnd, kSurnames)),
           Value(Any(rnd, kFirstNames)),
           rnd.Percent(30) ? Value(Any(rnd, kFirstNames)) : Value(), Value("Mr"),
           Value(std::to_string(rnd.Between(1, 120)) + " " + Any(rnd, kStreets)),
           Value(Any(rnd, kTowns)), Value("Northshire"),
           Value("NS" + std::to_string(rnd.Between(1, 40)) + " 1AA"), Value("Male"),
           Value(rnd.Percent(8) ? 1 : 0)});
      for (const JobRow& j : Career(rnd, choices, start, years, user_factors)) {
        d->Execute(
            "INSERT INTO WORKHISTORY (CLAIMANTID, COLLIERYID, JOBFACTORID, RESPFACTORID, "
            "STARTYEAR, ENDYEAR, PITNAME) VALUES (?, ?, ?, ?, ?, ?, ?)",
            {Value(next_id), Value(j.colliery), Value(j.job), Value(j.resp), Value(j.start),
             Value(j.end), j.pit.empty() ? Value() : Value(j.pit)});
      }
      if (rnd.Percent(67)) {
        const int entries = rnd.Between(1, 2);
        int from = birth + rnd.Between(14, 20);
        for (int e = 0; e < entries; ++e) {
          const int to = from + rnd.Between(4, 25);
          const int32_t category = rnd.Pick(choices.smoke_categories);
          if (rnd.Percent(80))
            d->Execute(
                "INSERT INTO SMOKEHISTORY (CLAIMANTID, SMOKECATEGORYID, STARTYEAR, ENDYEAR, "
                "YEARS) VALUES (?, ?, ?, ?, 0)",
                {Value(next_id), Value(category), Value(from), Value(to)});
          else
            d->Execute(
                "INSERT INTO SMOKEHISTORY (CLAIMANTID, SMOKECATEGORYID, STARTYEAR, ENDYEAR, "
                "YEARS) VALUES (?, ?, 0, 0, ?)",
                {Value(next_id), Value(category), Value(to - from + 1)});
          from = to + 1;
        }
      }
    }
    d->CommitTrans();
    written += n;
    if (progress) progress(written);
  }
  d->Close();
}

}  // namespace orv::claimcalc
