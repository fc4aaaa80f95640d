// Why a connection failed, as a host reads it after result 1: one case for each kind of failure,
// none showing the password. Named Odbc* as it tests the connection layer itself, once.
#include <gtest/gtest.h>
#include <poll.h>
#include <sys/inotify.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <functional>
#include <iterator>
#include <map>
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

// A process of its own that runs `act` once, the moment `events` happen to `watched` (inotify); it
// watches before the constructor returns. `act` runs after fork: plain system calls only.
class Racer {
 public:
  Racer(const std::filesystem::path& watched, uint32_t events, const std::function<void()>& act) {
    int ready[2];
    if (pipe(ready) != 0) throw std::runtime_error("pipe");
    pid_ = fork();
    if (pid_ == 0) {
      int watcher = inotify_init1(IN_CLOEXEC);
      inotify_add_watch(watcher, watched.c_str(), events);
      char go = 1;
      (void)!write(ready[1], &go, 1);
      pollfd wait{watcher, POLLIN, 0};
      if (poll(&wait, 1, 5000) == 1) act();
      _exit(0);
    }
    char go = 0;
    (void)!read(ready[0], &go, 1);
    close(ready[0]);
    close(ready[1]);
  }
  ~Racer() {
    int status = 0;
    waitpid(pid_, &status, 0);
  }
  Racer(const Racer&) = delete;
  Racer& operator=(const Racer&) = delete;

 private:
  pid_t pid_ = -1;
};

// Another process empties the file the moment the call opens it: the call decides on what it
// opened, and an empty file is no database, never an empty one that lacks every table.
TEST(SqlitePath, AFileEmptiedAsItIsOpenedIsNotADatabase) {
  TrialDatabase db;
  std::map<std::string, int> outcomes;
  for (int round = 0; round < 100; ++round) {
    const std::filesystem::path file =
        db.path().parent_path() / ("raced.db." + std::to_string(round));
    std::filesystem::copy_file(db.path(), file);
    const std::string server = "sqlite:" + file.string();
    int32_t result = 0;
    {
      Racer truncator(file, IN_OPEN, [&] { (void)!truncate(file.c_str(), 0); });
      result = DeleteZhiYe(server.c_str(), "", "", 1);
    }
    std::string message = LastErrorMessage();
    std::string kind = std::to_string(result) + " " + message.substr(0, message.find(':'));
    ++outcomes[kind];
    // 2: the call ran on the whole database; 1 or -1: the file was found emptied or damaged.
    EXPECT_EQ(message.find("no such table"), std::string::npos) << round << ": " << message;
    for (const char* suffix : {"", "-wal", "-shm"}) std::filesystem::remove(file.string() + suffix);
  }
  for (const auto& [kind, count] : outcomes) std::cout << "[ " << kind << " ] " << count << "\n";
  EXPECT_GT(outcomes["1 not a database"], 0) << "the race was never met";
}

// Another process puts a link to another database in place of the new file the moment it is
// created: that database is never written, and the link is left where it was put.
TEST(SqlitePath, CreateTrialWritesNoFileItDidNotCreate) {
  TrialDatabase db;
  const std::filesystem::path folder = db.path().parent_path();
  const std::filesystem::path victim = folder / "victim.db";
  std::ofstream(victim).close();
  int swapped = 0;
  for (int round = 0; round < 100; ++round) {
    const std::filesystem::path trial = folder / ("trial." + std::to_string(round) + ".db");
    const std::filesystem::path link = folder / ("link." + std::to_string(round));
    std::filesystem::create_symlink(victim, link);
    bool created = false;
    {
      Racer swapper(folder, IN_CREATE, [&] { (void)!rename(link.c_str(), trial.c_str()); });
      try {
        CreateTrialDatabase("sqlite:" + trial.string());
        created = true;
      } catch (const DbError&) {
      }
    }
    if (!std::filesystem::is_symlink(link)) {
      ++swapped;
      EXPECT_TRUE(std::filesystem::is_symlink(trial)) << round << ": the link put there is gone";
    } else {
      EXPECT_TRUE(created) << round;
    }
    ASSERT_EQ(std::filesystem::file_size(victim), 0U)
        << round << ": the other database was written";
  }
  std::cout << "[ swapped ] " << swapped << " of 100\n";
  EXPECT_GT(swapped, 0) << "the race was never met";
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
