// A host process killed during guarded writes: before each step of each of them, and at random
// moments of a mixed workload. Afterwards the database is sound and every stay is whole or absent.
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <iostream>
#include <random>

#include "db/statement_observer.h"
#include "tests/reliability/reliability_support.h"
#include "tests/test_support.h"
#include "tests/victim_args.h"
#include "wardlink.h"

namespace wardlink::testing {
namespace {

constexpr int kRandomKills = 300;
constexpr int kLongestDelayUs = 25000;

// Runs `body` in a child process and returns how the child ended.
template <typename Body>
int InChild(Body body) {
  const pid_t pid = fork();
  if (pid == 0) {
    body();
    _exit(0);
  }
  if (pid < 0) return -1;
  int status = 0;
  waitpid(pid, &status, 0);
  return status;
}

bool Killed(int status) { return WIFSIGNALED(status) && WTERMSIG(status) == SIGKILL; }

class KillBeforeStep : public ::testing::TestWithParam<size_t> {};

TEST_P(KillBeforeStep, LeavesTheDatabaseAsBefore) {
  const GuardedCase& guarded = GuardedCases()[GetParam()];
  int32_t result = -99;
  const size_t steps = StepsOf(guarded, result).size();
  ASSERT_EQ(result, 0);
  for (size_t step = 0; step < steps; ++step) {
    SCOPED_TRACE("killed before step " + std::to_string(step));
    SeededDatabase db;
    Dump before;
    {
      SqliteFile file(db.path());
      guarded.seed(file);
      before = file.FullDump();
    }
    const int status = InChild([&] {
      size_t seen = 0;
      SetFailureInjector([&](std::string_view) {
        if (seen++ == step) raise(SIGKILL);
      });
      guarded.call(db.server());
    });
    ASSERT_TRUE(Killed(status)) << "status " << status;
    SqliteFile file(db.path());
    EXPECT_EQ(file.IntegrityCheck(), "ok");
    EXPECT_EQ(file.StayInconsistencies(), std::vector<std::string>());
    // Nothing was committed yet.
    EXPECT_EQ(Describe(Difference(before, file.FullDump())), "(no change)");
  }
  std::cout << "[ figures  ] " << guarded.name << ": " << steps << " kills\n";
}

INSTANTIATE_TEST_SUITE_P(GuardedWrites, KillBeforeStep,
                         ::testing::Range<size_t>(0, GuardedCases().size()), [](const auto& info) {
                           std::string name = GuardedCases()[info.param].name;
                           std::replace_if(
                               name.begin(), name.end(), [](char c) { return !isalnum(c); }, '_');
                           return name;
                         });

// Never returns: admits, moves, discharges and deletes stays of its own until killed, writing one
// byte to `acknowledged` after each admission that returned 0.
void MixedWorkload(const char* server, int round, int acknowledged) {
  for (int i = 0;; ++i) {
    const std::string number = "W" + std::to_string(round) + "-" + std::to_string(i);
    const char* n = number.c_str();
    if (CallAddVictim(server, VictimArgs(number)) == 0 && write(acknowledged, "+", 1) != 1)
      _exit(2);
    JiaoBan(server, "", "", n, "doc", "Dr Lee", "", "", "200801151030");
    VictimZhuanChu(server, "", "", n, 3, "doc", "200801151031");
    AcceptZhuanKePeople(server, "", "", n, "doc", "Dr Lee", "", "", "200801151032", "East", "B");
    ZhuanChuang(server, "", "", n, "B2");
    GuaQi(server, "", "", n);
    CancelGuaQi(server, "", "", n);
    CallUpdateVictim(server, VictimArgs(number));
    VictimChuYuan(server, "", "", n, "20080120", "", "", "", "", "");
    if (i % 2 == 1) DeleteVictim(server, "", "", n);
  }
}

TEST(CrashConsistency, RandomKillsDuringAMixedWorkload) {
  SeededDatabase db;
  std::mt19937 random(20261208);
  std::uniform_int_distribution<int> delay(0, kLongestDelayUs);
  for (int round = 0; round < kRandomKills; ++round) {
    int acknowledged[2];
    ASSERT_EQ(pipe(acknowledged), 0);
    const pid_t pid = fork();
    if (pid == 0) {
      close(acknowledged[0]);
      MixedWorkload(db.server(), round, acknowledged[1]);
    }
    ASSERT_GT(pid, 0);
    close(acknowledged[1]);
    // The kill falls at a random moment after the first admission is done.
    char byte = 0;
    ASSERT_EQ(read(acknowledged[0], &byte, 1), 1) << "the workload ended early";
    usleep(static_cast<useconds_t>(delay(random)));
    kill(pid, SIGKILL);
    int status = 0;
    waitpid(pid, &status, 0);
    close(acknowledged[0]);
    ASSERT_TRUE(Killed(status)) << "status " << status;
    SqliteFile file(db.path());
    ASSERT_EQ(file.IntegrityCheck(), "ok") << "after kill " << round;
    ASSERT_EQ(file.StayInconsistencies(), std::vector<std::string>()) << "after kill " << round;
    // An admission that returned 0 is kept: the round's first stay is never deleted.
    ASSERT_EQ(file.Scalar("SELECT count(*) FROM Emr_Doc_Emr_InfoList WHERE ZhuYuanNo = 'W" +
                          std::to_string(round) + "-0'"),
              "1");
  }
  std::cout << "[ figures  ] " << kRandomKills << " random kills, "
            << Scalar(db.path(), "SELECT count(*) FROM Emr_Doc_Emr_InfoList") << " stays left\n";
}

}  // namespace
}  // namespace wardlink::testing
