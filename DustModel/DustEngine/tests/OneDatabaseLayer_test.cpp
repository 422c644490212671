// The program and the engine library open files through one database layer
// per process: each sees the other's connections, and a refused open on one
// side leaves the other side's locks alone.
#include <gtest/gtest.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>

#include <sqlite3.h>

#include "Database.h"
#include "Interfaces.h"
#include "OrvError.h"
#include "TestDustData.h"
#include "modGlobals.h"

namespace orv::dust {
namespace {

namespace fs = std::filesystem;

int32_t ErrorOf(const std::function<void()>& f) {
  try {
    f();
  } catch (const OrvError& e) {
    return e.Number();
  }
  return 0;
}

db::OpenOptions Exclusive() {
  db::OpenOptions o;
  o.exclusive = true;
  o.busy_timeout_ms = 50;
  o.connect = DustDataConnect();
  return o;
}

// Whether another program can start writing to the file: this test program
// run again doing only the disabled test below (SQLite's answer, SQLITE_OK
// or SQLITE_BUSY).
int AnotherProgramWrites(const std::string& path) {
  const pid_t pid = fork();
  if (pid == 0) {
    setenv("ORV_OTHER_WRITER_PATH", path.c_str(), 1);
    execl("/proc/self/exe", "orvdust_tests", "--gtest_filter=OtherProgram.DISABLED_Writes",
          "--gtest_also_run_disabled_tests", static_cast<char*>(nullptr));
    _exit(98);
  }
  int status = 0;
  waitpid(pid, &status, 0);
  return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

TEST(OtherProgram, DISABLED_Writes) {
  const char* path = std::getenv("ORV_OTHER_WRITER_PATH");
  if (!path) GTEST_SKIP();
  sqlite3* h = nullptr;
  int rc = sqlite3_open_v2(path, &h, SQLITE_OPEN_READWRITE, nullptr);
  if (rc == SQLITE_OK) rc = sqlite3_exec(h, "BEGIN IMMEDIATE; ROLLBACK", nullptr, nullptr, nullptr);
  sqlite3_close(h);
  std::fflush(stdout);
  _exit(rc);
}

TEST(OneDatabaseLayer, TheProgramAndTheEngineLibrarySeeEachOthersConnections) {
  test::TempDir dir;
  const std::string path = fs::absolute(dir.File("DUST.db")).string();
  test::CopyFixture(path);

  // The engine library holds the file: the program's exclusive open is refused.
  test::OnFreshThread([&] {
    ASSERT_TRUE(SetupDataDB(path));
    EXPECT_EQ(ErrorOf([&] { db::OpenDatabase(path, Exclusive()); }), db::dberr::kCannotOpen);
  });

  // The program holds it exclusively: the engine's open is refused, and the
  // refusal leaves the program's own lock in place, so another program still
  // cannot write.
  {
    db::DatabasePtr mine = db::OpenDatabase(path, Exclusive());
    test::OnFreshThread([&] {
      EXPECT_NE(ErrorOf([&] { (void)SetupDataDB(path); }), 0);
    });
    EXPECT_EQ(AnotherProgramWrites(path), SQLITE_BUSY);
  }
  EXPECT_EQ(AnotherProgramWrites(path), SQLITE_OK);
}

}  // namespace
}  // namespace orv::dust
