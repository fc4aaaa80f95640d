#pragma once

#include <cstdint>

namespace wardlink {

// The movement state of a stay (PeopleEmrStateID). No other value is written or tested; a stay
// holding another counts as neither pending nor suspended.
inline constexpr int32_t kInDepartment = 0;
inline constexpr int32_t kTransferPending = 1;
inline constexpr int32_t kSuspended = 4;

}  // namespace wardlink
