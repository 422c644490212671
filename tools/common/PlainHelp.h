// The help of our tools, as a person would write it: each option shows the
// value it takes in words of its own ("FILE", "ID", "json|text|html|pdf")
// when it names one, and nothing else; the library's type names, checks and
// option relations ("TEXT:FILE REQUIRED", "ENUM:value in {...}", "Needs:",
// "Excludes:") stay out of the help, and its descriptions say it instead.
// Refused values are still told in full when the command line is checked.
#pragma once

#include <CLI/CLI.hpp>
#include <memory>
#include <string>

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

}  // namespace orv::tools
