#pragma once

#include <cstdint>
#include <string_view>

#include "db/connection.h"
#include "db/query.h"

namespace wardlink {

// Gives the stay another bed; the ward, the state and the log stay as they are. Results: 0;
// 2 number unknown; 3 archived; 4 rolled back.
int32_t ChangeBed(DbConnection& connection, DbQuery& query, std::string_view zhuYuanNo,
                  std::string_view chuangHao);

struct HandOverRequest {
  std::string_view zhuYuanNo;
  std::string_view mainMgrDoctorUid;
  std::string_view mainMgrDoctorName;
  std::string_view helperUidList;
  std::string_view helperNameList;
  std::string_view zhuanKeDate;  // movement date text
};

// Hands the stay over to new doctors and appends the "JiaoBan" and "JieBan" events with
// consecutive numbers and one date, both or neither. Results: 0; 2 number unknown; 3 archived;
// 4 rolled back (an invalid date included).
int32_t HandOver(DbConnection& connection, DbQuery& query, const HandOverRequest& request);

}  // namespace wardlink
