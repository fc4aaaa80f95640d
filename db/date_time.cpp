#include "db/date_time.h"

#include <chrono>
#include <cstdio>
#include <ctime>

namespace wardlink {

bool IsLeapYear(int year) { return (year % 4 == 0 && year % 100 != 0) || year % 400 == 0; }

int DaysInMonth(int year, int month) {
  static constexpr int kDays[] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
  if (month < 1 || month > 12) return 0;
  return month == 2 && IsLeapYear(year) ? 29 : kDays[month - 1];
}

bool IsValidDateTime(const DateTime& v) {
  return v.year >= 1 && v.year <= 9999 && v.month >= 1 && v.month <= 12 && v.day >= 1 &&
         v.day <= DaysInMonth(v.year, v.month) && v.hour >= 0 && v.hour <= 23 && v.minute >= 0 &&
         v.minute <= 59 && v.second >= 0 && v.second <= 59 && v.millisecond >= 0 &&
         v.millisecond <= 999;
}

namespace {

void PutDigits(char* out, int value, int width) {
  for (int i = width - 1; i >= 0; --i, value /= 10) out[i] = static_cast<char>('0' + value % 10);
}

}  // namespace

std::string ToStoredText(const DateTime& v) {
  // Every stored date-time is valid: written without the formatter, which costs more than the
  // rest of the conversion.
  if (IsValidDateTime(v)) {
    std::string text = "0000-00-00 00:00:00.000";
    PutDigits(&text[0], v.year, 4);
    PutDigits(&text[5], v.month, 2);
    PutDigits(&text[8], v.day, 2);
    PutDigits(&text[11], v.hour, 2);
    PutDigits(&text[14], v.minute, 2);
    PutDigits(&text[17], v.second, 2);
    PutDigits(&text[20], v.millisecond, 3);
    return text;
  }
  char text[96];  // room for any int in every field
  std::snprintf(text, sizeof text, "%04d-%02d-%02d %02d:%02d:%02d.%03d", v.year, v.month, v.day,
                v.hour, v.minute, v.second, v.millisecond);
  return text;
}

namespace {

// Reads exactly `width` digits at `pos`.
bool ReadDigits(std::string_view text, size_t& pos, size_t width, int& out) {
  if (pos + width > text.size()) return false;
  int value = 0;
  for (size_t i = 0; i < width; ++i) {
    char c = text[pos + i];
    if (c < '0' || c > '9') return false;
    value = value * 10 + (c - '0');
  }
  pos += width;
  out = value;
  return true;
}

bool Expect(std::string_view text, size_t& pos, char c) {
  if (pos >= text.size() || text[pos] != c) return false;
  ++pos;
  return true;
}

}  // namespace

std::optional<DateTime> ParseStoredText(std::string_view text) {
  DateTime v;
  size_t pos = 0;
  if (!ReadDigits(text, pos, 4, v.year) || !Expect(text, pos, '-') ||
      !ReadDigits(text, pos, 2, v.month) || !Expect(text, pos, '-') ||
      !ReadDigits(text, pos, 2, v.day))
    return std::nullopt;
  v.hour = v.minute = v.second = v.millisecond = 0;
  if (pos < text.size()) {
    if (!(Expect(text, pos, ' ') || Expect(text, pos, 'T')) || !ReadDigits(text, pos, 2, v.hour) ||
        !Expect(text, pos, ':') || !ReadDigits(text, pos, 2, v.minute))
      return std::nullopt;
    if (pos < text.size() && (!Expect(text, pos, ':') || !ReadDigits(text, pos, 2, v.second)))
      return std::nullopt;
    if (pos < text.size()) {
      if (!Expect(text, pos, '.')) return std::nullopt;
      // Keep milliseconds; finer digits are dropped.
      int digits = 0;
      int ms = 0;
      while (pos < text.size() && text[pos] >= '0' && text[pos] <= '9') {
        if (digits < 3) ms = ms * 10 + (text[pos] - '0');
        ++digits;
        ++pos;
      }
      if (digits == 0 || pos != text.size()) return std::nullopt;
      for (; digits < 3; ++digits) ms *= 10;
      v.millisecond = ms;
    }
  }
  if (!IsValidDateTime(v)) return std::nullopt;
  return v;
}

}  // namespace wardlink
