#pragma once

#include <string>
#include <string_view>

#include "db/query.h"

namespace wardlink {

// Reads one column of every row of `table` and joins the trimmed values with ";". Empty values
// are dropped only until something has been gathered.
std::string ReadLookupList(DbQuery& query, std::string_view column, std::string_view table);

}  // namespace wardlink
