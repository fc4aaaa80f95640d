// Hosts under the Chinese, Japanese and Korean locales, whose own date and time forms are written
// with words: through the exports, the short date form that Windows gives the same locale is read,
// times are written with ":", and day names and morning texts reach the host in its code page.
#include <gtest/gtest.h>

#include <array>
#include <cctype>
#include <iostream>
#include <string>
#include <utility>

#include "tests/test_support.h"
#include "tests/victim_args.h"
#include "wardlink.h"

namespace wardlink::testing {
namespace {

struct LocaleCase {
  const char* locale;
  const char* shortDate;  // 5 March 2024 in the locale's short date form on Windows
};

void PrintTo(const LocaleCase& c, std::ostream* out) { *out << c.locale; }

const LocaleCase kLocales[] = {
    {"zh_CN.UTF-8", "2024/3/5"},   {"zh_CN.GBK", "2024/3/5"},     {"zh_TW.BIG5", "2024/3/5"},
    {"ja_JP.UTF-8", "2024/03/05"}, {"ko_KR.UTF-8", "2024-03-05"},
};

// The record's admission date slot as GetVictimInfo writes it.
std::string QueriedAdmissionDate(const char* server, const char* zhuYuanNo) {
  std::array<std::array<char, 256>, WARDLINK_VICTIM_INFO_SLOTS> buffers{};
  auto call = [&]<size_t... I>(std::index_sequence<I...>) {
    return GetVictimInfo(server, "", "", zhuYuanNo, buffers[I].data()..., 0);
  };
  EXPECT_EQ(call(std::make_index_sequence<WARDLINK_VICTIM_INFO_SLOTS>()), 0);
  return buffers[kRuYuanDate - 1].data();
}

class EastAsianLocale : public ::testing::TestWithParam<LocaleCase> {};

TEST_P(EastAsianLocale, ReadsTheWindowsShortDateAndWritesTimesWithColons) {
  const LocaleCase& c = GetParam();
  ASSERT_NO_FATAL_FAILURE(EnsureLocale(c.locale));
  ScopedEnvironment all("LC_ALL", c.locale);
  TrialDatabase db;
  VictimArgs args("Z1");
  args[kRuYuanDate] = c.shortDate;
  args[kBingShiCaiJiDate] = c.shortDate;
  ASSERT_EQ(CallAddVictim(db.server(), args), 0);
  EXPECT_EQ(db.Scalar("SELECT RuYuanDate || '|' || BingShiCaiJiDate FROM Emr_Doc_Emr_Info"),
            "2024-03-05 00:00:00.000|2024-03-05 00:00:00.000");
  // The form the host is told is the one that is read.
  const RegionalSettings settings = EnvironmentRegionalSettings();
  EXPECT_EQ(FormatDatePattern(settings.shortDateFormat, DateTime{2024, 3, 5, 0, 0, 0, 0}, settings),
            c.shortDate);

  db.Exec("UPDATE Emr_Doc_Emr_Info SET RuYuanDate = '2024-03-05 14:07:09.000'");
  const std::string time = QueriedAdmissionDate(db.server(), "Z1");
  EXPECT_EQ(time, "2024-03-05 14:07:09");
  std::cout << "[ figures  ] " << c.locale << ": " << c.shortDate << " read as 5 March 2024; "
            << "time written " << time << "\n";
}

INSTANTIATE_TEST_SUITE_P(Locales, EastAsianLocale, ::testing::ValuesIn(kLocales),
                         [](const auto& info) {
                           std::string name = info.param.locale;
                           for (char& ch : name)
                             if (!isalnum(static_cast<unsigned char>(ch))) ch = '_';
                           return name;
                         });

// Day names and morning texts are read in LC_TIME's codeset and reach the host in LC_CTYPE's.
TEST(EastAsianLocaleNames, ComeInTheHostsCodePage) {
  ASSERT_NO_FATAL_FAILURE(EnsureLocale("zh_CN.GBK"));
  ASSERT_NO_FATAL_FAILURE(EnsureLocale("zh_CN.UTF-8"));
  ScopedEnvironment all("LC_ALL", "");
  ScopedEnvironment time("LC_TIME", "zh_CN.GBK");
  ScopedEnvironment text("LC_CTYPE", "zh_CN.UTF-8");
  TrialDatabase db;
  db.Exec("UPDATE EMR_FORMATDATE SET FormatDateTime_Show = 'dddd ampm'");
  VictimArgs args("Z1");
  args[kRuYuanDate] = "2024/3/5";
  ASSERT_EQ(CallAddVictim(db.server(), args), 0);
  // Tuesday, in the morning.
  EXPECT_EQ(db.Scalar("SELECT RuYuanDate_Str FROM Emr_Doc_Emr_Info"),
            "\xe6\x98\x9f\xe6\x9c\x9f\xe4\xba\x8c \xe4\xb8\x8a\xe5\x8d\x88");
}

}  // namespace
}  // namespace wardlink::testing
