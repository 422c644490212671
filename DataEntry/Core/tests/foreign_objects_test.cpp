// A claimant database holding a trigger, view or table its structure does
// not define is refused on open, naming the object.
#include "CoreTest.h"

namespace orv::tarnby::testing {
namespace {

class ForeignObjectsTest : public CoreTest {};

TEST_F(ForeignObjectsTest, AnObjectTheStructureDoesNotDefineIsRefusedOnOpenNamingIt) {
  struct Case {
    const char* sql;
    const char* named;
  };
  const Case cases[] = {
      {"CREATE TRIGGER wipe AFTER UPDATE ON CLAIMANT BEGIN DELETE FROM SMOKEHISTORY "
       "WHERE CLAIMANTID = NEW.ID; END",
       "the trigger 'wipe' on the table 'CLAIMANT'"},
      {"CREATE VIEW CLAIMANTS AS SELECT * FROM CLAIMANT", "the view 'CLAIMANTS'"},
      {"CREATE TABLE NOTES (ID INTEGER)", "the table 'NOTES'"},
      {"CREATE TABLE NOTES (ID INTEGER); CREATE INDEX ByNote ON NOTES (ID)", "the table 'NOTES'"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.sql);
    const std::string path = PathOf("claims.db");
    std::filesystem::remove(path);
    CreateClaimantDatabase(path);
    {
      db::DatabasePtr d = db::OpenDatabase(path);
      d->Execute(c.sql);
      d->Close();
    }
    for (bool read_only : {false, true}) {
      db::OpenOptions o;
      o.read_only = read_only;
      try {
        OpenClaimantDatabase(path, o);
        ADD_FAILURE() << "opened";
      } catch (const OrvError& e) {
        EXPECT_EQ(e.Number(), db::dberr::kCannotOpen);
        EXPECT_NE(e.Description().find(c.named), std::string::npos) << e.Description();
        EXPECT_NE(e.Description().find(path), std::string::npos) << e.Description();
        EXPECT_FALSE(db::IsRefusedForUse(e));
      }
    }
  }
}

TEST_F(ForeignObjectsTest, EveryStructureLevelOpensWithItsOwnObjectsOnly) {
  for (int16_t level : {int16_t{0}, int16_t{7}, int16_t{8}, kLatestStructureLevel}) {
    SCOPED_TRACE(level);
    const std::string path = PathOf("claims.db");
    std::filesystem::remove(path);
    CreateClaimantDatabase(path, level);
    db::DatabasePtr d = OpenClaimantDatabase(path);
    EXPECT_TRUE(ForeignObjects(*d).empty());
    d->Close();
  }
}

}  // namespace
}  // namespace orv::tarnby::testing
