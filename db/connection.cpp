#include "db/connection.h"

#include <exception>
#include <string_view>

#include "db/db_error.h"
#include "db/odbc_backend.h"
#include "db/odbc_connection_string.h"
#include "db/odbc_platform.h"
#include "db/sqlite_backend.h"

namespace wardlink {

namespace {

constexpr std::string_view kSqlitePrefix = "sqlite:";
constexpr std::string_view kOdbcPrefix = "odbc:";

std::unique_ptr<DbBackend> OpenBackend(const ConnectionArgs& args) {
  std::string_view server = args.server;
  if (server.starts_with(kSqlitePrefix))
    return OpenSqliteBackend(std::string(server.substr(kSqlitePrefix.size())));
  if (server.starts_with(kOdbcPrefix)) {
    return OpenOdbcBackend(OdbcDataSourceConnectionString(server.substr(kOdbcPrefix.size()),
                                                          args.login, args.password));
  }
  return OpenOdbcBackend(HostSqlServerConnectionString(server, args.login, args.password));
}

}  // namespace

DbConnection::DbConnection(ConnectionArgs args) : args_(std::move(args)) {}

DbConnection::~DbConnection() { Disconnect(); }

bool DbConnection::Connect() noexcept {
  try {
    backend_ = OpenBackend(args_);
    return true;
  } catch (...) {
    backend_.reset();
    return false;
  }
}

void DbConnection::Disconnect() noexcept { backend_.reset(); }

DbBackend& DbConnection::backend() {
  if (!backend_) throw DbError("connection is not open");
  return *backend_;
}

void DbConnection::StartTransaction() { backend().BeginTransaction(); }
void DbConnection::CommitTransaction() { backend().CommitTransaction(); }
void DbConnection::RollBackTransaction() { backend().RollbackTransaction(); }

Transaction::Transaction(DbConnection& connection) : connection_(connection) {
  connection_.StartTransaction();
}

Transaction::~Transaction() {
  if (!open_) return;
  try {
    connection_.RollBackTransaction();
  } catch (...) {
    // The transaction is gone with the connection if the rollback itself fails.
  }
}

void Transaction::Commit() {
  connection_.CommitTransaction();
  open_ = false;
}

int32_t RunGuarded(DbConnection& connection, int32_t failureCode,
                   const std::function<void()>& writes) {
  Transaction transaction(connection);
  try {
    writes();
    transaction.Commit();
  } catch (const std::exception&) {
    return failureCode;  // the transaction's destructor rolls back
  }
  return 0;
}

}  // namespace wardlink
