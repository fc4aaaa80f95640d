// ParseHostDate. Any text under any settings: the clock's value or a valid date at midnight. A
// date text written from known parts under a known form: exactly the date those parts give.
#include <string>

#include "shared/conversions.h"
#include "tests/fuzz/fuzz_input.h"
#include "tests/fuzz/reference.h"

using namespace wardlink;
using namespace wardlink::fuzz;

namespace {

enum class Order { kDayMonthYear, kMonthDayYear, kYearMonthDay };

struct Form {
  const char* shortDateFormat;
  Order order;
};

constexpr Form kForms[] = {{"MM/dd/yy", Order::kMonthDayYear},
                           {"dd.MM.yyyy", Order::kDayMonthYear},
                           {"yyyy-MM-dd", Order::kYearMonthDay},
                           {"yyyy/M/d", Order::kYearMonthDay},
                           {"d/M/yyyy", Order::kDayMonthYear}};
constexpr const char* kSeparators[] = {"/", ".", "-", ". ", "\xE5\xB9\xB4"};

std::string Blanks(FuzzInput& input) { return std::string(input.Byte() % 3, ' '); }

// A number written with some leading zeros; `digits` is how many digits were written.
std::string Written(int value, FuzzInput& input, int& digits) {
  std::string text = std::string(input.Byte() % 3, '0') + std::to_string(value);
  digits = static_cast<int>(text.size());
  return text;
}

void CheckAnyText(FuzzInput& input) {
  RegionalSettings settings = input.AnySettings();
  DateTime now = input.AnyDateTime((input.Byte() & 1) != 0);
  std::string text = input.Rest();
  DateTime got = ParseHostDate(text, settings, now);
  if (got == now) return;
  Expect(IsCalendarDateTime(got) && got.hour == 0 && got.minute == 0 && got.second == 0 &&
             got.millisecond == 0,
         "\"" + Shown(text) + "\" gave no valid date at midnight: " + ToStoredText(got));
}

void CheckKnownParts(FuzzInput& input) {
  const Form& form = kForms[input.Byte() % std::size(kForms)];
  RegionalSettings settings = CLocaleRegionalSettings();
  settings.shortDateFormat = form.shortDateFormat;
  settings.dateSeparator = kSeparators[input.Byte() % std::size(kSeparators)];
  DateTime now = input.AnyDateTime(true);
  now.year = 100 + now.year % 9900;
  bool withYear = (input.Byte() & 1) != 0;
  int parts[3] = {0, 0, 0};
  for (int& part : parts)
    part = (input.Byte() & 1) != 0 ? input.Short() % 10050 : input.Byte() % 40;
  int digits[3] = {0, 0, 0};

  std::string text = Blanks(input);
  for (int i = 0; i < (withYear ? 3 : 2); ++i) {
    if (i > 0) text += Blanks(input) + settings.dateSeparator + Blanks(input);
    text += Written(parts[i], input, digits[i]);
  }
  // After two numbers a second separator asks for the third.
  bool trailingSeparator = (input.Byte() & 1) != 0;
  if (trailingSeparator) text += Blanks(input) + settings.dateSeparator;
  text += Blanks(input);

  int year = now.year, month = 0, day = 0, yearDigits = 4;
  int y = 0, m = 1, d = 2;  // where each part stands in the text
  if (withYear) {
    if (form.order == Order::kDayMonthYear) y = 2, m = 1, d = 0;
    if (form.order == Order::kMonthDayYear) y = 2, m = 0, d = 1;
    if (form.order == Order::kYearMonthDay) y = 0, m = 1, d = 2;
    year = parts[y];
    yearDigits = digits[y];
  } else {
    m = form.order == Order::kDayMonthYear ? 1 : 0;
    d = 1 - m;
  }
  month = parts[m];
  day = parts[d];
  bool readable = parts[0] < 10000 && parts[1] < 10000 && (!withYear || parts[2] < 10000) &&
                  (withYear || !trailingSeparator);
  if (withYear && yearDigits <= 2) {
    // The one year with these last two digits in the 100 years from 50 before the clock's.
    for (int candidate = now.year - 50; candidate < now.year + 50; ++candidate) {
      if (candidate % 100 == year) {
        year = candidate;
        break;
      }
    }
  }
  DateTime expected{year, month, day, 0, 0, 0, 0};
  if (!readable || !IsCalendarDateTime(expected)) expected = now;
  DateTime got = ParseHostDate(text, settings, now);
  Expect(got == expected, "\"" + Shown(text) + "\" under " + form.shortDateFormat + " gave " +
                              ToStoredText(got) + ", expected " + ToStoredText(expected));
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  FuzzInput input(data, size);
  if ((input.Byte() & 1) != 0) {
    CheckKnownParts(input);
  } else {
    CheckAnyText(input);
  }
  return 0;
}
