// The movements of a stay: state, target columns and event log after each step, statement texts,
// refusals and rollbacks that leave everything as it was.
#include <gtest/gtest.h>

#include "tests/test_support.h"
#include "wardlink.h"

namespace wardlink::testing {
namespace {

using Rows = std::vector<std::vector<std::string>>;
using Texts = std::vector<std::string>;

std::string Quoted(const std::string& text) {
  std::string quoted = "'";
  for (char c : text) quoted += c == '\'' ? std::string("''") : std::string(1, c);
  return quoted + "'";
}

class MovementsTest : public ::testing::Test {
 protected:
  void SetUp() override {
    db_.Exec(
        "INSERT INTO Emr_Unit (ID, UnitName) VALUES (1, 'Medicine'), (12, '  Surgery  ');"
        "INSERT INTO Emr_User (UserID, UserName, UnitID) VALUES ('doc12', 'Dr Lee', 12),"
        " ('orphan', 'Dr Nobody', 99)");
  }

  // A stay as admission leaves it: index row, record in state 0 of department 1, event 1.
  void Admit(const std::string& number) const {
    db_.Exec("INSERT INTO Emr_Doc_Emr_InfoList (ZhuYuanNo, PeopleName) VALUES (" + Quoted(number) +
             ", 'Patient')");
    db_.Exec(
        "INSERT INTO Emr_Doc_Emr_Info (ZhuYuanNo, UnitID, UnitName, PeopleEmrStateID, "
        "MainMgrDoctorUid, MainMgrDoctorName, HelperUidList, HelperNameList, BingQu, ChuangHao) "
        "VALUES (" +
        Quoted(number) + ", 1, 'Medicine', 0, 'doc1', 'Dr One', 'h1', 'Helper', 'W1', 'B1')");
    db_.Exec("INSERT INTO Emr_Doc_Emr_Event VALUES (" + Quoted(number) +
             ", 1, 'RuYuan', '2026-01-05 00:00:00.000', '')");
  }

  Rows Log(const std::string& number) const {
    return db_.Rows(
        "SELECT SequenceNumber, EventCode, EventDate, Memo FROM Emr_Doc_Emr_Event WHERE "
        "ZhuYuanNo = " +
        Quoted(number) + " ORDER BY SequenceNumber");
  }
  std::string State(const std::string& number) const {
    return db_.Scalar("SELECT PeopleEmrStateID FROM Emr_Doc_Emr_Info WHERE ZhuYuanNo = " +
                      Quoted(number));
  }
  Rows Record(const std::string& number) const {
    return db_.Rows(
        "SELECT PeopleEmrStateID, UnitID, UnitName, MainMgrDoctorUid, MainMgrDoctorName, "
        "HelperUidList, HelperNameList, BingQu, ChuangHao, TagReciveUnitID, TagReciveDoctorUid "
        "FROM Emr_Doc_Emr_Info WHERE ZhuYuanNo = " +
        Quoted(number));
  }
  // Everything a movement may touch, to show that a refusal or rollback changed nothing.
  Rows Everything() const {
    Rows rows = db_.Rows("SELECT * FROM Emr_Doc_Emr_Info ORDER BY ZhuYuanNo");
    Rows events = db_.Rows("SELECT * FROM Emr_Doc_Emr_Event ORDER BY ZhuYuanNo, SequenceNumber");
    rows.insert(rows.end(), events.begin(), events.end());
    return rows;
  }

  const char* server() const { return db_.server(); }

