// The portable logic behind the Windows seams, run on Linux: the SQL Server driver a plain server
// name uses, its connection string, a Windows locale's forms in pattern letters, and UTF-16.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "db/code_page.h"
#include "db/db_error.h"
#include "db/odbc_connection_string.h"
#include "shared/conversions.h"
#include "shared/regional_settings.h"

namespace wardlink {
namespace {

struct DriverCase {
  std::vector<std::string> installed;
  const char* chosen;
};

TEST(WindowsSqlServerDriver, NewestMicrosoftDriverElseSqlServer) {
  const DriverCase cases[] = {
      {{}, "SQL Server"},
      {{"SQL Server", "SQLite3 ODBC Driver"}, "SQL Server"},
      {{"SQL Server", "ODBC Driver 17 for SQL Server", "ODBC Driver 18 for SQL Server"},
       "ODBC Driver 18 for SQL Server"},
      {{"ODBC Driver 18 for SQL Server", "ODBC Driver 9 for SQL Server"},
       "ODBC Driver 18 for SQL Server"},
      {{"SQL Server Native Client 11.0", "ODBC Driver 13 for SQL Server"},
       "ODBC Driver 13 for SQL Server"},
      {{"SQL Server Native Client 10.0", "SQL Server Native Client 11.0"},
       "SQL Server Native Client 11.0"},
      {{"odbc driver 17 for sql server"}, "odbc driver 17 for sql server"},
      // Names that only look alike are not Microsoft's drivers.
      {{"ODBC Driver for SQL Server", "ODBC Driver 1x for SQL Server", "FreeTDS"}, "SQL Server"},
  };
  for (const DriverCase& c : cases)
    EXPECT_EQ(NewestSqlServerDriver(c.installed), c.chosen) << testing::PrintToString(c.installed);
}

TEST(WindowsSqlServerDriver, ConnectionStringFollowsTheBraceRule) {
  EXPECT_EQ(MicrosoftSqlServerConnectionString("ODBC Driver 18 for SQL Server", "db01\\emr", "sa",
                                               "secret", OdbcQuoting::kStandard),
            "Driver=ODBC Driver 18 for SQL Server;Server=db01\\emr;Database=KLINODB;UID=sa;"
            "PWD=secret;");
  EXPECT_EQ(MicrosoftSqlServerConnectionString("SQL Server", "db01", "a;UID=x", "p{w;d=1",
                                               OdbcQuoting::kStandard),
            "Driver=SQL Server;Server=db01;Database=KLINODB;UID={a;UID=x};PWD={p{w;d=1};");
  // Windows' driver manager documents no escape for "}" inside braces.
  EXPECT_THROW(
      MicrosoftSqlServerConnectionString("SQL Server", "db01", "sa", "p}w", OdbcQuoting::kStandard),
      DbError);
}

struct FormCase {
  const char* windowsForm;
  const char* pattern;
  const char* formatted;  // 5 January 2008 14:07:09 by the pattern
};

TEST(WindowsLocaleForms, MapToPatternLettersAndFormatAsWindowsShowsThem) {
  const FormCase cases[] = {
      {"M/d/yyyy", "M\"/\"d\"/\"yyyy", "1/5/2008"},
      {"yyyy/M/d", "yyyy\"/\"M\"/\"d", "2008/1/5"},
      {"dd.MM.yyyy", "dd.MM.yyyy", "05.01.2008"},
      {"yy-MM-dd", "yy-MM-dd", "08-01-05"},
      {"dddd, MMMM d, yyyy", "dddd, MMMM d, yyyy", "Saturday, January 5, 2008"},
      {"h:mm:ss tt", "h\":\"nn\":\"ss AMPM", "2:07:09 PM"},
      {"HH:mm", "HH\":\"nn", "14:07"},
      {"yyyy'\xe5\xb9\xb4'M'\xe6\x9c\x88'd'\xe6\x97\xa5'",
       "yyyy\"\xe5\xb9\xb4\"M\"\xe6\x9c\x88\"d\"\xe6\x97\xa5\"",
       "2008\xe5\xb9\xb4"
       "1\xe6\x9c\x88"
       "5\xe6\x97\xa5"},
      {"d 'de' MMMM", "d \"de\" MMMM", "5 de January"},
      {"H 'h' mm", "H \"h\" nn", "14 h 07"},
      {"dd''MM", "dd\"'\"MM", "05'01"},
      {"gg yyyy", " yyyy", " 2008"},
  };
  const DateTime value{2008, 1, 5, 14, 7, 9, 0};
  for (const FormCase& c : cases) {
    std::string pattern = PatternFromWindowsForm(c.windowsForm);
    EXPECT_EQ(pattern, c.pattern) << c.windowsForm;
    EXPECT_EQ(FormatDatePattern(pattern, value, CLocaleRegionalSettings()), c.formatted)
        << c.windowsForm;
  }
}

TEST(WindowsLocaleForms, ShortDateFormDrivesTheDateOrder) {
  RegionalSettings settings = CLocaleRegionalSettings();
  settings.shortDateFormat = PatternFromWindowsForm("yyyy/M/d");
  const DateTime now{2030, 6, 1, 12, 0, 0, 0};
  EXPECT_EQ(ParseHostDate("2008/1/15", settings, now), (DateTime{2008, 1, 15, 0, 0, 0, 0}));
  EXPECT_EQ(ParseHostDate("1/15/2008", settings, now), now);
  settings.shortDateFormat = PatternFromWindowsForm("dd.MM.yyyy");
  settings.dateSeparator = ".";
  EXPECT_EQ(ParseHostDate("15.01.2008", settings, now), (DateTime{2008, 1, 15, 0, 0, 0, 0}));
}

struct Utf16Case {
  const char* utf8;
  std::u16string utf16;
  const char* back;  // UTF-8 again
};

TEST(Utf16, ConvertsAndReplacesEachInvalidSequence) {
  const Utf16Case cases[] = {
      {"", u"", ""},
      {"abc", u"abc", "abc"},
      {"\xe7\x8e\x8b", u"\u738b", "\xe7\x8e\x8b"},
      {"\xf0\x9f\x98\x80", u"\U0001F600", "\xf0\x9f\x98\x80"},
      {"a\xff!", u"a?!", "a?!"},
      {"a\xe7\x8e", u"a?", "a?"},       // cut short at the end
      {"\xe7!", u"?!", "?!"},           // a lead byte, then a character of its own
      {"\xc0\xaf", u"?", "?"},          // overlong
      {"\xed\xa0\x80!", u"?!", "?!"},   // a surrogate in UTF-8
      {"\xf4\x90\x80\x80", u"?", "?"},  // beyond U+10FFFF
  };
  for (const Utf16Case& c : cases) {
    EXPECT_EQ(Utf8ToUtf16(c.utf8), c.utf16) << c.utf8;
    EXPECT_EQ(Utf16ToUtf8(Utf8ToUtf16(c.utf8)), c.back) << c.utf8;
  }
  EXPECT_EQ(Utf16ToUtf8(u"a\xd800"
                        "b"),
            "a?b");  // a lone surrogate
  EXPECT_EQ(Utf16ToUtf8(std::u16string(1, u'\xdc00')), "?");
}

TEST(Utf16, HostCodePageThroughUtf16) {
  TextConverter latin1("ISO-8859-1");
  EXPECT_EQ(latin1.ToUtf16("caf\xe9"), u"caf\u00e9");
  EXPECT_EQ(latin1.FromUtf16(u"caf\u00e9 \u738b"), "caf\xe9 ?");
}

}  // namespace
}  // namespace wardlink
