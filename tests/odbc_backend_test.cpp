#include "db/odbc_backend.h"

#include <arpa/inet.h>
#include <gtest/gtest.h>
#include <netinet/in.h>
#include <sql.h>
#include <sqlext.h>
#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdlib>
#include <fstream>
#include <iterator>
#include <optional>
#include <regex>
#include <string>
#include <vector>

#include "db/code_page.h"
#include "db/connection.h"
#include "db/db_error.h"
#include "db/odbc_connection_string.h"
#include "db/query.h"
#include "tests/test_support.h"
#include "wardlink.h"

namespace wardlink::testing {
namespace {

using Attributes = std::vector<std::pair<std::string, std::string>>;

const std::vector<std::string> kAwkwardPasswords = {"plain",
                                                    "a;b",
                                                    "a=b",
                                                    "{a",
                                                    "a}",
                                                    "a}b",
                                                    "{a}",
                                                    "x;PWD=other",
                                                    "x;Driver=SQLite3",
                                                    "x};Driver=SQLite3;",
                                                    "x}};UID=sa",
                                                    " lead;",
                                                    "}",
                                                    ";{=}"};

// A TCP port on 127.0.0.1 on which nothing listens.
int ClosedPort() {
  int fd = socket(AF_INET, SOCK_STREAM, 0);
  sockaddr_in address{};
  address.sin_family = AF_INET;
  address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  address.sin_port = 0;
  socklen_t size = sizeof address;
  bind(fd, reinterpret_cast<sockaddr*>(&address), size);
  getsockname(fd, reinterpret_cast<sockaddr*>(&address), &size);
  close(fd);
  return ntohs(address.sin_port);
}

// ---------------------------------------------------------------------------------------------
// The connection step over ODBC.

TEST(OdbcConnection, UnreachableServerFailsTheConnectionStepQuickly) {
  std::string server = "127.0.0.1," + std::to_string(ClosedPort());
  auto start = std::chrono::steady_clock::now();
  EXPECT_EQ(AddZhiYe(server.c_str(), "sa", "secret", "x", 1, 1), 1);
  EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(5));
  char list[16] = "untouched";
  char* buffer = list;
  EXPECT_EQ(GetZhiCheng(server.c_str(), "sa", "secret", &buffer), 1);
  EXPECT_STREQ(list, "untouched");
}

TEST(OdbcConnection, MissingDriverFailsTheConnectionStep) {
  EXPECT_EQ(AddZhiYe("odbc:Driver=NoSuchDriver;Database=x", "", "", "x", 1, 1), 1);
  EXPECT_EQ(AddZhiYe("odbc:DSN=NoSuchDsn", "", "", "x", 1, 1), 1);
}

TEST(OdbcConnection, MissingSqliteFileIsNotCreated) {
  auto folder = std::filesystem::temp_directory_path() / "wardlink-odbc-missing";
  std::filesystem::remove_all(folder);
  std::filesystem::create_directories(folder);
  auto path = folder / "missing.db";
  std::string server = "odbc:Driver=SQLite3;Database=" + path.string() + ";NoCreat=1";
  EXPECT_EQ(AddZhiYe(server.c_str(), "", "", "x", 1, 1), 1);
  EXPECT_FALSE(std::filesystem::exists(path));
  std::filesystem::remove_all(folder);
}

// What a driver that ignores braces could read as syntax.
bool HoldsSyntax(const std::string& value) {
  return value.find_first_of(";{}=") != std::string::npos ||
         (!value.empty() && (value.front() == ' ' || value.back() == ' '));
}

// The driver manager hands the driver what the library built; the stand-in shows it. Its rule is
// not known, so a password it could misread is refused and never reaches it.
TEST(OdbcConnection, AnUnknownDriverGetsOnlyPasswordsItCannotMisread) {
  RecorderLog log;
  size_t sent = 0;
  for (const std::string& password : kAwkwardPasswords) {
    int32_t result = AddZhiYe("odbc:Driver=WardLinkRecorder", "emr", password.c_str(), "x", 1, 1);
    auto received = log.Received();
    if (HoldsSyntax(password)) {
      EXPECT_EQ(result, 1) << password;
      EXPECT_EQ(received.size(), sent) << "refused password was sent: " << password;
      continue;
    }
    EXPECT_EQ(result, 0) << password;
    ASSERT_EQ(received.size(), ++sent);
    EXPECT_EQ(received.back(), "Driver=WardLinkRecorder;UID=emr;PWD=" + password + ";");
  }
  EXPECT_GT(sent, 0U);
  EXPECT_EQ(AddZhiYe("odbc:Driver=WardLinkRecorder", "a;UID=sa", "p", "x", 1, 1), 1);
  EXPECT_EQ(log.Received().size(), sent);
}

// The SQLite driver ignores braces: a password could otherwise load a library of its own.
TEST(OdbcConnection, ALoginOrPasswordCannotAddAnAttributeForTheSqliteDriver) {
  TrialDatabase db;
  std::string server = "odbc:Driver=SQLite3;Database=" + db.path().string() + ";";
  char list[64] = "untouched";
  char* buffer = list;
  EXPECT_EQ(GetZhiCheng(server.c_str(), "sa", "x;LoadExt=/tmp/evil.so;", &buffer), 1);
  EXPECT_EQ(GetZhiCheng(server.c_str(), "sa;LoadExt=/tmp/evil.so", "x", &buffer), 1);
  EXPECT_STREQ(list, "untouched");
  EXPECT_EQ(GetZhiCheng(server.c_str(), "sa", "x", &buffer), 0);
}

TEST(OdbcConnection, DataSourceNameIsQuotedForItsRegisteredDriver) {
  EXPECT_EQ(DataSourceFamily("DSN=RecorderDsn"), OdbcFamily::kOther);
  EXPECT_EQ(DataSourceFamily("DSN=TdsDsn"), OdbcFamily::kFreeTds);
  EXPECT_EQ(DataSourceFamily("DSN=NoSuchDsn"), OdbcFamily::kOther);
  EXPECT_EQ(DataSourceFamily("Driver={FreeTDS};Server=x"), OdbcFamily::kFreeTds);
  EXPECT_EQ(DataSourceFamily("Driver=SQLite3"), OdbcFamily::kSqlite);
  // The library registered under a name decides, not the name; a name registered nowhere is
  // loaded as a library of that name, which no driver is.
  EXPECT_EQ(DataSourceFamily("Driver={SQL Server};Server=x"), OdbcFamily::kOther);
  EXPECT_EQ(DataSourceFamily("Driver={ODBC Driver 18 for SQL Server};Server=x"),
            OdbcFamily::kOther);
  // FreeTDS also learns the host's code page when the caller's string names none.
  EXPECT_EQ(OdbcDataSourceConnectionString("DSN=TdsDsn", "u", "a;b"),
            "DSN=TdsDsn;UID=u;PWD={a;b};ClientCharset=" + EnvironmentCodeset() + ";");
  EXPECT_EQ(OdbcDataSourceConnectionString("DSN=TdsDsn;ClientCharset=UTF-8", "u", "p"),
            "DSN=TdsDsn;ClientCharset=UTF-8;UID=u;PWD=p;");

  RecorderLog log;
  EXPECT_EQ(AddZhiYe("odbc:DSN=RecorderDsn", "emr", "a}b;c", "x", 1, 1), 1);
  EXPECT_TRUE(log.Received().empty());
  EXPECT_EQ(AddZhiYe("odbc:DSN=RecorderDsn", "emr", "secret", "x", 1, 1), 0);
  EXPECT_EQ(log.Received(), std::vector<std::string>{"DSN=RecorderDsn;UID=emr;PWD=secret;"});
}

// The call takes the string's length as a 16-bit number: a longer string would reach the driver
// cut short, or not at all.
TEST(OdbcConnection, AConnectionStringTheCallCannotCarryWholeIsRefused) {
  const std::string base = "Driver=WardLinkRecorder;UID=emr;PWD=;";
  for (size_t length : {size_t{32767}, size_t{32768}, size_t{65524 + base.size()}}) {
    RecorderLog log;
    const std::string password(length - base.size(), 'p');
    int32_t result = AddZhiYe("odbc:Driver=WardLinkRecorder", "emr", password.c_str(), "x", 1, 1);
    if (length <= 32767) {
      EXPECT_EQ(result, 0) << length;
      EXPECT_EQ(log.Received(),
                std::vector<std::string>{"Driver=WardLinkRecorder;UID=emr;PWD=" + password + ";"});
    } else {
      EXPECT_EQ(result, 1) << length;
      EXPECT_EQ(LastErrorMessage(), "connection string refused: too long");
      EXPECT_TRUE(log.Received().empty()) << length;
    }
  }
}

// The SQLite driver would create a missing file and hand back an empty database.
TEST(OdbcConnection, AMissingSqliteDatabaseFileIsNotCreated) {
  TrialDatabase db;
  const std::filesystem::path missing = db.path().parent_path() / "mistyped.db";
  for (const std::string& server :
       {"odbc:Driver=SQLite3;Database=" + missing.string(),
        "odbc:Driver={SQLite3};NoCreat=0;Database=" + missing.string() + ";"}) {
    EXPECT_EQ(DeleteZhiYe(server.c_str(), "", "", 1), 1) << server;
    EXPECT_EQ(LastErrorMessage(), "database file not found: " + missing.string()) << server;
    EXPECT_FALSE(std::filesystem::exists(missing)) << server;
  }
}

// ---------------------------------------------------------------------------------------------
// Plain server names, with the stand-in registered under FreeTDS's name (own process).

class OdbcFreeTdsRecorder : public ::testing::Test {
 protected:
  void SetUp() override {
    if (OdbcIniFolder().filename() != "freetds-recorder")
      GTEST_SKIP() << "needs WARDLINK_TEST_ODBC_INI=freetds-recorder";
  }
};

TEST_F(OdbcFreeTdsRecorder, PlainServerNameReachesFreeTdsWithCatalogAndCodePage) {
  RecorderLog log;
  ScopedEnvironment locale("LC_ALL", "C");
  EXPECT_EQ(AddZhiYe("db01,1433", "emr", "secret", "x", 1, 1), 0);
  {
    ScopedEnvironment chinese("LC_ALL", "zh_CN.GB18030");
    EXPECT_EQ(AddZhiYe("db01\\EMR", "emr", "secret", "x", 1, 1), 0);
  }
  auto received = log.Received();
  ASSERT_EQ(received.size(), 2U);
  EXPECT_EQ(received[0],
            "Driver={FreeTDS};Server=db01,1433;Database=KLINODB;UID=emr;PWD=secret;"
            "ClientCharset=UTF-8;");
  EXPECT_EQ(received[1],
            "Driver={FreeTDS};Server=db01\\EMR;Database=KLINODB;UID=emr;PWD=secret;"
            "ClientCharset=GB18030;");
}

TEST_F(OdbcFreeTdsRecorder, AwkwardPasswordsArriveAsOneValueOrAreNeverSent) {
  RecorderLog log;
  size_t sent = 0;
  for (const std::string& password : kAwkwardPasswords) {
    int32_t result = AddZhiYe("db01", "emr", password.c_str(), "x", 1, 1);
    auto received = log.Received();
    if (password.find('}') != std::string::npos) {
      EXPECT_EQ(result, 1) << password;
      EXPECT_EQ(received.size(), sent) << "refused password was sent: " << password;
      continue;
    }
    EXPECT_EQ(result, 0) << password;
    ASSERT_EQ(received.size(), ++sent);
    Attributes expected = {{"Driver", "FreeTDS"},   {"Server", "db01"},
                           {"Database", "KLINODB"}, {"UID", "emr"},
                           {"PWD", password},       {"ClientCharset", EnvironmentCodeset()}};
    EXPECT_EQ(ParseOdbcConnectionString(received.back()), expected)
        << "password [" << password << "] sent as " << received.back();
  }
  EXPECT_GT(sent, 0U);
}

// ---------------------------------------------------------------------------------------------
// The backend's operations over the SQLite ODBC driver.

std::string OdbcTrialServer(const TrialDatabase& db) {
  return "odbc:Driver=SQLite3;Database=" + db.path().string() + ";NoCreat=1";
}

class OdbcBackendTest : public ::testing::Test {
 protected:
  void Run(DbQuery& query, const std::string& text) {
    query.SetStatement(text);
    query.RunCommand();
  }

