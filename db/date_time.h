#pragma once

#include <optional>
#include <string>
#include <string_view>

namespace wardlink {

// A calendar date and time of day with millisecond resolution. The value-initialised DateTime is
// the zero of the date-time scale, 30 December 1899 00:00, which is what a NULL reads as.
struct DateTime {
  int year = 1899;
  int month = 12;
  int day = 30;
  int hour = 0;
  int minute = 0;
  int second = 0;
  int millisecond = 0;

  friend bool operator==(const DateTime&, const DateTime&) = default;
};

bool IsLeapYear(int year);
int DaysInMonth(int year, int month);
// Year 1 to 9999, a real Gregorian day, and a time of day within its ranges.
bool IsValidDateTime(const DateTime& value);

// The stored form: YYYY-MM-DD HH:MM:SS.mmm, milliseconds always present.
std::string ToStoredText(const DateTime& value);
// Reads the stored form; the time, or its milliseconds, may be missing.
std::optional<DateTime> ParseStoredText(std::string_view text);

// The local date and time now, with milliseconds.
DateTime CurrentLocalDateTime();

}  // namespace wardlink
