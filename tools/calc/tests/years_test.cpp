// tarnby-calc's year series on the sample data (data/dustdata and the
// sample claimants of data/claimants): for every sample history the years
// of the JSON result add up to the totals its report states, cumulative and
// tortious; the HTML report is valid and its chart has one bar per worked
// year. With TARNBY_SCREENSHOT_DIR set, also pictures of the chart for a
// person to look at: the PDF's chart page and the HTML page in a browser,
// for careers of every shape.
#include <gtest/gtest.h>

#include <cmath>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <map>
#include <set>

#include <nlohmann/json.hpp>

#include "DustDataBuild.h"
#include "Numbers.h"
#include "TempDir.h"
#include "ToolRun.h"

namespace orv::calcrun {
namespace {

namespace fs = std::filesystem;
using nlohmann::json;
using Ran = orv::test::ToolRun;

std::string SourceDir() {
  const char* src = std::getenv("TARNBY_SOURCE_DIR");
  return src ? src : "";
}

// The value of the report line "<label> = <value>" (the n-th such line).
std::string LineValue(const json& report, const std::string& label, int n = 0) {
  const std::string head = label + " = ";
  for (const auto& l : report) {
    const std::string line = l.get<std::string>();
    const size_t at = line.find_first_not_of('\t');
    if (at != std::string::npos && line.compare(at, head.size(), head) == 0 && n-- == 0)
      return line.substr(at + head.size());
  }
  return "(no line " + label + ")";
}

float F(const json& v) { return static_cast<float>(v.get<double>()); }
std::string Two(float v) { return FormatPattern(v, "0.00"); }

// The years of one accepted result against its jobs and its detailed report.
// Sums run in the order the calculation adds: years within a job, then jobs.
void ExpectYearsAddUp(const json& doc) {
  const json& years = doc["years"];
  const json& jobs = doc["jobs"];
  ASSERT_FALSE(years.empty());
  std::map<int, float> weighted, insult, tortious;
  float post_share = 0, all_tortious = 0;
  for (const json& y : years) {
    const int job = y["job"].get<int>();
    weighted[job] += F(y["weighted_pxr"]);
    insult[job] += F(y["weighted_dust_insult"]);
    tortious[job] += F(y["tortious"]);
    post_share += F(y["post_limitation_share"]);
    all_tortious += F(y["tortious"]);
  }
  ASSERT_EQ(weighted.size(), jobs.size());
  float claimant = 0;
  for (size_t j = 0; j < jobs.size(); ++j) {
    SCOPED_TRACE("job " + std::to_string(j + 1));
    const int n = static_cast<int>(j) + 1;
    EXPECT_EQ(tortious[n], F(jobs[j]["TortiousPostLimit"]));
    const float units = F(jobs[j]["CumulativeWeightedDustInsultUnits"]);
    EXPECT_NEAR(insult[n], units, 1e-5 * std::max(1.0f, units));
    EXPECT_EQ(LineValue(doc["report"], "Cumulative Weighted Dust Insult Units", static_cast<int>(j)),
              Two(units));
    claimant += weighted[n];
  }
  EXPECT_EQ(LineValue(doc["report"], "Cumulative Job Factored PXR pre Short employment adjustment"),
            Two(claimant));
  EXPECT_EQ(LineValue(doc["report"], "Working years post limitation date"), Two(post_share));
  EXPECT_EQ(LineValue(doc["report"], "F117: Average post limitation date tortious dust %"),
            Two(post_share != 0 ? all_tortious / post_share : 0.0f));
}

class SampleYears : public ::testing::Test {
 protected:
  static void SetUpTestSuite() {
    scratch_ = new orv::test::TempDir;
    dust_db_ = scratch_->File("DUSTDATA.db");
    claimant_db_ = scratch_->File("TARNBY.db");
    orv::dustdata::BuildFromCsv(SourceDir() + "/data/dustdata", dust_db_, true);
    const Ran created = Tool("tarnby-claimants", "create '" + claimant_db_ + "'");
    ASSERT_EQ(created.code, 0) << created.err;
    const Ran imported = Tool("tarnby-claimants", "import '" + claimant_db_ + "' '" +
                                                      SourceDir() + "/data/claimants'");
    ASSERT_EQ(imported.code, 0) << imported.err;
    // The sample matrix is expanded by its first calculation.
    const Ran first = Calc("--claimant-db '" + claimant_db_ + "' --claimant 1 --format json");
    ASSERT_EQ(first.code, 0) << first.err;
  }
  static void TearDownTestSuite() { delete scratch_; }

