#include "db/statement_observer.h"

#include <utility>

namespace wardlink {

namespace {
thread_local StatementObserver tObserver;
}

StatementObserver SetStatementObserver(StatementObserver observer) {
  return std::exchange(tObserver, std::move(observer));
}

void NotifyStatementObserver(std::string_view text) {
  if (tObserver) tObserver(text);
}

}  // namespace wardlink
