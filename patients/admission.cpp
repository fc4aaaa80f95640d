#include "patients/admission.h"

#include <string>

#include "db/connection.h"
#include "db/schema.h"
#include "db/statement_text.h"
#include "shared/conversions.h"
#include "shared/patient_checks.h"
#include "shared/text.h"

namespace wardlink {

namespace {

constexpr std::string_view kInsertRecord =
    "Insert Into "
    "Emr_Doc_Emr_Info(ZhuYuanNo,PeopleName,UnitID,UnitName,PeopleEmrStateID,MainMgrDoctorUid,"
    "MainMgrDoctorName,HelperUidList,HelperNameList,Danwei,ZhiYe,Sex,NianLing_Sui,NianLing_Yue,"
    "NianLing_Tian,F_Age,MinZu,Address,HunYin,JiGuan,PostCode,YiBaoLeiXing,BingAnHao,MenZhenNo,"
    "RuYuanCount,BingQu,ChuangHao,RuYuanDate_InputMode,RuYuanDate,RuYuanDate_Str,BingShiCaiJiDate_"
    "InputMode,BingShiCaiJiDate,BingShiCaiJiDate_Str,BingShiSayer,KeKaoChengDu,ZhuYuanLeiBie,"
    "RuYuanShiBingQing,FaBingJieQi,CertificateType,CertificateCode,ZhuZhiYiShengUID,"
    "ZhuZhiYiShengName,RuYuanZhenDuan,LianXiRenXingMing,GuanXi,LianXiRenDianHua,LianXiRenZhuZhi,"
    "LianXiRenYouBian,Memo) "
    "Values(:ZhuYuanNo,:PeopleName,:UnitID,:UnitName,:PeopleEmrStateID,:MainMgrDoctorUid,:"
    "MainMgrDoctorName,:HelperUidList,:HelperNameList,:Danwei,:ZhiYe,:Sex,:NianLing_Sui,:NianLing_"
    "Yue,:NianLing_Tian,:F_Age,:MinZu,:Address,:HunYin,:JiGuan,:PostCode,:YiBaoLeiXing,:BingAnHao,"
    ":MenZhenNo,:RuYuanCount,:BingQu,:ChuangHao,:RuYuanDate_InputMode,:RuYuanDate,:RuYuanDate_Str,"
    ":BingShiCaiJiDate_InputMode,:BingShiCaiJiDate,:BingShiCaiJiDate_Str,:BingShiSayer,:"
    "KeKaoChengDu,:ZhuYuanLeiBie,:RuYuanShiBingQing,:FaBingJieQi,:CertificateType,:"
    "CertificateCode,:ZhuZhiYiShengUID,:ZhuZhiYiShengName,:RuYuanZhenDuan,:LianXiRenXingMing,:"
    "GuanXi,:LianXiRenDianHua,:LianXiRenZhuZhi,:LianXiRenYouBian,:Memo) ";

constexpr std::string_view kInsertIndexRow =
    "Insert Into "
    "Emr_Doc_Emr_InfoList(ZhuYuanNo,PeopleName,BingAnHao,CertificateType,CertificateCode) "
    "values(:ZhuYuanNo,:PeopleName,:BingAnHao,:CertificateType,:CertificateCode)";

constexpr std::string_view kAdmissionEvent = "RuYuan";

bool IsIndexed(DbQuery& query, const std::string& zhuYuanNo) {
  query.SetStatement("Select ZhuYuanNo from EMR_DOC_EMR_INFOLIST Where ZhuYuanNo=" +
                     QuotedLiteral(zhuYuanNo));
  query.RunQuery();
  return !query.HasNoRows();
}

}  // namespace

int32_t AdmitVictim(DbConnection& connection, DbQuery& query, const VictimInfo& info,
                    const RegionalSettings& settings) {
  if (IsIndexed(query, info.zhuYuanNo)) return kAdmissionKnownNumber;
  std::optional<DefaultDateFormat> format = GetDefaultDateFormat(query);
  if (!format) return kAdmissionNoDateFormat;

  return RunGuarded(connection, kAdmissionRolledBack, [&] {
    query.SetStatement(kInsertRecord);
    BindVictimRecord(query, info, *format, settings);
    query.RunCommand();

    query.CloseResult();
    query.SetStatement(kInsertIndexRow);
    BindIndexRow(query, info);
    query.RunCommand();

    query.SetStatement(
        "Insert Into Emr_Doc_Emr_Event (ZhuYuanNo,SequenceNumber,EventCode,EventDate,Memo) "
        "values(" +
        QuotedLiteral(info.zhuYuanNo) + ",1" + ",:EventCode,:EventDate,:Memo)");
    query.BindText(schema::kColEventCode, kAdmissionEvent);
    query.BindDateTime(schema::kColEventDate, ParseHostDate(info.ruYuanDate, settings));
    query.BindText(schema::kColMemo, "");
    query.RunCommand();

    // A description of blanks only is no description; a real one is stored untrimmed.
    if (!TrimControl(info.bingQingMiaoShu).empty()) {
      query.SetStatement(
          "Insert Into "
          "Emr_Doc_Emr_StateInfo(ZhuYuanNo,SequenceNumber,BingQingMiaoShu,BeginDate,Memo) "
          "values(" +
          QuotedLiteral(info.zhuYuanNo) + ",1" + ",:BingQingMiaoShu,:BeginDate,:Memo)");
      query.BindText(schema::kColBingQingMiaoShu, info.bingQingMiaoShu);
      query.BindDateTime(schema::kColBeginDate, ParseHostDate(info.ruYuanDate, settings));
      query.BindText(schema::kColMemo, "");
      query.RunCommand();
    }
  });
}

}  // namespace wardlink
