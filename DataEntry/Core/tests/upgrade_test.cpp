// The claimant database's structure levels: creation, the upgrade level by
// level, the retyped fields, the cleared defaults, the base version checks
// and an upgrade that fails part-way.
#include <algorithm>
#include <vector>

#include "CoreTest.h"
#include "ErrorHandler.h"
#include "TestServer.h"

namespace orv::tarnby::testing {
namespace {

using db::FieldDef;
using db::FieldType;

// Run on a file and on the test server (the parameter: on the server).
class UpgradeTest : public CoreTest, public ::testing::WithParamInterface<bool> {
 protected:
  // A new claimant database at `level`: a file, or a new database of the
  // test server.
  db::DatabasePtr Create(int16_t level) {
    std::string path = PathOf("claims.db");
    if (GetParam()) {
      const auto* info = ::testing::UnitTest::GetInstance()->current_test_info();
      path = orv::testing::NewServerDatabase(std::string("u_") + info->name());
    } else {
      std::filesystem::remove(path);
    }
    CreateClaimantDatabase(path, level);
    return db::OpenDatabase(path);
  }

  static std::vector<std::string> FieldNames(db::Database& d, const char* table) {
    std::vector<std::string> names;
    for (const FieldDef& f : d.Fields(table)) names.push_back(f.name);
    return names;
  }

  static const FieldDef& FieldOf(const std::vector<FieldDef>& fields, const std::string& name) {
    for (const FieldDef& f : fields) {
      if (f.name == name) return f;
    }
    throw std::runtime_error("no field " + name);
  }

  static std::vector<Value> Column(db::Database& d, const std::string& sql) {
    std::vector<Value> out;
    auto rs = d.OpenRecordset(sql, db::RecordsetType::Snapshot);
    for (; !rs->IsEOF(); rs->MoveNext()) out.push_back(rs->Field(0));
    return out;
  }

