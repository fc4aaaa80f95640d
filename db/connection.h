#pragma once

#include <memory>
#include <string>

#include "db/backend.h"

namespace wardlink {

// The three connection arguments of every export, null pointers already read as empty texts.
struct ConnectionArgs {
  std::string server;
  std::string login;
  std::string password;
};

// The call's one connection. Which backend it reaches follows from the server argument:
// "sqlite:PATH", "odbc:CONNECTION-STRING", or a SQL Server name.
class DbConnection {
 public:
  explicit DbConnection(ConnectionArgs args);
  ~DbConnection();
  DbConnection(const DbConnection&) = delete;
  DbConnection& operator=(const DbConnection&) = delete;

  // The connection step: false when the connection cannot be opened for any reason. Never
  // prompts and never raises.
  bool Connect() noexcept;
  void Disconnect() noexcept;

  void StartTransaction();
  void CommitTransaction();
  void RollBackTransaction();

  // The open backend; raises DbError when not connected.
  DbBackend& backend();

 private:
  ConnectionArgs args_;
  std::unique_ptr<DbBackend> backend_;
};

// A transaction that rolls back in its destructor unless Commit() ran.
class Transaction {
 public:
  explicit Transaction(DbConnection& connection);
  ~Transaction();
  Transaction(const Transaction&) = delete;
  Transaction& operator=(const Transaction&) = delete;

  void Commit();

 private:
  DbConnection& connection_;
  bool open_ = true;
};

}  // namespace wardlink
