#pragma once

#include <cstdint>
#include <string_view>

#include "db/query.h"

namespace wardlink {

// Wards (Emr_illArea) and beds (Emr_IllBed). Results, in the order the checks run:
//   AddIllArea     2 no department UnitID, 3 ward ID exists
//   UpdateIllArea  2 no department UnitID, 3 no ward ID
//   DeleteIllArea  2 no ward ID
//   AddIllBed      2 no department UnitID, 3 no ward illAreaID in that department, 4 bed ID exists
//   UpdateIllBed   2 no bed ID
//   DeleteIllBed   2 no bed ID
// A refusal writes nothing.
int32_t AddIllArea(DbQuery& query, int32_t unitId, int32_t id, std::string_view iaName);
int32_t UpdateIllArea(DbQuery& query, int32_t unitId, int32_t id, std::string_view iaName);
int32_t DeleteIllArea(DbQuery& query, int32_t id);
int32_t AddIllBed(DbQuery& query, int32_t unitId, int32_t illAreaId, int32_t id,
                  std::string_view ibName);
int32_t UpdateIllBed(DbQuery& query, int32_t id, std::string_view ibName);
int32_t DeleteIllBed(DbQuery& query, int32_t id);

}  // namespace wardlink
