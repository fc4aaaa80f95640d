#pragma once

#include <cstdint>
#include <string_view>

#include "db/query.h"

namespace wardlink {

// Departments (Emr_Unit). Results: 0 done; 2 the ID exists (add) or does not (update, delete);
// 3 (delete) a user, patient record or ward still names the department. A refusal writes nothing.
int32_t AddUnit(DbQuery& query, int32_t id, int32_t unitTypeId, std::string_view unitName,
                std::string_view memo);
int32_t UpdateUnit(DbQuery& query, int32_t id, int32_t unitTypeId, std::string_view unitName,
                   std::string_view memo);
int32_t DeleteUnit(DbQuery& query, int32_t id);

// Whether `table` has at least one row whose `column` equals `id`.
bool HasReferences(DbQuery& query, std::string_view table, std::string_view column, int32_t id);

}  // namespace wardlink
