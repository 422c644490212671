// tarnby-calc as its users run it: the built program on the dust data
// fixture, with the history files of the command-line documentation.
#include <gtest/gtest.h>

#include <stdlib.h>
#include <sys/wait.h>

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <algorithm>
#include <cmath>
#include <set>
#include <sstream>

#include <fmt/format.h>

#include <nlohmann/json.hpp>

#include "DustDataBuild.h"
#include "DustDataFiles.h"
#include "DustModel.h"
#include "HistoryJson.h"
#include "InputError.h"
#include "ToolRun.h"

namespace orv::calcrun {
namespace {

namespace fs = std::filesystem;
using nlohmann::json;

// A temporary folder that also writes the test's input files.
class Scratch : public orv::test::TempDir {
 public:
  std::string Write(const std::string& name, const std::string& text) const {
    std::ofstream(File(name), std::ios::binary) << text;
    return File(name);
  }
};

using orv::test::ReadAll;
using Ran = orv::test::ToolRun;

class CalcTool : public ::testing::Test {
 protected:
  static void SetUpTestSuite() {
    scratch_ = new Scratch;
    db_ = scratch_->File("DUSTDATA.db");
    orv::dustdata::BuildFromCsv(orv::dustdata::test::FixtureDir(), db_, true);
  }
  static void TearDownTestSuite() { delete scratch_; }

  // Runs tarnby-calc --dust-db <fixture> with the arguments (after `prefix`, which may set
  // the environment; `instead` replaces the fixture's arguments).
  static Ran Calc(const std::string& args, const std::string& prefix = {},
                  const std::string& instead = {}) {
    const std::string fixed = instead.empty() ? "--dust-db '" + db_ + "' " : instead + " ";
    return orv::test::RunTool("tarnby-calc", fixed + args, scratch_->path(), prefix);
  }
  static std::string History(const std::string& text) {
    return "--history '" + scratch_->Write("history.json", text) + "'";
  }

  static Scratch* scratch_;
  static std::string db_;
};
Scratch* CalcTool::scratch_ = nullptr;
std::string CalcTool::db_;

// The history file of the documentation, word for word.
const char* kDocumentedHistory = R"({
  "claimant": {"name": "John Smith", "solicitor_ref": "S/1", "zurir_ref": "Z-1",
               "extra_label": "Claimant Address: ", "extra": "1 Pit Row"},
  "jobs": [
    {"colliery_id": 101, "start_year": 1955, "end_year": 1970,
     "job_factor_id": 1, "resp_factor_id": 1},
    {"colliery_id": 102, "start_year": 1971, "end_year": 1985,
     "job_factor_code": "fw", "resp_factor_id": 2, "pit_name": ""},
    {"colliery_id": 103, "start_year": 1986, "end_year": 1990,
     "user_factor": {"id": 10000, "code": "U1", "descr": "Fitter",
                     "job_factor": 0.8, "dusty_time_factor": 0.5,
                     "resp_factor": 20, "start_year": 1975, "end_year": 1990,
                     "start_year_val": 1, "end_year_val": 0.5,
                     "years_past_closure": 0}}
  ],
  "smoking": [
    {"category_id": 2, "start_year": 1960, "end_year": 1980},
    {"category_code": "H", "years": 12}
  ]
})";

// The same with the last job at Bexley (open all those years), which the
// calculation accepts.
std::string AcceptedHistory() {
  std::string h = kDocumentedHistory;
  h.replace(h.find("\"colliery_id\": 103"), 18, "\"colliery_id\": 102");
  return h;
}

TEST_F(CalcTool, DocumentedHistoryIsRefusedWithItsReason) {
  // Carrow Pit closed in 1968; the fixture's matrix has no entry for 1986.
  const Ran r = Calc(History(kDocumentedHistory) + " --format json");
  EXPECT_EQ(r.code, 1) << r.err;
  const json doc = json::parse(r.out);
  EXPECT_FALSE(doc["ok"].get<bool>());
  EXPECT_EQ(doc["validation_error"], "No Dust Matrix entry for colliery Carrow Pit in 1986");
  EXPECT_TRUE(doc["error"].is_null());
  EXPECT_EQ(doc["report"].back(), "ERROR: No Dust Matrix entry for colliery Carrow Pit in 1986");
  EXPECT_NE(r.err.find("No Dust Matrix entry"), std::string::npos);
}

