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

// For tests of the failure paths: called with every statement text just before it is sent, with
// "LOCK" and "COMMIT" just before the transaction steps, and with "BEGIN" where the guarded writes
// begin. Whatever it raises takes the place of the database's answer, so that a test can make any
// one step fail (or end the process there).
// Per thread and internal like the observer; with none installed the check is one empty test.
using FailureInjector = std::function<void(std::string_view step)>;

// Installs `injector` for the calling thread and returns the one it replaces.
FailureInjector SetFailureInjector(FailureInjector injector);
void RunFailureInjector(std::string_view step);

// Before a statement is sent: the observer, then the injector.
void NotifyStatementObserver(std::string_view text);

}  // namespace wardlink
