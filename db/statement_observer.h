#pragma once

#include <functional>
#include <string_view>

namespace wardlink {

// Sees every statement text, as the library built it, just before it is sent; for tests that
// compare the texts with the expected ones. Internal: not exported. Per thread, so that calls on
// other threads are not mixed in.
using StatementObserver = std::function<void(std::string_view text)>;

// Installs `observer` for the calling thread and returns the one it replaces.
StatementObserver SetStatementObserver(StatementObserver observer);
void NotifyStatementObserver(std::string_view text);

}  // namespace wardlink
