#pragma once

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <string_view>

#include "db/date_time.h"
#include "shared/regional_settings.h"

namespace wardlink::fuzz {

// Reads a fuzzer's bytes as the pieces of a case; past the end every read gives zeros or empty
// texts, so that every input is a case.
class FuzzInput {
 public:
  FuzzInput(const uint8_t* data, size_t size) : text_(reinterpret_cast<const char*>(data), size) {}

  uint8_t Byte() { return text_.empty() ? 0 : static_cast<uint8_t>(Take(1)[0]); }

  uint16_t Short() {
    uint16_t high = Byte();
    return static_cast<uint16_t>(high << 8 | Byte());
  }

  int32_t Int() {
    uint32_t value = 0;
    for (int i = 0; i < 4; ++i) value = value << 8 | Byte();
    return static_cast<int32_t>(value);
  }

  // A text of up to `limit` bytes, its length taken from the input first.
  std::string Text(size_t limit = 64) { return std::string(Take(Byte() % (limit + 1))); }

  // Everything left.
  std::string Rest() { return std::string(Take(text_.size())); }

  // Any date-time, every field anywhere in int, or a calendar one when `calendar`.
  DateTime AnyDateTime(bool calendar) {
    if (!calendar) return DateTime{Int(), Int(), Int(), Int(), Int(), Int(), Int()};
    DateTime value;
    value.year = 1 + Short() % 9999;
    value.month = 1 + Byte() % 12;
    value.day = 1 + Byte() % DaysInMonth(value.year, value.month);
    value.hour = Byte() % 24;
    value.minute = Byte() % 60;
    value.second = Byte() % 60;
    value.millisecond = Short() % 1000;
    return value;
  }

  // Regional settings with every form, separator and name taken from the input.
  RegionalSettings AnySettings() {
    RegionalSettings settings;
    for (std::string* form :
         {&settings.shortDateFormat, &settings.longDateFormat, &settings.dateSeparator,
          &settings.shortTimeFormat, &settings.longTimeFormat, &settings.timeSeparator,
          &settings.timeAmString, &settings.timePmString}) {
      *form = Text(16);
    }
    for (auto& name : settings.shortMonthNames) name = Text(8);
    for (auto& name : settings.longMonthNames) name = Text(8);
    for (auto& name : settings.shortDayNames) name = Text(8);
    for (auto& name : settings.longDayNames) name = Text(8);
    settings.doubleByteCodePage = (Byte() & 1) != 0;
    return settings;
  }

 private:
  std::string_view Take(size_t count) {
    if (count > text_.size()) count = text_.size();
    std::string_view taken = text_.substr(0, count);
    text_.remove_prefix(count);
    return taken;
  }

  std::string_view text_;
};

// A property that does not hold: report it and stop, so that the fuzzer keeps the input.
[[noreturn]] inline void Fail(const std::string& what) {
  std::fprintf(stderr, "property failed: %s\n", what.c_str());
  std::abort();
}

inline void Expect(bool holds, const std::string& what) {
  if (!holds) Fail(what);
}

// Bytes in a form that survives a terminal.
inline std::string Shown(std::string_view bytes) {
  std::string shown;
  for (unsigned char c : bytes) {
    if (c >= 0x20 && c < 0x7F && c != '\\') {
      shown += static_cast<char>(c);
    } else {
      char escaped[8];
      std::snprintf(escaped, sizeof escaped, "\\x%02X", c);
      shown += escaped;
    }
  }
  return shown;
}

}  // namespace wardlink::fuzz
