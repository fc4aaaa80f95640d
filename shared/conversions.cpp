#include "shared/conversions.h"

#include <algorithm>
#include <charconv>
#include <cstdio>
#include <limits>

namespace wardlink {

namespace {

bool IsDigit(char c) { return c >= '0' && c <= '9'; }
bool IsAsciiLetter(char c) { return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z'); }
char Upper(char c) { return c >= 'a' && c <= 'z' ? static_cast<char>(c - 'a' + 'A') : c; }

bool StartsWithIgnoringCase(std::string_view text, size_t pos, std::string_view prefix) {
  if (text.size() - pos < prefix.size()) return false;
  for (size_t i = 0; i < prefix.size(); ++i) {
    if (Upper(text[pos + i]) != Upper(prefix[i])) return false;
  }
  return true;
}

int HexDigit(char c) {
  if (IsDigit(c)) return c - '0';
  c = Upper(c);
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  return -1;
}

// --- Date text -------------------------------------------------------------------------------

enum class DateOrder { kMonthDayYear, kDayMonthYear, kYearMonthDay };

DateOrder DateOrderOf(std::string_view shortDateFormat) {
  for (char c : shortDateFormat) {
    switch (Upper(c)) {
      case 'D':
        return DateOrder::kDayMonthYear;
      case 'Y':
      case 'E':
        return DateOrder::kYearMonthDay;
      case 'M':
        return DateOrder::kMonthDayYear;
      default:
        break;
    }
  }
  return DateOrder::kMonthDayYear;
}

class DateScanner {
 public:
  DateScanner(std::string_view text, std::string_view separator)
      : text_(text), separator_(separator) {}

  // Blanks, then a run of digits read while the value so far is below 1000.
  bool Number(int& value, int& digits) {
    SkipBlanks();
    size_t start = pos_;
    value = 0;
    while (pos_ < text_.size() && value < 1000 && IsDigit(text_[pos_])) {
      value = value * 10 + (text_[pos_] - '0');
      ++pos_;
    }
    digits = static_cast<int>(pos_ - start);
    return digits > 0;
  }

  // Blanks, then the date separator.
  bool Separator() {
    SkipBlanks();
    if (separator_.empty() || text_.substr(pos_).substr(0, separator_.size()) != separator_)
      return false;
    pos_ += separator_.size();
    return true;
  }

  void SkipBlanks() {
    while (pos_ < text_.size() && text_[pos_] == ' ') ++pos_;
  }

  bool AtEnd() const { return pos_ >= text_.size(); }

 private:
  std::string_view text_;
  std::string_view separator_;
  size_t pos_ = 0;
};

bool ScanDate(std::string_view text, const RegionalSettings& settings, int currentYear,
              DateTime& date) {
  DateScanner scan(text, settings.dateSeparator);
  int n1 = 0, n2 = 0, n3 = 0, l1 = 0, l2 = 0, l3 = 0;
  if (!scan.Number(n1, l1) || !scan.Separator() || !scan.Number(n2, l2)) return false;
  DateOrder order = DateOrderOf(settings.shortDateFormat);
  int year = 0, month = 0, day = 0;
  if (scan.Separator()) {
    if (!scan.Number(n3, l3)) return false;
    int yearDigits = 0;
    switch (order) {
      case DateOrder::kMonthDayYear:
        year = n3, yearDigits = l3, month = n1, day = n2;
        break;
      case DateOrder::kDayMonthYear:
        year = n3, yearDigits = l3, month = n2, day = n1;
        break;
      case DateOrder::kYearMonthDay:
        year = n1, yearDigits = l1, month = n2, day = n3;
        break;
    }
    if (yearDigits <= 2) {
      // The century window starts 50 years before the current year; a year outside the calendar
      // gives no valid date rather than an overflow.
      int64_t windowStart = int64_t{currentYear} - 50;
      int64_t full = year + windowStart / 100 * 100;
      if (full < windowStart) full += 100;
      if (full < 1 || full > 9999) return false;
      year = static_cast<int>(full);
    }
  } else {
    year = currentYear;
    if (order == DateOrder::kDayMonthYear) {
      day = n1, month = n2;
    } else {
      month = n1, day = n2;
    }
  }
  scan.Separator();
  scan.SkipBlanks();
  if (!scan.AtEnd()) return false;
  if (year < 1 || year > 9999 || month < 1 || month > 12 || day < 1 ||
      day > DaysInMonth(year, month))
    return false;
  date = DateTime{year, month, day, 0, 0, 0, 0};
  return true;
}

// --- Date pattern ----------------------------------------------------------------------------

// 0 = Sunday.
int DayOfWeek(const DateTime& value) {
  static constexpr int kMonthOffsets[] = {0, 3, 2, 5, 0, 3, 5, 1, 4, 6, 2, 4};
  if (value.month < 1 || value.month > 12 || value.year < 1) return 0;
  // Wide enough for any year and day, so that a value far outside the calendar cannot overflow.
  int64_t year = value.year - (value.month < 3 ? 1 : 0);
  int64_t day =
      (year + year / 4 - year / 100 + year / 400 + kMonthOffsets[value.month - 1] + value.day) % 7;
  return static_cast<int>(day < 0 ? day + 7 : day);
}

std::string Padded(int value, int width) {
  if (value >= 0) {
    char digits[16];
    auto end = std::to_chars(digits, digits + sizeof digits, value).ptr;
    auto length = static_cast<int>(end - digits);
    std::string text(static_cast<size_t>(std::max(width - length, 0)), '0');
    return text.append(digits, end);
  }
  char text[16];
  std::snprintf(text, sizeof text, "%0*d", width, value);
  return text;
}

// The name of the `number`th month or day, counted from 1; none outside the list.
template <size_t N>
const std::string& NameAt(const std::array<std::string, N>& names, int number) {
  static const std::string kNone;
  return number >= 1 && static_cast<size_t>(number) <= N ? names[static_cast<size_t>(number) - 1]
                                                         : kNone;
}

class PatternWriter {
 public:
  PatternWriter(const DateTime& value, const RegionalSettings& settings)
      : value_(value), settings_(settings) {}

  // A form of the settings may name other forms; two levels are expanded, no more, so that a
  // form that names itself cannot loop.
  void Append(std::string_view pattern) {
    if (level_ >= 2) return;
    ++level_;
    AppendLevel(pattern);
    --level_;
  }

  const std::string& output() const { return output_; }

 private:
  bool IsDoubleByteLead(char c) const {
    return settings_.doubleByteCodePage && static_cast<unsigned char>(c) >= 0x81;
  }

  static size_t RunLength(std::string_view pattern, size_t pos) {
    size_t end = pos + 1;
    while (end < pattern.size() && Upper(pattern[end]) == Upper(pattern[pos])) ++end;
    return end - pos;
  }

  static size_t AmPmLength(std::string_view pattern, size_t pos) {
    if (StartsWithIgnoringCase(pattern, pos, "am/pm")) return 5;
    if (StartsWithIgnoringCase(pattern, pos, "a/p")) return 3;
    if (StartsWithIgnoringCase(pattern, pos, "ampm")) return 4;
    return 0;
  }

  // An hour shows on the 12-hour clock when an am/pm element follows before any further hour.
  bool TwelveHourClockAfter(std::string_view pattern, size_t pos) const {
    char quote = '\0';
    while (pos < pattern.size()) {
      char c = pattern[pos];
      if (IsDoubleByteLead(c)) {
        pos += 2;
        continue;
      }
      if (quote != '\0') {
        if (c == quote) quote = '\0';
        ++pos;
      } else if (c == '\'' || c == '"') {
        quote = c;
        ++pos;
      } else if (Upper(c) == 'H') {
        return false;
      } else if (Upper(c) == 'A') {
        if (AmPmLength(pattern, pos) > 0) return true;
        if (StartsWithIgnoringCase(pattern, pos, "aaaa")) {
          pos += 4;
        } else if (StartsWithIgnoringCase(pattern, pos, "aaa")) {
          pos += 3;
        } else {
          ++pos;
        }
      } else {
        ++pos;
      }
    }
    return false;
  }

  void Number(int value, size_t count) {
    output_ += count >= 2 ? Padded(value, 2) : Padded(value, 1);
  }

  void AppendLevel(std::string_view pattern) {
    size_t pos = 0;
    while (pos < pattern.size()) {
      char starter = pattern[pos];
      if (IsDoubleByteLead(starter)) {
        output_ += pattern.substr(pos, 2);
        pos += 2;
        continue;
      }
      char token = Upper(starter);
      if (IsAsciiLetter(token)) {
        if (token == 'M' && lastLetter_ == 'H') token = 'N';
        lastLetter_ = token;
      }
      size_t count = 1;
      switch (token) {
        case 'Y':
          count = RunLength(pattern, pos);
          output_ += count <= 2 ? Padded(value_.year % 100, 2) : Padded(value_.year, 4);
          break;
        case 'M':
          count = RunLength(pattern, pos);
          if (count <= 2) {
            Number(value_.month, count);
          } else {
            output_ += NameAt(count == 3 ? settings_.shortMonthNames : settings_.longMonthNames,
                              value_.month);
          }
          break;
        case 'D':
          count = RunLength(pattern, pos);
          if (count <= 2) {
            Number(value_.day, count);
          } else if (count <= 4) {
            output_ += NameAt(count == 3 ? settings_.shortDayNames : settings_.longDayNames,
                              DayOfWeek(value_) + 1);
          } else {
            Append(count == 5 ? settings_.shortDateFormat : settings_.longDateFormat);
          }
          break;
        case 'H': {
          count = RunLength(pattern, pos);
          int hour = value_.hour;
          if (TwelveHourClockAfter(pattern, pos + count)) {
            hour %= 12;
            if (hour == 0) hour = 12;
          }
          Number(hour, count);
          break;
        }
        case 'N':
          count = RunLength(pattern, pos);
          Number(value_.minute, count);
          break;
        case 'S':
          count = RunLength(pattern, pos);
          Number(value_.second, count);
          break;
        case 'Z':
          count = RunLength(pattern, pos);
          output_ += Padded(value_.millisecond, static_cast<int>(count < 3 ? count : 3));
          break;
        case 'T':
          count = RunLength(pattern, pos);
          Append(count == 1 ? settings_.shortTimeFormat : settings_.longTimeFormat);
          break;
        case 'C':
          count = RunLength(pattern, pos);
          Append(settings_.shortDateFormat);
          if (value_.hour != 0 || value_.minute != 0 || value_.second != 0) {
            output_ += ' ';
            Append(settings_.longTimeFormat);
          }
          break;
        case 'A':
          count = AppendAmPmOrDayName(pattern, pos);
          break;
        case '/':
          output_ += settings_.dateSeparator;
          break;
        case ':':
          output_ += settings_.timeSeparator;
          break;
        case '\'':
        case '"': {
          size_t close = pattern.find(starter, pos + 1);
          if (close == std::string_view::npos) close = pattern.size();
          output_ += pattern.substr(pos + 1, close - pos - 1);
          count = close < pattern.size() ? close - pos + 1 : close - pos;
          break;
        }
        default:
          output_ += starter;
          break;
      }
      pos += count;
    }
  }

  // The elements that begin with "a"; returns how many pattern characters they take.
  size_t AppendAmPmOrDayName(std::string_view pattern, size_t pos) {
    bool afternoon = value_.hour >= 12;
    if (StartsWithIgnoringCase(pattern, pos, "am/pm")) {
      output_ += pattern.substr(afternoon ? pos + 3 : pos, 2);  // in the case written
      return 5;
    }
    if (StartsWithIgnoringCase(pattern, pos, "a/p")) {
      output_ += pattern.substr(afternoon ? pos + 2 : pos, 1);
      return 3;
    }
    if (StartsWithIgnoringCase(pattern, pos, "ampm")) {
      output_ += afternoon ? settings_.timePmString : settings_.timeAmString;
      return 4;
    }
    if (StartsWithIgnoringCase(pattern, pos, "aaaa")) {
      output_ += NameAt(settings_.longDayNames, DayOfWeek(value_) + 1);
      return 4;
    }
    if (StartsWithIgnoringCase(pattern, pos, "aaa")) {
      output_ += NameAt(settings_.shortDayNames, DayOfWeek(value_) + 1);
      return 3;
    }
    output_ += pattern[pos];
    return 1;
  }

  const DateTime& value_;
  const RegionalSettings& settings_;
  std::string output_;
  int level_ = 0;
  char lastLetter_ = ' ';
};

}  // namespace

int32_t ParseHostInt(std::string_view text, int32_t defaultValue) {
  size_t pos = 0;
  while (pos < text.size() && text[pos] == ' ') ++pos;
  bool negative = false;
  if (pos < text.size() && (text[pos] == '+' || text[pos] == '-')) {
    negative = text[pos] == '-';
    ++pos;
  }
  int base = 10;
  if (pos < text.size() && (text[pos] == '$' || Upper(text[pos]) == 'X')) {
    base = 16;
    ++pos;
  } else if (pos + 1 < text.size() && text[pos] == '0' && Upper(text[pos + 1]) == 'X') {
    base = 16;
    pos += 2;
  }
  if (pos >= text.size()) return defaultValue;
  // The magnitude of the most negative value, the largest that can fit.
  constexpr uint64_t kLimit = uint64_t{1} << 31;
  uint64_t magnitude = 0;
  for (; pos < text.size(); ++pos) {
    int digit = base == 16 ? HexDigit(text[pos]) : (IsDigit(text[pos]) ? text[pos] - '0' : -1);
    if (digit < 0) return defaultValue;
    magnitude = magnitude * static_cast<uint64_t>(base) + static_cast<uint64_t>(digit);
    if (magnitude > kLimit) return defaultValue;
  }
  if (negative) return static_cast<int32_t>(-static_cast<int64_t>(magnitude));
  if (magnitude > static_cast<uint64_t>(std::numeric_limits<int32_t>::max())) return defaultValue;
  return static_cast<int32_t>(magnitude);
}

std::optional<DateTime> ScanHostDate(std::string_view text, const RegionalSettings& settings,
                                     int currentYear) {
  DateTime date;
  if (ScanDate(text, settings, currentYear, date)) return date;
  return std::nullopt;
}

DateTime ParseHostDate(std::string_view text, const RegionalSettings& settings,
                       const DateTime& now) {
  return ScanHostDate(text, settings, now.year).value_or(now);
}

DateTime ParseHostDate(std::string_view text, const RegionalSettings& settings) {
  return ParseHostDate(text, settings, CurrentLocalDateTime());
}

std::string FormatDatePattern(std::string_view pattern, const DateTime& value,
                              const RegionalSettings& settings) {
  PatternWriter writer(value, settings);
  writer.Append(pattern.empty() ? std::string_view("c") : pattern);
  return writer.output();
}

std::string FormatHostDate(const DateTime& value, const RegionalSettings& settings) {
  // Numbers only, in the order of the short date form and with its padding (M or MM, d or dd),
  // the year with four digits whatever the form says: ScanHostDate reads it back whatever the
  // current year and century window.
  const std::string& form = settings.shortDateFormat;
  auto width = [&](char letter) {
    size_t at = form.find_first_of(std::string{letter, static_cast<char>(letter - 'A' + 'a')});
    return at != std::string::npos && at + 1 < form.size() && Upper(form[at + 1]) == letter ? 2 : 1;
  };
  std::string year = Padded(value.year, 4);
  std::string month = Padded(value.month, width('M'));
  std::string day = Padded(value.day, width('D'));
  const std::string& s = settings.dateSeparator;
  switch (DateOrderOf(form)) {
    case DateOrder::kYearMonthDay:
      return year + s + month + s + day;
    case DateOrder::kDayMonthYear:
      return day + s + month + s + year;
    case DateOrder::kMonthDayYear:
      break;
  }
  return month + s + day + s + year;
}

}  // namespace wardlink
