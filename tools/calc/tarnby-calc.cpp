// tarnby-calc: one claimant's calculation from a history file or from the
// claimant database, with the report as text, JSON, HTML or PDF; or every
// claimant of the claimant database, with a results file. The claimant
// database is a file or a postgresql:// URI; on a server, --all runs of
// several processes share the work.
//
// Exit codes: 0 calculated; 1 the calculation refused the history (its
// reason in validation_error, and on standard error); 2 bad usage or input
// (an unknown claimant among them, and a database file that is damaged, not
// a database, of the other kind or holding a refused stored query, named on
// standard error); 3 a run-time failure (number, source and
// description on standard error). With --all: 0 when no claimant failed
// (refused ones included), 3 when one failed or the run stopped.
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <fstream>
#include <iostream>
#include <map>
#include <optional>
#include <string>

#include <CLI/CLI.hpp>

#include "BulkRun.h"
#include "CalcRun.h"
#include "ClaimantCalc.h"
#include "ClaimantRun.h"
#include "CompareRun.h"
#include "ExitCodes.h"
#include "Numbers.h"
#include "Outputs.h"
#include "PlainHelp.h"
#include "InputError.h"
#include "ProgressBar.h"
#include "ResultJson.h"
#include "VerifyRun.h"
#include "modTarnbyDatabase.h"

