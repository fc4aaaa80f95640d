#include "library/call_frame.h"

#include <exception>
#include <optional>

#include "db/code_page.h"
#include "library/com_scope.h"
#include "library/last_error.h"

namespace wardlink {

namespace {

enum class Access { kReads, kWrites };

int32_t RunFrame(const HostConnectionArgs& args, Access access, const ExportBody& body) noexcept {
  ClearLastError();
  int32_t result = 0;
  try {
    [[maybe_unused]] ComScope com;
    [[maybe_unused]] CodesetScope codeset;
    // Declared in this order so that the clean-up closes the query before the connection.
    DbConnection connection({Text(args.server), Text(args.login), Text(args.password)});
    if (!connection.Connect()) {
      SetLastError(connection.failure());
      return kConnectionFailed;
    }
    DbQuery query(connection);
    std::optional<Transaction> transaction;
    if (access == Access::kWrites) transaction.emplace(connection);
    result = body(connection, query);
    if (transaction && result == 0 && connection.InTransaction()) transaction->Commit();
    // A rolled-back transaction's code comes with the database's reason.
    if (result != 0) SetLastError(connection.failure());
  } catch (const std::exception& error) {
    SetLastError(error.what());
    result = kUnguardedError;
  } catch (...) {
    SetLastError("unknown error");
    result = kUnguardedError;
  }
  return result;
}

}  // namespace

int32_t RunExport(const HostConnectionArgs& args, const ExportBody& body) noexcept {
  return RunFrame(args, Access::kReads, body);
}

int32_t RunWritingExport(const HostConnectionArgs& args, const ExportBody& body) noexcept {
  return RunFrame(args, Access::kWrites, body);
}

}  // namespace wardlink
