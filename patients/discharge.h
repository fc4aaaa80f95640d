#pragma once

#include <cstdint>
#include <string_view>

#include "db/connection.h"
#include "db/query.h"

namespace wardlink {

struct DischargeRequest {
  std::string_view zhuYuanNo;
  std::string_view chuYuanDate;  // yyyyMMddHHmmss
  std::string_view chuYuanZhenDuan;
  std::string_view zhiLiaoChuLi;
  std::string_view zhiLiaoJieGuo;
  std::string_view shangKouYuHe;
  std::string_view memo;
};

// Results: 0 discharged; 2 number unknown; 3 archive year above 0; 4 rolled back (an invalid date
// included). A repeated discharge replaces the earlier discharge event.
int32_t Discharge(DbConnection& connection, DbQuery& query, const DischargeRequest& request);

}  // namespace wardlink
