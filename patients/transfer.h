#pragma once

#include <cstdint>
#include <string_view>

#include "db/connection.h"
#include "db/query.h"

namespace wardlink {

struct TransferRequest {
  std::string_view zhuYuanNo;
  int32_t tagReciveUnitId;
  std::string_view tagReciveDoctorUid;
  std::string_view zhuanKeDate;  // movement date text
};

// Sends the stay to another department and doctor: state TransferPending, target stored, an event
// with `eventCode` appended. Results: 0; 2 number unknown or rolled back (an invalid date
// included); 3 archived.
int32_t TransferOut(DbConnection& connection, DbQuery& query, const TransferRequest& request,
                    std::string_view eventCode);

// Suspends the stay from any state. Results: 0; 2 number unknown or rolled back; 3 archived.
int32_t Suspend(DbConnection& connection, DbQuery& query, std::string_view zhuYuanNo);

}  // namespace wardlink