  TrialDatabase db_;
  DbConnection connection_{{OdbcTrialServer(db_), "", ""}};
};

TEST_F(OdbcBackendTest, DialectFollowsTheDataSource) {
  ASSERT_TRUE(connection_.Connect());
  EXPECT_EQ(connection_.backend().dialect(), Dialect::kSqlite);
  DbConnection recorder({"odbc:Driver=WardLinkRecorder", "", ""});
  ASSERT_TRUE(recorder.Connect());
  EXPECT_EQ(recorder.backend().dialect(), Dialect::kSqlServer);
}

TEST_F(OdbcBackendTest, BindsEveryKindAndReadsItBackByNameWithoutRegardToCase) {
  ScopedEnvironment utf8("LC_ALL", "C.UTF-8");  // the host texts below are UTF-8
  ASSERT_TRUE(connection_.Connect());
  DbQuery query(connection_);
  query.SetStatement(
      "Insert Into Emr_Doc_Emr_Info (ZhuYuanNo, PeopleName, NianLing_Sui, F_Age, RuYuanDate, Memo) "
      "Values (:No, :Name, :Age, :FAge, :Date, :No)");
  query.BindText("No", "Z-1");
  query.BindText("Name", "O'Neil; 张三");
  query.BindInteger("Age", -42);
  query.BindFloat("FAge", 42.75);
  query.BindDateTime("Date", DateTime{2024, 2, 29, 23, 59, 58, 123});
  query.RunCommand();

  auto rows = db_.Rows(
      "SELECT ZhuYuanNo, PeopleName, NianLing_Sui, F_Age, RuYuanDate, Memo FROM Emr_Doc_Emr_Info");
  ASSERT_EQ(rows.size(), 1U);
  std::vector<std::string> expected = {
      "Z-1", "O'Neil; 张三", "-42", "42.75", "2024-02-29 23:59:58.123", "Z-1"};
  EXPECT_EQ(rows[0], expected);

  query.SetStatement("Select * from emr_doc_emr_info Where ZhuYuanNo=:No");
  query.BindText("no", "Z-1");
  query.RunQuery();
  ASSERT_FALSE(query.HasNoRows());
  EXPECT_EQ(query.ColumnText("PEOPLENAME"), "O'Neil; 张三");
  EXPECT_EQ(query.ColumnInteger("nianling_sui"), -42);
  EXPECT_EQ(query.ColumnText("F_Age"), "42.75");
  EXPECT_EQ(query.ColumnDateTime("ruyuandate"), (DateTime{2024, 2, 29, 23, 59, 58, 123}));
  // Columns never written read as NULL does.
  EXPECT_EQ(query.ColumnText("ChuYuanZhenDuan"), "");
  EXPECT_EQ(query.ColumnInteger("TagReciveUnitID"), 0);
  EXPECT_EQ(query.ColumnDateTime("ChuYuanDate"), DateTime{});
  query.GoNext();
  EXPECT_TRUE(query.AtEnd());
}

TEST_F(OdbcBackendTest, ReadsLongTextsWhole) {
  ASSERT_TRUE(connection_.Connect());
  DbQuery query(connection_);
  std::string memo;
  for (int i = 0; i < 3000; ++i) memo += "ab" + std::to_string(i % 10) + ";";
  query.SetStatement("Insert Into Emr_Unit (ID, UnitTypeID, UnitName, Memo) Values (1, 2, '', :M)");
  query.BindText("M", memo);
  query.RunCommand();
  query.SetStatement("Select Memo, UnitName from Emr_Unit");
  query.RunQuery();
  EXPECT_EQ(query.ColumnText("Memo"), memo);
  EXPECT_EQ(query.ColumnText("UnitName"), "");
  EXPECT_EQ(db_.Scalar("SELECT length(Memo) FROM Emr_Unit"), std::to_string(memo.size()));
}

TEST_F(OdbcBackendTest, FailuresCarryTheSqlstateAndTheDatabasesMessage) {
  ASSERT_TRUE(connection_.Connect());
  DbQuery query(connection_);
  query.SetStatement("Select NoSuchColumn from Emr_Unit");
  try {
    query.RunQuery();
    FAIL() << "no error";
  } catch (const DbError& error) {
    EXPECT_TRUE(std::regex_search(error.what(), std::regex(R"(\[[0-9A-Z]{5}\] .*NoSuchColumn)")))
        << error.what();
    // The codes, for the library: the SQLSTATE of each record.
    ASSERT_FALSE(error.codes().sqlStates.empty());
    EXPECT_TRUE(error.HasSqlState("HY000")) << error.what();
  }
  // A data-changing statement fails at execution; the first row stays alone.
  Run(query, "Insert Into Emr_Unit (ID, UnitTypeID, UnitName, Memo) Values (5, 1, 'a', '')");
  query.SetStatement(
      "Insert Into Emr_Unit (ID, UnitTypeID, UnitName, Memo) Values (5, 1, 'b', '')");
  EXPECT_THROW(query.RunCommand(), DbError);
  EXPECT_EQ(db_.Count("Emr_Unit"), 1);

  // Through an export the message reaches WardLinkLastError.
  std::string server = OdbcTrialServer(db_);
  db_.Exec("DROP TABLE Emr_ZhiYe");
  EXPECT_EQ(AddZhiYe(server.c_str(), "", "", "x", 1, 1), -1);
  EXPECT_TRUE(std::regex_search(LastErrorMessage(), std::regex(R"(\[[0-9A-Z]{5}\] .*Emr_ZhiYe)")))
      << LastErrorMessage();
}

TEST_F(OdbcBackendTest, TransactionsCommitRollBackAndEndWithTheConnection) {
  ASSERT_TRUE(connection_.Connect());
  DbQuery query(connection_);
  const std::string insert =
      "Insert Into Emr_Doc_Emr_Event (ZhuYuanNo, SequenceNumber, EventCode) Values ('Z', ";
  {
    Transaction transaction(connection_);
    Run(query, insert + "1, 'A')");
  }  // rolled back
  EXPECT_EQ(db_.Count("Emr_Doc_Emr_Event"), 0);
  {
    Transaction transaction(connection_);
    Run(query, insert + "2, 'B')");
    Run(query, insert + "3, 'C')");
    transaction.Commit();
  }
  EXPECT_EQ(db_.Rows("SELECT SequenceNumber FROM Emr_Doc_Emr_Event ORDER BY 1"),
            (std::vector<std::vector<std::string>>{{"2"}, {"3"}}));
  // Back in auto-commit: a statement takes effect by itself.
  Run(query, insert + "4, 'D')");
  EXPECT_EQ(db_.Count("Emr_Doc_Emr_Event"), 3);

  // A transaction still open when the connection goes is undone.
  DbConnection other({OdbcTrialServer(db_), "", ""});
  ASSERT_TRUE(other.Connect());
  other.StartTransaction();
  DbQuery otherQuery(other);
  Run(otherQuery, insert + "5, 'E')");
  other.Disconnect();
  EXPECT_EQ(db_.Count("Emr_Doc_Emr_Event"), 3);
}

// Host text in a code page other than UTF-8 is stored as UTF-8 by the SQLite driver and read back
// in the host's code page.
TEST_F(OdbcBackendTest, ConvertsTextBetweenTheHostCodePageAndTheDriver) {
  ScopedEnvironment locale("LC_ALL", "zh_CN.GB18030");
  std::string server = OdbcTrialServer(db_);
  const std::string zhang = "\xD5\xC5";  // 张 in GB18030
  EXPECT_EQ(AddZhiYe(server.c_str(), "", "", zhang.c_str(), 1, 1), 0);
  EXPECT_EQ(db_.Scalar("SELECT ZhiYe FROM Emr_ZhiYe"), "张");
  db_.Exec("INSERT INTO Emr_YiShengZhiCheng (ZhiCheng) VALUES ('主任')");
  char list[64] = "";
  char* buffer = list;
  EXPECT_EQ(GetZhiCheng(server.c_str(), "", "", &buffer), 0);
  EXPECT_STREQ(list, "\xD6\xF7\xC8\xCE");  // 主任 in GB18030
}

// ---------------------------------------------------------------------------------------------
// The driver manager's trace (own process with Trace=Yes).

// Host text reaches SQL Server declared varchar, as the EMR's columns are: its length in bytes of
// the code page (two for a Chinese character in GBK), and as long data past varchar's 8000.
TEST(OdbcRecorderBinding, TextIsVarcharCountedInBytesUpToEightThousand) {
  ASSERT_NO_FATAL_FAILURE(EnsureLocale("zh_CN.GBK"));
  ScopedEnvironment gbk("LC_ALL", "zh_CN.GBK");
  const auto path = std::filesystem::temp_directory_path() /
                    ("wardlink-recorder-binds-" + std::to_string(getpid()) + ".log");
  std::filesystem::remove(path);
  ScopedEnvironment log("WARDLINK_RECORDER_BIND_LOG", path.c_str());
  DbConnection recorder({"odbc:Driver=WardLinkRecorder", "", ""});
  ASSERT_TRUE(recorder.Connect());
  DbQuery query(recorder);
  for (size_t characters : {1, 4000, 4001}) {
    std::string text;
    for (size_t i = 0; i < characters; ++i) text += "\xcd\xf5";
    query.SetStatement("Update Emr_Unit Set UnitName=:UnitName");
    query.BindText("UnitName", text);
    query.RunCommand();
  }
  std::ifstream in(path);
  std::vector<std::string> lines;
  for (std::string line; std::getline(in, line);) lines.push_back(line);
  std::filesystem::remove(path);
  const std::string varchar = std::to_string(SQL_C_CHAR) + " " + std::to_string(SQL_VARCHAR);
  EXPECT_EQ(lines, (std::vector<std::string>{varchar + " 2", varchar + " 8000",
                                             std::to_string(SQL_C_CHAR) + " " +
                                                 std::to_string(SQL_LONGVARCHAR) + " 8002"}));
}

class OdbcTrace : public ::testing::Test {
 protected:
  void SetUp() override {
    if (OdbcIniFolder().filename() != "trace") GTEST_SKIP() << "needs WARDLINK_TEST_ODBC_INI=trace";
    std::filesystem::remove(TracePath());
  }

