// Discharge: numbering of the discharge event, replacement of an earlier one, date strings,
// trimming, and stays whose numbers differ only by blanks.
#include <gtest/gtest.h>

#include "db/date_time.h"
#include "tests/test_support.h"
#include "wardlink.h"

namespace wardlink::testing {
namespace {

using Rows = std::vector<std::vector<std::string>>;
using Texts = std::vector<std::string>;

class DischargeTest : public ::testing::Test {
 protected:
  void Index(const std::string& literal) const {
    db_.Exec("INSERT INTO Emr_Doc_Emr_InfoList (ZhuYuanNo) VALUES (" + literal + ")");
    db_.Exec("INSERT INTO Emr_Doc_Emr_Info (ZhuYuanNo, PeopleEmrStateID) VALUES (" + literal +
             ", 1)");
  }
  void Event(const std::string& literal, int number, const std::string& code) const {
    db_.Exec("INSERT INTO Emr_Doc_Emr_Event VALUES (" + literal + ", " + std::to_string(number) +
             ", '" + code + "', '2026-01-05 00:00:00.000', '')");
  }
  Rows Log(const std::string& literal) const {
    return db_.Rows(
        "SELECT SequenceNumber, EventCode, EventDate, Memo FROM Emr_Doc_Emr_Event "
        "WHERE ZhuYuanNo = " +
        literal + " ORDER BY SequenceNumber");
  }
  Rows Discharged(const std::string& literal) const {
    return db_.Rows(
        "SELECT PeopleEmrStateID, ChuYuanDate, ChuYuanZhenDuan, ZhiLiaoChuLi, "
        "ZhiLiaoJieGuo, ShangKouYuHe FROM Emr_Doc_Emr_Info WHERE ZhuYuanNo = " +
        literal);
  }
  const char* server() const { return db_.server(); }

