// The tests' own PostgreSQL server, started for a test run by the CTest
// fixture (scripts/pg-test-server.sh): it listens on a Unix socket in the
// build folder, and the tests that need it are told where by the variable
// TARNBY_TEST_PGDIR.
#pragma once

#include <string>
#include <vector>

namespace orv::testing {

// The folder of the server's socket; empty when no server was started for
// this run (a test binary run by hand).
std::string TestServerSocket();

// A new, empty database on the test server (one of that name left by an
// earlier run is dropped first): its connection URI. Fails the calling test
// when there is no server.
std::string NewServerDatabase(const std::string& name);

// The URI of database `name` on the test server, made or not.
std::string ServerUri(const std::string& name);

// Runs SQL as the server's superuser on database `name` (default: the
// server's maintenance database); returns the first column of the first
// row, or empty. Raises std::runtime_error on failure.
std::string ServerAdmin(const std::string& sql, const std::string& name = "postgres");

// A connection URI that every open refuses, and words its refusal holds.
struct RefusedUri {
  std::string uri;
  std::string says;
};
// A malformed URI, a database and a server that are not there, and a URI
// holding a password (Hunter22, which no message may show).
std::vector<RefusedUri> RefusedServerUris();

}  // namespace orv::testing
