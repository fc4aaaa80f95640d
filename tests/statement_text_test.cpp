// Statement texts: quoted literals, named parameters and the SQLite rewrites.
#include "db/statement_text.h"

#include <gtest/gtest.h>

namespace wardlink {
namespace {

using Names = std::vector<std::string>;

ParsedStatement Parsed(std::string_view text) { return ParseStatement(text, Dialect::kSqlServer); }
std::string ForSqlite(std::string_view text) { return ParseStatement(text, Dialect::kSqlite).text; }

TEST(QuotedLiteral, DoublesQuotesAndWraps) {
  EXPECT_EQ(QuotedLiteral(""), "''");
  EXPECT_EQ(QuotedLiteral("O'Neil"), "'O''Neil'");
  EXPECT_EQ(QuotedLiteral("''"), "''''''");
  EXPECT_EQ(QuotedLiteral(" a "), "' a '");
  EXPECT_EQ(Decimal(-5), "-5");
  EXPECT_EQ(Decimal(-2147483647 - 1), "-2147483648");
}

TEST(NamedParameters, ANameEndsAtEachDelimiter) {
  auto parsed = Parsed("a=:One b=:Two\nc=:Three\r\nd=:Four,:Five;:Six):Seven\t:Eight");
  EXPECT_EQ(parsed.parameters,
            (Names{"One", "Two", "Three", "Four", "Five", "Six", "Seven", "Eight"}));
  EXPECT_EQ(parsed.text, "a=? b=?\nc=?\r\nd=?,?;?)?\t?");
}

TEST(NamedParameters, OtherCharactersBelongToTheName) {
  // Only the listed delimiters end a name: an equals sign or a dot does not.
  auto parsed = Parsed("x=:a.b=c where y=:P1");
  EXPECT_EQ(parsed.parameters, (Names{"a.b=c", "P1"}));
}

TEST(NamedParameters, ColonsInsideLiteralsArePlainText) {
  auto parsed =
      Parsed("Insert Into T values('a:b','it''s :not',:Yes) Where t='12:30' and u=:No2 and v=':");
  EXPECT_EQ(parsed.parameters, (Names{"Yes", "No2"}));
  EXPECT_EQ(parsed.text,
            "Insert Into T values('a:b','it''s :not',?) Where t='12:30' and u=? and v=':");
}

TEST(NamedParameters, ANameUsedTwiceIsTwoMarkers) {
  auto parsed = Parsed("Where a=:Z or b=:Z");
  EXPECT_EQ(parsed.parameters, (Names{"Z", "Z"}));
  EXPECT_EQ(parsed.text, "Where a=? or b=?");
}

TEST(NamedParameters, ALoneColonIsPlainText) {
  auto parsed = Parsed("a : b :, :)");
  EXPECT_TRUE(parsed.parameters.empty());
  EXPECT_EQ(parsed.text, "a : b :, :)");
}

TEST(NamedParameters, TheTextIsUnchangedForSqlServer) {
  EXPECT_EQ(Parsed("Delete dbo.Emr_Unit Where ID=3").text, "Delete dbo.Emr_Unit Where ID=3");
}

TEST(SqliteRewrite, DeleteGainsFromAndDboIsDropped) {
  EXPECT_EQ(ForSqlite("Delete Emr_Unit Where ID=3"), "Delete From Emr_Unit Where ID=3");
  EXPECT_EQ(ForSqlite("delete from Emr_Doc_Emr where ZhuYuanNo=?"),
            "delete from Emr_Doc_Emr where ZhuYuanNo=?");
  EXPECT_EQ(ForSqlite("Delete from Emr_User Where UserID='a'"),
            "Delete from Emr_User Where UserID='a'");
  EXPECT_EQ(ForSqlite("Select x from dbo.EMR_FORMATDATETYPE a,dbo.EMR_FORMATDATE b"),
            "Select x from EMR_FORMATDATETYPE a,EMR_FORMATDATE b");
}

TEST(SqliteRewrite, LiteralsAndLongerWordsAreLeftAlone) {
  EXPECT_EQ(ForSqlite("Insert Into T Values('Delete me Where','dbo.x')"),
            "Insert Into T Values('Delete me Where','dbo.x')");
  EXPECT_EQ(ForSqlite("Update T Set Deleted=1, turbo.x=2 Where IsDelete=0"),
            "Update T Set Deleted=1, turbo.x=2 Where IsDelete=0");
  EXPECT_EQ(ForSqlite("Delete Emr_ZhiYe Where ID=1 and N='Delete X'"),
            "Delete From Emr_ZhiYe Where ID=1 and N='Delete X'");
}

// Where a word begins and ends, and how parameters and the rewrites meet in the one reading.
TEST(SqliteRewrite, WordBoundariesAndParameters) {
  struct Case {
    const char* text;
    const char* sqlite;
    Names parameters;
  };
  const Case kCases[] = {
      {"DELETE\tT", "DELETE From\tT", {}},
      {"Delete\r\n FROM T", "Delete\r\n FROM T", {}},
      {"Delete Fromage", "Delete From Fromage", {}},
      {"Delete", "Delete", {}},  // nothing follows: nothing to add
      {"x_delete T", "x_delete T", {}},
      {"(Delete T)", "(Delete From T)", {}},
      {"a=:p delete T", "a=? delete From T", {"p"}},
      {"a=:dbo.x,dbo.y", "a=?,y", {"dbo.x"}},
      {"a=:Delete Where", "a=? Where", {"Delete"}},
      {"'it''s' dbo.T", "'it''s' T", {}},
      {"'open dbo.T", "'open dbo.T", {}},
  };
  for (const auto& c : kCases) {
    ParsedStatement parsed = ParseStatement(c.text, Dialect::kSqlite);
    EXPECT_EQ(parsed.text, c.sqlite) << c.text;
    EXPECT_EQ(parsed.parameters, c.parameters) << c.text;
  }
}

}  // namespace
}  // namespace wardlink
