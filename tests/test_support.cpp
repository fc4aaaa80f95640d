#include "tests/test_support.h"

#include <gtest/gtest.h>
#include <locale.h>
#include <sqlite3.h>
#include <unistd.h>

#include <atomic>
#include <cstdlib>
#include <fstream>
#include <iterator>
#include <memory>
#include <stdexcept>
#include <string_view>

#include "db/trial_database.h"
#include "wardlink.h"

namespace wardlink::testing {

namespace {

std::filesystem::path NewTemporaryFolder() {
  static std::atomic<int> counter{0};
  auto folder = std::filesystem::temp_directory_path() /
                ("wardlink-test-" + std::to_string(getpid()) + "-" + std::to_string(counter++));
  std::filesystem::remove_all(folder);
  std::filesystem::create_directories(folder);
  return folder;
}

struct CloseDb {
  void operator()(sqlite3* db) const { sqlite3_close_v2(db); }
};

std::unique_ptr<sqlite3, CloseDb> Open(const std::filesystem::path& path) {
  sqlite3* raw = nullptr;
  int rc = sqlite3_open_v2(path.c_str(), &raw, SQLITE_OPEN_READWRITE, nullptr);
  std::unique_ptr<sqlite3, CloseDb> db(raw);
  if (rc != SQLITE_OK) throw std::runtime_error("cannot open " + path.string());
  sqlite3_busy_timeout(raw, 30000);
  return db;
}

std::filesystem::path ChosenOdbcIniFolder() {
  const char* variant = std::getenv("WARDLINK_TEST_ODBC_INI");
  return std::filesystem::path(WARDLINK_TEST_ODBC_INI_DIR) /
         (variant != nullptr && *variant != '\0' ? variant : "default");
}

// Before any test runs: the driver manager reads its ini files once per process, from here on.
const bool kOdbcConfigured = [] {
  setenv("ODBCSYSINI", ChosenOdbcIniFolder().c_str(), 1);
  return true;
}();

// The SQLite driver's settings that match the native backend: no database is created where none
// is, writers wait for each other, and commits are durable.
std::string OdbcServer(const std::filesystem::path& path) {
  return "odbc:Driver=SQLite3;Database=" + path.string() +
         ";NoCreat=1;Timeout=30000;SyncPragma=FULL";
}

}  // namespace

bool TestBackendIsOdbc() {
  const char* backend = std::getenv("WARDLINK_TEST_BACKEND");
  return backend != nullptr && std::string_view(backend) == "odbc";
}

std::filesystem::path OdbcIniFolder() {
  (void)kOdbcConfigured;
  return ChosenOdbcIniFolder();
}

RecorderLog::RecorderLog()
    : path_(std::filesystem::temp_directory_path() /
            ("wardlink-recorder-" + std::to_string(getpid()) + ".log")),
      env_("WARDLINK_RECORDER_LOG", path_.c_str()) {
  std::filesystem::remove(path_);
}

RecorderLog::~RecorderLog() { std::filesystem::remove(path_); }

std::vector<std::string> RecorderLog::Received() const {
  std::ifstream in(path_, std::ios::binary);
  std::string all((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
  std::vector<std::string> records;
  size_t pos = 0;
  while (pos < all.size()) {
    size_t colon = all.find(':', pos);
    size_t length = std::stoul(all.substr(pos, colon - pos));
    records.push_back(all.substr(colon + 1, length));
    pos = colon + 1 + length + 1;
  }
  return records;
}

TrialDatabase::TrialDatabase()
    : folder_(NewTemporaryFolder()), path_(folder_ / "trial.db"), server_(ServerFor(path_)) {
  CreateTrialDatabase("sqlite:" + path_.string());
}

TrialDatabase::~TrialDatabase() {
  std::error_code ignored;
  std::filesystem::remove_all(folder_, ignored);
}

void TrialDatabase::Exec(const std::string& sql) const {
  auto db = Open(path_);
  char* message = nullptr;
  if (sqlite3_exec(db.get(), sql.c_str(), nullptr, nullptr, &message) != SQLITE_OK) {
    std::string error = message != nullptr ? message : "unknown error";
    sqlite3_free(message);
    throw std::runtime_error(error + " in: " + sql);
  }
}

std::vector<std::vector<std::string>> TrialDatabase::Rows(const std::string& sql) const {
  auto db = Open(path_);
  sqlite3_stmt* raw = nullptr;
  if (sqlite3_prepare_v2(db.get(), sql.c_str(), -1, &raw, nullptr) != SQLITE_OK)
    throw std::runtime_error(std::string(sqlite3_errmsg(db.get())) + " in: " + sql);
  std::unique_ptr<sqlite3_stmt, int (*)(sqlite3_stmt*)> statement(raw, sqlite3_finalize);
  std::vector<std::vector<std::string>> rows;
  while (sqlite3_step(raw) == SQLITE_ROW) {
    auto& row = rows.emplace_back();
    for (int i = 0; i < sqlite3_column_count(raw); ++i) {
      const unsigned char* text = sqlite3_column_text(raw, i);
      row.emplace_back(text != nullptr ? reinterpret_cast<const char*>(text) : "<null>");
    }
  }
  return rows;
}

std::string TrialDatabase::Scalar(const std::string& sql) const {
  auto rows = Rows(sql);
  if (rows.empty() || rows[0].empty()) throw std::runtime_error("no row from: " + sql);
  return rows[0][0];
}

int TrialDatabase::Count(const std::string& table, const std::string& where) const {
  return std::stoi(
      Scalar("SELECT count(*) FROM " + table + (where.empty() ? "" : " WHERE " + where)));
}

StatementLog::StatementLog()
    : previous_(
          SetStatementObserver([this](std::string_view text) { texts_.emplace_back(text); })) {}

StatementLog::~StatementLog() { SetStatementObserver(std::move(previous_)); }

ScopedEnvironment::ScopedEnvironment(const char* name, const char* value) : name_(name) {
  const char* old = std::getenv(name);
  if (old != nullptr) old_ = old;
  hadValue_ = old != nullptr;
  setenv(name, value, 1);
}

ScopedEnvironment::~ScopedEnvironment() {
  if (hadValue_) {
    setenv(name_.c_str(), old_.c_str(), 1);
  } else {
    unsetenv(name_.c_str());
  }
}

std::string LastErrorMessage() {
  std::string message(static_cast<size_t>(WardLinkLastError(nullptr, 0)) + 1, '\0');
  WardLinkLastError(message.data(), static_cast<int32_t>(message.size()));
  return message.c_str();
}

std::string ServerFor(const std::filesystem::path& path) {
  return TestBackendIsOdbc() ? OdbcServer(path) : "sqlite:" + path.string();
}

std::string MissingDatabaseServer() {
  return ServerFor(std::filesystem::temp_directory_path() / "wardlink-no-such-folder" /
                   "missing.db");
}

// glibc 2.36 loses the search path it builds from LOCPATH in every newlocale call (the library
// loads the host's locale on each call); not a leak of the library's own.
// NOLINTNEXTLINE(bugprone-reserved-identifier): the name the leak checker looks for
extern "C" const char* __lsan_default_suppressions() { return "leak:__argz_add_sep\n"; }

void EnsureLocale(const std::string& name) {
  auto loadable = [&] {
    locale_t locale = newlocale(LC_ALL_MASK, name.c_str(), static_cast<locale_t>(nullptr));
    if (locale != static_cast<locale_t>(nullptr)) freelocale(locale);
    return locale != static_cast<locale_t>(nullptr);
  };
  const auto folder =
      std::filesystem::temp_directory_path() / ("wardlink-locales-" + std::to_string(getuid()));
  // glibc remembers a locale it once failed to find under LOCPATH: once LOCPATH names the folder,
  // a locale is looked for only after it has been compiled there (the C locales are built in).
  const bool compiled = std::filesystem::exists(folder / name);
  if (!compiled && (std::getenv("LOCPATH") == nullptr || name == "C" || name.starts_with("C.")) &&
      loadable())
    return;
  std::filesystem::create_directories(folder);
  if (!compiled) {
    // Compiled aside and renamed into place, so that suites running at once never see half a
    // locale.
    const size_t dot = name.find('.');
    const auto aside = folder / (name + "." + std::to_string(getpid()));
    const std::string command = "localedef -c -i " + name.substr(0, dot) + " -f " +
                                name.substr(dot + 1) + " " + aside.string() + " >/dev/null 2>&1";
    [[maybe_unused]] int ignored = std::system(command.c_str());
    std::error_code taken;  // another suite was first
    std::filesystem::rename(aside, folder / name, taken);
    std::filesystem::remove_all(aside, taken);
  }
  setenv("LOCPATH", folder.c_str(), 1);
  ASSERT_TRUE(loadable()) << name << " cannot be created with localedef";
}

}  // namespace wardlink::testing
