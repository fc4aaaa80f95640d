#pragma once

#include <string_view>

#include "db/query.h"

namespace wardlink {

// The two shapes most checks and writes take: a check that asks whether a row comes back,
// and a write.
inline bool ReturnsRow(DbQuery& query, std::string_view statement) {
  query.SetStatement(statement);
  query.RunQuery();
  return !query.HasNoRows();
}

inline void Execute(DbQuery& query, std::string_view statement) {
  query.SetStatement(statement);
  query.RunCommand();
}

}  // namespace wardlink
