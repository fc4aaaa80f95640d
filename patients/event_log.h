#pragma once

#include <cstdint>
#include <stdexcept>
#include <string_view>

#include "db/date_time.h"
#include "db/query.h"

namespace wardlink {

// A movement or discharge date text that gives no valid date and time. Raised inside the
// operation's transaction, so that the transaction guard rolls back.
class ConversionError : public std::runtime_error {
 public:
  using std::runtime_error::runtime_error;
};

// The number for the stay's next event: the highest SequenceNumber so far plus 1 (1 for a stay
// without events). Runs inside the caller's transaction.
int32_t NextEventNumber(DbQuery& query, std::string_view zhuYuanNo);

// The event number after `number`; raises DbError when `number` is the largest a 32-bit
// SequenceNumber holds, so that the caller's transaction fails instead of wrapping around.
int32_t EventNumberAfter(int32_t number);

// The movement date text: year, month, day, hour and minute in characters 1-4, 5-6, 7-8, 9-10 and
// 11-12; a missing or unreadable piece counts as 0; seconds are 0. Raises ConversionError when the
// pieces give no valid date and time.
DateTime ParseMovementDate(std::string_view text);

// The discharge date text, yyyyMMddHHmmss: missing or unreadable date pieces take `today`'s, time
// pieces 0. Raises ConversionError when the pieces give no valid date and time.
DateTime ParseDischargeDate(std::string_view text, const DateTime& today);

}  // namespace wardlink
