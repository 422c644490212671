// The calculation report of the dust model: its lines, heading, completion
// and validation failures, written to the channel chosen by OutputOption
// (events, the report output object's preview, an HTML file, or nowhere).
// Library-private; DustModel forwards its report properties here.
//
// Failures are passed on with the same number and description and the
// source "DustModel:<routine>" ("DustModel:LinePrint", "DustModel:SetupOutput",
// "DustModel:Property Let OutputOption", ...).
#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <string>

#include "Component.h"
#include "Dates.h"
#include "DustModelTypes.h"
#include "ExposureChart.h"
#include "IOutput.h"
#include "ReportHtml.h"

namespace orv::dust {

// Receives one report line (orvRaiseEvent) or one validation failure text
// (orvRaiseErrorEvent), synchronously, while Calculate runs.
using ReportTextHandler = std::function<void(const std::string&)>;

// The class identifier of the report output object.
inline constexpr const char* kOutputClassId = "OrvDustO.Output";

struct ReportSettings {
  int32_t output_option = orvRaiseEvent;
  bool print_detail = false;
  std::string html_file;
  std::string claimant_name;
  std::string solicitor_ref;
  std::string zurir_ref;
  std::string claimant_extra;
  std::string claimant_extra_label = "Additional information: ";
  // A line of its own at the end of the heading (none when empty): what the
  // host has to say about this claimant's calculation.
  std::string heading_note;
  int32_t error_mode = orvShowMsg;
  // The exposure chart after the last line (preview and HTML file).
  bool exposure_chart = true;
  ReportTextHandler output_line;
  ReportTextHandler error;
  // The time the heading names; the current time unless a test sets it.
  std::function<orv::Clock::time_point()> clock;
};

// What the heading names besides the claimant.
struct ReportHeading {
  int32_t jurisdiction = orvEnglandWales;
  std::string engine_version;
  std::string data_version;
};

class Report {
 public:
  Report() = default;
  Report(const Report&) = delete;
  Report& operator=(const Report&) = delete;
  ~Report();

  ReportSettings& Settings() { return settings_; }
  const ReportSettings& Settings() const { return settings_; }

  // Writing OutputOption: orvShowForm creates the output object when there
  // is none and shows it; any other value unloads the object's window and
  // keeps the object.
  void SetOutputOption(int32_t option);

  // One line: the label alone, or the label with its value formatted with
  // `decimals` places ("0.00" for 2). Indented by the detail level in a
  // detail report (tabs; five &nbsp; per level in HTML), never in a normal
  // one.
  void LinePrint(const std::string& label);
  void LinePrint(const std::string& label, float value, int decimals);
  // LinePrint only in a normal report.
  void NormalPrint(const std::string& label);
  void NormalPrint(const std::string& label, float value, int decimals);
  // LinePrint only in a detail report.
  void DetailPrint(const std::string& label);
  void DetailPrint(const std::string& label, float value, int decimals);

  // The detail indentation level, 0 to 3.
  void SetDetailLevel(int level) { detail_level_ = level; }
  int DetailLevel() const { return detail_level_; }

  // Starts the report (resets the preview document, or opens the HTML file)
  // and writes the heading. An HTML file in a folder that does not exist
  // fails with 76 and the source "DustModel:SetupOutput - Error opening
  // file <file> for HTML output - check this is a valid path".
  void SetupOutput(const ReportHeading& heading);
  // Finishes the report: the preview's EndDoc and Show, or the HTML file's
  // last line and its closing. With a chart (a calculation that ran
  // through) and exposure_chart set, the preview gets the chart before
  // EndDoc and the HTML file gets it as SVG after the table.
  void CompleteOutput(const orv::ExposureChartData* chart = nullptr);
  // Whether CompleteOutput would show a chart: exposure_chart set and the
  // channel the preview or the HTML file.
  bool ShowsExposureChart() const {
    return settings_.exposure_chart &&
           (settings_.output_option == orvShowForm || settings_.output_option == orvHTMLFile);
  }
  // After a run-time failure: closes an open HTML file with its last line,
  // so that what was written stays readable. Never fails.
  void AbandonOutput() noexcept;

  // Reports a validation failure (Error event or message box "Dust Model
  // Error"), then writes it as the line "ERROR: <text>".
  void DustError(const std::string& text);

  // The report output object held since orvShowForm was chosen, or nullptr.
  std::shared_ptr<orv::IOutput> OutputObject() const { return output_; }

  // Unloads the output object's window; with release, drops the object.
  void UnloadOutputForm(bool release);

 private:
  void CreateOutputObject();
  void OpenHtmlFile();
  void Write(const std::string& label, const std::string& value);
  void Heading(bool detail, const ReportHeading& heading);
  void HeadingLine(bool detail, const std::string& label);

  ReportSettings settings_;
  orv::ComponentPtr output_component_;
  std::shared_ptr<orv::IOutput> output_;
  HtmlReportFile html_;
  int detail_level_ = 0;
};

}  // namespace orv::dust
