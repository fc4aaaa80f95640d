// FormatDatePattern. Any pattern, any settings, any date-time: it returns, and what holds no
// element comes out unchanged. A calendar date-time under fixed patterns: each element as an
// independent writer has it (numbers by printf, names by the standard calendar's weekday).
#include <cstdio>
#include <string>

#include "shared/conversions.h"
#include "tests/fuzz/fuzz_input.h"
#include "tests/fuzz/reference.h"

using namespace wardlink;
using namespace wardlink::fuzz;

namespace {

bool IsElement(char c) {
  return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || c == '\'' || c == '"' || c == '/' ||
         c == ':';
}

void CheckAnyPattern(FuzzInput& input) {
  RegionalSettings settings = input.AnySettings();
  DateTime value = input.AnyDateTime((input.Byte() & 1) != 0);
  std::string pattern = input.Rest();
  FormatDatePattern(pattern, value, settings);

  std::string plain;
  for (char c : pattern) {
    if (!IsElement(c)) plain += c;
  }
  if (plain.empty()) return;
  std::string got = FormatDatePattern(plain, value, settings);
  Expect(got == plain, "\"" + Shown(plain) + "\" became \"" + Shown(got) + "\"");
}

void CheckKnownElements(FuzzInput& input) {
  RegionalSettings settings = input.AnySettings();
  settings.doubleByteCodePage = false;
  DateTime v = input.AnyDateTime(true);
  auto check = [&](const char* pattern, const std::string& expected) {
    std::string got = FormatDatePattern(pattern, v, settings);
    Expect(got == expected, std::string(pattern) + " of " + ToStoredText(v) + " gave \"" +
                                Shown(got) + "\", expected \"" + Shown(expected) + "\"");
  };
  char numbers[64];
  std::snprintf(numbers, sizeof numbers, "%04d-%02d-%02d %02d|%02d|%02d.%03d %d %d %d", v.year,
                v.month, v.day, v.hour, v.minute, v.second, v.millisecond, v.month, v.day, v.hour);
  check("yyyy-mm-dd hh|nn|ss.zzz m d h", numbers);
  int twelve = v.hour % 12 == 0 ? 12 : v.hour % 12;
  check("h am/pm", std::to_string(twelve) + (v.hour < 12 ? " am" : " pm"));
  check("hh AMPM", (twelve < 10 ? "0" : "") + std::to_string(twelve) + " " +
                       (v.hour < 12 ? settings.timeAmString : settings.timePmString));
  int weekday = ReferenceWeekday(v);
  check("dddd|ddd|aaaa", settings.longDayNames[weekday] + "|" + settings.shortDayNames[weekday] +
                             "|" + settings.longDayNames[weekday]);
  check("mmmm|mmm",
        settings.longMonthNames[v.month - 1] + "|" + settings.shortMonthNames[v.month - 1]);
  check("d/m:'yy'\"nn\"", std::to_string(v.day) + settings.dateSeparator + std::to_string(v.month) +
                              settings.timeSeparator + "yynn");
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  FuzzInput input(data, size);
  if ((input.Byte() & 1) != 0) {
    CheckKnownElements(input);
  } else {
    CheckAnyPattern(input);
  }
  return 0;
}