  static Ran Tool(const std::string& tool, const std::string& args) {
    return orv::test::RunTool(tool, args, scratch_->path());
  }
  static Ran Calc(const std::string& args) {
    return Tool("tarnby-calc", "--dust-db '" + dust_db_ + "' " + args);
  }
  static std::vector<int> ClaimantIds() {
    std::ifstream in(SourceDir() + "/data/claimants/claimants.csv");
    std::vector<int> ids;
    std::string line;
    std::getline(in, line);
    while (std::getline(in, line))
      if (!line.empty()) ids.push_back(std::stoi(line));
    return ids;
  }

  static orv::test::TempDir* scratch_;
  static std::string dust_db_;
  static std::string claimant_db_;
};
orv::test::TempDir* SampleYears::scratch_ = nullptr;
std::string SampleYears::dust_db_;
std::string SampleYears::claimant_db_;

TEST_F(SampleYears, EverySampleHistorysYearsAddUpToItsReport) {
  const std::vector<int> ids = ClaimantIds();
  ASSERT_GE(ids.size(), 14u);
  int refused = 0;
  for (const int id : ids) {
    SCOPED_TRACE("claimant " + std::to_string(id));
    const Ran r = Calc("--claimant-db '" + claimant_db_ + "' --claimant " + std::to_string(id) +
                       " --format json --detail");
    const json doc = json::parse(r.out);
    if (r.code == 1) {
      // Refused: no series.
      ++refused;
      EXPECT_TRUE(doc["years"].empty());
      continue;
    }
    ASSERT_EQ(r.code, 0) << r.err;
    ExpectYearsAddUp(doc);
  }
  EXPECT_EQ(refused, 1);  // the overlapping jobs of claimant 6

  const Ran sample =
      Calc("--history '" + SourceDir() + "/data/sample_history.json' --format json --detail");
  ASSERT_EQ(sample.code, 0) << sample.err;
  ExpectYearsAddUp(json::parse(sample.out));
}

TEST_F(SampleYears, TheReportIsTheSameWithTheSeries) {
  const Ran json_run = Calc("--claimant-db '" + claimant_db_ + "' --claimant 2 --format json");
  const Ran text_run = Calc("--claimant-db '" + claimant_db_ + "' --claimant 2");
  ASSERT_EQ(json_run.code, 0);
  ASSERT_EQ(text_run.code, 0);
  // The runs may fall in different minutes: the heading's time is left out.
  const auto without_time = [](std::string text) {
    const size_t at = text.find("Calculation time and date: ");
    return text.erase(at, text.find('\n', at) - at);
  };
  const nlohmann::ordered_json doc = nlohmann::ordered_json::parse(json_run.out);
  std::string lines;
  for (const auto& l : doc["report"]) lines += l.get<std::string>() + "\n";
  EXPECT_EQ(without_time(lines), without_time(text_run.out));
  // The series is the last field; the documented ones keep their order.
  std::vector<std::string> keys;
  for (const auto& [key, value] : doc.items()) keys.push_back(key);
  EXPECT_EQ(keys, (std::vector<std::string>{"ok", "validation_error", "error", "engine_version",
                                            "dust_data_version", "results", "jobs", "report",
                                            "years"}));
}

TEST_F(SampleYears, HtmlIsValidWithOneBarPerWorkedYear) {
  if (std::system("/usr/bin/python3 -c 'import html5lib' 2>/dev/null") != 0)
    FAIL() << "the HTML check needs python3-html5lib (scripts/install-deps.sh)";
  for (const int id : {1, 2, 5, 6}) {
    SCOPED_TRACE("claimant " + std::to_string(id));
    const std::string html = scratch_->File("c" + std::to_string(id) + ".htm");
    const std::string args = "--claimant-db '" + claimant_db_ + "' --claimant " + std::to_string(id);
    const Ran r = Calc(args + " --format html --output '" + html + "'");
    ASSERT_EQ(r.code, id == 6 ? 1 : 0) << r.err;
    // Strict parsing: any parse error of the HTML standard fails.
    const std::string errors = scratch_->File("html-errors.txt");
    const int check = std::system(("/usr/bin/python3 -c 'import sys, html5lib; "
                                   "html5lib.HTMLParser(strict=True).parse(open(sys.argv[1], "
                                   "\"rb\"))' '" + html + "' 2>'" + errors + "'")
                                      .c_str());
    EXPECT_EQ(check, 0) << orv::test::ReadAll(errors);
    const std::string text = orv::test::ReadAll(html);
    std::set<int> worked;
    const json years = json::parse(Calc(args + " --format json").out)["years"];
    for (const auto& y : years) worked.insert(y["year"].get<int>());
    size_t bars = 0;
    for (size_t at = text.find("<g class=\"year\""); at != std::string::npos;
         at = text.find("<g class=\"year\"", at + 1))
      ++bars;
    EXPECT_EQ(bars, worked.size());
    if (id == 6) {
      EXPECT_EQ(text.find("<svg"), std::string::npos);
    }
  }
}

// Careers of every shape for the pictures, on the sample data: collieries
// open throughout, the special strike job (17), salvage work allowed two
// years after closure (11), a user-defined factor.
struct Career {
  const char* name;
  const char* history;
};
const Career kCareers[] = {
    {"one-short-job",
     R"({"claimant": {"name": "One Short Job"},
         "jobs": [{"colliery_id": 1052, "start_year": 1979, "end_year": 1981,
                   "job_factor_id": 1, "resp_factor_id": 1}],
         "smoking": [{"category_code": "L", "years": 10}]})"},
    {"fifty-years-eight-collieries",
     R"({"claimant": {"name": "Fifty Years"},
         "jobs": [
          {"colliery_id": 1052, "start_year": 1947, "end_year": 1952, "job_factor_id": 8, "resp_factor_id": 1},
          {"colliery_id": 1064, "start_year": 1953, "end_year": 1958, "job_factor_id": 2, "resp_factor_id": 1},
          {"colliery_id": 1087, "start_year": 1959, "end_year": 1964, "job_factor_id": 1, "resp_factor_id": 1},
          {"colliery_id": 1109, "start_year": 1965, "end_year": 1970, "job_factor_id": 3, "resp_factor_id": 1},
          {"colliery_id": 1110, "start_year": 1971, "end_year": 1977, "job_factor_id": 1, "resp_factor_id": 3},
          {"colliery_id": 1118, "start_year": 1978, "end_year": 1984, "job_factor_id": 4, "resp_factor_id": 2},
          {"colliery_id": 1125, "start_year": 1985, "end_year": 1990, "job_factor_id": 5, "resp_factor_id": 2},
          {"colliery_id": 1133, "start_year": 1991, "end_year": 1996, "job_factor_id": 7, "resp_factor_id": 1}],
         "smoking": [{"category_code": "M", "start_year": 1950, "end_year": 1975}]})"},
    {"no-smoking",
     R"({"claimant": {"name": "No Smoking"},
         "jobs": [
          {"colliery_id": 1161, "start_year": 1950, "end_year": 1966, "job_factor_id": 1, "resp_factor_id": 1},
          {"colliery_id": 1163, "start_year": 1967, "end_year": 1978, "job_factor_id": 2, "resp_factor_id": 3}]})"},
    {"strikes-gap-and-closure",
     R"({"claimant": {"name": "Strikes Gap Closure"},
         "jobs": [
          {"colliery_id": 1138, "start_year": 1955, "end_year": 1971, "job_factor_id": 1, "resp_factor_id": 1},
          {"colliery_id": 1138, "start_year": 1972, "end_year": 1972, "job_factor_id": 17, "resp_factor_id": 6},
          {"colliery_id": 1138, "start_year": 1973, "end_year": 1983, "job_factor_id": 1, "resp_factor_id": 3},
          {"colliery_id": 1021, "start_year": 1987, "end_year": 1994, "job_factor_id": 2, "resp_factor_id": 2},
          {"colliery_id": 1021, "start_year": 1995, "end_year": 1996, "job_factor_id": 11, "resp_factor_id": 1}],
         "smoking": [{"category_code": "H", "years": 15}]})"},
    {"user-defined-factor",
     R"({"claimant": {"name": "User Factor"},
         "jobs": [
          {"colliery_id": 1052, "start_year": 1960, "end_year": 1969, "job_factor_id": 1, "resp_factor_id": 1},
          {"colliery_id": 1052, "start_year": 1970, "end_year": 1988,
           "user_factor": {"id": 10000, "code": "U1", "descr": "Belt patrolman",
                           "job_factor": 0.6, "dusty_time_factor": 0.7,
                           "resp_factor": 20, "start_year": 1975, "end_year": 1988,
                           "start_year_val": 1, "end_year_val": 0.5,
                           "years_past_closure": 0}}],
         "smoking": [{"category_code": "P", "years": 20}]})"},
    {"refused",
     R"({"claimant": {"name": "Refused"},
         "jobs": [
          {"colliery_id": 1052, "start_year": 1960, "end_year": 1970, "job_factor_id": 1, "resp_factor_id": 1},
          {"colliery_id": 1064, "start_year": 1965, "end_year": 1975, "job_factor_id": 1, "resp_factor_id": 1}]})"},
};

