#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

#include "db/date_time.h"
#include "shared/regional_settings.h"

namespace wardlink {

// The host's integer text, taken whole: leading blanks, an optional sign, then decimal digits (or
// hexadecimal after "$", "x" or "0x") to the end. Anything else, or a value outside 32 bits,
// gives `defaultValue`. Never fails.
int32_t ParseHostInt(std::string_view text, int32_t defaultValue);

// The host's date text in the short date form of `settings`: that date at 00:00:00.000, or `now`
// when the text is not wholly a valid date. `now` also gives the current year for two-number
// dates and the two-digit year window. Never fails.
DateTime ParseHostDate(std::string_view text, const RegionalSettings& settings,
                       const DateTime& now);
// The same with the local clock read at the moment of the conversion.
DateTime ParseHostDate(std::string_view text, const RegionalSettings& settings);
// The date that ParseHostDate reads from `text`, or nothing where it would fall back to `now`.
std::optional<DateTime> ScanHostDate(std::string_view text, const RegionalSettings& settings,
                                     int currentYear);

// The date of `value` as the host's short date text under `settings`: the form that
// ParseHostDate and ScanHostDate read back as that same date.
std::string FormatHostDate(const DateTime& value, const RegionalSettings& settings);

// `value` written by a date pattern (yyyy, MM, dd, HH, mm, ss, zzz, am/pm, quoted text ...); the
// empty pattern is "c". Never fails.
std::string FormatDatePattern(std::string_view pattern, const DateTime& value,
                              const RegionalSettings& settings);

}  // namespace wardlink