TEST_F(CalcTool, JsonResultOfAnAcceptedHistory) {
  const Ran r = Calc(History(AcceptedHistory()) + " --format json --detail");
  ASSERT_EQ(r.code, 0) << r.err;
  const json doc = json::parse(r.out);
  EXPECT_TRUE(doc["ok"].get<bool>());
  EXPECT_TRUE(doc["validation_error"].is_null());
  EXPECT_EQ(doc["engine_version"], "1.0.0");
  EXPECT_EQ(doc["dust_data_version"], "48");
  ASSERT_EQ(doc["results"].size(), std::size(orv::dust::kResultProperties));
  for (const auto& p : orv::dust::kResultProperties)
    EXPECT_TRUE(doc["results"].contains(p.name)) << p.name;
  // Smoking: Light (0.5) for 20 years and Heavy (1.5) for 12, one unit a year.
  EXPECT_DOUBLE_EQ(doc["results"]["SmokingInsult"].get<double>(), 28.0);
  ASSERT_EQ(doc["jobs"].size(), 3u);
  EXPECT_EQ(doc["jobs"][0]["colliery"], "Ashby Main");
  EXPECT_EQ(doc["jobs"][0]["coal_area"], "North");
  // The first job: 1955 halved as the first year, 1970 whole: 15.5 years.
  EXPECT_DOUBLE_EQ(doc["jobs"][0]["EmployedYears"].get<double>(), 15.5);
  const auto& report = doc["report"];
  EXPECT_EQ(report[0], "Claimant: John Smith");
  EXPECT_EQ(report[1], "Claimant Address: 1 Pit Row");
  // The user-defined factor's texts, as the desktop program writes them.
  bool fitter = false;
  for (const auto& line : report)
    fitter = fitter || line == "\tJob Factor: Fitter (User defined: non CHA .8 @ 50.00%) = 0.80";
  EXPECT_TRUE(fitter);
}

TEST_F(CalcTool, TextAndHtmlReports) {
  const Ran text = Calc(History(AcceptedHistory()));
  ASSERT_EQ(text.code, 0) << text.err;
  EXPECT_EQ(text.out.rfind("Claimant: John Smith\n", 0), 0u);
  EXPECT_NE(text.out.find("\nRecoverable Proportion of Quantum (after smoking adjustment) % = "),
            std::string::npos);

  std::string marked = AcceptedHistory();
  marked.replace(marked.find("John Smith"), 10, "<i>O'Neil & Co</i>");
  const Ran html = Calc(History(marked) + " --format html");
  ASSERT_EQ(html.code, 0) << html.err;
  EXPECT_EQ(html.out.rfind("<!DOCTYPE html><HTML><HEAD><META HTTP-EQUIV=\"Content-Type\" "
                           "CONTENT=\"text/html; charset=utf-8\"><TITLE>Dust Model "
                           "Output</TITLE></HEAD>\n",
                           0),
            0u);
  EXPECT_NE(html.out.find("Claimant: &lt;i&gt;O&#39;Neil &amp; Co&lt;/i&gt;"), std::string::npos);
  EXPECT_EQ(html.out.find("<i>"), std::string::npos);

  const std::string file = scratch_->File("report.htm");
  const Ran to_file = Calc(History(AcceptedHistory()) + " --format html --output '" + file + "'");
  ASSERT_EQ(to_file.code, 0) << to_file.err;
  EXPECT_TRUE(to_file.out.empty());
  EXPECT_NE(ReadAll(file).find("</TABLE>\n<figure"), std::string::npos);
  EXPECT_NE(ReadAll(file).find("</svg></figure>\n</BODY></HTML>"), std::string::npos);
}

