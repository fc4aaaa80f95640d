#pragma once

#include <filesystem>
#include <string>
#include <vector>

#include "db/statement_observer.h"

namespace wardlink::testing {

// True when the suite runs over ODBC (WARDLINK_TEST_BACKEND=odbc): the trial databases are then
// reached through the SQLite ODBC driver. Tests of a behaviour only the native backend has skip.
bool TestBackendIsOdbc();

// The folder of ini files the driver manager reads in this test process.
std::filesystem::path OdbcIniFolder();

// A fresh trial database in a temporary folder, removed again at the end of the test. Rows are
// read and written with SQLite directly, so that assertions never go through the code under test.
class TrialDatabase {
 public:
  TrialDatabase();
  ~TrialDatabase();
  TrialDatabase(const TrialDatabase&) = delete;
  TrialDatabase& operator=(const TrialDatabase&) = delete;

  // The server argument that reaches this database: "sqlite:PATH", or over ODBC
  // "odbc:Driver=SQLite3;Database=PATH;...".
  const char* server() const { return server_.c_str(); }
  const std::filesystem::path& path() const { return path_; }

  void Exec(const std::string& sql) const;
  // Every row of `sql`, each cell as text; NULL reads as "<null>".
  std::vector<std::vector<std::string>> Rows(const std::string& sql) const;
  // The first cell of the first row; raises when there is none.
  std::string Scalar(const std::string& sql) const;
  int Count(const std::string& table, const std::string& where = "") const;

 private:
  std::filesystem::path folder_;
  std::filesystem::path path_;
  std::string server_;
};

// Records every statement text sent on this thread while it lives.
class StatementLog {
 public:
  StatementLog();
  ~StatementLog();
  StatementLog(const StatementLog&) = delete;
  StatementLog& operator=(const StatementLog&) = delete;

  const std::vector<std::string>& texts() const { return texts_; }

 private:
  std::vector<std::string> texts_;
  StatementObserver previous_;
};

// Sets an environment variable for one test and puts the old value back.
class ScopedEnvironment {
 public:
  ScopedEnvironment(const char* name, const char* value);
  ~ScopedEnvironment();
  ScopedEnvironment(const ScopedEnvironment&) = delete;
  ScopedEnvironment& operator=(const ScopedEnvironment&) = delete;

 private:
  std::string name_;
  std::string old_;
  bool hadValue_ = false;
};

// What the stand-in ODBC driver received while this lives, one connection string per connection.
class RecorderLog {
 public:
  RecorderLog();
  ~RecorderLog();
  RecorderLog(const RecorderLog&) = delete;
  RecorderLog& operator=(const RecorderLog&) = delete;

  std::vector<std::string> Received() const;

 private:
  std::filesystem::path path_;
  ScopedEnvironment env_;
};

// The message WardLinkLastError returns now.
std::string LastErrorMessage();

// The server argument that reaches the SQLite database at `path` with the chosen backend.
std::string ServerFor(const std::filesystem::path& path);

// A server argument whose database file does not exist.
std::string MissingDatabaseServer();

// Makes the locale `name` ("zh_TW.BIG5": territory, then charmap) loadable, compiling it with
// localedef into a folder of this user's own, which LOCPATH then names, when the system lacks it.
// A fatal test failure when it cannot be made.
void EnsureLocale(const std::string& name);

}  // namespace wardlink::testing
