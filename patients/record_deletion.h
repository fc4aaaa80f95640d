#pragma once

#include <cstdint>
#include <string_view>

#include "db/connection.h"
#include "db/query.h"

namespace wardlink {

inline constexpr int32_t kDeletionRolledBack = 4;

// Removes the stay's rows from the thirteen tables that hold them, in one transaction; 2 or 3
// from the archive check, 4 when a deletion failed and everything was rolled back.
int32_t DeleteVictimStay(DbConnection& connection, DbQuery& query, std::string_view zhuYuanNo);

}  // namespace wardlink
