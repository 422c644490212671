// Running one of our command-line tools from a test, with what it printed.
#pragma once

#include <functional>
#include <string>

namespace orv::test {

struct ToolRun {
  int code = -1;  // the exit code; -1 when the tool did not exit by itself
  std::string out;
  std::string err;
};

// Runs build/bin's `tool` (from TARNBY_BIN_DIR, else the current folder)
// through the shell with `args` (quoted by the caller) after `prefix` (for
// example environment settings), its standard output and error kept in
// files in `scratch_dir`.
ToolRun RunTool(const std::string& tool, const std::string& args, const std::string& scratch_dir,
                const std::string& prefix = {});

// Runs `body` in a forked copy of this test program, which ends there: its
// exit code is returned (0 when the body returns, 1 when it throws, what it
// passes to _exit when it stops the copy itself; -1 when the copy did not
// exit by itself). For a test that stops a program half way through.
int RunInChild(const std::function<void()>& body);

// A whole file; empty when it cannot be read.
std::string ReadAll(const std::string& path);

}  // namespace orv::test