TEST_F(CalcTool, HtmlOfAClaimantNamedWithAccentsIsUtf8AndSaysSo) {
  std::string accented = AcceptedHistory();
  accented.replace(accented.find("John Smith"), 10, "Jos\u00e9 M\u00fcller");
  const Ran html = Calc(History(accented) + " --format html");
  ASSERT_EQ(html.code, 0) << html.err;
  EXPECT_NE(html.out.find("charset=utf-8"), std::string::npos);
  EXPECT_NE(html.out.find("Claimant: Jos\xc3\xa9 M\xc3\xbcller"), std::string::npos);
}

TEST_F(CalcTool, PdfIsQuiet) {
  // A home of its own: the run must leave nothing in the user's settings.
  const std::string home = scratch_->File("home");
  fs::create_directories(home);
  const std::string pdf = scratch_->File("quiet.pdf");
  const Ran r = Calc(History(AcceptedHistory()) + " --detail --format pdf --output '" + pdf + "'",
                     "env -u DISPLAY -u WAYLAND_DISPLAY -u QT_QPA_PLATFORM -u XDG_CONFIG_HOME "
                     "-u XDG_DATA_HOME HOME='" +
                         home + "' ");
  ASSERT_EQ(r.code, 0) << r.err;
#if defined(__SANITIZE_ADDRESS__)
  // A sanitized build may add the checker's own notes; Qt's must still be missing.
  EXPECT_EQ(r.err.find("QStandardPaths"), std::string::npos) << r.err;
  EXPECT_EQ(r.err.find("plugin"), std::string::npos) << r.err;
#else
  EXPECT_EQ(r.err, "");
#endif
  EXPECT_EQ(ReadAll(pdf).rfind("%PDF", 0), 0u);
  std::vector<std::string> left;
  for (const auto& entry : fs::recursive_directory_iterator(home))
    if (entry.is_regular_file()) left.push_back(entry.path().string());
  EXPECT_TRUE(left.empty()) << left.front();
}

TEST_F(CalcTool, HelpReadsAsAPersonWroteIt) {
  const Ran r = Calc("", "", "--help");
  EXPECT_EQ(r.code, 0);
  EXPECT_NE(r.out.find("--format"), std::string::npos);
  // No library mapping such as "{json->0,text->1,...}" or "ENUM".
  EXPECT_EQ(r.out.find("->"), std::string::npos) << r.out;
  EXPECT_EQ(r.out.find("ENUM"), std::string::npos) << r.out;
  EXPECT_EQ(r.out.find("TEXT:FILE"), std::string::npos) << r.out;
  EXPECT_EQ(r.out.find("Excludes:"), std::string::npos) << r.out;
  EXPECT_NE(r.out.find("--format json|text|html|pdf"), std::string::npos) << r.out;
}

TEST_F(CalcTool, BadUsageAndInputExitTwoNamingTheField) {
  struct Case {
    const char* history;  // null: no history file written
    const char* args;
    const char* says;
  };
  const Case cases[] = {
      {R"({"jobs": [{"colliery_id": 101, "start_year": 1960}]})", "", "jobs[1].end_year"},
      {R"({"jobs": [{"colliery_id": 101, "start_year": 1960, "end_year": 1961,
           "colliery": "Ashby"}]})",
       "", "jobs[1].colliery: unknown field"},
      {R"({"smoking": [{"category_code": "H", "years": "twelve"}]})", "",
       "smoking[1].years: expected a whole number"},
      {R"({"smoking": [{"category_code": "H"}]})", "", "smoking[1].years"},
      {"{\"jobs\": [\n  {\"start_year\": 1960,}\n]}", "", "line 2"},
      {"{}", " --format pdf", "--output"},
      {"{}", " --jurisdiction 2", "--jurisdiction"},
      {nullptr, "--history /no/such/history.json", "history"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.says);
    const Ran r = Calc((c.history ? History(c.history) : std::string()) + c.args);
    EXPECT_EQ(r.code, 2);
    EXPECT_NE(r.err.find(c.says), std::string::npos) << r.err;
  }
}

