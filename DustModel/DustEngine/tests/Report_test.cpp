// The report's heading and its four channels: events, the report output
// object's preview, the HTML file, and none.
#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <sstream>

#include "CalcFixture.h"
#include "OrvError.h"
#include "Registry.h"
#include "ReportHtml.h"

namespace orv::dust::calctest {
namespace {

namespace fs = std::filesystem;

std::vector<std::string> ReadLines(const std::string& path) {
  std::ifstream in(path);
  std::vector<std::string> lines;
  for (std::string l; std::getline(in, l);) lines.push_back(l);
  return lines;
}

class ReportChannels : public CalcFixture {
 protected:
  // Ashby Main 1961-1965 (4 years at dust 4), no smoking.
  bool RunShort() { return Run({Job(101, 1961, 1965, 1, 1)}); }
};

TEST_F(ReportChannels, HeadingNamesClaimantAndExtraOnlyWhenGiven) {
  model_->SetClaimantName("Ann Smith");
  model_->SetClaimantExtraLabel("Claimant Address: ");
  ASSERT_TRUE(RunShort());
  ASSERT_GE(lines_.size(), 3u);
  EXPECT_EQ(lines_[0], "Claimant: Ann Smith");
  EXPECT_EQ(lines_[1], "Solicitor Reference: ");

  model_->SetClaimantExtra("1 Pit Row, Ashby");
  ASSERT_TRUE(RunShort());
  EXPECT_EQ(lines_[1], "Claimant Address: 1 Pit Row, Ashby");

  DustModel fresh;
  EXPECT_EQ(fresh.ClaimantExtraLabel(), "Additional information: ");
  EXPECT_EQ(fresh.ErrorMode(), orvShowMsg);
  EXPECT_EQ(fresh.OutputOption(), orvRaiseEvent);
}

TEST_F(ReportChannels, HeadingNoteStandsAfterTheJurisdictionOnlyWhenGiven) {
  ASSERT_TRUE(RunShort());
  const std::vector<std::string> plain = lines_;
  model_->SetHeadingNote("History changed since the last calculation: 14:05 on 07 Dec 2026");
  ASSERT_TRUE(RunShort());
  ASSERT_EQ(lines_.size(), plain.size() + 1);
  const auto at = std::find(lines_.begin(), lines_.end(),
                            "History changed since the last calculation: 14:05 on 07 Dec 2026");
  ASSERT_NE(at, lines_.end());
  EXPECT_EQ(at[-1], "Jurisdiction: England/Wales");
  EXPECT_EQ(at[1], "");
  model_->SetHeadingNote("");
  ASSERT_TRUE(RunShort());
  EXPECT_EQ(lines_.size(), plain.size());
}

TEST_F(ReportChannels, OneIsScotlandAndAnyOtherJurisdictionIsRefused) {
  model_->SetJurisdiction(orvScotland);
  ASSERT_TRUE(RunShort());
  EXPECT_TRUE(HasLine("Jurisdiction: Scotland"));
  // Scotland's limitation year 1964 at value 1: 1964 whole, 1965 halved.
  EXPECT_FLOAT_EQ(model_->PercentEmploymentPostLimitation(), 37.5f);
  // Never taken as Scotland without a word.
  for (int32_t other : {2, 7, 99, -1}) {
    try {
      model_->SetJurisdiction(other);
      ADD_FAILURE() << other << " taken";
    } catch (const OrvError& e) {
      EXPECT_EQ(e.Number(), err::kInvalidPropertyValue);
      EXPECT_NE(e.Description().find("The jurisdiction " + std::to_string(other) + " is not known"),
                std::string::npos);
    }
    EXPECT_EQ(model_->Jurisdiction(), orvScotland);
  }
}

TEST_F(ReportChannels, LabelOnlyLinesCarryNoEquals) {
  ASSERT_TRUE(RunShort());
  EXPECT_TRUE(HasLine("Colliery: Ashby Main, area: North from 1961 to 1965"));
  EXPECT_TRUE(HasLine("Total adjusted years worked = 4.00"));
  for (const std::string& line : lines_) EXPECT_EQ(line.find('\t'), std::string::npos) << line;
}

TEST_F(ReportChannels, NoOutputStillReportsValidationFailures) {
  model_->SetOutputOption(orvNoOutput);
  ASSERT_TRUE(RunShort());
  EXPECT_TRUE(lines_.empty());
  EXPECT_FALSE(Run({Job(0, 1960, 1962, 1, 1)}));
  EXPECT_TRUE(lines_.empty());
  ASSERT_EQ(errors_.size(), 1u);
  EXPECT_EQ(model_->OutputObject(), nullptr);
}

// A stand-in for the report output object, recording every call.
class RecordingOutput : public orv::Component, public orv::IOutput {
 public:
  std::string ClassName() const override { return kOutputClassId; }
  void SetHeader(const std::string& t) override { calls.push_back("Header " + t); }
  void SetFooter(const std::string& t) override { calls.push_back("Footer " + t); }
  void DetailLine(const std::string& l, const std::string& v) override {
    calls.push_back("Line " + l + "|" + v);
  }
  void SetExposureChart(const orv::ExposureChartData& chart) override {
    calls.push_back("Chart " + std::to_string(chart.years.size()));
  }
  void KillDoc() override { calls.push_back("KillDoc"); }
  void StartDoc() override { calls.push_back("StartDoc"); }
  void EndDoc() override { calls.push_back("EndDoc"); }
  void Show() override { calls.push_back("Show"); }
  void UnloadForm() override { calls.push_back("UnloadForm"); }
  void SavePdf(const std::string& path) override { calls.push_back("SavePdf " + path); }
  std::vector<std::string> calls;
};

TEST_F(ReportChannels, PreviewReceivesHeadingLinesAndValues) {
  auto output = std::make_shared<RecordingOutput>();
  orv::RegisterFactory(kOutputClassId, [output] { return output; });
  model_->SetClaimantName("Ann Smith");
  model_->SetSolicitorRef("S/9");
  model_->SetZURIRRef("Z-9");
  model_->SetPrintDetail(true);
  model_->SetOutputOption(orvShowForm);
  ASSERT_TRUE(RunShort());
  const std::vector<std::string>& c = output->calls;
  ASSERT_GE(c.size(), 6u);
  EXPECT_EQ(c[0], "Show");
  EXPECT_EQ(c[1], "KillDoc");
  EXPECT_EQ(c[2], "StartDoc");
  EXPECT_EQ(c[3], "Header Dust Calculation for Ann Smith\r\nRef: S/9\tZURIR Ref: Z-9");
  EXPECT_EQ(c[4], "Footer Page %d");
  EXPECT_EQ(c[5], "Line Claimant: Ann Smith|");
  EXPECT_NE(
      std::find(c.begin(), c.end(), "Line \t\t\tDust matrix marker: [SURVEY], raw value|4.00"),
      c.end());
  EXPECT_EQ(c[c.size() - 3], "Chart 5");
  EXPECT_EQ(c[c.size() - 2], "EndDoc");
  EXPECT_EQ(c.back(), "Show");
  EXPECT_TRUE(lines_.empty());

  // Another channel unloads the window and keeps the object; the model's end
  // unloads it again and lets it go.
  model_->SetOutputOption(orvRaiseEvent);
  EXPECT_EQ(output->calls.back(), "UnloadForm");
  EXPECT_EQ(model_->OutputObject(), output);
  model_.reset();
  EXPECT_EQ(output->calls.back(), "UnloadForm");
  orv::RegisterFactory(kOutputClassId, {});
}

// The preview cannot be created (as when its library is missing).
TEST_F(ReportChannels, PreviewThatCannotBeCreated) {
  orv::RegisterFactory(kOutputClassId, [] { return orv::ComponentPtr{}; });
  try {
    model_->SetOutputOption(orvShowForm);
    FAIL() << "no failure";
  } catch (const OrvError& e) {
    EXPECT_EQ(e.Number(), orv::err::kCantCreateObject);
    EXPECT_EQ(e.Source(), "DustModel:Property Let OutputOption");
    EXPECT_NE(e.Description().find(kOutputClassId), std::string::npos) << e.Description();
  }
  orv::RegisterFactory(kOutputClassId, {});
}

TEST_F(ReportChannels, HtmlFileEscapesTextAndIndentsDetail) {
  ScratchDir dir;
  const std::string file = dir.File("ORVDUST.HTM");
  model_->SetClaimantName("<b>O'Neil & \"Sons\"</b>");
  model_->SetPrintDetail(true);
  model_->SetHTMLFile(file);
  model_->SetOutputOption(orvHTMLFile);
  ASSERT_TRUE(RunShort());
  EXPECT_TRUE(lines_.empty());
  const std::vector<std::string> html = ReadLines(file);
  ASSERT_GE(html.size(), 4u);
  EXPECT_EQ(html[0],
            "<!DOCTYPE html><HTML><HEAD><META HTTP-EQUIV=\"Content-Type\" CONTENT=\"text/html; "
            "charset=utf-8\"><TITLE>Dust Model Output</TITLE></HEAD>");
  EXPECT_EQ(html[1], "<BODY><TABLE BORDER=\"1\" WIDTH=\"100%\">");
  EXPECT_EQ(html[2],
            "<TR><TD>&nbsp;Claimant: &lt;b&gt;O&#39;Neil &amp; &quot;Sons&quot;&lt;/b&gt;"
            "</TD><TD ALIGN=RIGHT>&nbsp;</TD></TR>");
  std::string expected3 = "<TR><TD>&nbsp;";
  for (int i = 0; i < 3; ++i) expected3 += "&nbsp;&nbsp;&nbsp;&nbsp;&nbsp;";
  expected3 += "Dust matrix marker: [SURVEY], raw value</TD><TD ALIGN=RIGHT>&nbsp;4.00</TD></TR>";
  EXPECT_NE(std::find(html.begin(), html.end(), expected3), html.end());
  // The table, then the exposure chart, then the page's end.
  ASSERT_GE(html.size(), 6u);
  EXPECT_EQ(html[html.size() - 3], "</TABLE>");
  EXPECT_EQ(html[html.size() - 2].rfind("<figure", 0), 0u);
  EXPECT_EQ(html.back(), "</BODY></HTML>");
  for (const std::string& l : html) EXPECT_EQ(l.find("<b>"), std::string::npos);
}

TEST_F(ReportChannels, HtmlFileInMissingFolder) {
  model_->SetHTMLFile("/no/such/folder/ORVDUST.HTM");
  model_->SetOutputOption(orvHTMLFile);
  try {
    (void)RunShort();
    FAIL() << "no failure";
  } catch (const OrvError& e) {
    EXPECT_EQ(e.Number(), orv::err::kPathNotFound);
    EXPECT_EQ(e.Source(),
              "DustModel:SetupOutput - Error opening file /no/such/folder/ORVDUST.HTM for HTML "
              "output - check this is a valid path");
  }
}

// A failure inside a pass still closes the file, readable to its end.
TEST(ReportHtmlFile, ClosedWhenAPassFails) {
  ScratchDir dir;
  const std::string file = dir.File("ORVDUST.HTM");
  DustModel model;
  model.SetDustDatabase(HandDbWith({{"AvgYrPXR", "0"}}));
  model.SetHTMLFile(file);
  model.SetOutputOption(orvHTMLFile);
  auto jobs = std::make_shared<colCoalJobs>();
  jobs->Add({}, 1, 1, {}, 101, {}, 1961, 1962);
  model.SetCoalJobCollection(jobs);
  model.SetSmokeHistoryCollection(std::make_shared<colSmokeEntry>());
  EXPECT_THROW((void)model.Calculate(), OrvError);
  const std::vector<std::string> html = ReadLines(file);
  ASSERT_FALSE(html.empty());
  EXPECT_EQ(html.back(), "</TABLE></BODY></HTML>");
  // The next calculation can open the same file again.
  EXPECT_THROW((void)model.Calculate(), OrvError);
}

TEST(ReportHtmlText, Escaping) {
  EXPECT_EQ(HtmlEscape("a<b>&\"c'"), "a&lt;b&gt;&amp;&quot;c&#39;");
  EXPECT_EQ(HtmlReportLine(1, "x & y", "1.00"),
            "<TR><TD>&nbsp;&nbsp;&nbsp;&nbsp;&nbsp;&nbsp;x &amp; y</TD><TD "
            "ALIGN=RIGHT>&nbsp;1.00</TD></TR>");
}

}  // namespace
}  // namespace orv::dust::calctest
