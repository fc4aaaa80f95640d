#include "db/connection.h"

#include <algorithm>
#include <exception>
#include <string_view>

#include "db/db_error.h"
#include "db/odbc_backend.h"
#include "db/odbc_connection_string.h"
#include "db/odbc_platform.h"
#include "db/sqlite_backend.h"
#include "db/statement_observer.h"

namespace wardlink {

namespace {

constexpr std::string_view kSqlitePrefix = "sqlite:";
constexpr std::string_view kOdbcPrefix = "odbc:";

std::string OdbcConnectionString(const ConnectionArgs& args) {
  std::string_view server = args.server;
  try {
    if (server.starts_with(kOdbcPrefix)) {
      return OdbcDataSourceConnectionString(server.substr(kOdbcPrefix.size()), args.login,
                                            args.password);
    }
    return HostSqlServerConnectionString(server, args.login, args.password);
  } catch (const DbError& error) {
    throw DbError(std::string("connection string refused: ") + error.what(), "");
  }
}

std::unique_ptr<DbBackend> OpenBackend(const ConnectionArgs& args) {
  std::string_view server = args.server;
  if (server.starts_with(kSqlitePrefix))
    return OpenSqliteBackend(std::string(server.substr(kSqlitePrefix.size())));
  std::string connectionString = OdbcConnectionString(args);
  try {
    return OpenOdbcBackend(connectionString);
  } catch (const DbError&) {
    if (server.starts_with(kOdbcPrefix))
      RaiseIfSqliteDatabaseMissing(server.substr(kOdbcPrefix.size()));
    throw;
  }
}

// A file path given without its prefix reaches for a server of that name; say so.
bool LooksLikeFilePath(std::string_view server) {
  return !server.starts_with(kOdbcPrefix) && !server.starts_with(kSqlitePrefix) &&
         (server.find('/') != std::string_view::npos || server.ends_with(".db"));
}

// Every occurrence of the password, should a driver ever echo it.
std::string WithoutPassword(std::string text, std::string_view password) {
  if (password.empty()) return text;
  constexpr std::string_view kMask = "***";
  for (size_t at = text.find(password); at != std::string::npos;
       at = text.find(password, at + kMask.size()))
    text.replace(at, password.size(), kMask);
  return text;
}

constexpr std::string_view kConnectionFailureKinds[] = {"database file not found:",
                                                        "not a database:",
                                                        "cannot open the database file",
                                                        "database busy:",
                                                        "disk error:",
                                                        "database damaged:",
                                                        "driver or DSN not found:",
                                                        "login refused:",
                                                        "server unreachable:",
                                                        "connection string refused:",
                                                        "connection refused by the server:",
                                                        "connection failed:"};

// Why the connection step failed: the password masked only inside what the database or driver
// said, never in the library's own words, and a kind in front where the failure has none.
std::string ConnectionFailure(const std::exception& error, std::string_view password) {
  std::string_view message = error.what();
  size_t own = 0;
  if (const auto* dbError = dynamic_cast<const DbError*>(&error))
    own = std::min(dbError->ownLength(), message.size());
  std::string reason(message.substr(0, own));
  reason += WithoutPassword(std::string(message.substr(own)), password);
  for (std::string_view kind : ConnectionFailureKinds())
    if (reason.starts_with(kind)) return reason;
  return "connection failed: " + reason;
}

}  // namespace

std::span<const std::string_view> ConnectionFailureKinds() { return kConnectionFailureKinds; }

DbConnection::DbConnection(ConnectionArgs args) : args_(std::move(args)) {}

DbConnection::~DbConnection() { Disconnect(); }

bool DbConnection::Connect() noexcept {
  try {
    failure_.clear();
    backend_ = OpenBackend(args_);
    return true;
  } catch (const std::exception& error) {
    backend_.reset();
    try {
      std::string reason = ConnectionFailure(error, args_.password);
      if (LooksLikeFilePath(args_.server))
        reason += " (a SQLite database file is given as sqlite:" + args_.server + ")";
      failure_ = std::move(reason);
    } catch (...) {
      failure_.clear();  // out of memory: the failed step still stands
    }
  } catch (...) {
    backend_.reset();
  }
  return false;
}

void DbConnection::Disconnect() noexcept {
  backend_.reset();  // a transaction still open ends with the backend, undone
  inTransaction_ = false;
}

void DbConnection::NoteRollback(std::string_view reason) noexcept {
  try {
    failure_.assign(reason);
  } catch (...) {
    failure_.clear();  // out of memory: the guard's code still stands
  }
}

DbBackend& DbConnection::backend() {
  if (!backend_) throw DbError("connection is not open");
  return *backend_;
}

void DbConnection::StartTransaction() {
  RunFailureInjector("LOCK");
  backend().BeginTransaction();
  inTransaction_ = true;
}
void DbConnection::CommitTransaction() {
  RunFailureInjector("COMMIT");
  backend().CommitTransaction();
  inTransaction_ = false;
}
void DbConnection::RollBackTransaction() {
  // Ended whatever happens: after a failed rollback only closing the connection is left.
  inTransaction_ = false;
  backend().RollbackTransaction();
}

Transaction::Transaction(DbConnection& connection) : connection_(connection) {
  connection_.StartTransaction();
}

Transaction::~Transaction() {
  if (!connection_.InTransaction()) return;
  try {
    connection_.RollBackTransaction();
  } catch (...) {
    // The transaction is gone with the connection if the rollback itself fails.
  }
}

void Transaction::Commit() { connection_.CommitTransaction(); }

int32_t RunGuarded(DbConnection& connection, int32_t failureCode,
                   const std::function<void()>& writes) {
  // Where the guarded writes begin: a step of its own for the failure tests, outside the guard.
  RunFailureInjector("BEGIN");
  try {
    writes();
    connection.CommitTransaction();
  } catch (const std::exception& error) {
    connection.NoteRollback(error.what());
    return failureCode;  // the frame's transaction rolls back
  }
  return 0;
}

}  // namespace wardlink
