#include <gtest/gtest.h>

#include <array>
#include <string>
#include <utility>

#include "db/date_time.h"
#include "patients/victim_info.h"
#include "tests/test_support.h"
#include "tests/victim_args.h"
#include "wardlink.h"

namespace wardlink::testing {
namespace {

const char* const kInsertRecord =
    "Insert Into Emr_Doc_Emr_Info(ZhuYuanNo,PeopleName,UnitID,UnitName,PeopleEmrStateID,MainM"
    "grDoctorUid,MainMgrDoctorName,HelperUidList,HelperNameList,Danwei,ZhiYe,Sex,NianLing_Sui"
    ",NianLing_Yue,NianLing_Tian,F_Age,MinZu,Address,HunYin,JiGuan,PostCode,YiBaoLeiXing,Bing"
    "AnHao,MenZhenNo,RuYuanCount,BingQu,ChuangHao,RuYuanDate_InputMode,RuYuanDate,RuYuanDate_"
    "Str,BingShiCaiJiDate_InputMode,BingShiCaiJiDate,BingShiCaiJiDate_Str,BingShiSayer,KeKaoC"
    "hengDu,ZhuYuanLeiBie,RuYuanShiBingQing,FaBingJieQi,CertificateType,CertificateCode,ZhuZh"
    "iYiShengUID,ZhuZhiYiShengName,RuYuanZhenDuan,LianXiRenXingMing,GuanXi,LianXiRenDianHua,L"
    "ianXiRenZhuZhi,LianXiRenYouBian,Memo) Values(:ZhuYuanNo,:PeopleName,:UnitID,:UnitName,:P"
    "eopleEmrStateID,:MainMgrDoctorUid,:MainMgrDoctorName,:HelperUidList,:HelperNameList,:Dan"
    "wei,:ZhiYe,:Sex,:NianLing_Sui,:NianLing_Yue,:NianLing_Tian,:F_Age,:MinZu,:Address,:HunYi"
    "n,:JiGuan,:PostCode,:YiBaoLeiXing,:BingAnHao,:MenZhenNo,:RuYuanCount,:BingQu,:ChuangHao,"
    ":RuYuanDate_InputMode,:RuYuanDate,:RuYuanDate_Str,:BingShiCaiJiDate_InputMode,:BingShiCa"
    "iJiDate,:BingShiCaiJiDate_Str,:BingShiSayer,:KeKaoChengDu,:ZhuYuanLeiBie,:RuYuanShiBingQ"
    "ing,:FaBingJieQi,:CertificateType,:CertificateCode,:ZhuZhiYiShengUID,:ZhuZhiYiShengName,"
    ":RuYuanZhenDuan,:LianXiRenXingMing,:GuanXi,:LianXiRenDianHua,:LianXiRenZhuZhi,:LianXiRen"
    "YouBian,:Memo) ";

std::string Where(const std::string& zhuYuanNo) { return "ZhuYuanNo = '" + zhuYuanNo + "'"; }

std::string InfoColumn(const TrialDatabase& db, const std::string& column,
                       const std::string& zhuYuanNo) {
  return db.Scalar("SELECT " + column + " FROM Emr_Doc_Emr_Info WHERE ZhuYuanNo = '" + zhuYuanNo +
                   "'");
}

int RowsOfStay(const TrialDatabase& db, const std::string& zhuYuanNo) {
  return db.Count("Emr_Doc_Emr_Info", Where(zhuYuanNo)) +
         db.Count("Emr_Doc_Emr_InfoList", Where(zhuYuanNo)) +
         db.Count("Emr_Doc_Emr_Event", Where(zhuYuanNo)) +
         db.Count("Emr_Doc_Emr_StateInfo", Where(zhuYuanNo));
}

TEST(Admission, WritesRecordIndexEventAndCondition) {
  TrialDatabase db;
  VictimArgs args("Z1");
  ASSERT_EQ(CallAddVictim(db.server(), args), 0);

  for (size_t i = 0; i < kVictimArgCount; ++i) {
    std::string column = kVictimArgColumns[i];
    if (i == kUnitID || i == kNianLingSui || i == kNianLingYue || i == kNianLingTian ||
        i == kRuYuanCount || i == kRuYuanDate || i == kBingShiCaiJiDate || i == kBingQingMiaoShu)
      continue;
    EXPECT_EQ(InfoColumn(db, column, "Z1"), args.texts[i]) << column;
  }
  EXPECT_EQ(InfoColumn(db, "typeof(UnitID) || ' ' || UnitID", "Z1"), "integer 3");
  EXPECT_EQ(InfoColumn(db, "typeof(NianLing_Sui) || ' ' || NianLing_Sui", "Z1"), "integer 35");
  EXPECT_EQ(InfoColumn(db, "NianLing_Yue || ' ' || NianLing_Tian || ' ' || RuYuanCount", "Z1"),
            "0 0 2");
  EXPECT_EQ(InfoColumn(db, "F_Age = 35.0", "Z1"), "1");
  EXPECT_EQ(InfoColumn(db, "PeopleEmrStateID", "Z1"), "0");
  EXPECT_EQ(InfoColumn(db, "RuYuanDate", "Z1"), "2008-01-15 00:00:00.000");
  EXPECT_EQ(InfoColumn(db, "BingShiCaiJiDate", "Z1"), "2008-01-16 00:00:00.000");
  // The trial database's default date format shows and inputs "yyyy-MM-dd HH:mm".
  EXPECT_EQ(InfoColumn(db, "RuYuanDate_Str", "Z1"), "2008-01-15 00:00");
  EXPECT_EQ(InfoColumn(db, "BingShiCaiJiDate_Str", "Z1"), "2008-01-16 00:00");
  EXPECT_EQ(InfoColumn(db, "RuYuanDate_InputMode", "Z1"), "yyyy-MM-dd HH:mm");
  EXPECT_EQ(InfoColumn(db, "BingShiCaiJiDate_InputMode", "Z1"), "yyyy-MM-dd HH:mm");
  EXPECT_EQ(InfoColumn(db, "TagReciveUnitID IS NULL AND ChuYuanDate IS NULL", "Z1"), "1");

  EXPECT_EQ(
      db.Rows("SELECT ZhuYuanNo, PeopleName, BingAnHao, CertificateType, CertificateCode, "
              "GuiDangND FROM Emr_Doc_Emr_InfoList"),
      (std::vector<std::vector<std::string>>{
          {"Z1", "v-PeopleName", "v-BingAnHao", "v-CertificateType", "v-CertificateCode", "0"}}));
  EXPECT_EQ(db.Rows("SELECT ZhuYuanNo, SequenceNumber, EventCode, EventDate, Memo FROM "
                    "Emr_Doc_Emr_Event"),
            (std::vector<std::vector<std::string>>{
                {"Z1", "1", "RuYuan", "2008-01-15 00:00:00.000", ""}}));
  EXPECT_EQ(db.Rows("SELECT ZhuYuanNo, SequenceNumber, BingQingMiaoShu, BeginDate, Memo FROM "
                    "Emr_Doc_Emr_StateInfo"),
            (std::vector<std::vector<std::string>>{
                {"Z1", "1", "stable", "2008-01-15 00:00:00.000", ""}}));
}

TEST(Admission, SendsItsStatementsInOrder) {
  TrialDatabase db;
  StatementLog log;
  ASSERT_EQ(CallAddVictim(db.server(), VictimArgs("Q'1")), 0);
  EXPECT_EQ(log.texts(),
            (std::vector<std::string>{
                "Select ZhuYuanNo from EMR_DOC_EMR_INFOLIST Where ZhuYuanNo='Q''1'",
                "Select FormatDateTime_Show,FormatDateTime_Input from dbo.EMR_FORMATDATETYPE "
                "a,dbo.EMR_FORMATDATE b Where a.ID=b.FormatDateTypeID and a.UserDefault=1 and "
                "b.UserDefault=1 ",
                kInsertRecord,
                "Insert Into "
                "Emr_Doc_Emr_InfoList(ZhuYuanNo,PeopleName,BingAnHao,CertificateType,"
                "CertificateCode) "
                "values(:ZhuYuanNo,:PeopleName,:BingAnHao,:CertificateType,:CertificateCode)",
                "Insert Into Emr_Doc_Emr_Event (ZhuYuanNo,SequenceNumber,EventCode,EventDate,Memo) "
                "values('Q''1',1,:EventCode,:EventDate,:Memo)",
                "Insert Into "
                "Emr_Doc_Emr_StateInfo(ZhuYuanNo,SequenceNumber,BingQingMiaoShu,BeginDate,Memo) "
                "values('Q''1',1,:BingQingMiaoShu,:BeginDate,:Memo)"}));
}

TEST(Admission, NumberWithAQuoteIsTheSameInAllFourTables) {
  TrialDatabase db;
  ASSERT_EQ(CallAddVictim(db.server(), VictimArgs("O'Neil:7")), 0);
  const std::string where = "ZhuYuanNo = 'O''Neil:7'";
  EXPECT_EQ(db.Count("Emr_Doc_Emr_Info", where), 1);
  EXPECT_EQ(db.Count("Emr_Doc_Emr_InfoList", where), 1);
  EXPECT_EQ(db.Count("Emr_Doc_Emr_Event", where), 1);
  EXPECT_EQ(db.Count("Emr_Doc_Emr_StateInfo", where), 1);
  EXPECT_EQ(CallAddVictim(db.server(), VictimArgs("O'Neil:7")), 4);
}

TEST(Admission, KnownNumberGivesFourBeforeTheDateFormatIsLookedAt) {
  TrialDatabase db;
  ASSERT_EQ(CallAddVictim(db.server(), VictimArgs("Z1")), 0);
  db.Exec("DELETE FROM EMR_FORMATDATE");
  VictimArgs again("Z1");
  again[kPeopleName] = "someone else";
  EXPECT_EQ(CallAddVictim(db.server(), again), 4);
  EXPECT_EQ(RowsOfStay(db, "Z1"), 4);
  EXPECT_EQ(InfoColumn(db, "PeopleName", "Z1"), "v-PeopleName");
}

TEST(Admission, ARecordWithoutIndexRowDoesNotCountAsKnown) {
  TrialDatabase db;
  db.Exec("INSERT INTO Emr_Doc_Emr_Event (ZhuYuanNo, SequenceNumber) VALUES ('Z1', 9)");
  EXPECT_EQ(CallAddVictim(db.server(), VictimArgs("Z1")), 0);
  EXPECT_EQ(db.Count("Emr_Doc_Emr_Event", "ZhuYuanNo = 'Z1'"), 2);
}

TEST(Admission, WithoutDefaultDateFormatGivesTwoAndWritesNothing) {
  TrialDatabase db;
  db.Exec("UPDATE EMR_FORMATDATE SET UserDefault = 0");
  EXPECT_EQ(CallAddVictim(db.server(), VictimArgs("Z1")), 2);
  EXPECT_EQ(RowsOfStay(db, "Z1"), 0);
}

TEST(Admission, AFailingInsertRollsBackEveryRow) {
  TrialDatabase db;
  // A condition history without its date column: the last insert fails.
  db.Exec(
      "DROP TABLE Emr_Doc_Emr_StateInfo; CREATE TABLE Emr_Doc_Emr_StateInfo (ZhuYuanNo TEXT, "
      "SequenceNumber INTEGER, BingQingMiaoShu TEXT, Memo TEXT)");
  EXPECT_EQ(CallAddVictim(db.server(), VictimArgs("Z1")), 3);
  EXPECT_EQ(RowsOfStay(db, "Z1"), 0);
  // The rolled-back code comes with the database's reason.
  EXPECT_NE(LastErrorMessage().find("no column named BeginDate"), std::string::npos)
      << LastErrorMessage();

  // Without a description that insert is not sent, and the admission goes through.
  VictimArgs noCondition("Z2");
  noCondition[kBingQingMiaoShu] = "";
  EXPECT_EQ(CallAddVictim(db.server(), noCondition), 0);
  EXPECT_EQ(RowsOfStay(db, "Z2"), 3);
}

TEST(Admission, ADepartmentTextTheDatabaseCannotConvertRollsBack) {
  TrialDatabase db;
  VictimArgs args("Z1");
  args[kUnitID] = "surgery";
  EXPECT_EQ(CallAddVictim(db.server(), args), 3);
  EXPECT_EQ(RowsOfStay(db, "Z1"), 0);
  args[kUnitID] = "";  // the empty text is stored as 0, as the server would
  EXPECT_EQ(CallAddVictim(db.server(), args), 0);
  EXPECT_EQ(InfoColumn(db, "typeof(UnitID) || ' ' || UnitID", "Z1"), "integer 0");
}

// The department text is converted as SQL Server converts varchar to int: blanks around, a sign,
// digits within 32 bits; blanks only or a sign alone are 0; anything else fails the statement, so
// that admission gives 3 and the update 5, as they do there.
TEST(Admission, ADepartmentTextConvertsAsSqlServerConvertsVarcharToInt) {
  struct Case {
    const char* text;
    const char* stored;  // nullptr: the statement fails
  };
  const Case cases[] = {
      {"3", "3"},
      {"  3  ", "3"},
      {"+3", "3"},
      {"-3", "-3"},
      {"007", "7"},
      {"", "0"},
      {"   ", "0"},
      {"+", "0"},
      {" - ", "0"},
      {"2147483647", "2147483647"},
      {"-2147483648", "-2147483648"},
      {"000002147483647", "2147483647"},
      {"2147483648", nullptr},
      {"-2147483649", nullptr},
      {"99999999999", nullptr},
      {"3.0", nullptr},
      {"3.", nullptr},
      {"1e2", nullptr},
      {"0x10", nullptr},
      {"3 4", nullptr},
      {"- 3", nullptr},
      {"+-3", nullptr},
      {"\t3", nullptr},
      {"3\n", nullptr},
      {"surgery", nullptr},
  };
  TrialDatabase db;
  int n = 0;
  for (const Case& c : cases) {
    SCOPED_TRACE(std::string("UnitID '") + c.text + "'");
    VictimArgs args("A" + std::to_string(++n));
    args[kUnitID] = c.text;
    EXPECT_EQ(CallAddVictim(db.server(), args), c.stored != nullptr ? 0 : 3);
    if (c.stored != nullptr) {
      EXPECT_EQ(InfoColumn(db, "typeof(UnitID) || ' ' || UnitID", args[kZhuYuanNo]),
                std::string("integer ") + c.stored);
    } else {
      EXPECT_EQ(RowsOfStay(db, args[kZhuYuanNo]), 0);
      EXPECT_NE(LastErrorMessage().find("CHECK constraint failed"), std::string::npos)
          << LastErrorMessage();
    }

    VictimArgs update("U" + std::to_string(n));
    update[kUnitID] = "1";
    ASSERT_EQ(CallAddVictim(db.server(), update), 0);
    update[kUnitID] = c.text;
    EXPECT_EQ(CallUpdateVictim(db.server(), update), c.stored != nullptr ? 0 : 5);
    EXPECT_EQ(InfoColumn(db, "UnitID", update[kZhuYuanNo]), c.stored != nullptr ? c.stored : "1");
  }
}

TEST(Admission, AgesAndCountFallBackToTheirDefaults) {
  TrialDatabase db;
  VictimArgs oneAndAHalf("A");
  oneAndAHalf[kNianLingSui] = "1";
  oneAndAHalf[kNianLingYue] = "6";
  oneAndAHalf[kNianLingTian] = "18";
  ASSERT_EQ(CallAddVictim(db.server(), oneAndAHalf), 0);
  EXPECT_EQ(InfoColumn(db, "F_Age = 1.55", "A"), "1");
  EXPECT_EQ(InfoColumn(db, "F_Age", "A"), "1.55");

  VictimArgs empty("B");
  empty[kNianLingSui] = "";
  empty[kNianLingYue] = "";
  empty[kNianLingTian] = "";
  empty[kRuYuanCount] = "";
  ASSERT_EQ(CallAddVictim(db.server(), empty), 0);
  EXPECT_EQ(InfoColumn(db, "NianLing_Sui || NianLing_Yue || NianLing_Tian", "B"), "000");
  EXPECT_EQ(InfoColumn(db, "F_Age = 0.0", "B"), "1");
  EXPECT_EQ(InfoColumn(db, "RuYuanCount", "B"), "1");

  VictimArgs bad("C");
  bad[kNianLingSui] = "35 ";
  bad[kNianLingYue] = "x";
  bad[kNianLingTian] = "$10";
  bad[kRuYuanCount] = "2.0";
  ASSERT_EQ(CallAddVictim(db.server(), bad), 0);
  EXPECT_EQ(InfoColumn(db, "NianLing_Sui || ' ' || NianLing_Yue || ' ' || NianLing_Tian", "C"),
            "0 0 16");
  EXPECT_EQ(InfoColumn(db, "RuYuanCount", "C"), "1");
}

TEST(FractionalAge, AddsTwelfthsThenThreeHundredSixtieths) {
  EXPECT_DOUBLE_EQ(FractionalAge(1, 6, 18), 1.55);
  EXPECT_EQ(FractionalAge(0, 0, 0), 0.0);
  EXPECT_DOUBLE_EQ(FractionalAge(0, 0, 36), 0.1);
  EXPECT_DOUBLE_EQ(FractionalAge(-1, 0, 0), -1.0);
}

TEST(Admission, ConditionOfBlanksOnlyWritesNoEntryAndARealOneKeepsItsBlanks) {
  TrialDatabase db;
  VictimArgs blanks("A");
  blanks[kBingQingMiaoShu] = " \t \n ";
  ASSERT_EQ(CallAddVictim(db.server(), blanks), 0);
  EXPECT_EQ(db.Count("Emr_Doc_Emr_StateInfo"), 0);
  EXPECT_EQ(RowsOfStay(db, "A"), 3);

  VictimArgs padded("B");
  padded[kBingQingMiaoShu] = "  fever ";
  ASSERT_EQ(CallAddVictim(db.server(), padded), 0);
  EXPECT_EQ(db.Scalar("SELECT BingQingMiaoShu FROM Emr_Doc_Emr_StateInfo"), "  fever ");
}

TEST(Admission, AnInvalidAdmissionDateBecomesTheMomentOfAdmission) {
  TrialDatabase db;
  VictimArgs args("Z1");
  args[kRuYuanDate] = HostDateText(kAdmissionDay) + " 10:30";
  DateTime before = Now();
  ASSERT_EQ(CallAddVictim(db.server(), args), 0);
  DateTime after = Now();
  for (const std::string sql :
       {"SELECT RuYuanDate FROM Emr_Doc_Emr_Info", "SELECT EventDate FROM Emr_Doc_Emr_Event",
        "SELECT BeginDate FROM Emr_Doc_Emr_StateInfo"}) {
    auto stored = ParseStoredText(db.Scalar(sql));
    ASSERT_TRUE(stored.has_value()) << sql;
    EXPECT_GE(SecondsBetween(before, *stored), 0) << sql;
    EXPECT_GE(SecondsBetween(*stored, after), 0) << sql;
  }
  // The display text shows that moment by the default pattern (to the minute).
  auto shown = ParseStoredText(InfoColumn(db, "RuYuanDate_Str", "Z1"));
  ASSERT_TRUE(shown.has_value());
  EXPECT_LE(SecondsBetween(*shown, after), 60);
  EXPECT_GE(SecondsBetween(*shown, after), 0);
  // The history date is still read as given.
  EXPECT_EQ(InfoColumn(db, "BingShiCaiJiDate", "Z1"), "2008-01-16 00:00:00.000");
}

TEST(Admission, DisplayTextFollowsTheDefaultPattern) {
  TrialDatabase db;
  db.Exec("UPDATE EMR_FORMATDATE SET FormatDateTime_Show = ' dd.mm.yyyy ''week'' ddd '");
  ASSERT_EQ(CallAddVictim(db.server(), VictimArgs("Z1")), 0);
  EXPECT_EQ(InfoColumn(db, "RuYuanDate_Str", "Z1"), "15.01.2008 week Tue");
}

TEST(Admission, NullTextsReadAsEmptyAndAnEmptyNumberIsAdmitted) {
  TrialDatabase db;
  std::string ruYuanDate = HostDateText(kAdmissionDay);
  std::array<const char*, kVictimArgCount> texts{};  // all null but the admission date
  texts[kRuYuanDate] = ruYuanDate.c_str();
  auto call = [&]<size_t... I>(std::index_sequence<I...>) {
    return AddVictim(db.server(), nullptr, nullptr, texts[I]...);
  };
  ASSERT_EQ(call(std::make_index_sequence<kVictimArgCount>()), 0);
  EXPECT_EQ(db.Count("Emr_Doc_Emr_Info", "ZhuYuanNo = '' AND PeopleName = '' AND Memo = ''"), 1);
  EXPECT_EQ(db.Count("Emr_Doc_Emr_InfoList", "ZhuYuanNo = '' AND PeopleName = ''"), 1);
  EXPECT_EQ(db.Count("Emr_Doc_Emr_StateInfo"), 0);
  EXPECT_EQ(InfoColumn(db, "RuYuanCount || ' ' || UnitID", ""), "1 0");
  EXPECT_EQ(InfoColumn(db, "RuYuanDate", ""), "2008-01-15 00:00:00.000");
}

TEST(Admission, UnreachableDatabaseGivesOne) {
  EXPECT_EQ(CallAddVictim(MissingDatabaseServer(), VictimArgs("Z1")), 1);
}

TEST(Admission, AMissingIndexTableIsAnUnguardedError) {
  TrialDatabase db;
  db.Exec("DROP TABLE Emr_Doc_Emr_InfoList");
  EXPECT_EQ(CallAddVictim(db.server(), VictimArgs("Z1")), -1);
  EXPECT_NE(LastErrorMessage(), "");
  EXPECT_EQ(db.Count("Emr_Doc_Emr_Info"), 0);
}

TEST(Admission, AdmittedStayPassesTheArchiveCheckOfLaterOperations) {
  TrialDatabase db;
  ASSERT_EQ(CallAddVictim(db.server(), VictimArgs("Z1")), 0);
  EXPECT_EQ(db.Scalar("SELECT coalesce(GuiDangND, 0) FROM Emr_Doc_Emr_InfoList"), "0");
}

}  // namespace
}  // namespace wardlink::testing
