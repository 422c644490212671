// The help of our tools, as a person would write it: each option shows the
// value it takes in words of its own ("FILE", "ID", "json|text|html|pdf")
// when it names one, and nothing else; the library's type names, checks and
// option relations ("TEXT:FILE REQUIRED", "ENUM:value in {...}", "Needs:",
// "Excludes:") stay out of the help, and its descriptions say it instead.
// Refused values are still told in full when the command line is checked.
#pragma once

#include <CLI/CLI.hpp>
#include <memory>
#include <optional>
#include <string>

#include "ExitCodes.h"

namespace orv::tools {

class PlainHelpFormatter : public CLI::Formatter {
 public:
  std::string make_option_opts(const CLI::Option* opt) const override {
    const std::string& text = opt->get_option_text();
    return text.empty() ? std::string() : " " + text;
  }
};

// Gives `app`, and the subcommands added to it afterwards, the plain help.
inline void UsePlainHelp(CLI::App& app) { app.formatter(std::make_shared<PlainHelpFormatter>()); }

// Parses the command line. Empty when the tool goes on; otherwise the exit
// code: 0 after the help was asked for and printed, 2 for bad usage, whose
// message CLI11 has printed.
inline std::optional<int> ParseCommandLine(CLI::App& app, int argc, char** argv) {
  try {
    app.parse(argc, argv);
  } catch (const CLI::CallForHelp& e) {
    return app.exit(e);
  } catch (const CLI::CallForAllHelp& e) {
    return app.exit(e);
  } catch (const CLI::ParseError& e) {
    (void)app.exit(e);
    return kExitBadInput;
  }
  return std::nullopt;
}

}  // namespace orv::tools
