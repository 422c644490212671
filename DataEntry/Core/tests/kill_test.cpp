// An upgrade of a large claimant database killed at a random moment by
// SIGKILL leaves a sound file at a complete level, and a second run
// completes it with every row kept.
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <random>

#include "CoreTest.h"

namespace orv::tarnby::testing {
namespace {

constexpr int kRows = 200000;

class KillTest : public CoreTest {};

int64_t Scalar(db::Database& d, const std::string& sql) {
  auto rs = d.OpenRecordset(sql, db::RecordsetType::Snapshot);
  return rs->Field(0).AsInt64();
}

TEST_F(KillTest, UpgradeKilledAtARandomMomentResumesWithNoLoss) {
  const std::string path = PathOf("big.db");
  CreateClaimantDatabase(path, 1);
  {
    auto d = db::OpenDatabase(path);
    d->Execute(
        "WITH RECURSIVE n(x) AS (SELECT 1 UNION ALL SELECT x + 1 FROM n WHERE x < " +
        std::to_string(kRows) +
        ") INSERT INTO PENSIONDATA (CLAIMANTID, STRIKE, MARRIED, GRADE, IMPAIRCOPD) "
        "SELECT x, x % 2, x % 3 = 0, 'Grade ' || x, x / 4.0 FROM n");
    d->Close();
  }

  std::random_device seed;
  const unsigned s = seed();
  std::mt19937 random(s);
  SCOPED_TRACE("seed " + std::to_string(s));
  const int levels_before_kill = std::uniform_int_distribution<int>(0, 8)(random);
  const int extra_us = std::uniform_int_distribution<int>(0, 400000)(random);

  int pipe_fd[2];
  ASSERT_EQ(pipe(pipe_fd), 0);
  const pid_t child = fork();
  ASSERT_GE(child, 0);
  if (child == 0) {
    close(pipe_fd[0]);
    try {
      SetLevelAppliedHook([fd = pipe_fd[1]](int16_t level) {
        const char c = static_cast<char>(level);
        (void)!write(fd, &c, 1);
      });
      db::OpenOptions exclusive;
      exclusive.exclusive = true;
      auto d = db::OpenDatabase(path, exclusive);
      ApplyStructureLevels(*d);
      d->Close();
    } catch (...) {
      _exit(3);
    }
    _exit(0);
  }
  close(pipe_fd[1]);
  for (int i = 0; i < levels_before_kill; ++i) {
    char c;
    if (read(pipe_fd[0], &c, 1) != 1) break;
  }
  usleep(static_cast<useconds_t>(extra_us));
  kill(child, SIGKILL);
  int status = 0;
  waitpid(child, &status, 0);
  close(pipe_fd[0]);

  {
    // Readable at once, though the killed upgrade left its transaction open.
    auto reader = OpenForReading(path);
    EXPECT_GE(StructureLevel(*reader), 1);
    reader->Close();
  }
  auto d = db::OpenDatabase(path);
  EXPECT_EQ(d->OpenRecordset("PRAGMA integrity_check", db::RecordsetType::Snapshot)
                ->Field(0)
                .AsText(),
            "ok");
  const int16_t level = StructureLevel(*d);
  EXPECT_GE(level, 1);
  EXPECT_EQ(Scalar(*d, "SELECT COUNT(*) FROM PENSIONDATA"), kRows);
  for (const db::FieldDef& f : d->Fields("PENSIONDATA")) {
    EXPECT_NE(f.name.rfind("OLD", 0), 0u) << "half-applied retyping at level " << level;
  }

  EXPECT_EQ(ApplyStructureLevels(*d), 20);
  EXPECT_EQ(Scalar(*d, "SELECT COUNT(*) FROM PENSIONDATA"), kRows);
  EXPECT_EQ(Scalar(*d, "SELECT SUM(CLAIMANTID) FROM PENSIONDATA"),
            int64_t{kRows} * (kRows + 1) / 2);
  EXPECT_EQ(Scalar(*d, "SELECT SUM(STRIKE) FROM PENSIONDATA"), kRows / 2);
  EXPECT_EQ(Scalar(*d, "SELECT COUNT(*) FROM PENSIONDATA WHERE MARRIED = 1"), kRows / 3);
  EXPECT_EQ(Scalar(*d, "SELECT COUNT(*) FROM PENSIONDATA WHERE GRADE = 'Grade ' || CLAIMANTID"),
            kRows);
  d->Close();
}

}  // namespace
}  // namespace orv::tarnby::testing