  static std::filesystem::path TracePath() { return OdbcIniFolder() / "trace.log"; }

  // Every statement text the driver manager logged as prepared, exactly.
  static std::vector<std::string> PreparedTexts() {
    std::ifstream in(TracePath(), std::ios::binary);
    std::string all((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    std::vector<std::string> texts;
    const std::string kEntry = "[SQLPrepare.c]";
    const std::string kSql = "SQL = [";
    for (size_t pos = all.find(kEntry); pos != std::string::npos; pos = all.find(kEntry, pos + 1)) {
      size_t sql = all.find(kSql, pos);
      if (sql == std::string::npos) break;
      // Only the record's own text: its exit record has none, and the next text may be another
      // call's (a transaction step run unprepared).
      if (sql > all.find("[ODBC]", pos)) continue;
      sql += kSql.size();
      size_t length = all.find("][length = ", sql);
      if (length == std::string::npos) break;
      size_t count = std::stoul(all.substr(length + 11));
      EXPECT_EQ(count, length - sql);
      texts.push_back(all.substr(sql, length - sql));
      pos = length;
    }
    return texts;
  }
};

TEST_F(OdbcTrace, SqlServerReceivesTheStatementTextsUnchanged) {
  StatementLog log;
  EXPECT_EQ(DeleteZhiYe("odbc:Driver=WardLinkRecorder;Rows=1", "", "", 7), 0);
  EXPECT_EQ(UpdateHunYin("odbc:Driver=WardLinkRecorder;Rows=1", "", "", "O'Neil", 3, 2), 0);
  std::vector<std::string> expected = {
      "Select ID from Emr_ZhiYe Where ID=7", "Delete Emr_ZhiYe Where ID=7",
      "Select ID from Emr_HunYin Where ID=3",
      "Update Emr_HunYin Set HunYin='O''Neil',theOrder=2 Where ID=3"};
  EXPECT_EQ(log.texts(), expected);
  EXPECT_EQ(PreparedTexts(), expected);
}

TEST_F(OdbcTrace, SqliteReceivesTheDeleteWithFrom) {
  TrialDatabase db;
  db.Exec("INSERT INTO Emr_ZhiYe (ID, theOrder, ZhiYe) VALUES (7, 1, 'x')");
  std::string server = OdbcTrialServer(db);
  EXPECT_EQ(DeleteZhiYe(server.c_str(), "", "", 7), 0);
  EXPECT_EQ(db.Count("Emr_ZhiYe"), 0);
  std::vector<std::string> expected = {"Select ID from Emr_ZhiYe Where ID=7",
                                       "Delete From Emr_ZhiYe Where ID=7"};
  EXPECT_EQ(PreparedTexts(), expected);
}

TEST_F(OdbcTrace, HandOverPreparesItsEventInsertOnce) {
  TrialDatabase db;
  db.Exec("INSERT INTO Emr_Doc_Emr_InfoList (ZhuYuanNo) VALUES ('Z1')");
  db.Exec("INSERT INTO Emr_Doc_Emr_Info (ZhuYuanNo, PeopleEmrStateID) VALUES ('Z1', 1)");
  std::string server = OdbcTrialServer(db);
  ASSERT_EQ(JiaoBan(server.c_str(), "", "", "Z1", "doc7", "Dr Seven", "", "", "20080201"), 0);
  std::vector<std::string> prepared = PreparedTexts();
  EXPECT_EQ(std::count_if(prepared.begin(), prepared.end(),
                          [](const std::string& t) { return t.starts_with("Insert Into"); }),
            1);
  EXPECT_EQ(db.Scalar("SELECT group_concat(SequenceNumber || EventCode) FROM Emr_Doc_Emr_Event "
                      "WHERE ZhuYuanNo = 'Z1'"),
            "1JiaoBan,2JieBan");
}

// ---------------------------------------------------------------------------------------------
// A real SQL Server, when one is given: WARDLINK_TEST_SQLSERVER="server|login|password" (a plain
// server name or an odbc: string), on a catalog created with db/schema/sqlserver.sql.

TEST(OdbcSqlServer, KeepsADictionaryInStep) {
  const char* given = std::getenv("WARDLINK_TEST_SQLSERVER");
  if (given == nullptr || *given == '\0') GTEST_SKIP() << "no WARDLINK_TEST_SQLSERVER given";
  std::string setting = given;
  size_t first = setting.find('|');
  size_t second = setting.find('|', first + 1);
  ASSERT_NE(second, std::string::npos) << "expected server|login|password";
  std::string server = setting.substr(0, first);
  std::string login = setting.substr(first + 1, second - first - 1);
  std::string password = setting.substr(second + 1);
  const char* s = server.c_str();
  const char* l = login.c_str();
  const char* p = password.c_str();

  auto readBack = [&]() -> std::vector<std::string> {
    DbConnection connection({server, login, password});
    EXPECT_TRUE(connection.Connect());
    DbQuery query(connection);
    query.SetStatement("Select ID, theOrder, ZhiYe from Emr_ZhiYe Where ID=-7001");
    query.RunQuery();
    if (query.HasNoRows()) return {};
    EXPECT_EQ(connection.backend().dialect(), Dialect::kSqlServer);
    return {query.ColumnText("id"), query.ColumnText("THEORDER"), query.ColumnText("ZhiYe")};
  };
  DeleteZhiYe(s, l, p, -7001);  // left over from an interrupted run
  EXPECT_EQ(AddZhiYe(s, l, p, "O'Neil; {x}", -7001, 3), 0);
  EXPECT_EQ(AddZhiYe(s, l, p, "again", -7001, 3), 2);
  EXPECT_EQ(readBack(), (std::vector<std::string>{"-7001", "3", "O'Neil; {x}"}));
  EXPECT_EQ(UpdateZhiYe(s, l, p, "changed", -7001, 4), 0);
  EXPECT_EQ(readBack(), (std::vector<std::string>{"-7001", "4", "changed"}));
  EXPECT_EQ(DeleteZhiYe(s, l, p, -7001), 0);
  EXPECT_TRUE(readBack().empty());
  EXPECT_EQ(AddZhiYe(s, l, (password + "-wrong").c_str(), "x", -7002, 1), 1);
}

}  // namespace
}  // namespace wardlink::testing
