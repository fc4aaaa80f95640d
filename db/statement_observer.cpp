#include "db/statement_observer.h"

#include <utility>

namespace wardlink {

namespace {
thread_local StatementObserver tObserver;
thread_local FailureInjector tInjector;
}  // namespace

StatementObserver SetStatementObserver(StatementObserver observer) {
  return std::exchange(tObserver, std::move(observer));
}

FailureInjector SetFailureInjector(FailureInjector injector) {
  return std::exchange(tInjector, std::move(injector));
}

void RunFailureInjector(std::string_view step) {
  if (tInjector) tInjector(step);
}

void NotifyStatementObserver(std::string_view text) {
  if (tObserver) tObserver(text);
  RunFailureInjector(text);
}

}  // namespace wardlink
