#pragma once

#include <cstdint>
#include <string_view>

#include "db/connection.h"
#include "db/query.h"

namespace wardlink {

struct AcceptanceRequest {
  std::string_view zhuYuanNo;
  std::string_view mainMgrDoctorUid;  // the accepting doctor; also the key of the look-up
  std::string_view mainMgrDoctorName;
  std::string_view helperUidList;
  std::string_view helperNameList;
  std::string_view zhuanKeDate;  // movement date text
  std::string_view bingQu;
  std::string_view chuangHao;
};

// Moves the stay into the accepting doctor's department from any state: state InDepartment,
// new doctors, ward and bed, target cleared, a "ZhuanRu" event appended. Results: 0; 2 number
// unknown; 3 archived; 4 no such doctor with an existing department; 5 rolled back.
int32_t AcceptTransfer(DbConnection& connection, DbQuery& query, const AcceptanceRequest& request);

// Returns the stay to InDepartment when it is in `requiredState` (TransferPending to withdraw a
// transfer, Suspended to lift a suspension). Results: 0; 2 number unknown; 3 archived; 4 not in
// that state (a stay without a record counts as InDepartment); 5 rolled back.
int32_t ReturnToDepartment(DbConnection& connection, DbQuery& query, std::string_view zhuYuanNo,
                           int32_t requiredState);

}  // namespace wardlink
