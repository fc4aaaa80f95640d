// The call frame: the connection step, unguarded errors and their message, clean-up.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <thread>

#include "db/sqlite_backend.h"
#include "tests/test_support.h"
#include "wardlink.h"

namespace wardlink::testing {
namespace {

TEST(CallFrame, MissingDatabaseFileFailsTheConnectionStepAndCreatesNothing) {
  std::string server = MissingDatabaseServer();
  StatementLog log;
  char buffer[16] = "untouched";
  char* address = buffer;
  EXPECT_EQ(GetZhiCheng(server.c_str(), "", "", &address), 1);
  EXPECT_EQ(AddZhiYe(server.c_str(), "user", "secret", "x", 1, 1), 1);
  EXPECT_STREQ(buffer, "untouched");
  EXPECT_TRUE(log.texts().empty()) << "nothing may be sent after a failed connection step";
  EXPECT_FALSE(std::filesystem::exists(server.substr(std::string("sqlite:").size())));
  EXPECT_NE(LastErrorMessage(), "") << "1 says why the connection failed";
  EXPECT_EQ(LastErrorMessage().find("secret"), std::string::npos) << LastErrorMessage();
}

TEST(CallFrame, AFileThatIsNoDatabaseFailsTheConnectionStep) {
  TrialDatabase db;
  auto path = db.path().parent_path() / "not-a-database";
  std::ofstream(path) << "this is a text file, not a database, and long enough to show it";
  std::string server = "sqlite:" + path.string();
  EXPECT_EQ(AddZhiYe(server.c_str(), "", "", "x", 1, 1), 1);
}

TEST(CallFrame, NullConnectionArgumentsReadAsEmptyTexts) {
  // An empty server names no database that can be reached: the connection step fails cleanly.
  EXPECT_EQ(DeleteZhiYe(nullptr, nullptr, nullptr, 1), 1);
}

TEST(CallFrame, MissingTableGivesMinusOneWithTheDatabasesMessageAndClosesTheConnection) {
  TrialDatabase db;
  db.Exec("DROP TABLE Emr_HunYin");
  EXPECT_EQ(AddHunYin(db.server(), "", "", "single", 1, 1), -1);
  EXPECT_NE(LastErrorMessage().find("no such table: Emr_HunYin"), std::string::npos)
      << LastErrorMessage();
  // Another writer gets the database at once, and its connection is the last one: closing, it
  // checkpoints and removes the -wal file, which it could not with the call's connection open.
  db.Exec("BEGIN EXCLUSIVE; COMMIT;");
  EXPECT_FALSE(std::filesystem::exists(db.path().string() + "-wal"));
}

TEST(CallFrame, TheWriteAheadLogStaysShortOverManyCalls) {
  // The log is the native backend's own; over ODBC the driver opens the file its way.
  if (TestBackendIsOdbc()) GTEST_SKIP() << "native SQLite backend only";
  TrialDatabase db;
  for (int id = 1; id <= 150; ++id)
    ASSERT_EQ(AddZhiYe(db.server(), "", "", std::to_string(id).c_str(), id, 1), 0);
  // Every open reads the whole log: it must be emptied past the threshold, not only copied.
  auto wal = std::filesystem::path(db.path().string() + "-wal");
  ASSERT_TRUE(std::filesystem::exists(wal));
  EXPECT_LT(std::filesystem::file_size(wal), 2 * kWalAutoCheckpointPages * (4096 + 24));
}

TEST(CallFrame, TheMessageLastsUntilTheThreadsNextCall) {
  TrialDatabase db;
  db.Exec("DROP TABLE Emr_ZhiYe");
  ASSERT_EQ(DeleteZhiYe(db.server(), "", "", 1), -1);
  std::string message = LastErrorMessage();
  ASSERT_FALSE(message.empty());

  // Another thread has a message of its own.
  std::string otherThread = "unset";
  std::thread([&] { otherThread = LastErrorMessage(); }).join();
  EXPECT_EQ(otherThread, "");

  // Copying: the full length is returned, at most size - 1 bytes are written.
  char small[5] = "abcd";
  EXPECT_EQ(WardLinkLastError(small, 0), static_cast<int32_t>(message.size()));
  EXPECT_STREQ(small, "abcd");
  EXPECT_EQ(WardLinkLastError(small, sizeof small), static_cast<int32_t>(message.size()));
  EXPECT_EQ(std::string(small), message.substr(0, 4));

  EXPECT_EQ(DeleteHunYin(db.server(), "", "", 1), 2);
  EXPECT_EQ(WardLinkLastError(nullptr, 0), 0);
}

TEST(CallFrame, StatementsBeforeAnUnguardedErrorStayDone) {
  TrialDatabase db;
  // The existence check runs, then the insert fails on a column that refuses the value.
  db.Exec(
      "DROP TABLE Emr_ZhiYe; CREATE TABLE Emr_ZhiYe (ID INTEGER, theOrder INTEGER, ZhiYe TEXT "
      "CHECK (length(ZhiYe) < 4))");
  StatementLog log;
  EXPECT_EQ(AddZhiYe(db.server(), "", "", "too long", 1, 1), -1);
  EXPECT_EQ(log.texts().size(), 2u);
  EXPECT_EQ(db.Count("Emr_ZhiYe"), 0);
}

TEST(CallFrame, TwoCallsInARowEachOpenTheirOwnConnection) {
  TrialDatabase db;
  EXPECT_EQ(AddZhiYe(db.server(), "", "", "a", 1, 1), 0);
  db.Exec("BEGIN EXCLUSIVE; COMMIT;");  // nothing of the first call holds the database
  EXPECT_EQ(AddZhiYe(db.server(), "", "", "a", 1, 1), 2);
  EXPECT_EQ(db.Count("Emr_ZhiYe"), 1);
}

}  // namespace
}  // namespace wardlink::testing
