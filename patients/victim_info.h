#pragma once

#include <array>
#include <cstdint>
#include <string>

#include "db/query.h"
#include "patients/victim_fields.h"
#include "shared/patient_checks.h"
#include "shared/regional_settings.h"

namespace wardlink {

// How a field of the record is written (patients/victim_fields.h).
enum class VictimFieldKind { kText, kInteger, kDate };

// The record of one stay as the host passes it: its texts, each named after the column it feeds,
// in the host's argument order.
#define WARDLINK_VICTIM_MEMBER(member, ...) std::string member;
struct VictimInfo {
  WARDLINK_VICTIM_FIELDS(WARDLINK_VICTIM_MEMBER, WARDLINK_VICTIM_MEMBER, WARDLINK_VICTIM_MEMBER)
};
#undef WARDLINK_VICTIM_MEMBER

#define WARDLINK_VICTIM_ONE(...) +1
inline constexpr size_t kVictimInfoFieldCount =
    0 WARDLINK_VICTIM_FIELDS(WARDLINK_VICTIM_ONE, WARDLINK_VICTIM_ONE, WARDLINK_VICTIM_ONE);
#undef WARDLINK_VICTIM_ONE

// The record from the host's 44 texts in argument order; a null pointer reads as empty.
VictimInfo ReadVictimInfo(const std::array<const char*, kVictimInfoFieldCount>& texts);

// Years + months / 12 + days / 360, added in that order in extended precision.
double FractionalAge(int32_t years, int32_t months, int32_t days);

// Sets the 49 named parameters of the record's insert or update statement: 43 from the record's
// fields (texts unchanged, ages and count as integers, the two dates converted) and the six
// derived ones (state 0, F_Age, the dates' display texts and input modes).
void BindVictimRecord(DbQuery& query, const VictimInfo& info, const DefaultDateFormat& format,
                      const RegionalSettings& settings);

// Sets the five named parameters of the index row's insert or update statement: the number, name,
// medical record number and identity document, unchanged.
void BindIndexRow(DbQuery& query, const VictimInfo& info);

}  // namespace wardlink