TEST_F(CalcTool, RunTimeFailureExitsThreeWithNumberSourceAndDescription) {
  const std::string h = R"({"jobs": [{"colliery_id": 999, "start_year": 1960, "end_year": 1961}]})";
  const Ran text = Calc(History(h));
  EXPECT_EQ(text.code, 3);
  EXPECT_NE(text.err.find("Error 380 ("), std::string::npos) << text.err;
  EXPECT_NE(text.err.find("Invalid property value"), std::string::npos) << text.err;

  const Ran j = Calc(History(h) + " --format json");
  EXPECT_EQ(j.code, 3);
  const json doc = json::parse(j.out);
  EXPECT_FALSE(doc["ok"].get<bool>());
  EXPECT_EQ(doc["error"]["number"], 380);
  EXPECT_FALSE(doc["error"]["source"].get<std::string>().empty());
}

TEST_F(CalcTool, PdfThroughThePreview) {
  const std::string pdf = scratch_->File("report.pdf");
  const Ran r = Calc(History(AcceptedHistory()) + " --format pdf --output '" + pdf + "'");
  const char* bin = std::getenv("TARNBY_BIN_DIR");
  if (fs::exists(fs::path(bin ? bin : ".") / "liborvdusto.so")) {
    EXPECT_EQ(r.code, 0) << r.err;
    EXPECT_EQ(ReadAll(pdf).rfind("%PDF", 0), 0u);
  } else {
    EXPECT_EQ(r.code, 3);
    EXPECT_NE(r.err.find("Error 429"), std::string::npos) << r.err;
  }
}

// What-if: the accepted history against the other side's account of it.
std::string Variant(std::string h, const std::string& from, const std::string& to) {
  const size_t at = h.find(from);
  EXPECT_NE(at, std::string::npos) << from;
  return h.replace(at, from.size(), to);
}

TEST_F(CalcTool, CompareMarksExactlyTheLinesAVariantChanges) {
  struct Case {
    const char* what;
    std::string variant;
    // Report lines (their labels) that must be among the differences.
    std::vector<std::string> changed;
  };
  const Case cases[] = {
      {"smoking ended ten years earlier",
       Variant(AcceptedHistory(), "\"start_year\": 1960, \"end_year\": 1980",
               "\"start_year\": 1960, \"end_year\": 1970"),
       {"Total Smoking Insult = ", "Recoverable Proportion of Quantum (after smoking"}},
      {"the first job five years shorter",
       Variant(AcceptedHistory(), "\"start_year\": 1955, \"end_year\": 1970",
               "\"start_year\": 1955, \"end_year\": 1965"),
       {"Colliery: Ashby Main, area: North from 1955 to ", "Total adjusted years worked = "}},
  };
  const std::string a = scratch_->Write("a.json", AcceptedHistory());
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    const std::string b = scratch_->Write("b.json", c.variant);
    const Ran one_a = Calc("--history '" + a + "' --format json");
    const Ran one_b = Calc("--history '" + b + "' --format json");
    const Ran r = Calc("--history '" + a + "' --compare '" + b + "' --format json");
    ASSERT_EQ(r.code, 0) << r.err;
    const json doc = json::parse(r.out);
    // Each side is the result the file alone gives (the report time aside).
    for (const auto& [side, alone] : {std::pair{"a", &one_a}, std::pair{"b", &one_b}}) {
      const json single = json::parse(alone->out);
      EXPECT_EQ(doc[side]["results"], single["results"]) << side;
      EXPECT_EQ(doc[side]["report"].size(), single["report"].size()) << side;
    }
    // A line is listed as different exactly when the two reports differ there:
    // every line of A not listed is in B too, and the listed ones are not.
    std::set<std::string> listed_a;
    for (const json& d : doc["differences"]) {
      EXPECT_NE(d["a"], d["b"]);
      if (d["a"].is_string()) listed_a.insert(d["a"].get<std::string>());
    }
    const json& report_b = doc["b"]["report"];
    for (const json& line : doc["a"]["report"]) {
      const std::string l = line.get<std::string>();
      if (l.rfind("Calculation time and date: ", 0) == 0) continue;
      const bool in_b = std::find(report_b.begin(), report_b.end(), line) != report_b.end();
      if (listed_a.count(l) == 0) {
        EXPECT_TRUE(in_b) << "unmarked but changed: " << l;
      }
      if (!in_b) {
        EXPECT_EQ(listed_a.count(l), 1u) << l;
      }
    }
    for (const std::string& label : c.changed) {
      bool found = false;
      for (const json& d : doc["differences"])
        found = found || (d["a"].is_string() && d["a"].get<std::string>().find(label) == 0);
      EXPECT_TRUE(found) << label;
    }
    for (const json& d : doc["differences"])
      EXPECT_EQ(d["a"].get<std::string>().rfind("Claimant: ", 0), std::string::npos);

    // The text: the marked rows, and the figures and their difference at the end.
    const Ran text = Calc("--history '" + a + "' --compare '" + b + "'");
    ASSERT_EQ(text.code, 0) << text.err;
    size_t marked = 0;
    std::istringstream lines(text.out);
    for (std::string line; std::getline(lines, line);) marked += line.rfind("* ", 0) == 0;
    EXPECT_EQ(marked, doc["differences"].size());
    const double fa = doc["a"]["results"]["RecoverableQuantumPercent"].get<double>();
    const double fb = doc["b"]["results"]["RecoverableQuantumPercent"].get<double>();
    const std::string tail = fmt::format(
        "Recoverable Proportion of Quantum % A: {:.2f}\n"
        "Recoverable Proportion of Quantum % B: {:.2f}\nDifference (B - A): {}{:.2f}\n",
        fa, fb, fb > fa ? "+" : fb < fa ? "-" : "", std::abs(fb - fa));
    ASSERT_GE(text.out.size(), tail.size());
    EXPECT_EQ(text.out.substr(text.out.size() - tail.size()), tail);

    const Ran html = Calc("--history '" + a + "' --compare '" + b + "' --format html");
    ASSERT_EQ(html.code, 0) << html.err;
    EXPECT_NE(html.out.find("<TR STYLE=\"background:#ffe08a\"><TD>*</TD>"), std::string::npos);
  }
}

