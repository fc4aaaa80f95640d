#pragma once

#include <cstdint>

#include "db/connection.h"
#include "db/query.h"
#include "patients/victim_info.h"
#include "shared/regional_settings.h"

namespace wardlink {

// Results of a record update besides the archive check's 2 and 3.
inline constexpr int32_t kUpdateNoDateFormat = 4;
inline constexpr int32_t kUpdateRolledBack = 5;

// Rewrites the stay's record (state back to 0), the copied columns of its index row and the date
// of its "RuYuan" event, in one transaction. The condition description is not read.
int32_t UpdateVictimRecord(DbConnection& connection, DbQuery& query, const VictimInfo& info,
                           const RegionalSettings& settings);

}  // namespace wardlink
