#include "shared/conversions.h"

#include <gtest/gtest.h>
#include <locale.h>

#include <chrono>
#include <climits>
#include <cstdlib>
#include <limits>
#include <ostream>
#include <string>

#include "shared/regional_settings.h"
#include "tests/test_support.h"

namespace wardlink {

inline void PrintTo(const DateTime& v, std::ostream* out) { *out << ToStoredText(v); }

namespace testing {
namespace {

// --- Integer texts ---------------------------------------------------------------------------

struct IntCase {
  const char* text;
  int32_t defaultValue;
  int32_t expected;
};

void PrintTo(const IntCase& c, std::ostream* out) {
  *out << '"' << c.text << "\" default " << c.defaultValue;
}

class ParseHostIntCase : public ::testing::TestWithParam<IntCase> {};

TEST_P(ParseHostIntCase, ReadsTheWholeTextOrGivesTheDefault) {
  const IntCase& c = GetParam();
  EXPECT_EQ(ParseHostInt(c.text, c.defaultValue), c.expected) << '"' << c.text << '"';
}

INSTANTIATE_TEST_SUITE_P(
    Texts, ParseHostIntCase,
    ::testing::Values(IntCase{"42", 0, 42}, IntCase{"   42", 0, 42}, IntCase{"42 ", 7, 7},
                      IntCase{"", 7, 7}, IntCase{"   ", 7, 7}, IntCase{"-3", 0, -3},
                      IntCase{"+5", 0, 5}, IntCase{" -3", 0, -3}, IntCase{"4.5", 9, 9},
                      IntCase{"12a", 3, 3}, IntCase{"1 2", 3, 3}, IntCase{"--1", 3, 3},
                      IntCase{"- 1", 3, 3}, IntCase{"\t4", 3, 3}, IntCase{"0", 5, 0},
                      IntCase{"00042", 0, 42}, IntCase{"2147483647", 0, INT_MAX},
                      IntCase{"2147483648", 5, 5}, IntCase{"-2147483648", 0, INT_MIN},
                      IntCase{"-2147483649", 5, 5}, IntCase{"99999999999999999999999", 5, 5},
                      IntCase{"$1F", 0, 31}, IntCase{"$1f", 0, 31}, IntCase{"0x1f", 0, 31},
                      IntCase{"0X1F", 0, 31}, IntCase{"x10", 0, 16}, IntCase{"X10", 0, 16},
                      IntCase{"-$10", 0, -16}, IntCase{" +0x10", 0, 16}, IntCase{"$", 3, 3},
                      IntCase{"0x", 3, 3}, IntCase{"$1G", 3, 3}, IntCase{"$7FFFFFFF", 0, INT_MAX},
                      IntCase{"$80000000", 3, 3}, IntCase{"-$80000000", 0, INT_MIN},
                      IntCase{"1e3", 3, 3}));

// --- Date texts ------------------------------------------------------------------------------

RegionalSettings YearMonthDayWithHyphen() {
  RegionalSettings settings;
  settings.shortDateFormat = "yyyy-MM-dd";
  settings.dateSeparator = "-";
  return settings;
}

RegionalSettings DayMonthYearWithDot() {
  RegionalSettings settings;
  settings.shortDateFormat = "dd.MM.yyyy";
  settings.dateSeparator = ".";
  return settings;
}

const DateTime kNow{2024, 6, 15, 13, 45, 30, 123};

DateTime Day(int year, int month, int day) { return DateTime{year, month, day, 0, 0, 0, 0}; }

struct DateCase {
  const char* text;
  DateTime expected;
};

void PrintTo(const DateCase& c, std::ostream* out) { *out << '"' << c.text << '"'; }

class YearMonthDayDate : public ::testing::TestWithParam<DateCase> {};

TEST_P(YearMonthDayDate, Reads) {
  const DateCase& c = GetParam();
  EXPECT_EQ(ParseHostDate(c.text, YearMonthDayWithHyphen(), kNow), c.expected)
      << '"' << c.text << '"';
}

INSTANTIATE_TEST_SUITE_P(
    Texts, YearMonthDayDate,
    ::testing::Values(
        DateCase{"2008-01-15", Day(2008, 1, 15)}, DateCase{"2008-1-5", Day(2008, 1, 5)},
        DateCase{"08-01-15", Day(2008, 1, 15)}, DateCase{"01-15", Day(2024, 1, 15)},
        DateCase{" 2008 - 01 - 15", Day(2008, 1, 15)}, DateCase{"2008-01-15-", Day(2008, 1, 15)},
        DateCase{"2008-01-15 - ", Day(2008, 1, 15)}, DateCase{"2008-01-15  ", Day(2008, 1, 15)},
        DateCase{"2008-02-29", Day(2008, 2, 29)}, DateCase{"999-12-31", Day(999, 12, 31)},
        DateCase{"00008-01-15", Day(8, 1, 15)},  // leading zeros do not count
        DateCase{"2008-01-15 10:30", kNow}, DateCase{"2008-02-30", kNow},
        DateCase{"1900-02-29", kNow}, DateCase{"2008-13-01", kNow}, DateCase{"2008-00-10", kNow},
        DateCase{"0000-01-01", kNow}, DateCase{"2008/01/15", kNow}, DateCase{"", kNow},
        DateCase{"   ", kNow}, DateCase{"2008", kNow}, DateCase{"2008-", kNow},
        DateCase{"2008-01-15--", kNow}, DateCase{"2008-01-15x", kNow},
        DateCase{"20080-01-15", kNow}, DateCase{"\t2008-01-15", kNow},
        DateCase{"2008-01-15\t", kNow}));

TEST(ParseHostDate, DayMonthYearWithDot) {
  RegionalSettings dmy = DayMonthYearWithDot();
  EXPECT_EQ(ParseHostDate("15.01.2008", dmy, kNow), Day(2008, 1, 15));
  EXPECT_EQ(ParseHostDate("15.1.08", dmy, kNow), Day(2008, 1, 15));
  EXPECT_EQ(ParseHostDate("15.01", dmy, kNow), Day(2024, 1, 15));
  EXPECT_EQ(ParseHostDate("15.01 ", dmy, kNow), Day(2024, 1, 15));
  // A second separator asks for the third number.
  EXPECT_EQ(ParseHostDate("15.01.", dmy, kNow), kNow);
  EXPECT_EQ(ParseHostDate("31.04.2008", dmy, kNow), kNow);
  EXPECT_EQ(ParseHostDate("2008-01-15", dmy, kNow), kNow);
}

TEST(ParseHostDate, MonthDayYearOfTheCLocale) {
  RegionalSettings c = CLocaleRegionalSettings();
  EXPECT_EQ(ParseHostDate("01/15/08", c, kNow), Day(2008, 1, 15));
  EXPECT_EQ(ParseHostDate("1/15", c, kNow), Day(2024, 1, 15));
  EXPECT_EQ(ParseHostDate("15/01/08", c, kNow), kNow);
}

TEST(ParseHostDate, PartOrderFollowsTheFirstOrderLetter) {
  RegionalSettings settings = YearMonthDayWithHyphen();
  settings.shortDateFormat = "'x' e-MM-dd";  // an era year orders like y
  EXPECT_EQ(ParseHostDate("2008-01-15", settings, kNow), Day(2008, 1, 15));
  settings.shortDateFormat = "MM-dd-yyyy";
  EXPECT_EQ(ParseHostDate("01-15-2008", settings, kNow), Day(2008, 1, 15));
  settings.shortDateFormat = "";  // no letter: month first
  EXPECT_EQ(ParseHostDate("01-15-2008", settings, kNow), Day(2008, 1, 15));
}

TEST(ParseHostDate, TwoDigitYearsFallInTheFiftyYearWindow) {
  RegionalSettings ymd = YearMonthDayWithHyphen();
  DateTime in2058 = kNow;
  in2058.year = 2058;
  DateTime in2059 = kNow;
  in2059.year = 2059;
  EXPECT_EQ(ParseHostDate("08-01-15", ymd, in2058), Day(2008, 1, 15));
  EXPECT_EQ(ParseHostDate("08-01-15", ymd, in2059), Day(2108, 1, 15));
  // In 2024 the window is 1974 to 2073.
  EXPECT_EQ(ParseHostDate("74-01-01", ymd, kNow), Day(1974, 1, 1));
  EXPECT_EQ(ParseHostDate("73-01-01", ymd, kNow), Day(2073, 1, 1));
  EXPECT_EQ(ParseHostDate("0-01-01", ymd, kNow), Day(2000, 1, 1));
  // Three digits are the year itself.
  EXPECT_EQ(ParseHostDate("008-01-15", ymd, kNow), Day(8, 1, 15));
}

TEST(ParseHostDate, InvalidTextGivesTheClockWithMilliseconds) {
  using namespace std::chrono;
  auto before = system_clock::now();
  DateTime value = ParseHostDate("not a date", YearMonthDayWithHyphen());
  auto after = system_clock::now();
  auto toTime = [](const DateTime& v) {
    std::tm local{};
    local.tm_year = v.year - 1900;
    local.tm_mon = v.month - 1;
    local.tm_mday = v.day;
    local.tm_hour = v.hour;
    local.tm_min = v.minute;
    local.tm_sec = v.second;
    local.tm_isdst = -1;
    return system_clock::from_time_t(std::mktime(&local)) + milliseconds(v.millisecond);
  };
  auto read = toTime(value);
  EXPECT_GE(read, time_point_cast<milliseconds>(before) - seconds(1));
  EXPECT_LE(read, after + seconds(1));
}

// What FormatHostDate writes under a locale's settings, and that ParseHostDate reads it back as
// the same date whatever the current year: the locales are compiled with localedef when missing.
struct HostDateCase {
  const char* locale;
  const char* written;  // 5 March 1961
};

void PrintTo(const HostDateCase& c, std::ostream* out) { *out << c.locale; }

class FormatHostDateCase : public ::testing::TestWithParam<HostDateCase> {};

TEST_P(FormatHostDateCase, WritesWhatParseHostDateReads) {
  EnsureLocale(GetParam().locale);
  RegionalSettings settings = RegionalSettingsOfLocale(GetParam().locale);
  const DateTime date{1961, 3, 5, 0, 0, 0, 0};
  EXPECT_EQ(FormatHostDate(date, settings), GetParam().written);
  for (const DateTime& now : {DateTime{2024, 6, 1, 0, 0, 0, 0}, DateTime{2080, 6, 1, 0, 0, 0, 0}})
    EXPECT_EQ(ParseHostDate(FormatHostDate(date, settings), settings, now), date);
}

INSTANTIATE_TEST_SUITE_P(Locales, FormatHostDateCase,
                         ::testing::Values(HostDateCase{"C", "03/05/1961"},
                                           HostDateCase{"zh_CN.UTF-8", "1961/3/5"},
                                           HostDateCase{"zh_CN.GB18030", "1961/3/5"},
                                           HostDateCase{"de_DE.UTF-8", "05.03.1961"},
                                           HostDateCase{"ko_KR.UTF-8", "1961-03-05"}),
                         [](const auto& info) {
                           std::string name = info.param.locale;
                           for (char& c : name)
                             if (c == '.' || c == '-') c = '_';
                           return name;
                         });

// --- Date patterns ---------------------------------------------------------------------------

const DateTime kMorning{2008, 1, 15, 10, 30, 5, 7};  // a Tuesday
const DateTime kEarly{2008, 3, 4, 9, 5, 7, 45};      // a Tuesday

std::string Format(std::string_view pattern, const DateTime& value,
                   const RegionalSettings& settings = CLocaleRegionalSettings()) {
  return FormatDatePattern(pattern, value, settings);
}

TEST(FormatDatePattern, NumbersAndTheMinuteAfterTheHour) {
  EXPECT_EQ(Format("yyyy-MM-dd HH:mm:ss", kMorning), "2008-01-15 10:30:05");
  EXPECT_EQ(Format("yyyy-MM-dd HH:mm:ss", kEarly), "2008-03-04 09:05:07");
  EXPECT_EQ(Format("h:m:s", kEarly), "9:5:7");
  EXPECT_EQ(Format("hh:nn", kEarly), "09:05");
  EXPECT_EQ(Format("HH:MM", kEarly), "09:05");
  EXPECT_EQ(Format("hh 'x' mm", kEarly), "09 x 05");  // quoted text is not a letter element
  EXPECT_EQ(Format("hh d m", kEarly), "09 4 3");      // the last letter before m was d
  EXPECT_EQ(Format("mm", kEarly), "03");
  EXPECT_EQ(Format("d/m/y", kEarly), "4/3/08");
  EXPECT_EQ(Format("yy", kEarly), "08");
  EXPECT_EQ(Format("yyy", kEarly), "2008");
  EXPECT_EQ(Format("yyyyy", kEarly), "2008");
  EXPECT_EQ(Format("yy", Day(5, 1, 1)), "05");
  EXPECT_EQ(Format("yyyy", Day(5, 1, 1)), "0005");
  EXPECT_EQ(Format("z|zz|zzz", kMorning), "7|07|007");
  EXPECT_EQ(Format("z|zz|zzz|zzzz", kEarly), "45|45|045|045");
  EXPECT_EQ(Format("YYYY-mm-DD", kEarly), "2008-03-04");  // letters in either case
}

TEST(FormatDatePattern, NamesAndForms) {
  EXPECT_EQ(Format("mmm mmmm", kEarly), "Mar March");
  EXPECT_EQ(Format("ddd dddd", kEarly), "Tue Tuesday");
  EXPECT_EQ(Format("aaa aaaa", kEarly), "Tue Tuesday");
  EXPECT_EQ(Format("ddd", Day(1899, 12, 30)), "Sat");
  EXPECT_EQ(Format("ddd", Day(2000, 2, 29)), "Tue");
  EXPECT_EQ(Format("ddddd", kEarly), "03/04/08");
  EXPECT_EQ(Format("dddddd", kEarly), "Tuesday, 03/04/08");
  EXPECT_EQ(Format("t", kMorning), "10:30");
  EXPECT_EQ(Format("tt", kMorning), "10:30:05");
}

TEST(FormatDatePattern, CAndTheEmptyPattern) {
  EXPECT_EQ(Format("c", Day(2008, 1, 15)), "01/15/08");
  EXPECT_EQ(Format("", Day(2008, 1, 15)), "01/15/08");
  EXPECT_EQ(Format("c", kMorning), "01/15/08 10:30:05");
  EXPECT_EQ(Format("", kMorning), "01/15/08 10:30:05");
  DateTime onlyMilliseconds = Day(2008, 1, 15);
  onlyMilliseconds.millisecond = 500;
  EXPECT_EQ(Format("c", onlyMilliseconds), "01/15/08");
}

TEST(FormatDatePattern, TwelveHourClockWhenAnAmPmElementFollows) {
  DateTime evening{2008, 1, 15, 21, 0, 0, 0};
  DateTime midnight{2008, 1, 15, 0, 30, 0, 0};
  DateTime noon{2008, 1, 15, 12, 0, 0, 0};
  EXPECT_EQ(Format("hh am/pm", evening), "09 pm");
  EXPECT_EQ(Format("hh AM/pm", kEarly), "09 AM");
  EXPECT_EQ(Format("hh AM/pm", evening), "09 pm");
  EXPECT_EQ(Format("h a/p", evening), "9 p");
  EXPECT_EQ(Format("h A/P", midnight), "12 A");
  EXPECT_EQ(Format("h am/pm", noon), "12 pm");
  EXPECT_EQ(Format("hh ampm", evening), "09 PM");
  EXPECT_EQ(Format("hh", evening), "21");
  EXPECT_EQ(Format("hh 'am/pm'", evening), "21 am/pm");         // quoted: no element
  EXPECT_EQ(Format("hh:nn hh am/pm", evening), "21:00 09 pm");  // the first h meets an h first
  EXPECT_EQ(Format("hh \"h\" am/pm", evening), "09 h pm");
  RegionalSettings german = CLocaleRegionalSettings();
  german.timeAmString = "vorm.";
  german.timePmString = "nachm.";
  EXPECT_EQ(Format("ampm", evening, german), "nachm.");
  EXPECT_EQ(Format("ampm", kEarly, german), "vorm.");
}

TEST(FormatDatePattern, QuotesSeparatorsAndOtherCharacters) {
  EXPECT_EQ(Format("'at' hh", kMorning), "at 10");
  EXPECT_EQ(Format("\"d\"d", kMorning), "d15");
  EXPECT_EQ(Format("'it''s'", kMorning), "its");
  EXPECT_EQ(Format("dd 'open", kMorning), "15 open");
  EXPECT_EQ(Format("yyyy#x%", kMorning), "2008#x%");
  RegionalSettings dmy = DayMonthYearWithDot();
  dmy.timeSeparator = ".";
  EXPECT_EQ(Format("dd/mm/yyyy hh:nn", kMorning, dmy), "15.01.2008 10.30");
  EXPECT_EQ(Format("c", kMorning, dmy), "15.01.2008 10.30.05");
}

TEST(FormatDatePattern, FormsThatNameThemselvesEnd) {
  RegionalSettings settings = CLocaleRegionalSettings();
  settings.shortDateFormat = "c ddddd";
  settings.longTimeFormat = "tt";
  EXPECT_EQ(Format("c", kMorning, settings), "   ");
}

TEST(FormatDatePattern, DoubleByteCharactersAreNotReadAsLetters) {
  RegionalSettings settings = CLocaleRegionalSettings();
  EXPECT_EQ(Format("\x81"
                   "dd",
                   kEarly, settings),
            "\x81"
            "04");
  settings.doubleByteCodePage = true;
  EXPECT_EQ(Format("\x81"
                   "dd",
                   kEarly, settings),
            "\x81"
            "d4");
  EXPECT_EQ(Format("yyyy\xc4\xea", kEarly, settings), "2008\xc4\xea");
}

// --- Regional settings -----------------------------------------------------------------------

// Nothing reaches these today, yet the conversions never fail: every field at either end of int.
TEST(FormatDatePattern, TotalOverEveryDateTime) {
  constexpr int kMin = std::numeric_limits<int>::min();
  constexpr int kMax = std::numeric_limits<int>::max();
  for (int a : {kMin, -1, 0, 13, kMax}) {
    for (int b : {kMin, kMax}) {
      DateTime value{a, a, b, b, a, b, a};
      std::string text = Format("yyyy yy mmmm mmm mm dddd ddd dd hh nn ss zzz am/pm c tt", value);
      EXPECT_FALSE(text.empty());
    }
  }
  // A two-digit year in a window around a year outside the calendar is no valid date.
  for (int year : {kMin, kMax}) {
    DateTime now{year, 1, 1, 0, 0, 0, 0};
    EXPECT_EQ(ParseHostDate("01/02/03", CLocaleRegionalSettings(), now), now);
  }
  // The week repeats every 400 years, however far out.
  EXPECT_EQ(Format("dddd", Day(kMax, 12, 31)), "Tuesday");
  EXPECT_EQ(Format("dddd", Day(kMax - 400, 12, 31)), Format("dddd", Day(2047, 12, 31)));
  EXPECT_EQ(Format("mmmm|mmm", Day(2008, kMin, 1)), "|");
}

TEST(RegionalSettings, StrftimeFormsBecomePatterns) {
  EXPECT_EQ(PatternFromStrftime("%Y-%m-%d"), "yyyy-MM-dd");
  EXPECT_EQ(PatternFromStrftime("%d.%m.%Y"), "dd.MM.yyyy");
  EXPECT_EQ(PatternFromStrftime("%m/%d/%y"), "MM/dd/yy");
  EXPECT_EQ(PatternFromStrftime("%D"), "MM/dd/yy");
  EXPECT_EQ(PatternFromStrftime("%T"), "HH:nn:ss");
  EXPECT_EQ(PatternFromStrftime("%r"), "hh:nn:ss AMPM");
  EXPECT_EQ(PatternFromStrftime("%e %B %Y"), "d MMMM yyyy");
  EXPECT_EQ(PatternFromStrftime("%d de %B"), "dd \"de\" MMMM");
  EXPECT_EQ(PatternFromStrftime("%Ey'%m"), "yy\"'\"MM");
  EXPECT_EQ(PatternFromStrftime("%Y\xe5\xb9\xb4%m"), "yyyy\xe5\xb9\xb4MM");
  // The mapped form formats as the locale would.
  EXPECT_EQ(Format(PatternFromStrftime("%d de %B de %Y"), kMorning), "15 de January de 2008");
}

// Separators are only ever taken from punctuation: a form written with words takes the forms
// Windows gives its locale, or else its numbers joined by its first punctuation, "/" or ":".
TEST(RegionalSettings, FormsWrittenWithWordsKeepOnlyPunctuationAsSeparators) {
  struct Case {
    const char* locale;
    const char* dateForm;
    const char* timeForm;
    const char* shortDate;
    const char* dateSeparator;
    const char* longTime;
  };
  const Case cases[] = {
      {"yue_HK.UTF-8", "%Y\xe5\xb9\xb4%m\xe6\x9c\x88%d\xe6\x97\xa5 %A",
       "%H\xe9\xbb\x9e%M\xe5\x88\x86%S\xe7\xa7\x92", "yyyy/MM/dd", "/", "HH:nn:ss"},
      {"ug_CN.UTF-8", "%a\xd8\x8c %d-%m-%Y", "%T", "dd-MM-yyyy", "-", "HH:nn:ss"},
      {"xx_XX", "%d de %m de %Y", "%p %I h %M", "dd/MM/yyyy", "/", "AMPM hh:nn"},
      {"xx_XX", "%Y. %m. %d.", "%Hh%M.%S", "yyyy. MM. dd.", ".", "HH.nn.ss"},
      {"zh_CN.GBK", "%Y\xc4\xea%m\xd4\xc2%d\xc8\xd5", "%H\xca\xb1%M\xb7\xd6%S\xc3\xeb",
       "yyyy\"/\"M\"/\"d", "/", "H\":\"nn\":\"ss"},
      {"ko_KR.UTF-8", "%Y\xeb\x85\x84 %m\xec\x9b\x94 %d\xec\x9d\xbc",
       "%H\xec\x8b\x9c %M\xeb\xb6\x84 %S\xec\xb4\x88", "yyyy-MM-dd", "-", "AMPM h\":\"nn\":\"ss"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.locale + std::string(" ") + c.dateForm);
    RegionalSettings settings;
    ApplyStrftimeForms(settings, c.dateForm, c.timeForm, c.locale);
    EXPECT_EQ(settings.shortDateFormat, c.shortDate);
    EXPECT_EQ(settings.dateSeparator, c.dateSeparator);
    EXPECT_EQ(settings.longTimeFormat, c.longTime);
    EXPECT_EQ(settings.timeSeparator,
              std::string(c.longTime).find('.') != std::string::npos ? "." : ":");
  }
}

TEST(RegionalSettings, TheCLocale) {
  RegionalSettings c = RegionalSettingsOfLocale("C");
  EXPECT_EQ(c.shortDateFormat, "MM/dd/yy");
  EXPECT_EQ(c.dateSeparator, "/");
  EXPECT_EQ(c.longTimeFormat, "HH:nn:ss");
  EXPECT_EQ(c.shortTimeFormat, "HH:nn");
  EXPECT_EQ(c.timeSeparator, ":");
  EXPECT_EQ(c.longMonthNames[0], "January");
  EXPECT_EQ(c.shortDayNames[0], "Sun");
  EXPECT_EQ(c.timeAmString, "AM");
  RegionalSettings defaults = CLocaleRegionalSettings();
  EXPECT_EQ(c.shortDateFormat, defaults.shortDateFormat);
  EXPECT_EQ(c.longDateFormat, defaults.longDateFormat);
  EXPECT_EQ(c.longMonthNames, defaults.longMonthNames);
  EXPECT_EQ(c.longDayNames, defaults.longDayNames);
}

TEST(RegionalSettings, ReadFromTheEnvironmentWithoutChangingTheProcessLocale) {
  std::string before = setlocale(LC_TIME, nullptr);
  {
    ScopedEnvironment all("LC_ALL", "C.UTF-8");
    EXPECT_EQ(EnvironmentRegionalSettings().shortDateFormat, "MM/dd/yy");
    EXPECT_FALSE(EnvironmentRegionalSettings().doubleByteCodePage);
  }
  {
    // A locale that cannot be loaded falls back to the C settings.
    ScopedEnvironment all("LC_ALL", "xx_NOWHERE.UTF-8");
    RegionalSettings settings = EnvironmentRegionalSettings();
    EXPECT_EQ(settings.shortDateFormat, "MM/dd/yy");
    EXPECT_EQ(settings.dateSeparator, "/");
  }
  EXPECT_EQ(setlocale(LC_TIME, nullptr), before);
}

}  // namespace
}  // namespace testing
}  // namespace wardlink
