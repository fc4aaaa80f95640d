#pragma once

#include <cstdint>
#include <functional>
#include <string_view>

#include "db/connection.h"
#include "db/query.h"

namespace wardlink {

// The shape every movement of a stay shares: the archive check (2 unknown, 3 archived, returned
// unchanged), then the operation's own precondition (its refusal code, or 0 to go on), then the
// writes, whose failure gives `failureCode`. All of it runs in the call's one transaction.
int32_t RunMovement(DbConnection& connection, DbQuery& query, std::string_view zhuYuanNo,
                    int32_t failureCode, const std::function<int32_t()>& precondition,
                    const std::function<void()>& writes);

// Writes the stay's movement state; the count of rows it matched is not looked at.
void WriteMovementState(DbQuery& query, std::string_view zhuYuanNo, int32_t state);

}  // namespace wardlink
