#include "shared/patient_checks.h"

#include <gtest/gtest.h>

#include "db/connection.h"
#include "db/query.h"
#include "tests/test_support.h"

namespace wardlink::testing {
namespace {

// One connection and query on a fresh trial database, as an export's body has them.
class PatientChecks : public ::testing::Test {
 protected:
  PatientChecks() : connection_({db_.server(), "", ""}), query_(connection_) {}
  void SetUp() override { ASSERT_TRUE(connection_.Connect()); }

  int32_t Check(const std::string& zhuYuanNo) { return CheckArchive(zhuYuanNo, query_); }

  TrialDatabase db_;
  DbConnection connection_;
  DbQuery query_;
};

TEST_F(PatientChecks, ArchiveCheckReadsTheIndexRowOnly) {
  db_.Exec("INSERT INTO Emr_Doc_Emr_Info (ZhuYuanNo) VALUES ('RECORD-ONLY')");
  db_.Exec("INSERT INTO Emr_Doc_Emr_InfoList (ZhuYuanNo) VALUES ('DEFAULTED')");
  db_.Exec("INSERT INTO Emr_Doc_Emr_InfoList (ZhuYuanNo, GuiDangND) VALUES ('NULL-YEAR', NULL)");
  db_.Exec("INSERT INTO Emr_Doc_Emr_InfoList (ZhuYuanNo, GuiDangND) VALUES ('ZERO', 0)");
  db_.Exec("INSERT INTO Emr_Doc_Emr_InfoList (ZhuYuanNo, GuiDangND) VALUES ('Y2015', 2015)");
  db_.Exec("INSERT INTO Emr_Doc_Emr_InfoList (ZhuYuanNo, GuiDangND) VALUES ('NEGATIVE', -1)");
  db_.Exec("INSERT INTO Emr_Doc_Emr_InfoList (ZhuYuanNo, GuiDangND) VALUES ('O''Hara', 0)");
  db_.Exec("INSERT INTO Emr_Doc_Emr_InfoList (ZhuYuanNo, GuiDangND) VALUES (' PAD ', 2015)");

  EXPECT_EQ(Check("RECORD-ONLY"), kStayUnknown);
  EXPECT_EQ(Check("NOBODY"), kStayUnknown);
  EXPECT_EQ(Check("DEFAULTED"), kStayLive);
  EXPECT_EQ(Check("NULL-YEAR"), kStayLive);
  EXPECT_EQ(Check("ZERO"), kStayLive);
  EXPECT_EQ(Check("Y2015"), kStayArchived);
  EXPECT_EQ(Check("NEGATIVE"), kStayArchived);
  EXPECT_EQ(Check("O'Hara"), kStayLive);
  EXPECT_EQ(Check("PAD"), kStayUnknown);  // the number is not trimmed
  EXPECT_EQ(Check(" PAD "), kStayArchived);
}

TEST_F(PatientChecks, ArchiveCheckSendsItsStatementAndLeavesTheResultOpen) {
  db_.Exec("INSERT INTO Emr_Doc_Emr_InfoList (ZhuYuanNo, GuiDangND) VALUES ('A''1', 7)");
  StatementLog log;
  EXPECT_EQ(Check("A'1"), kStayArchived);
  ASSERT_EQ(log.texts().size(), 1u);
  EXPECT_EQ(log.texts()[0], "Select GuiDangND from EMR_DOC_EMR_INFOLIST Where ZhuYuanNo='A''1'");
  EXPECT_FALSE(query_.AtEnd());
  EXPECT_EQ(query_.ColumnInteger("GuiDangND"), 7);
}

TEST_F(PatientChecks, ArchiveCheckPassesDatabaseErrorsOn) {
  db_.Exec("DROP TABLE Emr_Doc_Emr_InfoList");
  EXPECT_ANY_THROW(Check("A1"));
}

TEST_F(PatientChecks, DefaultDateFormatIsTrimmedAndNeedsBothDefaults) {
  db_.Exec(
      "UPDATE EMR_FORMATDATE SET FormatDateTime_Show = char(9) || ' dd.MM.yyyy ' || char(10), "
      "FormatDateTime_Input = '  in put  '");
  StatementLog log;
  auto format = GetDefaultDateFormat(query_);
  ASSERT_TRUE(format.has_value());
  EXPECT_EQ(format->show, "dd.MM.yyyy");
  EXPECT_EQ(format->input, "in put");
  ASSERT_EQ(log.texts().size(), 1u);
  EXPECT_EQ(log.texts()[0],
            "Select FormatDateTime_Show,FormatDateTime_Input from dbo.EMR_FORMATDATETYPE "
            "a,dbo.EMR_FORMATDATE b Where a.ID=b.FormatDateTypeID and a.UserDefault=1 and "
            "b.UserDefault=1 ");

  // A default format row whose type is not the default one does not count, nor the reverse.
  db_.Exec("UPDATE EMR_FORMATDATETYPE SET UserDefault = 0");
  EXPECT_FALSE(GetDefaultDateFormat(query_).has_value());
  db_.Exec("UPDATE EMR_FORMATDATETYPE SET UserDefault = 1");
  db_.Exec("UPDATE EMR_FORMATDATE SET UserDefault = 0");
  EXPECT_FALSE(GetDefaultDateFormat(query_).has_value());
  db_.Exec(
      "INSERT INTO EMR_FORMATDATE (FormatDateTypeID, UserDefault, FormatDateTime_Show, "
      "FormatDateTime_Input) VALUES (1, 1, 'yy', 'second')");
  ASSERT_TRUE(GetDefaultDateFormat(query_).has_value());
  EXPECT_EQ(GetDefaultDateFormat(query_)->input, "second");
}

}  // namespace
}  // namespace wardlink::testing
