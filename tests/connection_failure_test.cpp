// Why a connection failed, as a host reads it after result 1: one case for each kind of failure,
// none showing the password. Named Odbc* as it tests the connection layer itself, once.
#include <gtest/gtest.h>
#include <unistd.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>

#include "db/connection.h"
#include "db/db_error.h"
#include "db/trial_database.h"
#include "tests/test_support.h"
#include "wardlink.h"

namespace wardlink::testing {
namespace {

struct FailureCase {
  const char* name;
  std::string server;
  std::string login;
  std::string password;
  std::string reason;  // what the message must say
};

void PrintTo(const FailureCase& c, std::ostream* out) { *out << c.name; }

class OdbcConnectionFailure : public ::testing::TestWithParam<FailureCase> {};

std::string Folder() {
  static const std::filesystem::path folder = [] {
    auto path = std::filesystem::temp_directory_path() / "wardlink-connection-failure";
    std::filesystem::create_directories(path);
    // Every test process writes the file: written aside and renamed, so that another process
    // never opens it half-written (an empty file is a valid empty database).
    auto aside = path / ("notes.db." + std::to_string(getpid()));
    std::ofstream(aside) << "not a database, only a text that is long enough to "
                            "be read as a header of a database file by SQLite\n";
    std::filesystem::rename(aside, path / "notes.db");
    // A database whose first page is overwritten after its header.
    auto trial = path / ("damaged.db." + std::to_string(getpid()));
    std::filesystem::remove(trial);
    CreateTrialDatabase("sqlite:" + trial.string());
    // A sound database whose write-ahead log cannot be opened: a folder stands in its place.
    auto lockedOut = path / ("locked-out.db." + std::to_string(getpid()));
    std::filesystem::copy_file(trial, lockedOut);
    std::filesystem::create_directories(path / "locked-out.db-wal");
    std::filesystem::rename(lockedOut, path / "locked-out.db");
    {
      std::fstream file(trial, std::ios::in | std::ios::out | std::ios::binary);
      file.seekp(100);
      file << std::string(3000, '\xff');
    }
    std::filesystem::rename(trial, path / "damaged.db");
    return path;
  }();
  return folder.string();
}

TEST_P(OdbcConnectionFailure, GivesOneAndSaysWhyWithoutThePassword) {
  (void)OdbcIniFolder();  // the driver manager reads the test's own ini files
  const FailureCase& c = GetParam();
  EXPECT_EQ(DeleteZhiYe(c.server.c_str(), c.login.c_str(), c.password.c_str(), 1), 1);
  std::string message = LastErrorMessage();
  EXPECT_NE(message.find(c.reason), std::string::npos) << message;
  EXPECT_EQ(message.find(c.password), std::string::npos) << message;
  // Every message starts with one of the documented kinds.
  const auto kinds = ConnectionFailureKinds();
  EXPECT_TRUE(std::any_of(kinds.begin(), kinds.end(), [&](std::string_view kind) {
    return message.starts_with(kind);
  })) << message;
}

TEST(OdbcConnectionFailureMessage, EveryKindIsInTheReadmesTable) {
  std::ifstream in(std::filesystem::path(WARDLINK_SOURCE_DIR) / "README.md");
  const std::string readme((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
  for (std::string_view kind : ConnectionFailureKinds())
    EXPECT_NE(readme.find("| `" + std::string(kind)), std::string::npos) << kind;
}

// The password is masked only in what the database or driver said, never in the library's own
// words.
TEST(OdbcConnectionFailureMessage, KeepsTheLibrarysOwnWordsWhateverThePassword) {
  const std::string server = "sqlite:" + Folder() + "/missing.db";
  EXPECT_EQ(DeleteZhiYe(server.c_str(), "", "database", 1), 1);
  EXPECT_EQ(LastErrorMessage(), "database file not found: " + Folder() + "/missing.db");
}

const std::string kPassword = "Pa55-word";

INSTANTIATE_TEST_SUITE_P(
    Kinds, OdbcConnectionFailure,
    ::testing::Values(FailureCase{"MissingFile", "sqlite:" + Folder() + "/missing.db", "",
                                  kPassword, "database file not found: "},
                      FailureCase{"NotADatabase", "sqlite:" + Folder() + "/notes.db", "", kPassword,
                                  "not a database: "},
                      FailureCase{"Damaged", "sqlite:" + Folder() + "/damaged.db", "", kPassword,
                                  "database damaged: "},
                      FailureCase{"LogCannotBeOpened", "sqlite:" + Folder() + "/locked-out.db", "",
                                  kPassword, "cannot open the database file "},
                      FailureCase{"UnknownDsn", "odbc:DSN=NoSuchDsn", "sa", kPassword,
                                  "driver or DSN not found: "},
                      FailureCase{"UnknownDriver", "odbc:Driver=NoSuchDriver", "sa", kPassword,
                                  "driver or DSN not found: "},
                      FailureCase{"ClosedPort", "odbc:DSN=TdsDsn", "sa", kPassword,
                                  "server unreachable: "},
                      FailureCase{"LoginRefused", "odbc:DSN=RecorderDsn", "refused", kPassword,
                                  "login refused: "},
                      FailureCase{"PasswordFreeTdsCannotCarry", "db01", "sa", "Pa55};word",
                                  "connection string refused: "},
                      FailureCase{"PasswordAnUnknownDriverCannotCarry", "odbc:DSN=NoSuchDsn", "sa",
                                  "Pa55}word", "connection string refused: "},
                      FailureCase{"FilePathWithoutPrefix", Folder() + "/trial.db", "sa", kPassword,
                                  "given as sqlite:"}),
    [](const ::testing::TestParamInfo<FailureCase>& info) { return info.param.name; });

}  // namespace
}  // namespace wardlink::testing

namespace wardlink::testing {
namespace {

// The text after "sqlite:" is a file path and nothing else: no spelling reaches a database other
// than an existing SQLite file, and none creates, empties or changes one.
TEST(SqlitePath, OnlyAnExistingDatabaseFileIsReached) {
  TrialDatabase db;
  const std::filesystem::path folder = db.path().parent_path();
  const std::string trial = db.path().string();
  std::ofstream(folder / "empty.db").close();
  std::filesystem::create_directory(folder / "folder.db");
  const std::string tables = db.Scalar("SELECT count(*) FROM sqlite_master");
  const std::pair<std::string, const char*> kCases[] = {
      {"sqlite:", "database file not found: "},
      {"sqlite::memory:", "database file not found: "},
      {"sqlite:file::memory:", "database file not found: "},
      {"sqlite:file:" + trial, "database file not found: "},
      {"sqlite:FILE:" + trial + "?mode=rw", "database file not found: "},
      {"sqlite:" + trial + "?mode=memory", "database file not found: "},
      {"sqlite:/dev/zero", "not a database: "},
      {"sqlite:/dev/null", "not a database: "},
      {"sqlite:" + (folder / "empty.db").string(), "not a database: "},
      {"sqlite:" + (folder / "folder.db").string(), "not a database: "},
  };
  for (const auto& [server, reason] : kCases) {
    EXPECT_EQ(DeleteZhiYe(server.c_str(), "", "", 1), 1) << server;
    EXPECT_EQ(LastErrorMessage().rfind(reason, 0), 0U) << server << ": " << LastErrorMessage();
  }
  EXPECT_EQ(std::filesystem::file_size(folder / "empty.db"), 0U);
  EXPECT_EQ(db.Scalar("SELECT count(*) FROM sqlite_master"), tables);
  EXPECT_FALSE(std::filesystem::exists("file:"));
}

TEST(SqlitePath, CreateTrialTakesOnlyANewPlainPath) {
  TrialDatabase db;
  const std::string trial = db.path().string();
  db.Exec("PRAGMA journal_mode=DELETE");
  db.Exec("DROP TABLE EMR_FORMATDATE");  // no longer a whole trial database
  const std::string tables = db.Scalar("SELECT count(*) FROM sqlite_master");
  const std::string kSpellings[] = {
      "sqlite:",         "sqlite:" + trial,     "sqlite:file:" + trial, "sqlite:FILE:" + trial,
      "sqlite::memory:", "sqlite:file::memory:"};
  for (const std::string& server : kSpellings)
    EXPECT_THROW(CreateTrialDatabase(server), DbError) << server;
  EXPECT_EQ(db.Scalar("SELECT count(*) FROM sqlite_master"), tables);
  EXPECT_EQ(db.Scalar("PRAGMA journal_mode"), "delete");
  const std::filesystem::path fresh = db.path().parent_path() / "fresh.db";
  CreateTrialDatabase("sqlite:" + fresh.string());
  EXPECT_EQ(GetZhiCheng(("sqlite:" + fresh.string()).c_str(), "", "", nullptr), 0);
}

}  // namespace
}  // namespace wardlink::testing
