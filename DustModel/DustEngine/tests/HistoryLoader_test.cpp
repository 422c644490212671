#include <gtest/gtest.h>

#include "CalcTestData.h"
#include "DustModel.h"
#include "HistoryLoader.h"
#include "Registry.h"

namespace orv::dust::calctest {
namespace {

TEST(HistoryLoader, UserFactorTexts) {
  struct Case {
    float job, dusty, resp;
    const char* job_text;
    const char* resp_text;
  };
  const Case cases[] = {
      {0.8f, 0.5f, 20, "Fitter (User defined: non CHA .8 @ 50.00%)",
       "Fitter (User defined: non CHA 20)"},
      {1, 1, 12.5f, "Fitter (User defined: non CHA 1. @ 100.00%)",
       "Fitter (User defined: non CHA 12.5)"},
      {1.255f, 0.333f, 0, "Fitter (User defined: non CHA 1.26 @ 33.30%)",
       "Fitter (User defined: non CHA 0)"},
  };
  for (const Case& c : cases) {
    UserFactor f;
    f.Descr = "Fitter";
    f.JobFactor = c.job;
    f.DustyTimeFactor = c.dusty;
    f.RespFactor = c.resp;
    EXPECT_EQ(UserFactorJobText(f), c.job_text);
    EXPECT_EQ(UserFactorRespText(f), c.resp_text);
  }
}

TEST(HistoryLoader, FactorTextsInListsReadWithALeadingZeroAndNoTrailingPoint) {
  EXPECT_EQ(FactorListText("Fitter (User defined: non CHA .8 @ 50.00%)"),
            "Fitter (User defined: non CHA 0.8 @ 50.00%)");
  EXPECT_EQ(FactorListText("Fitter (User defined: non CHA 1. @ 100.00%)"),
            "Fitter (User defined: non CHA 1 @ 100.00%)");
  EXPECT_EQ(FactorListText(".5"), "0.5");
  EXPECT_EQ(FactorListText("-.25"), "-0.25");
  EXPECT_EQ(FactorListText("1."), "1");
  EXPECT_EQ(FactorListText("Face worker 1.26"), "Face worker 1.26");
  EXPECT_EQ(FactorListText("No resp. factor"), "No resp. factor");
  // The report's own text is left as it was.
  UserFactor f;
  f.Descr = "Fitter";
  f.JobFactor = 0.9f;
  f.DustyTimeFactor = 1;
  EXPECT_EQ(UserFactorJobText(f), "Fitter (User defined: non CHA .9 @ 100.00%)");
}

TEST(HistoryLoader, JobsOfEveryKind) {
  OpenHandDb(HandDb());
  HistoryJob standard;
  standard.Key = "ID1";
  standard.CollieryID = 101;
  standard.StartYear = 1960;
  standard.EndYear = 1965;
  standard.JobFactorCode = "haul";
  standard.RespFactorID = 2;

  HistoryJob user = standard;
  user.Key = "ID2";
  user.StartYear = 1966;
  user.EndYear = 1970;
  user.JobFactorCode.clear();
  user.user_factor = UserFactor{10001, "U1", "Fitter", 0.8f, 0.5f, 20, 1975, 1990, 1, 0.5f, 2};

  HistoryJob missing = standard;
  missing.Key = "ID3";
  missing.StartYear = 1971;
  missing.EndYear = 1972;
  missing.JobFactorID = 10002;
  missing.missing_user_factor = true;

  colCoalJobs jobs;
  jobs.Add({}, 1, 1, {}, 101, {}, 1950, 1951);  // emptied by the load
  LoadJobs(jobs, {standard, user, missing});
  ASSERT_EQ(jobs.Count(), 3);

  const CoalJobPtr s = jobs.Item("ID1");
  EXPECT_EQ(s->JobFactorCode(), "HAUL");
  EXPECT_FLOAT_EQ(s->JobFactor(), 0.5f);
  EXPECT_EQ(s->RespiratorFactorText(), "Respirator worn 1975 to 1990");

  const CoalJobPtr u = jobs.Item("ID2");
  EXPECT_EQ(u->JobFactorID(), 10001);
  EXPECT_EQ(u->RespiratorFactorID(), 10001);
  EXPECT_EQ(u->JobFactorText(), "Fitter (User defined: non CHA .8 @ 50.00%)");
  EXPECT_EQ(u->RespiratorFactorText(), "Fitter (User defined: non CHA 20)");
  EXPECT_EQ(u->Surface(), "N");
  EXPECT_EQ(u->RespSurface(), "N");
  EXPECT_FLOAT_EQ(u->Uplift(), 1.16f);
  EXPECT_FLOAT_EQ(u->JobDustyTimeFactor(), 0.5f);
  EXPECT_TRUE(u->NonCHA());
  EXPECT_FALSE(u->NonCHACheck());
  EXPECT_FLOAT_EQ(u->RespEndYearVal(), 0.5f);
  EXPECT_FLOAT_EQ(u->YearsPastClose(), 2);
  EXPECT_EQ(u->Colliery(), "Ashby Main");

  const CoalJobPtr m = jobs.Item("ID3");
  EXPECT_EQ(m->JobFactorCode(), "??");
  EXPECT_EQ(m->JobFactorText(), kMissingUserFactorText);
  EXPECT_EQ(m->RespiratorFactorText(), kMissingUserFactorText);
  EXPECT_EQ(m->RespStartYear(), 1900);
  EXPECT_FLOAT_EQ(m->JobFactor(), 0);
}

TEST(HistoryLoader, SmokingAndIdentity) {
  OpenHandDb(HandDb());
  colSmokeEntry smoking;
  LoadSmoking(smoking, {{"A", 0, "h", 12, 0, 0}, {"B", 2, "", 0, 1960, 1980}});
  ASSERT_EQ(smoking.Count(), 2);
  EXPECT_FLOAT_EQ(smoking.Item("A")->SmokeValue(), 18);
  EXPECT_FLOAT_EQ(smoking.Item("B")->SmokeValue(), 10);

  DustModel model;
  ApplyIdentity(model, {"Ann", "S/2", "Z/2", std::nullopt, "", "A note"});
  EXPECT_EQ(model.ClaimantExtraLabel(), "Additional information: ");
  EXPECT_EQ(model.HeadingNote(), "A note");
  // The next claimant's identity takes the note away.
  ApplyIdentity(model, {"Ann", "S/2", "Z/2", "Claimant Address: ", "1 Row", ""});
  EXPECT_EQ(model.ClaimantExtraLabel(), "Claimant Address: ");
  EXPECT_EQ(model.ZURIRRef(), "Z/2");
  EXPECT_EQ(model.HeadingNote(), "");
}

TEST(DustModelClass, CreatedByClassIdentifier) {
  const orv::ComponentPtr c = orv::CreateObject("OrvDust.DustModel");
  ASSERT_NE(c, nullptr);
  EXPECT_EQ(c->ClassName(), "OrvDust.DustModel");
  EXPECT_NE(orv::As<DustModel>(c), nullptr);
}

}  // namespace
}  // namespace orv::dust::calctest
