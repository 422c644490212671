// tarnby-dustdata: builds a dust data database from its CSV folder, writes
// one back as CSV, checks one, and expands its matrix.
#include <CLI/CLI.hpp>

#include <iostream>

#include "DustDataBuild.h"
#include "ExitCodes.h"
#include "PlainHelp.h"
#include "ProgressBar.h"

namespace {

using namespace orv::tools;
using orv::ProgressBar;
namespace dd = orv::dustdata;

constexpr const char* kTool = "tarnby-dustdata";

dd::ProgressFn BarFor(ProgressBar& bar) {
  return
      [&bar](std::string_view step, int64_t done, int64_t total) { bar.Update(step, done, total); };
}

int Build(const std::string& source, const std::string& output, bool force) {
  {
    ProgressBar bar;
    dd::BuildFromCsv(source, output, force, BarFor(bar));
  }
  const dd::CheckReport report = dd::CheckDatabase(output);
  for (const std::string& w : report.warnings) std::cerr << kTool << ": warning: " << w << "\n";
  for (const std::string& p : report.problems) std::cerr << kTool << ": warning: " << p << "\n";
  std::cout << "Built " << output << " from " << source << " (matrix "
            << (report.matrix_ready ? "expanded" : "not expanded") << ")\n";
  return kExitOk;
}

int Export(const std::string& db, const std::string& out_dir) {
  {
    ProgressBar bar;
    dd::ExportToCsv(db, out_dir, BarFor(bar));
  }
  std::cout << "Exported " << db << " to " << out_dir << "\n";
  return kExitOk;
}

int Check(const std::string& db) {
  const dd::CheckReport report = dd::CheckDatabase(db);
  for (const std::string& line : dd::FormatCheckReport(report)) std::cout << line << "\n";
  return report.ok() ? kExitOk : kExitBadInput;
}

int Expand(const std::string& db) {
  dd::ExpandDatabase(db);
  std::cout << "Expanded the matrix of " << db << "\n";
  return kExitOk;
}

}  // namespace

int main(int argc, char** argv) {
  CLI::App app{"Builds, exports, checks and expands dust data databases.", kTool};
  orv::tools::UsePlainHelp(app);
  app.require_subcommand(1);

  std::string source, output, db, out_dir;
  bool force = false;

  CLI::App* build = app.add_subcommand(
      "build",
      "A new dust data database (tables, stored queries, data) from a folder of CSV files. Written "
      "under a temporary name and renamed when complete; without dust_matrix.csv the matrix is "
      "marked not expanded (MatrixReady 0), with it expanded (MatrixReady 1), whatever parms.csv "
      "says.");
  build->add_option("SOURCE_DIR", source, "folder of CSV files")->required();
  build->add_option("OUTPUT_DB", output, "database file to create")->required();
  build->add_flag("--force", force, "replace OUTPUT_DB if it exists");

  CLI::App* expand = app.add_subcommand(
      "expand", "Expands the dust matrix now with the matrix expansion library, then compacts.");
  expand->add_option("DB", db, "dust data database")->required();

  CLI::App* exp = app.add_subcommand(
      "export", "Writes the CSV folder back; building it gives a database with the same content.");
  exp->add_option("DB", db, "dust data database")->required();
  exp->add_option("OUTPUT_DIR", out_dir, "folder for the CSV files (created when missing)")
      ->required();

  CLI::App* check = app.add_subcommand(
      "check",
      "Version, model parameters, matrix state, row counts and any inconsistency found (exit 2 "
      "when there is one).");
  check->add_option("DB", db, "dust data database")->required();

  if (const std::optional<int> exit_code = orv::tools::ParseCommandLine(app, argc, argv))
    return *exit_code;

  return RunGuarded(kTool, [&] {
    if (*build) return Build(source, output, force);
    if (*expand) return Expand(db);
    if (*exp) return Export(db, out_dir);
    return Check(db);
  });
}
