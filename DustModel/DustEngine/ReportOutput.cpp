// The report's start, heading and completion, validation failures, and the
// report output object's lifetime.
#include "Report.h"

#include "MessageBox.h"
#include "Registry.h"
#include "detail/ClassError.h"
#include "detail/ReportChannel.h"

namespace orv::dust {

// The library's private pieces (the member guard, the calculation pass,
// the class table).
using namespace detail;

namespace {
constexpr const char* kPrefix = "DustModel:";
}

Report::~Report() {
  try {
    UnloadOutputForm(true);
  } catch (...) {
    // The object's window is gone with the host; nothing to report to.
  }
}

void Report::CreateOutputObject() {
  if (output_) return;
  orv::ComponentPtr component = orv::CreateObject(kOutputClassId);
  std::shared_ptr<orv::IOutput> output = orv::As<orv::IOutput>(component);
  if (!output)
    throw OrvError(err::kCantCreateObject, "CreateObject",
                   std::string(kOutputClassId) + " does not offer the report output interface");
  output_component_ = std::move(component);
  output_ = std::move(output);
}

void Report::UnloadOutputForm(bool release) {
  ClassGuard(kPrefix, "UnloadOutputForm", [&] {
    if (output_) output_->UnloadForm();
    if (release) {
      output_.reset();
      output_component_.reset();
    }
  });
}

void Report::SetOutputOption(int32_t option) {
  ClassGuard(kPrefix, "Property Let OutputOption", [&] {
    settings_.output_option = option;
    if (option == orvShowForm) {
      CreateOutputObject();
      output_->Show();
    } else {
      UnloadOutputForm(false);
    }
  });
}

void Report::OpenHtmlFile() {
  try {
    html_.Open(settings_.html_file);
  } catch (const OrvError& e) {
    if (e.Number() == err::kPathNotFound)
      RaiseClassError(kPrefix, "SetupOutput",
                      "Error opening file " + settings_.html_file +
                          " for HTML output - check this is a valid path");
    RaiseClassError(kPrefix, "SetupOutput");
  } catch (...) {
    RaiseClassError(kPrefix, "SetupOutput");
  }
}

void Report::SetupOutput(const ReportHeading& heading) {
  if (settings_.output_option == orvHTMLFile) OpenHtmlFile();
  try {
    if (settings_.output_option == orvShowForm) {
      CreateOutputObject();
      output_->KillDoc();
      output_->StartDoc();
    }
    // A report always starts unindented, also after a calculation that a
    // failure stopped inside a job.
    detail_level_ = 0;
    Heading(settings_.print_detail, heading);
  } catch (...) {
    AbandonOutput();
    RaiseClassError(kPrefix, "SetupOutput");
  }
}

void Report::HeadingLine(bool detail, const std::string& label) {
  if (detail)
    DetailPrint(label);
  else
    NormalPrint(label);
}

// NormalHeader and DetailHeader: the same sequence, written through
// NormalPrint or DetailPrint, so the heading is always written.
void Report::Heading(bool detail, const ReportHeading& heading) {
  // A channel that writes nothing needs no heading (nor the time for it).
  if (!ChannelWrites(settings_.output_option)) return;
  try {
    const ReportSettings& s = settings_;
    if (s.output_option == orvShowForm) {
      output_->SetHeader("Dust Calculation for " + s.claimant_name + "\r\nRef: " + s.solicitor_ref +
                         "\tZURIR Ref: " + s.zurir_ref);
      output_->SetFooter("Page %d");
    } else if (s.output_option == orvHTMLFile) {
      html_.WriteLine(kHtmlHead);
      html_.WriteLine(kHtmlTableStart);
    }
    HeadingLine(detail, "Claimant: " + s.claimant_name);
    if (!s.claimant_extra.empty()) HeadingLine(detail, s.claimant_extra_label + s.claimant_extra);
    HeadingLine(detail, "Solicitor Reference: " + s.solicitor_ref);
    HeadingLine(detail, "ZURIR Reference: " + s.zurir_ref);
    HeadingLine(detail, "");
    HeadingLine(detail, "Dust Calculation Engine Version: " + heading.engine_version);
    HeadingLine(detail, "Dust Data Version: " + heading.data_version);
    const orv::Clock::time_point now = s.clock ? s.clock() : orv::Clock::now();
    HeadingLine(detail, "Calculation time and date: " + orv::FormatReportTime(now));
    HeadingLine(detail, heading.jurisdiction == orvEnglandWales ? "Jurisdiction: England/Wales"
                                                                : "Jurisdiction: Scotland");
    if (!s.heading_note.empty()) HeadingLine(detail, s.heading_note);
    HeadingLine(detail, "");
  } catch (...) {
    RaiseClassError(kPrefix, detail ? "DetailHeader" : "NormalHeader");
  }
}

void Report::CompleteOutput(const orv::ExposureChartData* chart) {
  ClassGuard(kPrefix, "CompleteOutput", [&] {
    const bool with_chart = chart && ShowsExposureChart() && !chart->years.empty();
    if (settings_.output_option == orvShowForm) {
      if (!output_) RaiseStandard(err::kObjectNotSet);
      if (with_chart) output_->SetExposureChart(*chart);
      output_->EndDoc();
      output_->Show();
    } else if (settings_.output_option == orvHTMLFile) {
      if (with_chart) {
        html_.WriteLine(kHtmlTableEnd);
        html_.WriteLine(ExposureChartSvg(*chart));
        html_.WriteLine(kHtmlBodyEnd);
      } else {
        html_.WriteLine(kHtmlEnd);
      }
      html_.Close();
    }
  });
}

void Report::AbandonOutput() noexcept {
  try {
    if (html_.IsOpen()) {
      html_.WriteLine(kHtmlEnd);
      html_.Close();
    }
  } catch (...) {
    // The failure that brought us here is the one the host must see.
  }
}

void Report::DustError(const std::string& text) {
  ClassGuard(kPrefix, "DustError", [&] {
    if (settings_.error_mode != orvRaiseErrorEvent) {
      orv::MsgBox(text, orv::mb::kCritical | orv::mb::kOkOnly, "Dust Model Error");
    } else if (settings_.error) {
      settings_.error(text);
    }
    LinePrint("ERROR: " + text);
  });
}

}  // namespace orv::dust
