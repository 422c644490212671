// tarnby-calc: one claimant's calculation from a history file, with the
// report as text, JSON, HTML or PDF.
//
// Exit codes: 0 calculated; 1 the calculation refused the history (its
// reason in validation_error, and on standard error); 2 bad usage or input;
// 3 a run-time failure (number, source and description on standard error).
#include <fstream>
#include <iostream>
#include <map>
#include <string>

#include <CLI/CLI.hpp>

#include "CalcRun.h"
#include "ExitCodes.h"
#include "InputError.h"
#include "ResultJson.h"

namespace {

using orv::calc::Format;
using orv::tools::kExitBadInput;
using orv::tools::kExitFailure;
using orv::tools::kExitOk;
using orv::tools::kExitRefused;

constexpr const char* kTool = "tarnby-calc";

// Writes to the --output file, or standard output without one.
bool WriteOut(const std::string& path, const std::string& text) {
  if (path.empty()) {
    std::cout << text;
    return static_cast<bool>(std::cout.flush());
  }
  std::ofstream out(path, std::ios::binary | std::ios::trunc);
  out << text;
  return static_cast<bool>(out.flush());
}

std::string ReportText(const orv::calc::CalcOutcome& o) {
  std::string text;
  for (const std::string& line : o.report) text += line + "\n";
  return text;
}

int Emit(const orv::calc::CalcOptions& options, const orv::calc::CalcOutcome& o) {
  bool written = true;
  switch (options.format) {
    case Format::kJson:
      written = WriteOut(options.output, orv::calc::ResultJson(o));
      break;
    case Format::kText:
      if (!o.error) written = WriteOut(options.output, ReportText(o));
      break;
    case Format::kHtml:
      if (options.output.empty() && !o.error) written = WriteOut({}, o.html);
      break;
    case Format::kPdf:
      break;
  }
  if (o.error) {
    std::cerr << kTool << ": " << orv::tools::DescribeError(*o.error) << "\n";
    return kExitFailure;
  }
  if (!written) {
    std::cerr << kTool << ": " << options.output << ": cannot be written\n";
    return kExitFailure;
  }
  if (!o.ok) {
    std::cerr << kTool << ": refused: " << o.validation_error.value_or("") << "\n";
    return kExitRefused;
  }
  return kExitOk;
}

}  // namespace

int main(int argc, char** argv) {
  CLI::App app{"Calculates one claimant's dust exposure and recoverable quantum.", kTool};
  orv::calc::CalcOptions options;
  std::string history;
  // The help names each value as a person would; the checks say what went wrong when a value
  // is refused.
  app.add_option("--dust-db", options.dust_db, "The dust data database (required)")
      ->required()
      ->check(CLI::ExistingFile)
      ->option_text("FILE");
  app.add_option("--history", history, "The claimant's history file, JSON (required)")
      ->required()
      ->check(CLI::ExistingFile)
      ->option_text("FILE");
  app.add_option("--jurisdiction", options.jurisdiction,
                 "0 England and Wales (default), 1 Scotland")
      ->check(CLI::IsMember({0, 1}))
      ->option_text("0|1");
  app.add_flag("--detail", options.detail, "The detailed report");
  const std::map<std::string, Format> formats{{"json", Format::kJson},
                                              {"text", Format::kText},
                                              {"html", Format::kHtml},
                                              {"pdf", Format::kPdf}};
  app.add_option("--format", options.format,
                 "What to write: the results as JSON, the report as text (default), as an "
                 "HTML page or as a PDF file (which needs --output)")
      ->transform(CLI::CheckedTransformer(formats, CLI::ignore_case))
      ->option_text("json|text|html|pdf");
  app.add_option("--output", options.output, "The file to write (default standard output)")
      ->option_text("FILE");

  try {
    app.parse(argc, argv);
  } catch (const CLI::CallForHelp& e) {
    return app.exit(e);
  } catch (const CLI::ParseError& e) {
    app.exit(e);
    return kExitBadInput;
  }
  if (options.format == Format::kPdf && options.output.empty()) {
    std::cerr << kTool << ": --format pdf needs --output FILE\n";
    return kExitBadInput;
  }

  return orv::tools::RunGuarded(kTool, [&] {
    const orv::calc::HistoryFile file = orv::calc::ReadHistoryFile(history);
    return Emit(options, orv::calc::RunCalculation(options, file));
  });
}
