#include "patients/record_update.h"

#include <string_view>

#include "db/connection.h"
#include "db/schema.h"
#include "shared/conversions.h"
#include "shared/patient_checks.h"

namespace wardlink {

namespace {

constexpr std::string_view kUpdateRecord =
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

constexpr std::string_view kUpdateIndexRow =
    "Update Emr_Doc_Emr_InfoList Set "
    "BingAnHao=:BingAnHao,PeopleName=:PeopleName,CertificateType=:CertificateType,"
    "CertificateCode=:CertificateCode Where ZhuYuanNo=:ZhuYuanNo ";

constexpr std::string_view kUpdateAdmissionEvent =
    "Update Emr_Doc_Emr_Event Set EventDate=:EventDate Where EventCode=:EventCode and "
    "ZhuYuanNo=:ZhuYuanNo ";

}  // namespace

int32_t UpdateVictimRecord(DbConnection& connection, DbQuery& query, const VictimInfo& info,
                           const RegionalSettings& settings) {
  if (int32_t archive = CheckArchive(info.zhuYuanNo, query); archive != kStayLive) return archive;
  std::optional<DefaultDateFormat> format = GetDefaultDateFormat(query);
  if (!format) return kUpdateNoDateFormat;

  return RunGuarded(connection, kUpdateRolledBack, [&] {
    query.SetStatement(kUpdateRecord);
    BindVictimRecord(query, info, *format, settings);
    query.RunCommand();

    query.CloseResult();
    query.SetStatement(kUpdateIndexRow);
    BindIndexRow(query, info);
    query.RunCommand();

    query.SetStatement(kUpdateAdmissionEvent);
    query.BindText(schema::kColEventCode, "RuYuan");
    query.BindText(schema::kColZhuYuanNo, info.zhuYuanNo);
    query.BindDateTime(schema::kColEventDate, ParseHostDate(info.ruYuanDate, settings));
    query.RunCommand();
  });
}

}  // namespace wardlink
