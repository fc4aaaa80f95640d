#pragma once

// Readers written apart from the library's own, as the oracles of the fuzz targets.

#include <algorithm>
#include <charconv>
#include <chrono>
#include <cstdint>
#include <optional>
#include <string_view>

#include "db/date_time.h"

namespace wardlink::fuzz {

// The host's integer text: blanks, an optional sign, decimal digits or hexadecimal ones after
// "$", "x" or "0x", to the end, within 32 bits; nothing otherwise.
inline std::optional<int32_t> ReferenceHostInt(std::string_view text) {
  text.remove_prefix(std::min(text.find_first_not_of(' '), text.size()));
  bool negative = false;
  if (!text.empty() && (text[0] == '-' || text[0] == '+')) {
    negative = text[0] == '-';
    text.remove_prefix(1);
  }
  int base = 10;
  if (!text.empty() && (text[0] == '$' || text[0] == 'x' || text[0] == 'X')) {
    base = 16;
    text.remove_prefix(1);
  } else if (text.size() >= 2 && text[0] == '0' && (text[1] == 'x' || text[1] == 'X')) {
    base = 16;
    text.remove_prefix(2);
  }
  if (text.empty()) return std::nullopt;
  uint64_t magnitude = 0;
  auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), magnitude, base);
  if (error != std::errc() || end != text.data() + text.size()) return std::nullopt;
  int64_t value = negative ? -static_cast<int64_t>(std::min<uint64_t>(magnitude, 1ULL << 40))
                           : static_cast<int64_t>(std::min<uint64_t>(magnitude, 1ULL << 40));
  if (value < INT32_MIN || value > INT32_MAX) return std::nullopt;
  return static_cast<int32_t>(value);
}

// A real day of years 1 to 9999 with a time of day within its ranges, by the standard calendar.
inline bool IsCalendarDateTime(const DateTime& v) {
  using namespace std::chrono;
  if (v.year < 1 || v.year > 9999 || v.month < 1 || v.month > 12 || v.day < 1 || v.day > 31)
    return false;
  year_month_day date{year{v.year}, month{static_cast<unsigned>(v.month)},
                      day{static_cast<unsigned>(v.day)}};
  return date.ok() && v.hour >= 0 && v.hour < 24 && v.minute >= 0 && v.minute < 60 &&
         v.second >= 0 && v.second < 60 && v.millisecond >= 0 && v.millisecond < 1000;
}

// 0 = Sunday, by the standard calendar.
inline int ReferenceWeekday(const DateTime& v) {
  using namespace std::chrono;
  year_month_day date{year{v.year}, month{static_cast<unsigned>(v.month)},
                      day{static_cast<unsigned>(v.day)}};
  return static_cast<int>(weekday{sys_days{date}}.c_encoding());
}

}  // namespace wardlink::fuzz