TEST_F(CalcTool, CompareOfFilesThatAreNotHistoriesNamesEach) {
  const std::string good = scratch_->Write("good.json", AcceptedHistory());
  const std::string not_a = scratch_->Write("not-a.json", "{\"jobs\": 3}");
  const std::string not_b = scratch_->Write("not-b.json", "plain text");
  const Ran both = Calc("--history '" + not_a + "' --compare '" + not_b + "'");
  EXPECT_EQ(both.code, 2);
  EXPECT_NE(both.err.find("not-a.json"), std::string::npos) << both.err;
  EXPECT_NE(both.err.find("not-b.json"), std::string::npos) << both.err;
  EXPECT_TRUE(both.out.empty());
  const Ran second = Calc("--history '" + good + "' --compare '" + not_b + "'");
  EXPECT_EQ(second.code, 2);
  EXPECT_NE(second.err.find("not-b.json"), std::string::npos) << second.err;
  EXPECT_EQ(second.err.find("good.json"), std::string::npos) << second.err;
  EXPECT_EQ(Calc("--compare '" + good + "'").code, 2);  // needs --history
}

TEST(HistoryFile, ValuesAndDefaults) {
  const HistoryFile h = ParseHistory(kDocumentedHistory, "h.json");
  EXPECT_EQ(h.claimant.Name, "John Smith");
  ASSERT_TRUE(h.claimant.ExtraLabel.has_value());
  ASSERT_EQ(h.jobs.size(), 3u);
  EXPECT_EQ(h.jobs[1].JobFactorCode, "fw");
  EXPECT_EQ(h.jobs[1].RespFactorID, 2);
  ASSERT_TRUE(h.jobs[2].user_factor.has_value());
  EXPECT_FLOAT_EQ(h.jobs[2].user_factor->EndYearVal, 0.5f);
  ASSERT_EQ(h.smoking.size(), 2u);
  EXPECT_EQ(h.smoking[1].Years, 12);
  EXPECT_EQ(h.smoking[1].StartYear, 0);

  const HistoryFile empty = ParseHistory("{}", "e.json");
  EXPECT_FALSE(empty.claimant.ExtraLabel.has_value());
  EXPECT_TRUE(empty.jobs.empty());
  EXPECT_THROW(ParseHistory(R"({"jobs": [{"start_year": 1960, "end_year": 70000}]})", "x"),
               orv::InputError);
}

}  // namespace
}  // namespace orv::calcrun
