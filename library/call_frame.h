#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <string_view>

#include "db/connection.h"
#include "db/query.h"

namespace wardlink {

// The result of an export that ended in an error no code of its own covers.
inline constexpr int32_t kUnguardedError = -1;
inline constexpr int32_t kConnectionFailed = 1;

// A host text: a null pointer reads as the empty text.
inline std::string Text(const char* text) {
  return text != nullptr ? std::string(text) : std::string();
}
// The same without a copy, for texts used only during the call.
inline std::string_view TextView(const char* text) {
  return text != nullptr ? std::string_view(text) : std::string_view();
}

struct HostConnectionArgs {
  const char* server;
  const char* login;
  const char* password;
};

using ExportBody = std::function<int32_t(DbConnection& connection, DbQuery& query)>;

// The call frame every export runs: result 0, connection, connection step (1 on failure, body not
// run), body, clean-up in reverse order on every path. Any exception from the body becomes -1 with
// its message kept for WardLinkLastError; nothing crosses the boundary.
int32_t RunExport(const HostConnectionArgs& args, const ExportBody& body) noexcept;

// The frame of an export that writes: the same, with the body in one transaction that takes the
// write lock before the first check, so that the checks and the writes see one state of the
// database. A body that gives 0 with the transaction still open is committed (a failed commit is
// -1); any other result rolls back, so a refusal found under the lock writes nothing.
int32_t RunWritingExport(const HostConnectionArgs& args, const ExportBody& body) noexcept;

}  // namespace wardlink
