#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <span>
#include <string>
#include <string_view>

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
  // Why the last Connect() failed (with the password masked), or why the transaction guard rolled
  // back since (the database's reason); empty otherwise.
  const std::string& failure() const { return failure_; }
  void NoteRollback(std::string_view reason) noexcept;
  void Disconnect() noexcept;

  // The transaction steps. The connection knows whether one is open, so that the call frame's
  // transaction and the guard inside it agree on who ends it.
  void StartTransaction();
  void CommitTransaction();
  void RollBackTransaction();
  bool InTransaction() const noexcept { return inTransaction_; }

  bool IsConnected() const noexcept { return backend_ != nullptr; }
  // The open backend; raises DbError when not connected.
  DbBackend& backend();

 private:
  ConnectionArgs args_;
  std::unique_ptr<DbBackend> backend_;
  std::string failure_;
  bool inTransaction_ = false;
};

// The kinds a failed connection step's message starts with, one of them always; the README's
// table lists them.
std::span<const std::string_view> ConnectionFailureKinds();

// A transaction that rolls back in its destructor if it is still open on the connection.
class Transaction {
 public:
  explicit Transaction(DbConnection& connection);
  ~Transaction();
  Transaction(const Transaction&) = delete;
  Transaction& operator=(const Transaction&) = delete;

  void Commit();

 private:
  DbConnection& connection_;
};

// The transaction guard: runs `writes` and the commit on the transaction that the call frame
// opened before the checks. Any failure of `writes` or of the commit gives `failureCode`, its
// reason kept as the connection's failure(), and the frame's transaction rolls back; success
// gives 0 with the transaction committed.
int32_t RunGuarded(DbConnection& connection, int32_t failureCode,
                   const std::function<void()>& writes);

}  // namespace wardlink
