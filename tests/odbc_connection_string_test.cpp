#include "db/odbc_connection_string.h"

#include <gtest/gtest.h>

#include <string>
#include <utility>
#include <vector>

#include "db/db_error.h"

namespace wardlink::testing {
namespace {

using Attributes = std::vector<std::pair<std::string, std::string>>;

// Passwords that a naive connection string would break or turn into attributes of their own.
const std::vector<std::string> kAwkwardValues = {"plain",
                                                 "a;b",
                                                 "a=b",
                                                 "{a",
                                                 "a{",
                                                 "a}",
                                                 "}a",
                                                 "a}b",
                                                 "a}}b",
                                                 "{a}",
                                                 "x;Server=evil",
                                                 "x};Server=evil",
                                                 "x}};Server=evil;",
                                                 " lead",
                                                 "trail ",
                                                 "",
                                                 "semi;colon;=}",
                                                 "}",
                                                 "{",
                                                 ";"};

TEST(OdbcValueQuoting, PlainValuesStayBare) {
  for (auto rule : {OdbcQuoting::kStandard, OdbcQuoting::kFreeTds, OdbcQuoting::kUnknown}) {
    EXPECT_EQ(QuoteOdbcValue("secret", rule), "secret");
    EXPECT_EQ(QuoteOdbcValue("", rule), "");
    EXPECT_EQ(QuoteOdbcValue("host,1433", rule), "host,1433");
  }
}

TEST(OdbcValueQuoting, StandardRuleBracesAndDoublesClosingBraces) {
  EXPECT_EQ(QuoteOdbcValue("a;b", OdbcQuoting::kStandard), "{a;b}");
  EXPECT_EQ(QuoteOdbcValue("a}b", OdbcQuoting::kStandard), "{a}}b}");
  EXPECT_EQ(QuoteOdbcValue("x};Server=evil", OdbcQuoting::kStandard), "{x}};Server=evil}");
  EXPECT_EQ(QuoteOdbcValue(" lead", OdbcQuoting::kStandard), "{ lead}");
}

TEST(OdbcValueQuoting, FreeTdsRuleKeepsBracesAndRefusesWhatWouldEndTheValue) {
  EXPECT_EQ(QuoteOdbcValue("a;b=c", OdbcQuoting::kFreeTds), "{a;b=c}");
  EXPECT_EQ(QuoteOdbcValue("a}b", OdbcQuoting::kFreeTds), "{a}b}");
  EXPECT_EQ(QuoteOdbcValue("a}", OdbcQuoting::kFreeTds), "{a}}");
  EXPECT_EQ(QuoteOdbcValue("x};Server=evil", OdbcQuoting::kFreeTds), std::nullopt);
  EXPECT_EQ(QuoteOdbcValue("};", OdbcQuoting::kFreeTds), std::nullopt);
}

// Some drivers ignore braces and read a ";" anywhere as the end of the value: a value that such a
// driver could read as syntax is never sent.
TEST(OdbcValueQuoting, UnknownDriverGetsOnlyValuesWithoutSyntax) {
  EXPECT_EQ(QuoteOdbcValue("pa ss-w.rd!", OdbcQuoting::kUnknown), "pa ss-w.rd!");
  for (const char* value : {"x;LoadExt=/tmp/evil.so;", "a;b", "a=b", "{a", "a}", "{a}", " lead",
                            "trail ", "a\nb", "a\rb", "a\x7F"}) {
    EXPECT_EQ(QuoteOdbcValue(value, OdbcQuoting::kUnknown), std::nullopt) << value;
  }
}

// Whatever is carried comes back as exactly the one value under the driver's own reading; for an
// unknown driver under both readings.
TEST(OdbcValueQuoting, EveryCarriedValueReadsBackAsOneValue) {
  for (auto rule : {OdbcQuoting::kStandard, OdbcQuoting::kFreeTds, OdbcQuoting::kUnknown}) {
    std::vector<OdbcQuoting> readings = {rule};
    if (rule == OdbcQuoting::kUnknown) readings = {OdbcQuoting::kStandard, OdbcQuoting::kFreeTds};
    for (const std::string& value : kAwkwardValues) {
      std::optional<std::string> quoted = QuoteOdbcValue(value, rule);
      if (!quoted) continue;
      std::string text = "Driver={X};PWD=" + *quoted + ";UID=u;";
      for (auto reading : readings) {
        Attributes expected = {{"Driver", "X"}, {"PWD", value}, {"UID", "u"}};
        EXPECT_EQ(ParseOdbcConnectionString(text, reading), expected)
            << "value [" << value << "] as " << text;
      }
    }
  }
}

TEST(OdbcValueQuoting, AttributeRaisesForAValueTheDriverCannotCarry) {
  EXPECT_EQ(OdbcAttribute("PWD", "a;b", OdbcQuoting::kFreeTds), "PWD={a;b};");
  EXPECT_THROW(OdbcAttribute("PWD", "a};b", OdbcQuoting::kFreeTds), DbError);
}

TEST(OdbcDriverRule, OnlyKnownDriversGetARule) {
  const std::pair<const char*, OdbcQuoting> kDrivers[] = {
      {"FreeTDS", OdbcQuoting::kFreeTds},
      {"{FreeTDS}", OdbcQuoting::kFreeTds},
      {"/usr/lib/x86_64-linux-gnu/odbc/libtdsodbc.so", OdbcQuoting::kFreeTds},
      {"ODBC Driver 18 for SQL Server", OdbcQuoting::kStandard},
      {"{ODBC Driver 17 for SQL Server}", OdbcQuoting::kStandard},
      {"SQL Server", OdbcQuoting::kStandard},
      {"SQL Server Native Client 11.0", OdbcQuoting::kStandard},
      {"/opt/microsoft/msodbcsql18/lib64/libmsodbcsql-18.3.so.2.1", OdbcQuoting::kStandard},
      {"C:\\Windows\\system32\\sqlsrv32.dll", OdbcQuoting::kStandard},
      {"SQLite3", OdbcQuoting::kUnknown},
      {"/usr/lib/x86_64-linux-gnu/odbc/libsqlite3odbc.so", OdbcQuoting::kUnknown},
      {"PostgreSQL Unicode", OdbcQuoting::kUnknown},
      {"SQL Server Lookalike", OdbcQuoting::kUnknown},
      {"", OdbcQuoting::kUnknown},
  };
  for (const auto& [driver, rule] : kDrivers) EXPECT_EQ(QuotingForDriver(driver), rule) << driver;
}

TEST(OdbcConnectionStringParse, ReadsKeysValuesAndBracedValues) {
  Attributes expected = {{"DSN", "x"}, {"Database", "a;b"}, {"PWD", ""}, {"Timeout", "5"}};
  EXPECT_EQ(
      ParseOdbcConnectionString("DSN=x; Database={a;b};PWD=;Timeout = 5", OdbcQuoting::kStandard),
      expected);
  EXPECT_EQ(OdbcAttributeValue("driver={SQLite3};Database=/tmp/x.db", "DRIVER"), "SQLite3");
  EXPECT_EQ(OdbcAttributeValue("DSN=x", "Driver"), std::nullopt);
  EXPECT_THROW(ParseOdbcConnectionString("PWD={open", OdbcQuoting::kStandard), DbError);
}

TEST(OdbcSqlServerConnectionString, NamesFreeTdsTheCatalogAndTheCodePage) {
  EXPECT_EQ(SqlServerConnectionString("db01,1433", "emr", "secret", "UTF-8"),
            "Driver={FreeTDS};Server=db01,1433;Database=KLINODB;UID=emr;PWD=secret;"
            "ClientCharset=UTF-8;");
  EXPECT_EQ(SqlServerConnectionString("db01", "", "", "GB18030"),
            "Driver={FreeTDS};Server=db01;Database=KLINODB;UID=;PWD=;ClientCharset=GB18030;");
}

TEST(OdbcSqlServerConnectionString, QuotesAwkwardArgumentsAndRefusesWhatFreeTdsCannotCarry) {
  std::string text = SqlServerConnectionString("db01", "a;UID=sa", "p;w=d}x", "UTF-8");
  Attributes expected = {{"Driver", "FreeTDS"}, {"Server", "db01"}, {"Database", "KLINODB"},
                         {"UID", "a;UID=sa"},   {"PWD", "p;w=d}x"}, {"ClientCharset", "UTF-8"}};
  EXPECT_EQ(ParseOdbcConnectionString(text, OdbcQuoting::kFreeTds), expected);
  EXPECT_THROW(SqlServerConnectionString("db01", "sa", "x};Server=evil", "UTF-8"), DbError);
  EXPECT_THROW(SqlServerConnectionString("db01};Database=master", "sa", "", "UTF-8"), DbError);
}

TEST(OdbcDataSourceConnectionString, AppendsLoginAndPasswordQuotedForTheDriver) {
  EXPECT_EQ(DataSourceConnectionString("DSN=emr", "u", "p;x", OdbcQuoting::kStandard),
            "DSN=emr;UID=u;PWD={p;x};");
  EXPECT_EQ(DataSourceConnectionString("Driver=X;", "u", "a}b", OdbcQuoting::kStandard),
            "Driver=X;UID=u;PWD={a}}b};");
  EXPECT_EQ(DataSourceConnectionString("DSN=emr", "u", "p", OdbcQuoting::kUnknown),
            "DSN=emr;UID=u;PWD=p;");
  EXPECT_THROW(DataSourceConnectionString("DSN=emr", "u", "a;b", OdbcQuoting::kUnknown), DbError);
  EXPECT_THROW(DataSourceConnectionString("DSN=emr", "a=b", "p", OdbcQuoting::kUnknown), DbError);
  // A braced value the caller left open would swallow the login and password.
  EXPECT_THROW(DataSourceConnectionString("Driver=X;Database={x", "u", "p", OdbcQuoting::kStandard),
               DbError);
}

}  // namespace
}  // namespace wardlink::testing
