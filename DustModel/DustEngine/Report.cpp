// Report lines and their channels.
#include "Report.h"

#include "Numbers.h"
#include "detail/ClassError.h"
#include "detail/ReportChannel.h"

namespace orv::dust {

// The library's private pieces (the member guard, the calculation pass,
// the class table).
using namespace detail;

namespace {

constexpr const char* kPrefix = "DustModel:";

std::string ValueText(float value, int decimals) {
  std::string pattern = "0.";
  pattern.append(static_cast<size_t>(decimals > 0 ? decimals : 0), '0');
  return orv::FormatPattern(value, pattern);
}

}  // namespace

void Report::Write(const std::string& label, const std::string& value) {
  const int indent = settings_.print_detail ? detail_level_ : 0;
  switch (settings_.output_option) {
    case orvRaiseEvent: {
      std::string line(static_cast<size_t>(indent), '\t');
      line += label;
      if (!value.empty()) {
        line += " = ";
        line += value;
      }
      if (settings_.output_line) settings_.output_line(line);
      break;
    }
    case orvShowForm: {
      if (!output_) RaiseStandard(err::kObjectNotSet);
      std::string line(static_cast<size_t>(indent), '\t');
      line += label;
      output_->DetailLine(line, value);
      break;
    }
    case orvHTMLFile:
      html_.WriteLine(HtmlReportLine(indent, label, value));
      break;
    default:
      break;
  }
}

void Report::LinePrint(const std::string& label) {
  ClassGuard(kPrefix, "LinePrint", [&] { Write(label, {}); });
}

void Report::LinePrint(const std::string& label, float value, int decimals) {
  // A channel that writes nothing needs no value text: a calculation without
  // a report spends its time on the calculation, not on formatting.
  if (!ChannelWrites(settings_.output_option)) return;
  ClassGuard(kPrefix, "LinePrint", [&] { Write(label, ValueText(value, decimals)); });
}

void Report::NormalPrint(const std::string& label) {
  if (settings_.print_detail) return;
  try {
    LinePrint(label);
  } catch (...) {
    RaiseClassError(kPrefix, "NormalPrint");
  }
}

void Report::NormalPrint(const std::string& label, float value, int decimals) {
  if (settings_.print_detail) return;
  try {
    LinePrint(label, value, decimals);
  } catch (...) {
    RaiseClassError(kPrefix, "NormalPrint");
  }
}

void Report::DetailPrint(const std::string& label) {
  if (!settings_.print_detail) return;
  try {
    LinePrint(label);
  } catch (...) {
    RaiseClassError(kPrefix, "DetailPrint");
  }
}

void Report::DetailPrint(const std::string& label, float value, int decimals) {
  if (!settings_.print_detail) return;
  try {
    LinePrint(label, value, decimals);
  } catch (...) {
    RaiseClassError(kPrefix, "DetailPrint");
  }
}

}  // namespace orv::dust
