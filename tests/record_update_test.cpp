#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "db/date_time.h"
#include "tests/test_support.h"
#include "tests/victim_args.h"
#include "wardlink.h"

namespace wardlink::testing {
namespace {

const char* const kUpdateRecord =
    "Update Emr_Doc_Emr_Info Set PeopleName =:PeopleName,UnitID=:UnitID,UnitName=:UnitName,Pe"
    "opleEmrStateID=:PeopleEmrStateID,MainMgrDoctorUid=:MainMgrDoctorUid,MainMgrDoctorName=:M"
    "ainMgrDoctorName,HelperUidList=:HelperUidList,HelperNameList=:HelperNameList,Danwei=:Dan"
    "wei,ZhiYe=:ZhiYe,Sex=:Sex,NianLing_Sui=:NianLing_Sui,NianLing_Yue=:NianLing_Yue,NianLing"
    "_Tian=:NianLing_Tian,F_Age=:F_Age,MinZu=:MinZu,Address=:Address,HunYin=:HunYin,JiGuan=:J"
    "iGuan,PostCode=:PostCode,YiBaoLeiXing=:YiBaoLeiXing,BingAnHao=:BingAnHao,MenZhenNo=:MenZ"
    "henNo,RuYuanCount=:RuYuanCount,BingQu=:BingQu,ChuangHao=:ChuangHao,RuYuanDate_InputMode="
    ":RuYuanDate_InputMode,RuYuanDate=:RuYuanDate,RuYuanDate_Str=:RuYuanDate_Str,BingShiCaiJi"
    "Date_InputMode=:BingShiCaiJiDate_InputMode,BingShiCaiJiDate=:BingShiCaiJiDate,BingShiCai"
    "JiDate_Str=:BingShiCaiJiDate_Str,BingShiSayer=:BingShiSayer,KeKaoChengDu=:KeKaoChengDu,Z"
    "huYuanLeiBie=:ZhuYuanLeiBie,RuYuanShiBingQing=:RuYuanShiBingQing,CertificateType=:Certif"
    "icateType,CertificateCode=:CertificateCode,Memo=:Memo,ZhuZhiYiShengUID =:ZhuZhiYiShengUI"
    "D,ZhuZhiYiShengName =:ZhuZhiYiShengName,RuYuanZhenDuan =:RuYuanZhenDuan,LianXiRenXingMin"
    "g=:LianXiRenXingMing,GuanXi=:GuanXi,LianXiRenDianHua=:LianXiRenDianHua,LianXiRenZhuZhi=:"
    "LianXiRenZhuZhi,LianXiRenYouBian=:LianXiRenYouBian,FaBingJieQi=:FaBingJieQi  Where ZhuYu"
    "anNo=:ZhuYuanNo ";

using Rows = std::vector<std::vector<std::string>>;

// A stay admitted with VictimArgs, then moved on: suspended, with a pending transfer target and a
// second event.
class RecordUpdate : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_EQ(CallAddVictim(db_.server(), VictimArgs("Z1")), 0);
    db_.Exec(
        "UPDATE Emr_Doc_Emr_Info SET PeopleEmrStateID = 4, TagReciveUnitID = 9, "
        "TagReciveDoctorUid = 'doc9'");
    db_.Exec(
        "INSERT INTO Emr_Doc_Emr_Event VALUES ('Z1', 2, 'ZhuanChu', '2008-02-01 08:00:00.000', "
        "'')");
  }

  std::string Info(const std::string& column) const {
    return db_.Scalar("SELECT " + column + " FROM Emr_Doc_Emr_Info WHERE ZhuYuanNo = 'Z1'");
  }

  Rows Snapshot() const {
    Rows rows = db_.Rows("SELECT * FROM Emr_Doc_Emr_Info");
    for (const char* table :
         {"Emr_Doc_Emr_InfoList", "Emr_Doc_Emr_Event", "Emr_Doc_Emr_StateInfo"}) {
      Rows more = db_.Rows(std::string("SELECT * FROM ") + table);
      rows.insert(rows.end(), more.begin(), more.end());
    }
    return rows;
  }

  TrialDatabase db_;
};

