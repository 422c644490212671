// Small dust data databases for the engine's tests, built from the shared
// fixture folder through the dust data library's own build.
#pragma once

#include <functional>
#include <string>
#include <thread>
#include <vector>

#include "TempDir.h"
#include "Value.h"

namespace orv::dust::test {

using orv::test::TempDir;

// The fixture built once per test program (expanded matrix, MatrixReady 1).
const std::string& FixtureDb();

// A copy of the fixture database at `path`, after running each statement
// (with its values) on it read-write.
struct Edit {
  std::string sql;
  std::vector<orv::Value> values;
};
void CopyFixture(const std::string& path, const std::vector<Edit>& edits = {});

// Builds `path` from the fixture folder without dust_matrix.csv: a database
// whose matrix is not expanded (MatrixReady 0).
void BuildUnexpanded(const std::string& path);

// Runs statements on a database file read-write.
void EditDb(const std::string& path, const std::vector<Edit>& edits);

// Runs `body` on a new thread, which has a connection of its own.
void OnFreshThread(const std::function<void()>& body);

}  // namespace orv::dust::test
