// Several processes moving the same stays at once on the embedded database: every event number
// stays unique, because a movement's transaction takes the write lock before it reads the maximum.
#include <gtest/gtest.h>
#include <sys/wait.h>
#include <unistd.h>

#include "tests/test_support.h"
#include "wardlink.h"

namespace wardlink::testing {
namespace {

constexpr int kProcesses = 3;
constexpr int kRoundsPerProcess = 40;
const char* const kStays[] = {"C1", "C2"};

// Runs in a child process: exits 0 when every call returned 0.
int MoveStays(const char* server, int process) {
  int failures = 0;
  for (int round = 0; round < kRoundsPerProcess; ++round) {
    const char* stay = kStays[(round + process) % 2];
    failures += VictimZhuanChu(server, "", "", stay, 1, "doc", "200801151030") != 0;
    failures += JiaoBan(server, "", "", stay, "doc", "Dr", "", "", "200801151031") != 0;
    failures += ZhuanChuang(server, "", "", stay, std::to_string(round).c_str()) != 0;
    // The discharge reads the maximum first thing in its transaction.
    failures += VictimChuYuan(server, "", "", "D1", "20080115", "", "", "", "", "") != 0;
    failures += JiaoBan(server, "", "", "D1", "doc", "Dr", "", "", "200801151031") != 0;
  }
  return failures == 0 ? 0 : 1;
}

TEST(MovementConcurrency, EventNumbersStayUniqueAcrossProcesses) {
  TrialDatabase db;
  for (const char* stay : {"C1", "C2", "D1"}) {
    db.Exec(std::string("INSERT INTO Emr_Doc_Emr_InfoList (ZhuYuanNo) VALUES ('") + stay + "')");
    db.Exec(std::string("INSERT INTO Emr_Doc_Emr_Info (ZhuYuanNo) VALUES ('") + stay + "')");
  }
  std::vector<pid_t> children;
  for (int process = 0; process < kProcesses; ++process) {
    pid_t pid = fork();
    ASSERT_GE(pid, 0);
    if (pid == 0) _exit(MoveStays(db.server(), process));
    children.push_back(pid);
  }
  for (pid_t pid : children) {
    int status = 0;
    ASSERT_EQ(waitpid(pid, &status, 0), pid);
    EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0) << "a movement failed";
  }
  const int rounds = kProcesses * kRoundsPerProcess;
  EXPECT_EQ(db.Count("Emr_Doc_Emr_Event", "ZhuYuanNo <> 'D1'"), rounds * 3);
  // Each discharge replaces the one before; the hand-overs all stay.
  EXPECT_EQ(db.Count("Emr_Doc_Emr_Event", "ZhuYuanNo = 'D1'"), rounds * 2 + 1);
  EXPECT_EQ(db.Scalar("SELECT count(*) FROM (SELECT 1 FROM Emr_Doc_Emr_Event GROUP BY ZhuYuanNo, "
                      "SequenceNumber HAVING count(*) > 1)"),
            "0");
  // Numbers run from 1 without holes in each stay's log.
  for (const char* stay : kStays) {
    EXPECT_EQ(db.Scalar(std::string("SELECT max(SequenceNumber) = count(*) FROM Emr_Doc_Emr_Event "
                                    "WHERE ZhuYuanNo = '") +
                        stay + "'"),
              "1");
  }
}

}  // namespace
}  // namespace wardlink::testing
