// Hostile logins, passwords and server names through the real driver manager. The stand-in
// driver is registered under each family's name (see the "families" ini folder); every value is
// either refused before anything is sent, or reaches the driver read as exactly the attributes
// meant, by the driver manager and by the driver's own rule. No other library is ever loaded and
// no file is ever written.
#include <gtest/gtest.h>
#include <sql.h>
#include <sqlext.h>

#include <filesystem>
#include <fstream>
#include <iostream>
#include <string>
#include <vector>

#include "db/code_page.h"
#include "tests/fuzz/odbc_reference.h"
#include "tests/test_support.h"
#include "wardlink.h"

namespace wardlink::testing {
namespace {

using fuzz::ReadAttributes;
using fuzz::Reader;

class OdbcFamilies : public ::testing::Test {
 protected:
  void SetUp() override {
    // The disguised cases register FreeTDS's own name for another driver: a folder of their own.
    const std::string_view test = ::testing::UnitTest::GetInstance()->current_test_info()->name();
    const char* needed = test.starts_with("Disguised") ? "disguised" : "families";
    if (OdbcIniFolder().filename() != needed)
      GTEST_SKIP() << "needs WARDLINK_TEST_ODBC_INI=" << needed;
    std::filesystem::remove_all(folder_);
    std::filesystem::remove(canaryLog_);
    std::filesystem::create_directories(folder_);
  }
  void TearDown() override { std::filesystem::remove_all(folder_); }

  bool CanaryLoaded() const { return std::filesystem::exists(canaryLog_); }
  std::vector<std::filesystem::path> FilesWritten() const {
    std::vector<std::filesystem::path> files;
    for (const auto& entry : std::filesystem::directory_iterator(folder_))
      files.push_back(entry.path());
    return files;
  }

  // Values made of braces, separators, blanks, control characters and attribute names that the
  // driver manager acts on.
  std::vector<std::string> HostileValues() const {
    std::vector<std::string> values = {"plain", "", "pa ss", "{a", "a=b"};
    const std::string injected[] = {std::string("Driver=") + WARDLINK_CANARY_LIBRARY + ";",
                                    "DSN=CanaryDsn;",
                                    "FILEDSN=" + (folder_ / "f.dsn").string() + ";",
                                    "SAVEFILE=" + (folder_ / "saved").string() + ";",
                                    "UID=sa;",
                                    "PWD=x;"};
    for (const char* before : {"", "{"})
      for (const char* breaker : {"}", "}}", "};", ";", "{", "=", "\n", "\x01", " ", "\t"})
        for (const std::string& attribute : injected)
          for (const char* after : {"", "}"})
            values.push_back(before + std::string("x") + breaker + attribute + after);
    return values;
  }