  // Records the levels applied.
  std::vector<int16_t> applied_;
  void RecordLevels() {
    SetLevelAppliedHook([this](int16_t level) { applied_.push_back(level); });
  }
};

TEST_P(UpgradeTest, NewDatabaseAtLatestLevelHasEveryTableAndQuery) {
  auto d = Create(kLatestStructureLevel);
  EXPECT_EQ(StructureLevel(*d), kLatestStructureLevel);
  for (const char* t : {"PARMS", "CLAIMANT", "WORKHISTORY", "SMOKEHISTORY", "PENSIONDATA",
                        "PENSIONRESULTS", "USERFACTOR"}) {
    EXPECT_TRUE(d->TableExists(t)) << t;
  }
  for (const char* q : {"qdclaimant", "qdWork", "qdJob", "qdSmoke", "qdSmokeEntry", "qdPension",
                        "qdClaimantPension", "qdClaimantPension2", "qAppendPensionResults",
                        "qUpdatePensionResults"}) {
    EXPECT_TRUE(d->QueryExists(q)) << q;
  }
  const auto uf = d->Fields("USERFACTOR");
  EXPECT_FALSE(FieldOf(uf, "ID").auto_increment);
  EXPECT_TRUE(FieldOf(uf, "ID").required);
  EXPECT_EQ(uf.back().name, "YEARSPASTCLOSURE");
  EXPECT_FALSE(UpdateDataBase(true, *d));
  const auto pension = FieldNames(*d, "PENSIONDATA");
  EXPECT_EQ(std::count(pension.begin(), pension.end(), "FORCENOSTRIKE"), 0);
  EXPECT_EQ(pension.back(), "LEADJ");
}

TEST_P(UpgradeTest, LevelZeroNeedsUpdatingAndGoesThroughEveryLevelButThirteen) {
  auto d = Create(0);
  EXPECT_EQ(StructureLevel(*d), 0);
  EXPECT_FALSE(d->TableExists("PENSIONDATA"));
  EXPECT_TRUE(UpdateDataBase(true, *d));
  RecordLevels();
  EXPECT_EQ(ApplyStructureLevels(*d), kLatestStructureLevel);
  const std::vector<int16_t> expected = {1, 2, 3, 4, 5, 6, 7, 8, 9, 10,
                                         11, 12, 14, 15, 16, 17, 18, 19, 20, 21};
  EXPECT_EQ(applied_, expected);
}

TEST_P(UpgradeTest, LevelTwelveGoesStraightToFourteen) {
  auto d = Create(12);
  RecordLevels();
  EXPECT_EQ(ApplyStructureLevels(*d, 14), 14);
  EXPECT_EQ(applied_, std::vector<int16_t>{14});
  EXPECT_EQ(Column(*d, "SELECT Value FROM PARMS WHERE PARM='PCVERSION'").at(0).AsInt16(), 14);
}

// Databases as two older program versions left them, upgraded through the
// start-up's own path (one question, answered yes once the backup is taken):
// the missing levels in order, every claimant, history, pension row and
// user-defined factor kept.
TEST_P(UpgradeTest, LevelsThreeAndNineteenComeUpWithEveryRowKept) {
  struct Case {
    int16_t level;
    std::vector<int16_t> applied;
  };
  const Case cases[] = {
      {3, {4, 5, 6, 7, 8, 9, 10, 11, 12, 14, 15, 16, 17, 18, 19, 20, 21}},
      {19, {20, 21}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE("level " + std::to_string(c.level));
    auto d = Create(c.level);
    for (int i = 1; i <= 3; ++i) {
      d->Execute("INSERT INTO CLAIMANT (SURNAME, RECOVERABLEQUANTUM) VALUES (?, ?)",
                 {Value("Miner" + std::to_string(i)), Value(12.5f * static_cast<float>(i))});
      d->Execute("INSERT INTO WORKHISTORY (CLAIMANTID, COLLIERYID, STARTYEAR, ENDYEAR) "
                 "VALUES (?, 101, 1950, 1960)",
                 {Value(i)});
      d->Execute("INSERT INTO SMOKEHISTORY (CLAIMANTID, SMOKECATEGORYID, YEARS) VALUES (?, 2, 10)",
                 {Value(i)});
      d->Execute("INSERT INTO PENSIONDATA (CLAIMANTID, STRIKE, MARRIED, GRADE) VALUES (?, ?, ?, ?)",
                 {Value(i), Value(i % 2), Value(1), Value("G" + std::to_string(i))});
    }
    if (c.level >= 19) {
      d->Execute(
          "INSERT INTO USERFACTOR (ID, CODE, DESCR, JOBFACTOR) VALUES (10001, 'OW', 'Own', 0.5)");
    }
    RecordLevels();
    applied_.clear();
    UpdateConfirmed = true;  // asked and backed up already, as at start-up
    EXPECT_TRUE(UpdateDataBase(false, *d));
    EXPECT_EQ(applied_, c.applied);
    EXPECT_EQ(StructureLevel(*d), kLatestStructureLevel);
    EXPECT_FALSE(UpdateDataBase(true, *d));
    EXPECT_EQ(Column(*d, "SELECT SURNAME FROM CLAIMANT ORDER BY ID"),
              (std::vector<Value>{Value("Miner1"), Value("Miner2"), Value("Miner3")}));
    EXPECT_EQ(Column(*d, "SELECT RECOVERABLEQUANTUM FROM CLAIMANT WHERE ID=3").at(0).AsSingle(),
              37.5f);
    EXPECT_EQ(Column(*d, "SELECT COUNT(*) FROM WORKHISTORY WHERE COLLIERYID=101").at(0).AsInt32(),
              3);
    EXPECT_EQ(Column(*d, "SELECT SUM(YEARS) FROM SMOKEHISTORY").at(0).AsInt32(), 30);
    EXPECT_EQ(Column(*d, "SELECT SUM(STRIKE) FROM PENSIONDATA").at(0).AsInt32(), 2);
    EXPECT_EQ(Column(*d, "SELECT COUNT(*) FROM PENSIONDATA WHERE MARRIED=1").at(0).AsInt32(), 3);
    const auto user = Column(*d, "SELECT DESCR FROM USERFACTOR");
    EXPECT_EQ(user.size(), c.level >= 19 ? 1u : 0u);
    EXPECT_EQ(FieldNames(*d, "USERFACTOR").back(), "YEARSPASTCLOSURE");
    SetLevelAppliedHook(nullptr);
    d->Close();
  }
}

TEST_P(UpgradeTest, MarriedBecomesOneForTrueAndTwoForFalseAndSpouseAliveFollowsDeathDate) {
  auto d = Create(14);
  struct Row {
    Value married;
    Value spouse_death;
    Value want_married;
    Value want_alive;
  } rows[] = {
      {Value(1), Value(), Value(1), Value()},
      {Value(0), Value("1999-03-01 00:00:00"), Value(2), Value(2)},
      {Value(-1), Value(), Value(1), Value()},  // any non-zero value counts as True
      {Value(), Value("2001-01-01 00:00:00"), Value(), Value(2)},
  };
  for (const Row& r : rows) {
    d->Execute("INSERT INTO PENSIONDATA (CLAIMANTID, MARRIED, SPOUSEDEATHDATE) VALUES (7, ?, ?)",
               {r.married, r.spouse_death});
  }
  const auto before = FieldNames(*d, "PENSIONDATA");
  EXPECT_EQ(ApplyStructureLevels(*d, 15), 15);
  auto after = FieldNames(*d, "PENSIONDATA");
  ASSERT_EQ(after.back(), "SPOUSEALIVE");
  after.pop_back();
  EXPECT_EQ(after, before);  // MARRIED keeps its place, OLDMARRIED is gone
  EXPECT_EQ(FieldOf(d->Fields("PENSIONDATA"), "MARRIED").type, FieldType::Integer);
  const auto married = Column(*d, "SELECT MARRIED FROM PENSIONDATA ORDER BY ID");
  const auto alive = Column(*d, "SELECT SPOUSEALIVE FROM PENSIONDATA ORDER BY ID");
  for (size_t i = 0; i < std::size(rows); ++i) {
    EXPECT_EQ(married[i], rows[i].want_married) << i;
    EXPECT_EQ(alive[i], rows[i].want_alive) << i;
  }
}

TEST_P(UpgradeTest, StrikeAndLeftDueToCopdBecomeIntegersInPlaceKeepingTheirValues) {
  auto d = Create(9);
  d->Execute("INSERT INTO PENSIONDATA (CLAIMANTID, STRIKE, LEFTDUETOCOPD) VALUES (1, 1, 0)");
  d->Execute("INSERT INTO PENSIONDATA (CLAIMANTID, STRIKE, LEFTDUETOCOPD) VALUES (2, 0, 1)");
  const auto before = FieldNames(*d, "PENSIONDATA");
  EXPECT_EQ(ApplyStructureLevels(*d, 11), 11);
  EXPECT_EQ(FieldNames(*d, "PENSIONDATA"), before);
  const auto fields = d->Fields("PENSIONDATA");
  EXPECT_EQ(FieldOf(fields, "STRIKE").type, FieldType::Integer);
  EXPECT_EQ(FieldOf(fields, "LEFTDUETOCOPD").type, FieldType::Integer);
  EXPECT_TRUE(FieldOf(fields, "STRIKE").default_value.IsNull());
  EXPECT_EQ(Column(*d, "SELECT STRIKE FROM PENSIONDATA ORDER BY ID"),
            (std::vector<Value>{Value(1), Value(0)}));
  EXPECT_EQ(Column(*d, "SELECT LEFTDUETOCOPD FROM PENSIONDATA ORDER BY ID"),
            (std::vector<Value>{Value(0), Value(1)}));
}

TEST_P(UpgradeTest, LevelEightClearsEveryDefaultButTheIdsAndKeepsTheRows) {
  auto d = Create(6);
  EXPECT_EQ(FieldOf(d->Fields("PENSIONDATA"), "GRADE").default_value, Value(""));
  EXPECT_EQ(FieldOf(d->Fields("PENSIONDATA"), "STDPERIODPCT").default_value.AsDouble(), 30.0);
  d->Execute("INSERT INTO PENSIONDATA (CLAIMANTID, GRADE, LEFTBCSSSREASON) VALUES (3, 'B', 'Ill-health')");
  EXPECT_EQ(ApplyStructureLevels(*d, 8), 8);
  for (const FieldDef& f : d->Fields("PENSIONDATA")) {
    if (f.name != "ID") {
      EXPECT_TRUE(f.default_value.IsNull()) << f.name;
    }
  }
  EXPECT_TRUE(FieldOf(d->Fields("PENSIONDATA"), "ID").auto_increment);
  EXPECT_EQ(Column(*d, "SELECT BCSSSREASON FROM PENSIONDATA").at(0).AsText(), "Incapacity Retirement");
  EXPECT_EQ(Column(*d, "SELECT GRADE FROM PENSIONDATA").at(0), Value("B"));
  const auto indexes = d->Indexes("PENSIONDATA");
  ASSERT_FALSE(indexes.empty());
  EXPECT_EQ(indexes.front().name, "PrimaryKey");
}

TEST_P(UpgradeTest, PensionResultsQueriesAppendAndUpdate) {
  auto d = Create(12);
  auto append = d->QueryDefs("qAppendPensionResults");
  append->SetParameter("WhatClaimantID", Value(5));
  append->SetParameter("WhatRelease", Value("R1"));
  append->SetParameter("WhatRunDate", Value("2026-12-07 10:00:00"));
  append->SetParameter("WhatTotalLoss", Value(100.5));
  EXPECT_EQ(append->Execute(), 1);
  EXPECT_NE(RealErrorOf([&] { append->Execute(); }), 0);  // UNIQUERELEASE
  auto update = d->QueryDefs("qUpdatePensionResults");
  update->SetParameter("WhatClaimantID", Value(5));
  // Text compares ignoring case on a file; a server's = heeds case.
  update->SetParameter("WhatRelease", Value(GetParam() ? "R1" : "r1"));
  update->SetParameter("WhatTotalLoss", Value(7));
  EXPECT_EQ(update->Execute(), 1);
  EXPECT_EQ(Column(*d, "SELECT TOTALLOSS FROM PENSIONRESULTS").at(0).AsDouble(), 7.0);
}

TEST_P(UpgradeTest, ClaimantQueriesMatchPatternsIgnoringCase) {
  auto d = Create(20);
  d->Execute("INSERT INTO CLAIMANT (SURNAME, REF, ZURIRREF) VALUES ('Smith', 'S/1', 'Z_1')");
  d->Execute("INSERT INTO CLAIMANT (SURNAME, REF, ZURIRREF) VALUES ('Smythe', NULL, 'Z21')");
  d->Execute("INSERT INTO CLAIMANT (SURNAME, REF, ZURIRREF) VALUES ('Jones', 'J/1', 'Z31')");
  struct Case {
    const char* name;
    const char* ref;
    const char* zurir;
    size_t rows;
  } cases[] = {
      {"*", "*", "*", 3},   {"sm*", "*", "*", 2}, {"Sm?th", "*", "*", 1},
      {"*", "S/*", "*", 2},  // an empty reference matches any pattern
      {"*", "*", "Z_1", 1},  // "_" stands for itself
      {"x*", "*", "*", 0},
  };
  auto q = d->QueryDefs("qdclaimant");
  for (const Case& c : cases) {
    q->SetParameter("WHATNAME", Value(c.name));
    q->SetParameter("WHATREF", Value(c.ref));
    q->SetParameter("WHATZURIR", Value(c.zurir));
    auto rs = q->OpenRecordset(db::RecordsetType::Snapshot);
    EXPECT_EQ(static_cast<size_t>(rs->RecordCount()), c.rows) << c.name << " " << c.ref;
  }
  auto q2 = d->QueryDefs("qdClaimantPension2");
  q2->SetParameter("WHATNAME", Value(""));
  q2->SetParameter("WHATREF", Value(""));
  q2->SetParameter("WHATZURIR", Value(""));
  q2->SetParameter("WHATID", Value("2"));
  EXPECT_EQ(q2->OpenRecordset(db::RecordsetType::Snapshot)->RecordCount(), 1);
}

TEST_P(UpgradeTest, BaseVersionProblemsRaiseTheirNumbers) {
  struct Case {
    const char* setup;
    int32_t error;
  } cases[] = {
      {"DROP TABLE PARMS", claimanterr::kNoParmsTable},
      {"DELETE FROM PARMS WHERE PARM='VERSION'", claimanterr::kNoVersionRow},
      {"UPDATE PARMS SET Value=NULL WHERE PARM='VERSION'", claimanterr::kVersionNull},
      {"UPDATE PARMS SET Value='three' WHERE PARM='VERSION'", claimanterr::kVersionNotNumeric},
      {"UPDATE PARMS SET Value='2' WHERE PARM='VERSION'", claimanterr::kBaseVersionTooOld},
  };
  for (const Case& c : cases) {
    auto d = Create(0);
    d->Execute(c.setup);
    UpdateConfirmed = true;
    EXPECT_EQ(RealErrorOf([&] { UpdateDataBase(false, *d); }), c.error) << c.setup;
    d->Close();
  }
}

TEST_P(UpgradeTest, AFailedLevelRollsBackAndTheNextRunResumesThereWithNoLoss) {
  auto d = Create(3);
  for (int i = 1; i <= 50; ++i) {
    d->Execute("INSERT INTO PENSIONDATA (CLAIMANTID, STRIKE, MARRIED, GRADE) VALUES (?, ?, ?, ?)",
               {Value(i), Value(i % 2), Value(i % 3 == 0), Value("G" + std::to_string(i))});
  }
  SetLevelAppliedHook([](int16_t level) {
    if (level == 10) throw OrvError(3000, "test", "injected failure");
  });
  EXPECT_EQ(RealErrorOf([&] { ApplyStructureLevels(*d); }), 3000);
  EXPECT_EQ(StructureLevel(*d), 9);
  const auto fields = d->Fields("PENSIONDATA");
  EXPECT_EQ(FieldOf(fields, "STRIKE").type, FieldType::YesNo);
  for (const FieldDef& f : fields) EXPECT_NE(f.name, "OLDSTRIKE");

  SetLevelAppliedHook(nullptr);
  EXPECT_EQ(ApplyStructureLevels(*d), kLatestStructureLevel);
  EXPECT_EQ(Column(*d, "SELECT COUNT(*) FROM PENSIONDATA").at(0).AsInt32(), 50);
  EXPECT_EQ(Column(*d, "SELECT SUM(STRIKE) FROM PENSIONDATA").at(0).AsInt32(), 25);
  EXPECT_EQ(Column(*d, "SELECT COUNT(*) FROM PENSIONDATA WHERE MARRIED=1").at(0).AsInt32(), 16);
  EXPECT_EQ(Column(*d, "SELECT GRADE FROM PENSIONDATA WHERE CLAIMANTID=42").at(0), Value("G42"));
}

TEST_P(UpgradeTest, RefusingALevelStopsTheUpgradeThere) {
  auto d = Create(0);
  boxes_->answers = {mb::kNo};
  EXPECT_FALSE(UpdateDataBase(false, *d));
  EXPECT_EQ(StructureLevel(*d), 0);
  EXPECT_EQ(boxes_->shown.size(), 1u);
}

INSTANTIATE_TEST_SUITE_P(Engines, UpgradeTest, ::testing::Bool(),
                         [](const ::testing::TestParamInfo<bool>& i) {
                           return i.param ? "Server" : "File";
                         });

TEST(BackupName, EveryDbInAnyCaseIsReplaced) {
  std::tm tm{};
  tm.tm_year = 2004 - 1900;
  tm.tm_mon = 4;
  tm.tm_mday = 27;
  tm.tm_hour = 12;
  const auto day = Clock::from_time_t(std::mktime(&tm));
  struct Case {
    const char* path;
    const char* backup;
  } cases[] = {
      {"/srv/TARNBY.db", "/srv/TARNBYBackup20040527.db"},
      {"/srv/Claims.DB", "/srv/ClaimsBackup20040527.db"},
      {"/a.Db/Claims.db", "/aBackup20040527.db/ClaimsBackup20040527.db"},
      // Never the database's own name.
      {"/srv/claims", "/srv/claimsBackup20040527"},
      {"/srv/claims.sqlite", "/srv/claimsBackup20040527.sqlite"},
      // A server's: a pg_dump archive named after the database, never the host.
      {"postgresql://db.office/claims?sslmode=require", "claimsBackup20040527.dump"},
  };
  for (const Case& c : cases) EXPECT_EQ(DefaultBackupName(c.path, day), c.backup);
}

}  // namespace
}  // namespace orv::tarnby::testing
