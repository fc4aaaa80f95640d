// The query and connection over the embedded database: binding, column reads, NULLs, texts in the
// host's code page, transactions.
#include <gtest/gtest.h>
#include <sqlite3.h>

#include <cstdlib>
#include <optional>

#include "db/code_page.h"
#include "db/connection.h"
#include "db/db_error.h"
#include "db/query.h"
#include "tests/test_support.h"

namespace wardlink::testing {
namespace {

class DbQueryTest : public ::testing::Test {
 protected:
  void SetUp() override { ASSERT_TRUE(connection_.Connect()); }

  TrialDatabase db_;
  DbConnection connection_{{db_.server(), "", ""}};
  DbQuery query_{connection_};
};

TEST_F(DbQueryTest, BindsEveryKindAndReadsColumnsByNameWithoutRegardToCase) {
  query_.SetStatement(
      "Insert Into Emr_Doc_Emr_Event (ZhuYuanNo,SequenceNumber,EventCode,EventDate,Memo) "
      "values(:ZhuYuanNo,:Seq,:Code,:EventDate,:Memo)");
  query_.BindText("zhuyuanno", "Z'1");
  query_.BindInteger("Seq", -7);
  query_.BindText("Code", "RuYuan");
  query_.BindDateTime("EventDate", DateTime{2008, 1, 15, 10, 30, 5, 123});
  query_.BindText("Memo", "");
  query_.RunCommand();
  EXPECT_EQ(db_.Rows("SELECT ZhuYuanNo, SequenceNumber, EventDate, Memo IS NULL FROM "
                     "Emr_Doc_Emr_Event"),
            (std::vector<std::vector<std::string>>{{"Z'1", "-7", "2008-01-15 10:30:05.123", "0"}}));

  query_.SetStatement("Select * from EMR_DOC_EMR_EVENT Where ZHUYUANNO='z''1'");
  query_.RunQuery();
  ASSERT_FALSE(query_.HasNoRows());
  EXPECT_EQ(query_.ColumnText("zhuyuanno"), "Z'1");
  EXPECT_EQ(query_.ColumnInteger("SEQUENCENUMBER"), -7);
  EXPECT_EQ(query_.ColumnText("SequenceNumber"), "-7");
  EXPECT_EQ(query_.ColumnDateTime("eventdate"), (DateTime{2008, 1, 15, 10, 30, 5, 123}));
  EXPECT_THROW(query_.ColumnText("NoSuchColumn"), DbError);
}

TEST_F(DbQueryTest, NullReadsAsEmptyZeroAndTheZeroDate) {
  db_.Exec("INSERT INTO Emr_Doc_Emr_Event VALUES (NULL, NULL, NULL, NULL, NULL)");
  query_.SetStatement("Select * from Emr_Doc_Emr_Event");
  query_.RunQuery();
  EXPECT_EQ(query_.ColumnText("ZhuYuanNo"), "");
  EXPECT_EQ(query_.ColumnInteger("SequenceNumber"), 0);
  EXPECT_EQ(query_.ColumnDateTime("EventDate"), (DateTime{1899, 12, 30, 0, 0, 0, 0}));
  query_.SetStatement("Select Max(SequenceNumber) from Emr_Doc_Emr_Event Where ZhuYuanNo='none'");
  query_.RunQuery();
  EXPECT_EQ(query_.FirstColumnInteger(), 0);
}

TEST_F(DbQueryTest, RowNavigation) {
  db_.Exec("INSERT INTO Emr_Unit (ID) VALUES (1), (2), (3)");
  query_.SetStatement("Select ID from Emr_Unit Where ID>1");
  query_.RunQuery();
  std::vector<int> ids;
  for (query_.GoFirst(); !query_.AtEnd(); query_.GoNext())
    ids.push_back(query_.ColumnInteger("ID"));
  EXPECT_EQ(ids, (std::vector<int>{2, 3}));
  EXPECT_THROW(query_.ColumnInteger("ID"), DbError) << "no current row past the end";
  query_.SetStatement("Select ID from Emr_Unit Where ID>5");
  query_.RunQuery();
  EXPECT_TRUE(query_.HasNoRows());
  EXPECT_TRUE(query_.AtEnd());
}

TEST_F(DbQueryTest, ParameterMistakesRaise) {
  query_.SetStatement("Select ID from Emr_Unit Where ID=:ID or ID=:ID");
  EXPECT_THROW(query_.BindInteger("Other", 1), DbError);
  EXPECT_THROW(query_.RunQuery(), DbError) << "a parameter without a value";
  query_.BindInteger("id", 4);  // binds both markers
  EXPECT_NO_THROW(query_.RunQuery());
  EXPECT_THROW(query_.BindDateTime("ID", DateTime{2008, 2, 30}), DbError);
}

// A failure carries the database's code beside its words: here SQLite's extended result code.
TEST_F(DbQueryTest, FailuresCarryTheDatabasesCode) {
  if (TestBackendIsOdbc()) GTEST_SKIP() << "the ODBC codes are SQLSTATEs (odbc_backend_test)";
  DbQuery& query = query_;
  const std::string insert =
      "Insert Into Emr_Unit (ID, UnitTypeID, UnitName, Memo) Values (5, 1, 'a', '')";
  query.SetStatement(insert);
  query.RunCommand();
  query.SetStatement(insert);
  try {
    query.RunCommand();
    FAIL() << "no error";
  } catch (const DbError& error) {
    EXPECT_EQ(error.codes().resultCode, SQLITE_CONSTRAINT_UNIQUE) << error.what();
  }
}

TEST_F(DbQueryTest, OneStatementPerText) {
  query_.SetStatement("Delete Emr_Unit Where ID=1; Drop Table Emr_User");
  EXPECT_THROW(query_.RunCommand(), DbError);
  EXPECT_EQ(db_.Count("Emr_User"), 0);  // still there
}

TEST_F(DbQueryTest, StatementLinesAreJoined) {
  query_.ClearStatement();
  query_.AppendStatementLine("delete from Emr_Unit where ID=:ID");
  EXPECT_EQ(query_.statement(), "delete from Emr_Unit where ID=:ID");
  query_.AppendStatementLine("or ID=:ID");
  EXPECT_EQ(query_.statement(), "delete from Emr_Unit where ID=:ID\nor ID=:ID");
}

TEST_F(DbQueryTest, IntegerReadsRefuseWhatIsNoInteger) {
  db_.Exec("INSERT INTO Emr_User (UserID, Pwd) VALUES (' 42 ', 'abc')");
  query_.SetStatement("Select UserID, Pwd from Emr_User");
  query_.RunQuery();
  EXPECT_EQ(query_.ColumnInteger("UserID"), 42) << "padding of fixed-width columns is ignored";
  EXPECT_THROW(query_.ColumnInteger("Pwd"), DbError);
}

TEST_F(DbQueryTest, TransactionRollsBackUnlessCommitted) {
  {
    Transaction transaction(connection_);
    query_.SetStatement("Insert Into Emr_Unit(ID) Values(1)");
    query_.RunCommand();
  }
  EXPECT_EQ(db_.Count("Emr_Unit"), 0);
  {
    Transaction transaction(connection_);
    query_.SetStatement("Insert Into Emr_Unit(ID) Values(2)");
    query_.RunCommand();
    transaction.Commit();
  }
  EXPECT_EQ(db_.Count("Emr_Unit"), 1);
}

TEST(CodePage, ComesFromTheEnvironmentsLocale) {
  {
    ScopedEnvironment all("LC_ALL", "C");
    EXPECT_EQ(EnvironmentCodeset(), "UTF-8");
  }
  {
    ScopedEnvironment all("LC_ALL", "");
    ScopedEnvironment ctype("LC_CTYPE", "POSIX");
    EXPECT_EQ(EnvironmentCodeset(), "UTF-8");
  }
  ScopedEnvironment all("LC_ALL", "zh_CN.GB18030");
  EXPECT_EQ(EnvironmentCodeset(), "GB18030");
}

TEST(CodePage, ConvertsBothWaysAndShowsWhatCannotBeShownAsQuestionMarks) {
  TextConverter latin1("ISO-8859-1");
  EXPECT_EQ(latin1.ToUtf8("caf\xE9"), "caf\xC3\xA9");
  EXPECT_EQ(latin1.FromUtf8("caf\xC3\xA9"), "caf\xE9");
  EXPECT_EQ(latin1.FromUtf8("a\xE4\xB8\xAD"
                            "b"),
            "a?b");  // a CJK character has no Latin-1 form
  TextConverter utf8("UTF-8");
  EXPECT_EQ(utf8.ToUtf8("\xE4\xB8\xAD"), "\xE4\xB8\xAD");
}

// One "?" for each invalid sequence, and nothing valid lost after it, in every code page.
struct InvalidBytesCase {
  const char* codeset;
  bool toUtf8;  // host text to the database, or the database's text back to the host
  std::string in;
  std::string out;
};

TEST(CodePage, InvalidSequencesBecomeOneQuestionMarkAndReadingResumes) {
  const InvalidBytesCase kCases[] = {
      {"UTF-8", true,
       "Surg\xE0"
       "ery",
       "Surg?ery"},
      {"UTF-8", true,
       "a\xE4\xB8"
       "b",
       "a?b"},  // cut short
      {"UTF-8", true,
       "\xC0\xAF"
       "x",
       "?x"},  // overlong
      {"UTF-8", true,
       "\xED\xA0\x80"
       "x",
       "?x"},  // surrogate
      {"UTF-8", true,
       "\xF4\x90\x80\x80"
       "x",
       "?x"},  // above U+10FFFF
      {"UTF-8", false, "\x80\x80ok\xFF", "?ok?"},
      {"UTF-8", true, "\xE4\xB8\xAD\xF0\x9F\x98\x80", "\xE4\xB8\xAD\xF0\x9F\x98\x80"},
      {"GBK", false,
       "\xE0"
       "AB-Wang",
       "?AB-Wang"},
      {"GBK", false,
       "\xE4\xB8\xAD\xE4\xB8"
       "A",
       "\xD6\xD0?A"},
      {"GBK", true, "\x81 x", "? x"},
      {"GB18030", true,
       "\x81\x30"
       "A",
       "?0A"},
      {"BIG5", true, "\xFF\x2D", "?-"},
      {"BIG5", false, "\xFF\x2D", "?-"},
      {"SHIFT_JIS", true,
       "\xA0"
       "A",
       "?A"},
      {"EUC-JP", true, "\x8E x", "? x"},
      {"CP1252", true, "\x81x", "?x"},
      {"ISO-8859-1", false, "caf\xE9!", "caf?!"},
  };
  for (const auto& c : kCases) {
    TextConverter converter(c.codeset);
    EXPECT_EQ(c.toUtf8 ? converter.ToUtf8(c.in) : converter.FromUtf8(c.in), c.out)
        << c.codeset << (c.toUtf8 ? " to UTF-8: " : " from UTF-8: ") << c.in;
  }
}

TEST(CodePage, TheCLocaleStoresOnlyValidText) {
  ScopedEnvironment all("LC_ALL", "C");
  TrialDatabase db;
  DbConnection connection({db.server(), "", ""});
  ASSERT_TRUE(connection.Connect());
  DbQuery query(connection);
  query.SetStatement(
      "Insert Into Emr_Unit(ID,UnitName) Values(1,'Surg\xE0"
      "ery')");
  query.RunCommand();
  EXPECT_EQ(db.Scalar("SELECT hex(UnitName) FROM Emr_Unit"), "537572673F657279");
}

TEST(CodePage, TextIsStoredAsUtf8AndReadBackInTheHostsCodePage) {
  ScopedEnvironment all("LC_ALL", "zh_CN.GB18030");
  TrialDatabase db;
  const char* kGb18030 = "\xD6\xD0\xCE\xC4";  // two CJK characters in GB18030
  const char* kUtf8 = "\xE4\xB8\xAD\xE6\x96\x87";
  DbConnection connection({db.server(), "", ""});
  ASSERT_TRUE(connection.Connect());
  DbQuery query(connection);
  query.SetStatement(std::string("Insert Into Emr_Unit(ID,UnitName) Values(1,'") + kGb18030 + "')");
  query.RunCommand();
  EXPECT_EQ(db.Scalar("SELECT UnitName FROM Emr_Unit"), kUtf8);
  query.SetStatement(std::string("Select UnitName from Emr_Unit Where UnitName='") + kGb18030 +
                     "'");
  query.RunQuery();
  ASSERT_FALSE(query.HasNoRows());
  EXPECT_EQ(query.ColumnText("UnitName"), kGb18030);
}

}  // namespace
}  // namespace wardlink::testing