TEST_F(SampleYears, ScreenshotsOfEveryCareerShape) {
  const char* dir = std::getenv("TARNBY_SCREENSHOT_DIR");
  if (!dir) GTEST_SKIP() << "TARNBY_SCREENSHOT_DIR not set";
  fs::create_directories(dir);
  // The browser keeps its profile under a home of its own.
  const std::string home = scratch_->File("browser-home");
  fs::create_directories(home);
  for (const Career& c : kCareers) {
    SCOPED_TRACE(c.name);
    const std::string base = std::string(dir) + "/chart-" + c.name;
    const std::string history = scratch_->File(std::string(c.name) + ".json");
    std::ofstream(history) << c.history;
    const bool refused = std::string(c.name) == "refused";
    const Ran pdf = Calc("--history '" + history + "' --format pdf --output '" + base + ".pdf'");
    EXPECT_EQ(pdf.code, refused ? 1 : 0) << pdf.err;
    const Ran html = Calc("--history '" + history + "' --format html --output '" + base + ".html'");
    EXPECT_EQ(html.code, refused ? 1 : 0) << html.err;
    // The PDF's last page as a person sees it: the chart, or the refusal.
    const std::string last_page = "n=$(pdfinfo '" + base + ".pdf' | awk '/^Pages:/ {print $2}'); "
                                  "pdftoppm -png -r 90 -singlefile -f $n -l $n '" + base +
                                  ".pdf' '" + base + "-last-page'";
    EXPECT_EQ(std::system(last_page.c_str()), 0);
    EXPECT_EQ(std::system(("HOME='" + home + "' timeout 120 firefox-esr --headless "
                           "--window-size=1100,3600 --screenshot '" + base + "-html.png' 'file://" +
                           base + ".html' >/dev/null 2>&1")
                              .c_str()),
              0);
    EXPECT_TRUE(fs::exists(base + "-html.png"));
    // The chart alone at the size a reader sees it, for a closer look.
    const std::string page = orv::test::ReadAll(base + ".html");
    const size_t figure = page.find("<figure");
    if (refused) {
      EXPECT_EQ(figure, std::string::npos);
      continue;
    }
    ASSERT_NE(figure, std::string::npos);
    std::ofstream(base + "-chart.html")
        << "<!DOCTYPE html><html><head><meta charset=\"utf-8\"><title>chart</title></head><body>"
        << page.substr(figure, page.find("</figure>") + 9 - figure) << "</body></html>\n";
    EXPECT_EQ(std::system(("HOME='" + home + "' timeout 120 firefox-esr --headless "
                           "--window-size=1000,760 --screenshot '" + base + "-html-chart.png' "
                           "'file://" + base + "-chart.html' >/dev/null 2>&1")
                              .c_str()),
              0);
  }
}

}  // namespace
}  // namespace orv::calcrun
