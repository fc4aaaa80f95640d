#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

#include "db/query.h"

namespace wardlink {

// The EMR's default date format, both texts trimmed.
struct DefaultDateFormat {
  std::string show;   // FormatDateTime_Show: the display pattern for the _Str columns
  std::string input;  // FormatDateTime_Input: stored, never interpreted
};

// The first row of the default date format query, or nothing when no row is marked default.
// Database errors are passed on.
std::optional<DefaultDateFormat> GetDefaultDateFormat(DbQuery& query);

// Answers of CheckArchive.
inline constexpr int32_t kStayLive = 0;
inline constexpr int32_t kStayUnknown = 2;   // no index row for the number
inline constexpr int32_t kStayArchived = 3;  // GuiDangND other than 0 (NULL reads as 0)

// The archive check on the stay's index row; the result is left open. The number is used as given.
// Database errors are passed on.
int32_t CheckArchive(std::string_view zhuYuanNo, DbQuery& query);

}  // namespace wardlink