TEST_F(RecordUpdate, RewritesRecordIndexAndAdmissionDate) {
  VictimArgs changed("Z1");
  for (size_t i = 0; i < kVictimArgCount; ++i) changed.texts[i] = "new-" + changed.texts[i];
  changed[kZhuYuanNo] = "Z1";
  changed[kUnitID] = "5";
  changed[kNianLingSui] = "1";
  changed[kNianLingYue] = "6";
  changed[kNianLingTian] = "18";
  changed[kRuYuanCount] = "3";
  changed[kRuYuanDate] = HostDateText(DateTime{2009, 2, 3, 0, 0, 0, 0});
  changed[kBingShiCaiJiDate] = HostDateText(DateTime{2009, 2, 4, 0, 0, 0, 0});
  changed[kBingQingMiaoShu] = "worse";
  StatementLog log;
  ASSERT_EQ(CallUpdateVictim(db_.server(), changed), 0);

  EXPECT_EQ(Info("PeopleName"), "new-v-PeopleName");
  EXPECT_EQ(Info("Memo"), "new-v-Memo");
  EXPECT_EQ(Info("FaBingJieQi"), "new-v-FaBingJieQi");
  EXPECT_EQ(Info("ZhuZhiYiShengUID"), "new-v-ZhuZhiYiShengUID");
  EXPECT_EQ(Info("UnitID || ' ' || RuYuanCount || ' ' || (F_Age = 1.55)"), "5 3 1");
  EXPECT_EQ(Info("RuYuanDate || '|' || RuYuanDate_Str"),
            "2009-02-03 00:00:00.000|2009-02-03 00:00");
  EXPECT_EQ(Info("BingShiCaiJiDate_Str"), "2009-02-04 00:00");
  // The state goes back to 0; the transfer target stays as it was.
  EXPECT_EQ(Info("PeopleEmrStateID || ' ' || TagReciveUnitID || ' ' || TagReciveDoctorUid"),
            "0 9 doc9");
  EXPECT_EQ(db_.Rows("SELECT ZhuYuanNo, PeopleName, BingAnHao, CertificateType, CertificateCode, "
                     "GuiDangND FROM Emr_Doc_Emr_InfoList"),
            (Rows{{"Z1", "new-v-PeopleName", "new-v-BingAnHao", "new-v-CertificateType",
                   "new-v-CertificateCode", "0"}}));
  EXPECT_EQ(db_.Rows("SELECT SequenceNumber, EventCode, EventDate FROM Emr_Doc_Emr_Event ORDER BY "
                     "SequenceNumber"),
            (Rows{{"1", "RuYuan", "2009-02-03 00:00:00.000"},
                  {"2", "ZhuanChu", "2008-02-01 08:00:00.000"}}));
  EXPECT_EQ(db_.Rows("SELECT BingQingMiaoShu, BeginDate FROM Emr_Doc_Emr_StateInfo"),
            (Rows{{"stable", "2008-01-15 00:00:00.000"}}));

  EXPECT_EQ(log.texts(),
            (std::vector<std::string>{
                "Select GuiDangND from EMR_DOC_EMR_INFOLIST Where ZhuYuanNo='Z1'",
                "Select FormatDateTime_Show,FormatDateTime_Input from dbo.EMR_FORMATDATETYPE "
                "a,dbo.EMR_FORMATDATE b Where a.ID=b.FormatDateTypeID and a.UserDefault=1 and "
                "b.UserDefault=1 ",
                kUpdateRecord,
                "Update Emr_Doc_Emr_InfoList Set BingAnHao=:BingAnHao,PeopleName=:PeopleName,"
                "CertificateType=:CertificateType,CertificateCode=:CertificateCode Where "
                "ZhuYuanNo=:ZhuYuanNo ",
                "Update Emr_Doc_Emr_Event Set EventDate=:EventDate Where EventCode=:EventCode and "
                "ZhuYuanNo=:ZhuYuanNo "}));
}

TEST_F(RecordUpdate, EmptyAgesAndCountOverwriteWithDefaults) {
  VictimArgs args("Z1");
  args[kNianLingSui] = "";
  args[kNianLingYue] = "";
  args[kNianLingTian] = "";
  args[kRuYuanCount] = "";
  ASSERT_EQ(CallUpdateVictim(db_.server(), args), 0);
  EXPECT_EQ(Info("NianLing_Sui || NianLing_Yue || NianLing_Tian || ' ' || RuYuanCount"), "000 1");
  EXPECT_EQ(Info("F_Age = 0.0"), "1");
}