  TrialDatabase db_;
};

TEST_F(DischargeTest, FirstDischargeFollowsTheAdmissionAndTheStatementsAreExact) {
  Index("'ZY001'");
  for (int i = 1; i <= 4; ++i) Event("'ZY001'", i, i == 1 ? "RuYuan" : "JiaoBan");
  StatementLog log;
  ASSERT_EQ(VictimChuYuan(server(), "", "", "ZY001", "20080115103059", " healed ", "\tsurgery",
                          "good ", " closed", "  home  "),
            0);
  EXPECT_EQ(
      log.texts(),
      (Texts{"Select ZhuYuanNo,GuiDangNd from EMR_DOC_EMR_INFOLIST Where ZhuYuanNo='ZY001'",
             "Select Max(SequenceNumber) from Emr_Doc_Emr_Event  Where ZhuYuanNo='ZY001'",
             "Delete from Emr_Doc_Emr_Event Where EventCode='ChuYuan' and ZhuYuanNo='ZY001'",
             "Insert Into Emr_Doc_Emr_Event(ZhuYuanNo,SequenceNumber,EventCode,EventDate,Memo) "
             "values('ZY001',5,:EventCode,:EventDate,:Memo)",
             "Update Emr_Doc_Emr_Info Set "
             "ChuYuanDate=:ChuYuanDate,ChuYuanZhenDuan=:ChuYuanZhenDuan,ZhiLiaoChuLi=:"
             "ZhiLiaoChuLi,ZhiLiaoJieGuo=:ZhiLiaoJieGuo, ShangKouYuHe=:ShangKouYuHe  Where "
             "ZhuYuanNo=:ZhuYuanNo"}));
  EXPECT_EQ(Log("'ZY001'").back(),
            (std::vector<std::string>{"5", "ChuYuan", "2008-01-15 10:30:59.000", "home"}));
  EXPECT_EQ(Discharged("'ZY001'"),
            (Rows{{"1", "2008-01-15 10:30:59.000", "healed", "surgery", "good", "closed"}}))
      << "texts trimmed, state untouched";
}

TEST_F(DischargeTest, ARepeatedDischargeReplacesTheEarlierEventAndLeavesAGap) {
  Index("'Z1'");
  Event("'Z1'", 1, "RuYuan");
  ASSERT_EQ(VictimChuYuan(server(), "", "", "Z1", "20080115", "a", "", "", "", "first"), 0);
  EXPECT_EQ(Log("'Z1'"), (Rows{{"1", "RuYuan", "2026-01-05 00:00:00.000", ""},
                               {"2", "ChuYuan", "2008-01-15 00:00:00.000", "first"}}));
  ASSERT_EQ(VictimChuYuan(server(), "", "", "Z1", "20080116", "b", "", "", "", "second"), 0);
  EXPECT_EQ(Log("'Z1'"), (Rows{{"1", "RuYuan", "2026-01-05 00:00:00.000", ""},
                               {"3", "ChuYuan", "2008-01-16 00:00:00.000", "second"}}));
  EXPECT_EQ(Discharged("'Z1'")[0][2], "b");
}

TEST_F(DischargeTest, AStayWithoutEventsGetsNumberOneAndAnEmptyDateIsTodayAtMidnight) {
  Index("'Z1'");
  DateTime today = CurrentLocalDateTime();
  ASSERT_EQ(VictimChuYuan(server(), "", "", "Z1", "", "", "", "", "", ""), 0);
  DateTime midnight{today.year, today.month, today.day, 0, 0, 0, 0};
  EXPECT_EQ(Log("'Z1'"), (Rows{{"1", "ChuYuan", ToStoredText(midnight), ""}}));
}

TEST_F(DischargeTest, AnInvalidDateChangesNothing) {
  Index("'Z1'");
  Event("'Z1'", 1, "RuYuan");
  ASSERT_EQ(VictimChuYuan(server(), "", "", "Z1", "20080115", "a", "", "", "", ""), 0);
  Rows log = Log("'Z1'");
  Rows record = Discharged("'Z1'");
  for (const char* date : {"2008-01-15", "20081315", "20080115250000", "20080230"}) {
    SCOPED_TRACE(date);
    EXPECT_EQ(VictimChuYuan(server(), "", "", "Z1", date, "b", "", "", "", ""), 4);
    EXPECT_EQ(Log("'Z1'"), log) << "the earlier discharge event is back";
    EXPECT_EQ(Discharged("'Z1'"), record);
  }
}

TEST_F(DischargeTest, StaysWhoseNumbersDifferByBlanksAreDischargedIndependently) {
  // Numbered from its own log and written into its own record: " Z1" is not "Z1".
  Index("' Z1'");
  Index("'Z1'");
  Event("' Z1'", 1, "RuYuan");
  for (int i = 1; i <= 3; ++i) Event("'Z1'", i, "RuYuan");
  ASSERT_EQ(VictimChuYuan(server(), "", "", " Z1", "20080115", "blank first", "", "", "", ""), 0);
  EXPECT_EQ(Log("' Z1'").back()[0], "2");
  EXPECT_EQ(Log("'Z1'").size(), 3u);
  EXPECT_EQ(Discharged("' Z1'")[0][2], "blank first");
  EXPECT_EQ(Discharged("'Z1'")[0][2], "<null>");

  ASSERT_EQ(VictimChuYuan(server(), "", "", "Z1", "20080116", "plain", "", "", "", ""), 0);
  EXPECT_EQ(Log("'Z1'").back()[0], "4");
  EXPECT_EQ(Log("' Z1'").size(), 2u) << "the other stay's discharge event stays";
  EXPECT_EQ(Discharged("' Z1'")[0][2], "blank first");
}

TEST_F(DischargeTest, OnlyAnArchiveYearAboveZeroRefuses) {
  for (const char* year : {"0", "NULL", "-1"}) {
    SCOPED_TRACE(year);
    std::string number = std::string("'Y") + year + "'";
    Index(number);
    db_.Exec("UPDATE Emr_Doc_Emr_InfoList SET GuiDangND = " + std::string(year) +
             " WHERE ZhuYuanNo = " + number);
    EXPECT_EQ(VictimChuYuan(server(), "", "", (std::string("Y") + year).c_str(), "20080115", "", "",
                            "", "", ""),
              0);
    EXPECT_EQ(Log(number).size(), 1u);
  }
  Index("'Q''1'");
  EXPECT_EQ(VictimChuYuan(server(), "", "", "Q'1", "20080115", "", "", "", "", ""), 0);
  EXPECT_EQ(Log("'Q''1'").size(), 1u);
  EXPECT_EQ(Discharged("'Q''1'")[0][1], "2008-01-15 00:00:00.000");
}

}  // namespace
}  // namespace wardlink::testing
