// Statement texts: quoted literals, named parameters and the SQLite rewrites.
#include "db/statement_text.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cctype>
#include <random>

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
  auto parsed =
      ParseNamedParameters("a=:One b=:Two\nc=:Three\r\nd=:Four,:Five;:Six):Seven\t:Eight");
  EXPECT_EQ(parsed.parameters,
            (Names{"One", "Two", "Three", "Four", "Five", "Six", "Seven", "Eight"}));
  EXPECT_EQ(parsed.text, "a=? b=?\nc=?\r\nd=?,?;?)?\t?");
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

// The one pass that the query uses gives what the two steps give, on texts made of the pieces
// that matter: words to rewrite, parameters, literals, terminators and their neighbours.
TEST(SqliteRewrite, OnePassEqualsParsingThenRewriting) {
  const std::vector<std::string> pieces = {
      "delete", "DELETE ", "from", " From", "dbo.", "Dbo.x", ":",    ":p",
      ":dbo.t", ":delete", "'",    "''",    " ",    "\n",    "\t",   ",",
      ";",      ")",       "x",    "_",     "e",    "?",     "where"};
  std::mt19937 random(12);
  for (int round = 0; round < 20000; ++round) {
    std::string text;
    for (int n = std::uniform_int_distribution<int>(0, 8)(random); n > 0; --n)
      text += pieces[std::uniform_int_distribution<size_t>(0, pieces.size() - 1)(random)];
    ParsedStatement parsed = ParseNamedParameters(text);
    std::string out;
    Names names;
    ScanStatement(text, true, out, [&](size_t begin, size_t end) {
      names.emplace_back(text.substr(begin, end - begin));
    });
    ASSERT_EQ(out, RewriteForSqlite(parsed.text)) << text;
    ASSERT_EQ(names, parsed.parameters) << text;
  }
}

// The rules read one byte at a time, as written down: the scan that reads eight at a time must
// agree at every alignment, on texts long enough to cross many words.
std::string ReferenceScan(std::string_view text, Names& names) {
  auto endsName = [](char c) {
    return std::string_view(" \t\r\n,;)").find(c) != std::string_view::npos;
  };
  auto word = [](char c) { return std::isalnum(static_cast<unsigned char>(c)) || c == '_'; };
  auto wordAt = [&](size_t pos, std::string_view lower) {
    if (pos + lower.size() > text.size()) return false;
    for (size_t i = 0; i < lower.size(); ++i)
      if (std::tolower(static_cast<unsigned char>(text[pos + i])) != lower[i]) return false;
    return pos + lower.size() == text.size() || lower.back() == '.' ||
           !word(text[pos + lower.size()]);
  };
  std::string out;
  for (size_t pos = 0; pos < text.size();) {
    char c = text[pos];
    if (c == '\'') {  // to the closing quote; a doubled quote stays inside
      size_t end = pos + 1;
      while (end < text.size()) {
        if (text[end] != '\'') {
          ++end;
        } else if (end + 1 < text.size() && text[end + 1] == '\'') {
          end += 2;
        } else {
          ++end;
          break;
        }
      }
      out.append(text.substr(pos, end - pos));
      pos = end;
    } else if (c == ':' && pos + 1 < text.size() && !endsName(text[pos + 1])) {
      size_t end = pos + 1;
      while (end < text.size() && !endsName(text[end])) ++end;
      names.emplace_back(text.substr(pos + 1, end - pos - 1));
      out += '?';
      pos = end;
    } else if ((pos == 0 || !word(text[pos - 1])) && wordAt(pos, "dbo.")) {
      pos += 4;
    } else if ((pos == 0 || !word(text[pos - 1])) && wordAt(pos, "delete")) {
      out.append(text.substr(pos, 6));
      pos += 6;
      size_t next = pos;
      while (next < text.size() && std::isspace(static_cast<unsigned char>(text[next]))) ++next;
      if (next < text.size() && !wordAt(next, "from")) out += " From";
    } else {
      out += c;
      ++pos;
    }
  }
  return out;
}

TEST(SqliteRewrite, AgreesWithTheRulesReadByteByByte) {
  const std::vector<std::string> pieces = {
      "delete", "Delete ", " from", "dbo.", "Dd", "d", ":p", ":Dd", ":",     "'",
      "'':d'",  " ",       "\n",    ",",    ")",  "x", "ab", "_",   "Where", "=:Name_1"};
  std::mt19937 random(21);
  for (int round = 0; round < 5000; ++round) {
    std::string text;
    for (int n = std::uniform_int_distribution<int>(0, 40)(random); n > 0; --n)
      text += pieces[std::uniform_int_distribution<size_t>(0, pieces.size() - 1)(random)];
    Names expected, names;
    std::string out;
    ScanStatement(text, true, out, [&](size_t begin, size_t end) {
      names.emplace_back(text.substr(begin, end - begin));
    });
    ASSERT_EQ(out, ReferenceScan(text, expected)) << text;
    ASSERT_EQ(names, expected) << text;
  }
}

}  // namespace
}  // namespace wardlink