TEST_F(RecordUpdate, ArchiveCheckComesBeforeTheDateFormat) {
  db_.Exec("DELETE FROM EMR_FORMATDATE");
  Rows before = Snapshot();
  EXPECT_EQ(CallUpdateVictim(db_.server(), VictimArgs("UNKNOWN")), 2);
  EXPECT_EQ(Snapshot(), before);
  db_.Exec("UPDATE Emr_Doc_Emr_InfoList SET GuiDangND = 2015");
  before = Snapshot();
  EXPECT_EQ(CallUpdateVictim(db_.server(), VictimArgs("Z1")), 3);
  EXPECT_EQ(Snapshot(), before);
  db_.Exec("UPDATE Emr_Doc_Emr_InfoList SET GuiDangND = NULL");
  before = Snapshot();
  EXPECT_EQ(CallUpdateVictim(db_.server(), VictimArgs("Z1")), 4);
  EXPECT_EQ(Snapshot(), before);
}

TEST_F(RecordUpdate, AFailingStatementRollsBackAllThree) {
  // An event log without its date column: the last update fails.
  db_.Exec(
      "DROP TABLE Emr_Doc_Emr_Event; CREATE TABLE Emr_Doc_Emr_Event (ZhuYuanNo TEXT, "
      "SequenceNumber INTEGER, EventCode TEXT, Memo TEXT)");
  Rows before = Snapshot();
  VictimArgs changed("Z1");
  changed[kPeopleName] = "changed";
  EXPECT_EQ(CallUpdateVictim(db_.server(), changed), 5);
  EXPECT_EQ(Snapshot(), before);
  EXPECT_EQ(Info("PeopleName"), "v-PeopleName");
}

TEST_F(RecordUpdate, IndexRowWithoutRecordStillUpdatesIndexAndEvent) {
  db_.Exec("DELETE FROM Emr_Doc_Emr_Info");
  VictimArgs changed("Z1");
  changed[kPeopleName] = "changed";
  changed[kRuYuanDate] = HostDateText(DateTime{2010, 5, 6, 0, 0, 0, 0});
  EXPECT_EQ(CallUpdateVictim(db_.server(), changed), 0);
  EXPECT_EQ(db_.Count("Emr_Doc_Emr_Info"), 0);
  EXPECT_EQ(db_.Scalar("SELECT PeopleName FROM Emr_Doc_Emr_InfoList"), "changed");
  EXPECT_EQ(db_.Scalar("SELECT EventDate FROM Emr_Doc_Emr_Event WHERE EventCode = 'RuYuan'"),
            "2010-05-06 00:00:00.000");
}

TEST_F(RecordUpdate, InvalidAdmissionDateBecomesNowInRecordAndEvent) {
  VictimArgs args("Z1");
  args[kRuYuanDate] = "2008-02-30 and more";
  DateTime before = Now();
  ASSERT_EQ(CallUpdateVictim(db_.server(), args), 0);
  DateTime after = Now();
  for (const std::string sql :
       {"SELECT RuYuanDate FROM Emr_Doc_Emr_Info",
        "SELECT EventDate FROM Emr_Doc_Emr_Event WHERE EventCode = 'RuYuan'"}) {
    auto stored = ParseStoredText(db_.Scalar(sql));
    ASSERT_TRUE(stored.has_value()) << sql;
    EXPECT_GE(SecondsBetween(before, *stored), 0) << sql;
    EXPECT_GE(SecondsBetween(*stored, after), 0) << sql;
  }
  EXPECT_EQ(db_.Scalar("SELECT EventDate FROM Emr_Doc_Emr_Event WHERE SequenceNumber = 2"),
            "2008-02-01 08:00:00.000");
}

TEST(RecordUpdateConnection, UnreachableDatabaseGivesOne) {
  EXPECT_EQ(CallUpdateVictim(MissingDatabaseServer(), VictimArgs("Z1")), 1);
}

}  // namespace
}  // namespace wardlink::testing