  TrialDatabase db_;
};

TEST_F(MovementsTest, TransferThenAcceptanceByADoctorOfAnotherDepartment) {
  Admit("Z-1");
  {
    StatementLog log;
    ASSERT_EQ(VictimZhuanChu(server(), "", "", "Z-1", 12, "doc12", "200801151030"), 0);
    EXPECT_EQ(log.texts(),
              (Texts{"Select GuiDangND from EMR_DOC_EMR_INFOLIST Where ZhuYuanNo='Z-1'",
                     "update Emr_Doc_Emr_Info set "
                     "PeopleEmrStateID=:PeopleEmrStateID,TagReciveUnitID=:TagReciveUnitID,"
                     "TagReciveDoctorUid=:TagReciveDoctorUid where ZhuYuanNo=:ZhuYuanNo",
                     "Select Max(SequenceNumber) from Emr_Doc_Emr_Event Where ZhuYuanNO='Z-1'",
                     "Insert Into Emr_Doc_Emr_Event (ZhuYuanNo,SequenceNumber,EventCode,EventDate,"
                     "Memo) values('Z-1',2,:EventCode,:ZhuanKeDate,:Memo)"}));
  }
  EXPECT_EQ(
      Record("Z-1"),
      (Rows{{"1", "1", "Medicine", "doc1", "Dr One", "h1", "Helper", "W1", "B1", "12", "doc12"}}));
  {
    StatementLog log;
    ASSERT_EQ(AcceptZhuanKePeople(server(), "", "", "Z-1", "doc12", "Dr Lee", "h2;h3", "A;B",
                                  "200801161200", "W12", "B7"),
              0);
    ASSERT_EQ(log.texts().size(), 5u);
    EXPECT_EQ(log.texts()[1],
              "Select * from Emr_User a,Emr_Unit b Where a.UnitID=b.ID and a.UserID='doc12'");
    EXPECT_EQ(log.texts()[2],
              "update Emr_Doc_Emr_Info set "
              "PeopleEmrStateID=:PeopleEmrStateID,UnitID=:UnitID,UnitName=:UnitName,"
              "MainMgrDoctorUid=:MainMgrDoctorUid,MainMgrDoctorName=:MainMgrDoctorName,"
              "HelperUidList=:HelperUidList,HelperNameList=:HelperNameList,BingQu=:BingQu,"
              "ChuangHao=:ChuangHao,TagReciveUnitID='',TagReciveDoctorUid='' where "
              "ZhuYuanNo=:ZhuYuanNo");
    EXPECT_EQ(log.texts()[4],
              "Insert Into Emr_Doc_Emr_Event(ZhuYuanNo,SequenceNumber,EventCode,EventDate,Memo ) "
              "values('Z-1',3,'ZhuanRu',:ZhuanKeDate,'')");
  }
  EXPECT_EQ(
      Record("Z-1"),
      (Rows{{"0", "12", "Surgery", "doc12", "Dr Lee", "h2;h3", "A;B", "W12", "B7", "0", ""}}));
  EXPECT_EQ(Log("Z-1"), (Rows{{"1", "RuYuan", "2026-01-05 00:00:00.000", ""},
                              {"2", "ZhuanChu", "2008-01-15 10:30:00.000", ""},
                              {"3", "ZhuanRu", "2008-01-16 12:00:00.000", ""}}));
}

TEST_F(MovementsTest, TransferThenCancellationKeepsTheTargetAndTheEvent) {
  Admit("Z1");
  ASSERT_EQ(VictimZhuanChu(server(), "", "", "Z1", 12, "doc12", "20080115"), 0);
  ASSERT_EQ(VictimZhuanChu(server(), "", "", "Z1", 1, "doc1", "20080116"), 0);
  StatementLog log;
  EXPECT_EQ(CancelZhuanKe(server(), "", "", "Z1"), 0);
  EXPECT_EQ(log.texts()[1], "Select PeopleEmrStateID from Emr_Doc_Emr_Info Where ZhuYuanNo='Z1'");
  EXPECT_EQ(log.texts()[2],
            "update Emr_Doc_Emr_Info set PeopleEmrStateID=:PeopleEmrStateID where "
            "ZhuYuanNo=:ZhuYuanNo");
  EXPECT_EQ(Record("Z1")[0][0], "0");
  EXPECT_EQ(Record("Z1")[0][9], "1") << "the second target stays";
  EXPECT_EQ(Record("Z1")[0][10], "doc1");
  EXPECT_EQ(Log("Z1").size(), 3u) << "two ZhuanChu events, no event for the cancellation";
  Rows before = Everything();
  EXPECT_EQ(CancelZhuanKe(server(), "", "", "Z1"), 4);
  EXPECT_EQ(Everything(), before);
}

TEST_F(MovementsTest, SuspendingAPendingTransferAndLiftingItEndsInDepartment) {
  Admit("Z1");
  ASSERT_EQ(VictimZhuanChu(server(), "", "", "Z1", 12, "doc12", "20080115"), 0);
  ASSERT_EQ(GuaQi(server(), "", "", "Z1"), 0);
  EXPECT_EQ(State("Z1"), "4");
  EXPECT_EQ(CancelZhuanKe(server(), "", "", "Z1"), 4) << "the transfer can no longer be cancelled";
  EXPECT_EQ(GuaQi(server(), "", "", "Z1"), 0) << "suspending a suspended stay";
  EXPECT_EQ(CancelGuaQi(server(), "", "", "Z1"), 0);
  EXPECT_EQ(State("Z1"), "0") << "lifting returns to the department, not to the transfer";
  EXPECT_EQ(CancelGuaQi(server(), "", "", "Z1"), 4);
  EXPECT_EQ(Log("Z1").size(), 2u) << "suspension and lifting write no event";
}

TEST_F(MovementsTest, AcceptanceOfAStayNeverTransferredOrSuspended) {
  Admit("Z1");
  ASSERT_EQ(GuaQi(server(), "", "", "Z1"), 0);
  EXPECT_EQ(
      AcceptZhuanKePeople(server(), "", "", "Z1", "DOC12", "Dr Lee", "", "", "20080115", "W", "B"),
      0)
      << "user IDs compare as the database compares text";
  EXPECT_EQ(State("Z1"), "0");
  EXPECT_EQ(Log("Z1").back()[1], "ZhuanRu");
}

TEST_F(MovementsTest, AcceptanceRefusesAnUnknownDoctorOrOneWithoutDepartment) {
  Admit("Z1");
  Rows before = Everything();
  EXPECT_EQ(AcceptZhuanKePeople(server(), "", "", "Z1", "nobody", "", "", "", "20080115", "", ""),
            4);
  EXPECT_EQ(AcceptZhuanKePeople(server(), "", "", "Z1", "orphan", "", "", "", "20080115", "", ""),
            4);
  EXPECT_EQ(Everything(), before);
}

TEST_F(MovementsTest, CancellationsOfAStayWithoutRecordAreRefused) {
  db_.Exec("INSERT INTO Emr_Doc_Emr_InfoList (ZhuYuanNo) VALUES ('Z9')");
  EXPECT_EQ(CancelZhuanKe(server(), "", "", "Z9"), 4);
  EXPECT_EQ(CancelGuaQi(server(), "", "", "Z9"), 4);
  // The other movements go ahead and append their events to the log of the missing record.
  EXPECT_EQ(VictimZhuanChu(server(), "", "", "Z9", 12, "doc12", "20080115"), 0);
  EXPECT_EQ(ZhuanChuang(server(), "", "", "Z9", "B2"), 0);
  EXPECT_EQ(Log("Z9"), (Rows{{"1", "ZhuanChu", "2008-01-15 00:00:00.000", ""}}));
}

TEST_F(MovementsTest, HandOverWritesTheDoctorsAndTwoConsecutiveEvents) {
  Admit("Z'1");
  db_.Exec(
      "INSERT INTO Emr_Doc_Emr_Event VALUES ('Z''1', 2, 'X', NULL, ''), "
      "('Z''1', 3, 'Y', NULL, '')");
  ASSERT_EQ(VictimZhuanChu(server(), "", "", "Z'1", 12, "doc12", "20080115"), 0);  // 4, state 1
  StatementLog log;
  ASSERT_EQ(
      JiaoBan(server(), "", "", "Z'1", "doc7", "Dr Seven", " h7 ", "Helper Seven", "200802011545"),
      0);
  EXPECT_EQ(log.texts(),
            (Texts{"Select GuiDangND from EMR_DOC_EMR_INFOLIST Where ZhuYuanNo='Z''1'",
                   "update Emr_Doc_Emr_Info set "
                   "MainMgrDoctorUid=:MainMgrDoctorUid,MainMgrDoctorName=:MainMgrDoctorName, "
                   "HelperUidList=:HelperUidList, HelperNameList=:HelperNameList where "
                   "ZhuYuanNo=:ZhuYuanNo",
                   "Select Max(SequenceNumber) from Emr_Doc_Emr_Event Where ZhuYuanNO='Z''1'",
                   "Insert Into Emr_Doc_Emr_Event (ZhuYuanNo,SequenceNumber,EventCode,EventDate,"
                   "Memo) values('Z''1',:EventIndex,:EventCode,:ZhuanKeDate,:Memo)",
                   "Insert Into Emr_Doc_Emr_Event (ZhuYuanNo,SequenceNumber,EventCode,EventDate,"
                   "Memo) values('Z''1',:EventIndex,:EventCode,:ZhuanKeDate,:Memo)"}));
  Rows log5 = Log("Z'1");
  ASSERT_EQ(log5.size(), 6u);
  EXPECT_EQ(log5[4], (std::vector<std::string>{"5", "JiaoBan", "2008-02-01 15:45:00.000", ""}));
  EXPECT_EQ(log5[5], (std::vector<std::string>{"6", "JieBan", "2008-02-01 15:45:00.000", ""}));
  EXPECT_EQ(Record("Z'1"), (Rows{{"1", "1", "Medicine", "doc7", "Dr Seven", " h7 ", "Helper Seven",
                                  "W1", "B1", "12", "doc12"}}))
      << "state and everything else unchanged";
}

TEST_F(MovementsTest, BedChangeWritesOnlyTheBed) {
  Admit("Z1");
  ASSERT_EQ(GuaQi(server(), "", "", "Z1"), 0);
  StatementLog log;
  EXPECT_EQ(ZhuanChuang(server(), "", "", "Z1", ""), 0);
  EXPECT_EQ(log.texts()[1],
            "update Emr_Doc_Emr_Info set ChuangHao=:ChuangHao  Where ZhuYuanNo=:ZhuYuanNo");
  EXPECT_EQ(Record("Z1"), (Rows{{"4", "1", "Medicine", "doc1", "Dr One", "h1", "Helper", "W1", "",
                                 "<null>", "<null>"}}));
  EXPECT_EQ(Log("Z1").size(), 1u);
}

TEST_F(MovementsTest, InvalidMovementDatesLeaveStateRecordAndLogAsTheyWere) {
  Admit("Z1");
  ASSERT_EQ(GuaQi(server(), "", "", "Z1"), 0);
  Rows before = Everything();
  for (const char* date : {"200800151030", "200813151030", "200801321030", "200801152400",
                           "200801151060", "", "2008-01-15"}) {
    SCOPED_TRACE(date);
    EXPECT_EQ(VictimZhuanChu(server(), "", "", "Z1", 12, "doc12", date), 2);
    EXPECT_EQ(
        AcceptZhuanKePeople(server(), "", "", "Z1", "doc12", "Dr Lee", "", "", date, "W", "B"), 5);
    EXPECT_EQ(JiaoBan(server(), "", "", "Z1", "doc7", "Dr Seven", "", "", date), 4);
    EXPECT_EQ(LastErrorMessage(), "'" + std::string(date) + "' is not a valid date and time");
    EXPECT_EQ(Everything(), before);
  }
}

TEST_F(MovementsTest, UnknownAndArchivedStaysAreRefusedBeforeAnythingIsWritten) {
  Admit("Z1");
  db_.Exec("UPDATE Emr_Doc_Emr_InfoList SET GuiDangND = 2015");
  Rows before = Everything();
  for (const char* number : {"Z1", "Z2"}) {
    int32_t expected = std::string(number) == "Z1" ? 3 : 2;
    SCOPED_TRACE(number);
    EXPECT_EQ(VictimZhuanChu(server(), "", "", number, 12, "doc12", "20080115"), expected);
    EXPECT_EQ(GuaQi(server(), "", "", number), expected);
    EXPECT_EQ(
        AcceptZhuanKePeople(server(), "", "", number, "doc12", "", "", "", "20080115", "", ""),
        expected);
    EXPECT_EQ(CancelZhuanKe(server(), "", "", number), expected);
    EXPECT_EQ(CancelGuaQi(server(), "", "", number), expected);
    EXPECT_EQ(ZhuanChuang(server(), "", "", number, "B9"), expected);
    EXPECT_EQ(JiaoBan(server(), "", "", number, "doc7", "", "", "", "20080115"), expected);
    EXPECT_EQ(VictimChuYuan(server(), "", "", number, "20080115", "", "", "", "", ""), expected);
  }
  EXPECT_EQ(Everything(), before);
}

TEST_F(MovementsTest, AFailingStatementRollsBackTheWholeMovement) {
  Admit("Z1");
  // The event insert fails after the record update has run.
  db_.Exec(
      "CREATE TRIGGER refuse BEFORE INSERT ON Emr_Doc_Emr_Event BEGIN SELECT RAISE(ABORT, "
      "'refused'); END");
  Rows before = Everything();
  // Each code comes with the database's reason.
  const auto reason = [] { return LastErrorMessage().find("refused") != std::string::npos; };
  EXPECT_EQ(VictimZhuanChu(server(), "", "", "Z1", 12, "doc12", "20080115"), 2);
  EXPECT_TRUE(reason()) << LastErrorMessage();
  EXPECT_EQ(AcceptZhuanKePeople(server(), "", "", "Z1", "doc12", "", "", "", "20080115", "", ""),
            5);
  EXPECT_TRUE(reason()) << LastErrorMessage();
  EXPECT_EQ(JiaoBan(server(), "", "", "Z1", "doc7", "", "", "", "20080115"), 4);
  EXPECT_TRUE(reason()) << LastErrorMessage();
  EXPECT_EQ(VictimChuYuan(server(), "", "", "Z1", "20080115", "d", "", "", "", ""), 4);
  EXPECT_TRUE(reason()) << LastErrorMessage();
  EXPECT_EQ(Everything(), before);
  // A refusal before the transaction says nothing.
  EXPECT_EQ(CancelZhuanKe(server(), "", "", "Z1"), 4);
  EXPECT_EQ(LastErrorMessage(), "");
}

// After the largest event number a 32-bit SequenceNumber holds there is none: the movement fails
// inside its transaction, instead of numbering an event below all others.
TEST_F(MovementsTest, NoEventNumberAfterTheLargestRollsBack) {
  Admit("Z1");
  for (const char* last : {"2147483647", "2147483646"}) {
    SCOPED_TRACE(last);
    db_.Exec(std::string("UPDATE Emr_Doc_Emr_Event SET SequenceNumber = ") + last);
    const Rows before = Everything();
    // The hand-over needs two numbers; the others one.
    if (std::string(last) == "2147483647") {
      EXPECT_EQ(VictimZhuanChu(server(), "", "", "Z1", 12, "doc12", "20080115"), 2);
      EXPECT_NE(LastErrorMessage().find("no further event number fits"), std::string::npos)
          << LastErrorMessage();
      EXPECT_EQ(
          AcceptZhuanKePeople(server(), "", "", "Z1", "doc12", "", "", "", "20080115", "", ""), 5);
      EXPECT_EQ(VictimChuYuan(server(), "", "", "Z1", "20080115", "d", "", "", "", ""), 4);
    }
    EXPECT_EQ(JiaoBan(server(), "", "", "Z1", "doc7", "", "", "", "20080115"), 4);
    EXPECT_NE(LastErrorMessage().find("no further event number fits"), std::string::npos)
        << LastErrorMessage();
    EXPECT_EQ(Everything(), before);
  }
}

}  // namespace
}  // namespace wardlink::testing