  std::filesystem::path folder_ =
      std::filesystem::temp_directory_path() / ("wardlink-families-" + std::to_string(getpid()));
  std::filesystem::path canaryLog_ = folder_.string() + ".canary";
  ScopedEnvironment canary_{"WARDLINK_CANARY_LOG", canaryLog_.c_str()};
};

struct Family {
  std::string server;    // after "odbc:", or a plain server name
  ReadAttributes given;  // the attributes sent before UID and PWD (NoCreat first for SQLite's)
  bool freeTds;          // FreeTDS also gets the code page
  bool braces;           // the driver is known to read a braced value
  std::vector<Reader> driverReaders;
};

std::vector<Family> Families() {
  const std::vector<Reader> kFreeTds = {Reader::kFreeTds};
  const std::vector<Reader> kStandard = {Reader::kDriverManager};
  const std::vector<Reader> kAny = {Reader::kDriverManager, Reader::kFreeTds,
                                    Reader::kIgnoresBraces};
  return {
      {"odbc:Driver={FreeTDS};Server=db01",
       {{"Driver", "FreeTDS"}, {"Server", "db01"}},
       true,
       true,
       kFreeTds},
      {"odbc:DSN=FreeTdsDsn", {{"DSN", "FreeTdsDsn"}}, true, true, kFreeTds},
      {"odbc:Driver={ODBC Driver 18 for SQL Server};Server=db01",
       {{"Driver", "ODBC Driver 18 for SQL Server"}, {"Server", "db01"}},
       false,
       true,
       kStandard},
      {"odbc:DSN=MicrosoftDsn", {{"DSN", "MicrosoftDsn"}}, false, true, kStandard},
      {"odbc:Driver=SQLite3;Database=/tmp/x.db",
       {{"NoCreat", "1"}, {"Driver", "SQLite3"}, {"Database", "/tmp/x.db"}},
       false,
       false,
       kAny},
      {"odbc:DSN=SqliteDsn", {{"NoCreat", "1"}, {"DSN", "SqliteDsn"}}, false, false, kAny},
      // FreeTDS's library as Driver, the SQLite driver's as Driver64: the latter is loaded.
      {"odbc:Driver=Disguised", {{"NoCreat", "1"}, {"Driver", "Disguised"}}, false, false, kAny},
      {"odbc:DSN=DisguisedDsn", {{"NoCreat", "1"}, {"DSN", "DisguisedDsn"}}, false, false, kAny},
      {"odbc:Driver=WardLinkRecorder", {{"Driver", "WardLinkRecorder"}}, false, false, kAny},
      {"odbc:DSN=RecorderDsn", {{"DSN", "RecorderDsn"}}, false, false, kAny},
  };
}

bool Bare(const std::string& value) {
  if (value.find_first_of(";{}=") != std::string::npos) return false;
  for (unsigned char c : value)
    if (c < 0x20 || c == 0x7F) return false;
  return value.empty() || (value.front() != ' ' && value.back() != ' ' && value.front() != '\t' &&
                           value.back() != '\t');
}

bool Carried(const std::string& value, bool braces) {
  return Bare(value) || (braces && value.find('}') == std::string::npos);
}

// Sends one call; checks that it was refused unsent, or arrived read as `expected` by the driver
// manager and by each of the driver's readers. Returns whether it was sent.
bool SendsExactly(const char* server, const std::string& login, const std::string& password,
                  bool carried, const ReadAttributes& expected,
                  const std::vector<Reader>& driverReaders, const std::string& hostile) {
  RecorderLog log;
  int32_t result = AddZhiYe(server, login.c_str(), password.c_str(), "x", 1, 1);
  std::vector<std::string> received = log.Received();
  std::string shown = ::testing::PrintToString(hostile) + " via " + server;
  if (!carried) {
    EXPECT_EQ(result, 1) << shown;
    EXPECT_TRUE(received.empty()) << "a refused value was sent: " << shown;
    std::string message = LastErrorMessage();
    EXPECT_EQ(message.rfind("connection string refused:", 0), 0U) << message;
    if (password.size() > 3) EXPECT_EQ(message.find(password), std::string::npos) << message;
    return false;
  }
  EXPECT_EQ(result, 0) << shown << ": " << LastErrorMessage();
  if (received.size() != 1) {
    ADD_FAILURE() << "expected one connection for " << shown;
    return false;
  }
  EXPECT_EQ(fuzz::ReadConnectionString(received[0], Reader::kDriverManager), expected)
      << "the driver manager reads other attributes in " << ::testing::PrintToString(received[0]);
  for (Reader reader : driverReaders)
    EXPECT_EQ(fuzz::ReadConnectionString(received[0], reader), expected)
        << "the driver (" << static_cast<int>(reader) << ") reads other attributes in "
        << ::testing::PrintToString(received[0]);
  return true;
}

TEST_F(OdbcFamilies, LoginsAndPasswordsArriveAsOneValueOrAreNeverSent) {
  int sent = 0;
  int refused = 0;
  for (const Family& family : Families()) {
    for (const std::string& hostile : HostileValues()) {
      for (bool asPassword : {true, false}) {
        std::string login = asPassword ? "emr" : hostile;
        std::string password = asPassword ? hostile : "secret";
        ReadAttributes expected = family.given;
        expected.emplace_back("UID", login);
        expected.emplace_back("PWD", password);
        if (family.freeTds) expected.emplace_back("ClientCharset", EnvironmentCodeset());
        bool carried = Carried(hostile, family.braces);
        (SendsExactly(family.server.c_str(), login, password, carried, expected,
                      family.driverReaders, hostile)
             ? sent
             : refused)++;
      }
    }
  }
  EXPECT_FALSE(CanaryLoaded()) << "a value made the driver manager load another library";
  EXPECT_TRUE(FilesWritten().empty()) << "a value made the driver manager write a file";
  EXPECT_GT(sent, 0);
  EXPECT_GT(refused, 0);
  std::cout << "[ values ] " << sent << " sent, " << refused << " refused\n";
}

// A plain server name reaches FreeTDS: the server name is such a value too.
TEST_F(OdbcFamilies, PlainServerNamesArriveAsOneValueOrAreNeverSent) {
  for (const std::string& hostile : HostileValues()) {
    if (hostile.empty() || hostile.rfind("sqlite:", 0) == 0 || hostile.rfind("odbc:", 0) == 0)
      continue;
    ReadAttributes expected = {{"Driver", "FreeTDS"},   {"Server", hostile},
                               {"Database", "KLINODB"}, {"UID", "emr"},
                               {"PWD", "secret"},       {"ClientCharset", EnvironmentCodeset()}};
    SendsExactly(hostile.c_str(), "emr", "secret", Carried(hostile, true), expected,
                 {Reader::kFreeTds}, hostile);
  }
  EXPECT_FALSE(CanaryLoaded());
  EXPECT_TRUE(FilesWritten().empty());
}

// The real SQLite driver (which ignores braces, and loads the extension LoadExt names) under
// FreeTDS's name through Driver64, and by a path through a folder named freetds: a password made
// to add LoadExt is refused for every server form, and nothing is loaded.
TEST_F(OdbcFamilies, DisguisedSqliteDriverIsGivenNoLibraryToLoad) {
  const std::filesystem::path through = OdbcIniFolder() / "freetds";
  std::filesystem::create_directories(through);
  std::string up;
  for (const auto& part : through.relative_path()) up += part.empty() ? "" : "../";
  const std::string driver = through.string() + "/" + up + (WARDLINK_SQLITE_ODBC_DRIVER + 1);
  ASSERT_TRUE(std::filesystem::exists(driver)) << driver;
  const std::string database = (folder_ / "emr.db").string();
  const std::string servers[] = {"db01", "odbc:DSN=emr", "odbc:Driver=FreeTDS;Database=" + database,
                                 "odbc:Driver=" + driver + ";Database=" + database};
  const std::string password = std::string("x;LoadExt=") + WARDLINK_CANARY_LIBRARY + ";";
  for (const std::string& server : servers) {
    EXPECT_EQ(AddZhiYe(server.c_str(), "emr", password.c_str(), "x", 1, 1), 1) << server;
    EXPECT_EQ(LastErrorMessage().rfind("connection string refused:", 0), 0U)
        << server << ": " << LastErrorMessage();
  }
  EXPECT_FALSE(CanaryLoaded()) << "the SQLite driver loaded the library a password named";
}

// Which library the real driver manager loads for a connection string: the stand-in, the canary,
// or the one it names in its "Can't open lib" diagnostic.
std::string LibraryLoaded(const std::string& text, const std::filesystem::path& canaryLog) {
  RecorderLog log;
  std::filesystem::remove(canaryLog);
  SQLHENV env = SQL_NULL_HENV;
  SQLHDBC dbc = SQL_NULL_HDBC;
  SQLAllocHandle(SQL_HANDLE_ENV, SQL_NULL_HANDLE, &env);
  SQLSetEnvAttr(env, SQL_ATTR_ODBC_VERSION, reinterpret_cast<SQLPOINTER>(SQL_OV_ODBC3), 0);
  SQLAllocHandle(SQL_HANDLE_DBC, env, &dbc);
  std::string in = text;
  SQLRETURN rc = SQLDriverConnect(dbc, nullptr, reinterpret_cast<SQLCHAR*>(in.data()),
                                  static_cast<SQLSMALLINT>(in.size()), nullptr, 0, nullptr,
                                  SQL_DRIVER_NOPROMPT);
  std::string diagnostic(1024, '\0');
  SQLCHAR state[6] = {};
  SQLINTEGER native = 0;
  SQLSMALLINT length = 0;
  if (!SQL_SUCCEEDED(rc))
    SQLGetDiagRec(SQL_HANDLE_DBC, dbc, 1, state, &native,
                  reinterpret_cast<SQLCHAR*>(diagnostic.data()), 1024, &length);
  diagnostic.resize(static_cast<size_t>(std::max<SQLSMALLINT>(length, 0)));
  if (SQL_SUCCEEDED(rc)) SQLDisconnect(dbc);
  SQLFreeHandle(SQL_HANDLE_DBC, dbc);
  SQLFreeHandle(SQL_HANDLE_ENV, env);
  if (!log.Received().empty()) return "WardLinkRecorder";
  // The canary's constructor runs on its first load only; a library loaded without a driver's
  // entry points is the canary all the same.
  if (std::filesystem::exists(canaryLog) ||
      diagnostic.find("SQLAllocHandle on SQL_HANDLE_HENV failed") != std::string::npos)
    return WARDLINK_CANARY_LIBRARY;
  const std::string kOpen = "Can't open lib '";
  size_t at = diagnostic.find(kOpen);
  if (at == std::string::npos) return "?" + diagnostic;
  size_t end = diagnostic.find("' : ", at);
  return diagnostic.substr(at + kOpen.size(), end - at - kOpen.size());
}

// The fuzz target's reading of the driver manager is its oracle: here it is held against unixODBC
// itself, on the raw hostile strings, braced and bare, as a careless library would send them.
TEST_F(OdbcFamilies, TheReferenceReadingAgreesWithTheDriverManager) {
  int compared = 0;
  for (const std::string& hostile : HostileValues()) {
    std::string doubled;
    for (char c : hostile) doubled += c == '}' ? std::string("}}") : std::string(1, c);
    for (const std::string& value : {hostile, "{" + hostile + "}", "{" + doubled + "}"}) {
      std::string text = "Driver={WardLinkRecorder};UID=emr;PWD=" + value + ";";
      std::optional<std::string> driver = fuzz::DriverManagerDriver(text);
      if (!driver) continue;  // never closed: the library refuses such a string outright
      EXPECT_EQ(LibraryLoaded(text, canaryLog_), *driver) << ::testing::PrintToString(text);
      ++compared;
    }
  }
  std::filesystem::remove(canaryLog_);
  EXPECT_GT(compared, 300);
  std::cout << "[ strings ] " << compared << " compared with the driver manager\n";
}

}  // namespace
}  // namespace wardlink::testing
