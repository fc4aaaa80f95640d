// Statement texts: quoted literals, named parameters and the SQLite rewrites.
#include "db/statement_text.h"

#include <gtest/gtest.h>

namespace wardlink {
namespace {

using Names = std::vector<std::string>;

TEST(QuotedLiteral, DoublesQuotesAndWraps) {
  EXPECT_EQ(QuotedLiteral(""), "''");
  EXPECT_EQ(QuotedLiteral("O'Neil"), "'O''Neil'");
  EXPECT_EQ(QuotedLiteral("''"), "''''''");
  EXPECT_EQ(QuotedLiteral(" a "), "' a '");
  EXPECT_EQ(Decimal(-5), "-5");
  EXPECT_EQ(Decimal(-2147483647 - 1), "-2147483648");
}

TEST(NamedParameters, ANameEndsAtEachDelimiter) {
  auto parsed = ParseNamedParameters("a=:One b=:Two\nc=:Three\r\nd=:Four,:Five;:Six):Seven");
  EXPECT_EQ(parsed.parameters, (Names{"One", "Two", "Three", "Four", "Five", "Six", "Seven"}));
  EXPECT_EQ(parsed.text, "a=? b=?\nc=?\r\nd=?,?;?)?");
}

TEST(NamedParameters, OtherCharactersBelongToTheName) {
  // Only the listed delimiters end a name: an equals sign or a dot does not.
  auto parsed = ParseNamedParameters("x=:a.b=c where y=:P1");
  EXPECT_EQ(parsed.parameters, (Names{"a.b=c", "P1"}));
}

TEST(NamedParameters, ColonsInsideLiteralsArePlainText) {
  auto parsed = ParseNamedParameters(
      "Insert Into T values('a:b','it''s :not',:Yes) Where t='12:30' and u=:No2");
  EXPECT_EQ(parsed.parameters, (Names{"Yes", "No2"}));
  EXPECT_EQ(parsed.text, "Insert Into T values('a:b','it''s :not',?) Where t='12:30' and u=?");
}

TEST(NamedParameters, ANameUsedTwiceIsTwoMarkers) {
  auto parsed = ParseNamedParameters("Where a=:Z or b=:Z");
  EXPECT_EQ(parsed.parameters, (Names{"Z", "Z"}));
  EXPECT_EQ(parsed.text, "Where a=? or b=?");
}

TEST(NamedParameters, ALoneColonIsPlainText) {
  auto parsed = ParseNamedParameters("a : b :, :)");
  EXPECT_TRUE(parsed.parameters.empty());
  EXPECT_EQ(parsed.text, "a : b :, :)");
}

TEST(SqliteRewrite, DeleteGainsFromAndDboIsDropped) {
  EXPECT_EQ(RewriteForSqlite("Delete Emr_Unit Where ID=3"), "Delete From Emr_Unit Where ID=3");
  EXPECT_EQ(RewriteForSqlite("delete from Emr_Doc_Emr where ZhuYuanNo=?"),
            "delete from Emr_Doc_Emr where ZhuYuanNo=?");
  EXPECT_EQ(RewriteForSqlite("Delete from Emr_User Where UserID='a'"),
            "Delete from Emr_User Where UserID='a'");
  EXPECT_EQ(RewriteForSqlite("Select x from dbo.EMR_FORMATDATETYPE a,dbo.EMR_FORMATDATE b"),
            "Select x from EMR_FORMATDATETYPE a,EMR_FORMATDATE b");
}

TEST(SqliteRewrite, LiteralsAndLongerWordsAreLeftAlone) {
  EXPECT_EQ(RewriteForSqlite("Insert Into T Values('Delete me Where','dbo.x')"),
            "Insert Into T Values('Delete me Where','dbo.x')");
  EXPECT_EQ(RewriteForSqlite("Update T Set Deleted=1, turbo.x=2 Where IsDelete=0"),
            "Update T Set Deleted=1, turbo.x=2 Where IsDelete=0");
  EXPECT_EQ(RewriteForSqlite("Delete Emr_ZhiYe Where ID=1 and N='Delete X'"),
            "Delete From Emr_ZhiYe Where ID=1 and N='Delete X'");
}

}  // namespace
}  // namespace wardlink
