#pragma once

#include <cstdint>

#include "db/connection.h"
#include "db/query.h"
#include "patients/victim_info.h"
#include "shared/regional_settings.h"

namespace wardlink {

// Results of an admission, in the order they are decided.
inline constexpr int32_t kAdmissionNoDateFormat = 2;
inline constexpr int32_t kAdmissionRolledBack = 3;
inline constexpr int32_t kAdmissionKnownNumber = 4;

// Admits a stay: record, index row, the "RuYuan" event and, when a condition is described, the
// first condition entry, in one transaction. 4 when the number is already indexed, 2 without a
// default date format (both before anything is written), 3 when a write failed and everything
// was rolled back.
int32_t AdmitVictim(DbConnection& connection, DbQuery& query, const VictimInfo& info,
                    const RegionalSettings& settings);

}  // namespace wardlink
