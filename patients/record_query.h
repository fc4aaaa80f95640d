#pragma once

#include <array>
#include <cstdint>
#include <functional>
#include <string>
#include <string_view>

#include "db/query.h"
#include "patients/victim_fields.h"
#include "shared/regional_settings.h"

namespace wardlink {

inline constexpr int32_t kQueryUnknownNumber = 2;
inline constexpr int32_t kQueryNoRecord = 3;
// One slot for each field of the record but the number it is read by.
#define WARDLINK_VICTIM_NONE(...)
#define WARDLINK_VICTIM_ONE(...) +1
inline constexpr size_t kVictimQuerySlots =
    0 WARDLINK_VICTIM_FIELDS(WARDLINK_VICTIM_NONE, WARDLINK_VICTIM_ONE, WARDLINK_VICTIM_NONE);
#undef WARDLINK_VICTIM_NONE
#undef WARDLINK_VICTIM_ONE

// The column each slot receives, in the host's argument order.
struct VictimQuerySlot {
  std::string_view column;
  bool isDate;  // rendered as "yyyy-MM-dd HH:mm:ss" instead of as text
};
extern const std::array<VictimQuerySlot, kVictimQuerySlots> kVictimQuerySlotColumns;

// The table that holds a record archived in `year`: the base name for 0, otherwise
// "G_<base>_<year>".
std::string ArchiveTableName(std::string_view baseTable, int32_t year);

// Receives the text of one slot (its index in host argument order), as soon as it is read.
using VictimSlotSink = std::function<void(size_t slot, std::string_view text)>;

// Reads the stay's record from the live table or from its archive year's table and hands the 42
// slots to `deliver` in order, each trimmed (the two dates as "yyyy-MM-dd HH:mm:ss"). Nothing is
// delivered until the record is found: 2 (no index row) and 3 (no record) deliver no slot.
int32_t ReadVictimRecord(DbQuery& query, std::string_view zhuYuanNo, const VictimSlotSink& deliver,
                         const RegionalSettings& settings);

}  // namespace wardlink