namespace {

using orv::calcrun::Format;
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

std::string ReportText(const orv::calcrun::CalcOutcome& o) {
  std::string text;
  for (const std::string& line : o.report) text += line + "\n";
  return text;
}

int Emit(const orv::calcrun::CalcOptions& options, const orv::calcrun::CalcOutcome& o) {
  bool written = true;
  switch (options.format) {
    case Format::kJson:
      written = WriteOut(options.output, orv::calcrun::ResultJson(o));
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
  if (o.error) return orv::tools::ReportError(kTool, *o.error);
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

// A claimant database an older program left at a lower structure level is
// not upgraded behind the office's back: tarnby-claimants upgrade does that,
// with its backup. --verify reads older levels (their results carry no
// fingerprint, which it says). One that a newer program has brought beyond
// the levels this one knows is refused by every mode: its structure may
// mean what this program cannot tell.
void RequireKnownStructure(const std::string& path, bool older_too) {
  const orv::db::DatabasePtr db = orv::tarnby::OpenForReading(path);
  const int16_t level = orv::tarnby::StructureLevel(*db);
  db->Close();
  if (level > orv::tarnby::kLatestStructureLevel)
    throw orv::InputError(
        path, 0, {},
        "the claimant database is at structure level " + std::to_string(level) +
            ", beyond the " + std::to_string(orv::tarnby::kLatestStructureLevel) +
            " this program knows; use the program version that brought it there");
  if (older_too && level < orv::tarnby::kLatestStructureLevel)
    throw orv::InputError(
        path, 0, {},
        "the claimant database is at structure level " + std::to_string(level) + " of " +
            std::to_string(orv::tarnby::kLatestStructureLevel) +
            "; bring it up to date with tarnby-claimants upgrade first");
}

// A claimant database argument: a file that exists, or a postgresql:// URI,
// which the open itself checks (and whose failures name the server and
// database, never a password).
std::string ExistingFileOrServer(const std::string& path) {
  if (orv::db::IsServerPath(path)) return {};
  return CLI::ExistingFile(path);
}

// --all: progress on standard error, the summary line on standard output.
int RunAllClaimants(orv::calcrun::BulkOptions bulk) {
  orv::ProgressBar bar;
  // On a terminal a bar; in a log, a line at every tenth of the way.
  const bool terminal = isatty(STDERR_FILENO) != 0;
  int64_t next_line = 0;
  // The whole file is checked first: at the national scheme's size that
  // takes a quarter of a minute.
  // In a log, one line once it has lasted a moment.
  bool said_check = false;
  const auto check_began = std::chrono::steady_clock::now();
  bulk.check_progress = [&](int64_t done, int64_t total) {
    if (terminal) {
      bar.Update("Checking the whole claimant database", done, total);
    } else if (!said_check && done < total &&
               std::chrono::steady_clock::now() - check_began > std::chrono::seconds(1)) {
      std::cerr << kTool << ": checking the whole claimant database first\n";
      said_check = true;
    }
  };
  bulk.progress = [&](int64_t done, int64_t total) {
    if (terminal) {
      bar.Update("Calculating claimants", done, total);
    } else if (done >= next_line) {
      std::cerr << kTool << ": " << done << " of " << total << " claimants\n";
      next_line = done + std::max<int64_t>(1, total / 10);
    }
  };
  const orv::calcrun::BulkSummary s = orv::calcrun::RunAll(bulk);
  bar.Finish();
  if (!s.shared_run.empty()) {
    std::cerr << kTool << ": " << (s.began ? "began" : "joined") << " the shared run "
              << s.shared_run << " on the server; this process calculated "
              << s.calculated + s.refused + s.failed << " claimants\n";
    if (!s.began && s.calculated + s.refused + s.failed == 0 && !bulk.run_name.empty())
      std::cerr << kTool << ": nothing was left to calculate in it; name a new --run to "
                           "calculate again\n";
  }
  std::cout << orv::calcrun::SummaryLine(s) << "\n";
  if (s.skipped > 0)
    std::cerr << kTool << ": " << s.skipped
              << " results not stored: their histories were changed during the run\n";
  if (s.cleared > 0)
    std::cerr << kTool << ": " << s.cleared
              << " stored results cleared: their histories kept changing\n";
  return s.failed > 0 ? kExitFailure : kExitOk;
}

int RunClaimant(const orv::calcrun::CalcOptions& options, const orv::calcrun::ClaimantRunOptions& run) {
  orv::calcrun::ClaimantRunOutcome o;
  try {
    o = orv::calcrun::RunStoredClaimant(options, run);
  } catch (const orv::OrvError& e) {
    if (e.Number() != orv::claimcalc::kErrNoSuchClaimant) throw;
    std::cerr << kTool << ": " << e.Description() << "\n";
    return kExitBadInput;
  }
  if (run.store && !o.stored)
    std::cerr << kTool << ": the history was changed meanwhile; the result was not stored\n";
  return Emit(options, o.calc);
}

// --verify: the rows on standard output (or in the results file), the
// summary and any defect on standard error.
int RunVerify(orv::calcrun::VerifyOptions verify, const std::string& results) {
  orv::ProgressBar bar;
  const bool terminal = isatty(STDERR_FILENO) != 0;
  if (terminal)
    verify.progress = [&](int64_t done, int64_t total) {
      bar.Update("Verifying stored results", done, total);
    };
  const orv::calcrun::VerifySummary s = orv::calcrun::RunVerify(verify);
  bar.Finish();
  if (s.level < orv::tarnby::kLatestStructureLevel)
    std::cerr << kTool << ": the claimant database is at structure level " << s.level << " of "
              << orv::tarnby::kLatestStructureLevel
              << ": its stored results carry no fingerprint, so what they were calculated from "
                 "cannot be proven; each is listed as \"no fingerprint\" with its figure now\n";
  if (results.empty()) {
    std::cout << orv::calcrun::VerifyCsv(s);
  } else {
    orv::calcrun::WriteVerifyCsv(s, results);
  }
  std::cerr << kTool << ": " << s.claimants << " claimants: " << s.standing
            << " stored results stand, " << s.rows.size() << " do not, " << s.without_result
            << " have none\n";
  if (!s.Defect()) return kExitOk;
  for (const orv::calcrun::VerifyRow& r : s.rows) {
    if (r.reason != orv::calcrun::kReasonFigure) continue;
    std::cerr << kTool << ": DEFECT: claimant " << r.id << ": the same inputs, dust data and "
              << "engine now give " << (r.now ? orv::FloatToText(*r.now) : "no figure (" + r.message + ")")
              << " where " << orv::FloatToText(r.stored.value_or(0)) << " is stored\n";
  }
  std::cerr << kTool << ": DEFECT: a stored figure is not what its own inputs give; "
               "report this before relying on any stored result\n";
  return kExitRefused;
}

// --compare: both files are read before either is calculated, and every
// one that is not a history is named.
int RunCompare(const orv::calcrun::CalcOptions& options, const std::string& path_a,
               const std::string& path_b) {
  std::optional<orv::calcrun::HistoryFile> a;
  std::optional<orv::calcrun::HistoryFile> b;
  bool bad = false;
  for (auto [path, file] : {std::pair{&path_a, &a}, std::pair{&path_b, &b}}) {
    try {
      *file = orv::calcrun::ReadHistoryFile(*path);
    } catch (const orv::InputError& e) {
      std::cerr << kTool << ": " << e.what() << "\n";
      bad = true;
    }
  }
  if (bad) return kExitBadInput;
  const orv::calcrun::CompareOutcome c = orv::calcrun::RunComparison(options, *a, *b);
  std::string text;
  switch (options.format) {
    case Format::kJson:
      text = orv::calcrun::ComparisonJson(c);
      break;
    case Format::kHtml:
      text = orv::calcrun::ComparisonHtml(c, path_a, path_b);
      break;
    default:
      text = orv::calcrun::ComparisonText(c, path_a, path_b);
      break;
  }
  if (!WriteOut(options.output, text)) {
    std::cerr << kTool << ": " << options.output << ": cannot be written\n";
    return kExitFailure;
  }
  int code = kExitOk;
  for (auto [path, o] : {std::pair{&path_a, &c.a}, std::pair{&path_b, &c.b}}) {
    if (o->error) {
      std::cerr << kTool << ": " << *path << " failed:\n";
      code = std::max(code, orv::tools::ReportError(kTool, *o->error));
    } else if (!o->ok) {
      std::cerr << kTool << ": " << *path << " refused: " << o->validation_error.value_or("")
                << "\n";
      code = std::max(code, kExitRefused);
    }
  }
  return code;
}

}  // namespace

int main(int argc, char** argv) {
  CLI::App app{"Calculates one claimant's dust exposure and recoverable quantum, or every "
               "claimant of a claimant database.",
               kTool};
  orv::tools::UsePlainHelp(app);
  orv::calcrun::CalcOptions options;
  std::string history;
  orv::calcrun::ClaimantRunOptions run;
  orv::calcrun::BulkOptions bulk;
  bool all = false;
  // The help names each value as a person would (FILE, ID, N), not by the library's types;
  // the checks still say what went wrong when a value is refused.
  app.add_option("--dust-db", options.dust_db, "The dust data database (required)")
      ->required()
      ->check(CLI::ExistingFile)
      ->option_text("FILE");
  auto* history_opt = app.add_option("--history", history, "The claimant's history file (JSON)")
                          ->check(CLI::ExistingFile)
                          ->option_text("FILE");
  auto* claimant_db =
      app.add_option("--claimant-db", run.claimant_db,
                     "The claimant database: a file, or a PostgreSQL connection URI "
                     "(postgresql://host/dbname?..., postgresql:///dbname?host=/socket/folder; "
                     "the password from ~/.pgpass, the service file or PGPASSWORD)")
          ->check(CLI::Validator(ExistingFileOrServer, "FILE|URI"))
          ->option_text("FILE|URI");
  auto* claimant =
      app.add_option("--claimant", run.claimant_id, "A stored claimant's ID")->option_text("ID");
  auto* all_opt = app.add_flag("--all", all, "Recalculate every claimant of --claimant-db");
  std::string compare;
  auto* compare_opt =
      app.add_option("--compare", compare,
                     "--history: a second history file; both reports side by side, the lines "
                     "that differ marked, and the two recoverable figures with their difference")
          ->check(CLI::ExistingFile)
          ->option_text("FILE");
  compare_opt->needs(history_opt);
  history_opt->excludes(claimant)->excludes(all_opt)->excludes(claimant_db);
  claimant->excludes(all_opt)->needs(claimant_db);
  all_opt->needs(claimant_db);
  auto* store = app.add_flag("--store", run.store,
                             "Write the stored result to the claimant record, as the desktop does");
  auto* results = app.add_option("--results", bulk.results, "--all: one CSV row per claimant")
                      ->option_text("FILE");
  auto* changed = app.add_flag("--changed-only", bulk.changed_only,
                               "--all: only the rows whose result changed");
  auto* jobs = app.add_option("--jobs", bulk.jobs, "--all: threads (default: the processors)")
                   ->check(CLI::Range(1, 256))
                   ->option_text("N");
  auto* batch = app.add_option("--batch", bulk.batch,
                               "--all: claimants per batch (read, stored and, on a server, shared "
                               "out as one; default 1000)")
                    ->check(CLI::Range(1, 100000))
                    ->option_text("N");
  auto* run_name =
      app.add_option("--run", bulk.run_name,
                     "--all on a server: the name of the shared run to begin or join. Every "
                     "process (on any machine) given the same name shares its claimants out; "
                     "once it is finished, nothing is left in it. Without it, processes of the "
                     "same mode (--store, --changed-only) with the same dust data and engine "
                     "versions share the run while it is unfinished and was worked on in the "
                     "last hour")
          ->option_text("NAME");
  auto* lease = app.add_option("--lease", bulk.lease_seconds,
                               "--all on a server: seconds a batch taken is this process's alone; "
                               "a killed process's batch is taken again after it (default 120)")
                    ->check(CLI::Range(1, 86400))
                    ->option_text("SECONDS");
  bool verify = false;
  auto* verify_opt = app.add_flag(
      "--verify", verify,
      "With --claimant or --all: calculate again without storing and list every stored result "
      "that no longer stands, with the reason");
  verify_opt->needs(claimant_db)->excludes(store)->excludes(changed);
  auto* jurisdiction = app.add_option("--jurisdiction", options.jurisdiction,
                                      "0 England and Wales (default; with --claimant the "
                                      "claimant's), 1 Scotland")
                           ->check(CLI::IsMember({0, 1}))
                           ->option_text("0|1");
  auto* detail = app.add_flag("--detail", options.detail, "The detailed report");
  const std::map<std::string, Format> formats{{"json", Format::kJson},
                                              {"text", Format::kText},
                                              {"html", Format::kHtml},
                                              {"pdf", Format::kPdf}};
  auto* format = app.add_option("--format", options.format,
                                "What to write: the results as JSON, the report as text "
                                "(default), as an HTML page or as a PDF file (needs --output)")
                     ->transform(CLI::CheckedTransformer(formats, CLI::ignore_case))
                     ->option_text("json|text|html|pdf");
  auto* output = app.add_option("--output", options.output,
                                "The file to write (default standard output)")
                     ->option_text("FILE");
  for (auto* o : {jurisdiction, detail, format, output}) o->excludes(all_opt);
  for (auto* o : {jurisdiction, detail, format, output}) o->excludes(verify_opt);

  if (const std::optional<int> exit_code = orv::tools::ParseCommandLine(app, argc, argv))
    return *exit_code;
  if ((results->count() > 0 || jobs->count() > 0) && !all && !verify) {
    std::cerr << kTool << ": --results and --jobs need --all or --verify\n";
    return kExitBadInput;
  }
  if (batch->count() + run_name->count() + lease->count() > 0 && (!all || verify)) {
    std::cerr << kTool << ": --batch, --run and --lease need --all (without --verify)\n";
    return kExitBadInput;
  }
  if (changed->count() > 0 && !all) {
    std::cerr << kTool << ": --changed-only needs --all\n";
    return kExitBadInput;
  }
  if (history_opt->count() + claimant->count() + all_opt->count() != 1) {
    std::cerr << kTool << ": give one of --history, --claimant or --all\n";
    return kExitBadInput;
  }
  if (store->count() > 0 && history_opt->count() > 0) {
    std::cerr << kTool << ": --store needs --claimant or --all\n";
    return kExitBadInput;
  }
  if (compare_opt->count() > 0 && options.format == Format::kPdf) {
    std::cerr << kTool << ": --compare writes text, html or json\n";
    return kExitBadInput;
  }
  // A stored result is the claimant's own: an option that would calculate
  // it from other data than his record is a what-if, never stored.
  if (store->count() > 0 && jurisdiction->count() > 0) {
    std::cerr << kTool
              << ": --jurisdiction overrides the claimant's own and cannot be used with --store\n";
    return kExitBadInput;
  }
  if (options.format == Format::kPdf && options.output.empty()) {
    std::cerr << kTool << ": --format pdf needs --output FILE\n";
    return kExitBadInput;
  }
  const std::vector<orv::tools::NamedFile> inputs = {{"--dust-db", options.dust_db},
                                                     {"--claimant-db", run.claimant_db},
                                                     {"--history", history},
                                                     {"--compare", compare}};
  for (const orv::tools::NamedFile& written :
       {orv::tools::NamedFile{"--output", options.output},
        orv::tools::NamedFile{"--results", bulk.results}}) {
    if (const std::optional<std::string> why = orv::tools::OutputOverInput(written, inputs)) {
      std::cerr << kTool << ": " << *why << "\n";
      return kExitBadInput;
    }
  }

  return orv::tools::RunGuarded(kTool, [&] {
    if (!run.claimant_db.empty()) RequireKnownStructure(run.claimant_db, !verify);
    if (verify) {
      orv::calcrun::VerifyOptions v;
      v.dust_db = options.dust_db;
      v.claimant_db = run.claimant_db;
      if (!all) v.claimant = run.claimant_id;
      v.jobs = bulk.jobs;
      try {
        return RunVerify(v, bulk.results);
      } catch (const orv::OrvError& e) {
        if (e.Number() != orv::claimcalc::kErrNoSuchClaimant) throw;
        std::cerr << kTool << ": " << e.Description() << "\n";
        return kExitBadInput;
      }
    }
    if (all) {
      bulk.dust_db = options.dust_db;
      bulk.claimant_db = run.claimant_db;
      bulk.store = run.store;
      return RunAllClaimants(bulk);
    }
    if (claimant->count() > 0) {
      if (jurisdiction->count() > 0) run.jurisdiction = options.jurisdiction;
      return RunClaimant(options, run);
    }
    if (compare_opt->count() > 0) return RunCompare(options, history, compare);
    const orv::calcrun::HistoryFile file = orv::calcrun::ReadHistoryFile(history);
    return Emit(options, orv::calcrun::RunCalculation(options, file));
  });
}
