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

// Both brace-reading rules brace a value with syntax; a "}" is never sent, since the driver
// manager and FreeTDS read it differently.
TEST(OdbcValueQuoting, BraceRulesBraceSyntaxAndRefuseAnyClosingBrace) {
  for (auto rule : {OdbcQuoting::kStandard, OdbcQuoting::kFreeTds}) {
    EXPECT_EQ(QuoteOdbcValue("a;b=c", rule), "{a;b=c}");
    EXPECT_EQ(QuoteOdbcValue(" lead", rule), "{ lead}");
    EXPECT_EQ(QuoteOdbcValue("{a", rule), "{{a}");
    for (const char* value : {"a}b", "a}", "}", "x};Server=evil", "x}Driver=/tmp/evil.so;"})
      EXPECT_EQ(QuoteOdbcValue(value, rule), std::nullopt) << value;
  }
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

// Whatever is carried comes back from the driver manager as exactly the one value.
TEST(OdbcValueQuoting, EveryCarriedValueReadsBackAsOneValue) {
  for (auto rule : {OdbcQuoting::kStandard, OdbcQuoting::kFreeTds, OdbcQuoting::kUnknown}) {
    for (const std::string& value : kAwkwardValues) {
      std::optional<std::string> quoted = QuoteOdbcValue(value, rule);
      if (!quoted) continue;
      std::string text = "Driver={X};PWD=" + *quoted + ";UID=u;";
      Attributes expected = {{"Driver", "X"}, {"PWD", value}, {"UID", "u"}};
      EXPECT_EQ(ParseOdbcConnectionString(text), expected) << "value [" << value << "] as " << text;
    }
  }
}

TEST(OdbcValueQuoting, AppendingRaisesForAValueTheDriverCannotCarry) {
  EXPECT_EQ(AppendOdbcAttributes("", {{"PWD", "a;b"}}, OdbcQuoting::kFreeTds), "PWD={a;b};");
  EXPECT_THROW(AppendOdbcAttributes("", {{"PWD", "a}b"}}, OdbcQuoting::kFreeTds), DbError);
}

// The family comes from the library's file name alone: not from a registered name, and not from
// the folders on the way to the file.
TEST(OdbcDriverRule, OnlyKnownLibrariesGetARule) {
  const std::pair<const char*, OdbcFamily> kLibraries[] = {
      {"/usr/lib/x86_64-linux-gnu/odbc/libtdsodbc.so", OdbcFamily::kFreeTds},
      {"libtdsodbc.so.0", OdbcFamily::kFreeTds},
      {"/opt/microsoft/msodbcsql18/lib64/libmsodbcsql-18.3.so.2.1", OdbcFamily::kMicrosoft},
      {"C:\\Windows\\system32\\SQLSRV32.dll", OdbcFamily::kMicrosoft},
      {"/usr/lib/x86_64-linux-gnu/odbc/libsqlite3odbc.so", OdbcFamily::kSqlite},
      {"/etc/freetds/../../usr/lib/x86_64-linux-gnu/odbc/libsqlite3odbc.so", OdbcFamily::kSqlite},
      {"/opt/freetds/libevil.so", OdbcFamily::kOther},
      {"/usr/lib/libtdsodbc.so.evil/libsqlite3odbc.so", OdbcFamily::kSqlite},
      {"libtdsodbc.sox", OdbcFamily::kOther},
      {"FreeTDS", OdbcFamily::kOther},
      {"ODBC Driver 18 for SQL Server", OdbcFamily::kOther},
      {"SQL Server", OdbcFamily::kOther},
      {"", OdbcFamily::kOther},
  };
  for (const auto& [library, family] : kLibraries)
    EXPECT_EQ(FamilyOfLibrary(library), family) << library;
  EXPECT_EQ(QuotingFor(OdbcFamily::kFreeTds), OdbcQuoting::kFreeTds);
  EXPECT_EQ(QuotingFor(OdbcFamily::kMicrosoft), OdbcQuoting::kStandard);
  EXPECT_EQ(QuotingFor(OdbcFamily::kSqlite), OdbcQuoting::kUnknown);
  EXPECT_EQ(QuotingFor(OdbcFamily::kOther), OdbcQuoting::kUnknown);
}

TEST(OdbcConnectionStringParse, ReadsAsTheDriverManagerDoes) {
  const std::pair<const char*, Attributes> kCases[] = {
      {"DSN=x; Database={a;b};PWD=;Timeout = 5",
       {{"DSN", "x"}, {"Database", "a;b"}, {"PWD", ""}, {"Timeout ", " 5"}}},
      {"PWD={x}}y};UID=u", {{"PWD", "x}y"}, {"UID", "u"}}},
      // A lone "}" ends the value, and what follows is read as attributes.
      {"PWD={x}Driver=/tmp/evil.so;}", {{"PWD", "x"}, {"Driver", "/tmp/evil.so"}}},
      // A key runs to the next "=", across ";"; a last key without one is not read.
      {"Driver=X;Foo;UID=u;Bar", {{"Driver", "X"}, {"Foo;UID", "u"}}},
  };
  for (const auto& [text, expected] : kCases)
    EXPECT_EQ(ParseOdbcConnectionString(text), expected) << text;
  EXPECT_THROW(ParseOdbcConnectionString("PWD={open"), DbError);

  // Later values replace earlier ones; the first of DSN and Driver hides the other.
  EXPECT_EQ(DriverManagerAttributes("DSN=a;Driver=b;dsn=c;UID=u;uid=v"),
            (Attributes{{"DSN", "c"}, {"UID", "v"}}));
  EXPECT_EQ(OdbcAttributeValue("driver={SQLite3};Database=/tmp/x.db;DRIVER=Y", "Driver"), "Y");
  EXPECT_EQ(OdbcAttributeValue("Driver=X;DSN=y", "DSN"), std::nullopt);
  EXPECT_EQ(OdbcAttributeValue("DSN=x", "Driver"), std::nullopt);
}

TEST(OdbcSqlServerConnectionString, NamesFreeTdsTheCatalogAndTheCodePage) {
  EXPECT_EQ(SqlServerConnectionString("db01,1433", "emr", "secret", "UTF-8", OdbcQuoting::kFreeTds),
            "Driver={FreeTDS};Server=db01,1433;Database=KLINODB;UID=emr;PWD=secret;"
            "ClientCharset=UTF-8;");
  EXPECT_EQ(SqlServerConnectionString("db01", "", "", "GB18030", OdbcQuoting::kFreeTds),
            "Driver={FreeTDS};Server=db01;Database=KLINODB;UID=;PWD=;ClientCharset=GB18030;");
}

TEST(OdbcSqlServerConnectionString, QuotesAwkwardArgumentsAndRefusesAnyClosingBrace) {
  std::string text =
      SqlServerConnectionString("db01", "a;UID=sa", "p;w={d", "UTF-8", OdbcQuoting::kFreeTds);
  Attributes expected = {{"Driver", "FreeTDS"}, {"Server", "db01"}, {"Database", "KLINODB"},
                         {"UID", "a;UID=sa"},   {"PWD", "p;w={d"},  {"ClientCharset", "UTF-8"}};
  EXPECT_EQ(ParseOdbcConnectionString(text), expected);
  EXPECT_THROW(SqlServerConnectionString("db01", "sa", "x}Driver=/tmp/evil.so;", "UTF-8",
                                         OdbcQuoting::kFreeTds),
               DbError);
  EXPECT_THROW(SqlServerConnectionString("db01", "x}SAVEFILE=/tmp/saved;", "", "UTF-8",
                                         OdbcQuoting::kFreeTds),
               DbError);
  EXPECT_THROW(SqlServerConnectionString("db01}Driver=/tmp/evil.so;", "sa", "", "UTF-8",
                                         OdbcQuoting::kFreeTds),
               DbError);
}

TEST(OdbcDataSourceConnectionString, AppendsLoginAndPasswordQuotedForTheDriver) {
  EXPECT_EQ(DataSourceConnectionString("DSN=emr", "u", "p;x", OdbcQuoting::kStandard),
            "DSN=emr;UID=u;PWD={p;x};");
  EXPECT_EQ(DataSourceConnectionString("DSN=emr", "u", "p", OdbcQuoting::kUnknown),
            "DSN=emr;UID=u;PWD=p;");
  EXPECT_THROW(DataSourceConnectionString("Driver=X;", "u", "a}b", OdbcQuoting::kStandard),
               DbError);
  EXPECT_THROW(DataSourceConnectionString("DSN=emr", "u", "a;b", OdbcQuoting::kUnknown), DbError);
  EXPECT_THROW(DataSourceConnectionString("DSN=emr", "a=b", "p", OdbcQuoting::kUnknown), DbError);
  // The caller's part must not swallow the login and password: a braced value left open, or a
  // last key without "=".
  for (const char* given : {"Driver=X;Database={x", "Driver=X;Foo"})
    EXPECT_THROW(DataSourceConnectionString(given, "u", "p", OdbcQuoting::kStandard), DbError)
        << given;
}

}  // namespace
}  // namespace wardlink::testing
