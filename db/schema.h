#pragma once

#include <string_view>
#include <vector>

// The tables and columns the library reads and writes, as the schema check (`wardlink check`) and
// the trial databases know them. The statements spell their own names, exactly as they are sent.
namespace wardlink::schema {

// Tables.
inline constexpr std::string_view kUnit = "Emr_Unit";
inline constexpr std::string_view kUser = "Emr_User";
inline constexpr std::string_view kIllArea = "Emr_illArea";
inline constexpr std::string_view kIllBed = "Emr_IllBed";
inline constexpr std::string_view kZhiYe = "Emr_ZhiYe";
inline constexpr std::string_view kHunYin = "Emr_HunYin";
inline constexpr std::string_view kInHospType = "Emr_InHospType";
inline constexpr std::string_view kYiBaoLeiXing = "Emr_YiBaoLeiXing";
inline constexpr std::string_view kCertificateType = "Emr_CertificateType";
inline constexpr std::string_view kYiShengZhiCheng = "Emr_YiShengZhiCheng";
inline constexpr std::string_view kBingQingMiaoShu = "Emr_BingQingMiaoShu";
inline constexpr std::string_view kFormatDateType = "EMR_FORMATDATETYPE";
inline constexpr std::string_view kFormatDate = "EMR_FORMATDATE";
inline constexpr std::string_view kInfoList = "Emr_Doc_Emr_InfoList";
inline constexpr std::string_view kInfo = "Emr_Doc_Emr_Info";
inline constexpr std::string_view kEvent = "Emr_Doc_Emr_Event";
inline constexpr std::string_view kStateInfo = "Emr_Doc_Emr_StateInfo";
inline constexpr std::string_view kDocEmr = "Emr_Doc_Emr";
inline constexpr std::string_view kDocEmrFb = "Emr_Doc_Emr_FB";
inline constexpr std::string_view kDocFuJian = "Emr_Doc_FuJian";
inline constexpr std::string_view kBingLiPingFen = "Emr_BingLiPingFen";
inline constexpr std::string_view kDocStruct = "Emr_DocStruct";
inline constexpr std::string_view kDocTiWen = "Emr_Doc_TiWen";
inline constexpr std::string_view kBingLiJianKong = "Emr_BingLiJianKong";
inline constexpr std::string_view kChaKanBingLiApplyFb = "EMR_CHAKANBINGLIAPPLY_Fb";
inline constexpr std::string_view kSimpleClientChange = "Emr_SimpleClient_Change";

// Columns.
inline constexpr std::string_view kColID = "ID";
inline constexpr std::string_view kColUnitTypeID = "UnitTypeID";
inline constexpr std::string_view kColUnitName = "UnitName";
inline constexpr std::string_view kColMemo = "Memo";
inline constexpr std::string_view kColUserID = "UserID";
inline constexpr std::string_view kColPwd = "Pwd";
inline constexpr std::string_view kColUserName = "UserName";
inline constexpr std::string_view kColUnitID = "UnitID";
inline constexpr std::string_view kColTempType = "TempType";
inline constexpr std::string_view kColZhiCheng = "ZhiCheng";
inline constexpr std::string_view kColIaName = "iaName";
inline constexpr std::string_view kColIllAreaID = "illAreaID";
inline constexpr std::string_view kColIbName = "ibName";
inline constexpr std::string_view kColTheOrder = "theOrder";
inline constexpr std::string_view kColZhiYe = "ZhiYe";
inline constexpr std::string_view kColHunYin = "HunYin";
inline constexpr std::string_view kColInHospType = "InHospType";
inline constexpr std::string_view kColYiBaoLeiXing = "YiBaoLeiXing";
inline constexpr std::string_view kColCertificateType = "CertificateType";
inline constexpr std::string_view kColBingQingMiaoShu = "BingQingMiaoShu";
inline constexpr std::string_view kColUserDefault = "UserDefault";
inline constexpr std::string_view kColFormatDateTypeID = "FormatDateTypeID";
inline constexpr std::string_view kColFormatDateTimeShow = "FormatDateTime_Show";
inline constexpr std::string_view kColFormatDateTimeInput = "FormatDateTime_Input";
inline constexpr std::string_view kColZhuYuanNo = "ZhuYuanNo";
inline constexpr std::string_view kColPeopleName = "PeopleName";
inline constexpr std::string_view kColBingAnHao = "BingAnHao";
inline constexpr std::string_view kColCertificateCode = "CertificateCode";
inline constexpr std::string_view kColGuiDangND = "GuiDangND";
inline constexpr std::string_view kColMainMgrDoctorUid = "MainMgrDoctorUid";
inline constexpr std::string_view kColMainMgrDoctorName = "MainMgrDoctorName";
inline constexpr std::string_view kColHelperUidList = "HelperUidList";
inline constexpr std::string_view kColHelperNameList = "HelperNameList";
inline constexpr std::string_view kColDanwei = "Danwei";
inline constexpr std::string_view kColSex = "Sex";
inline constexpr std::string_view kColMinZu = "MinZu";
inline constexpr std::string_view kColAddress = "Address";
inline constexpr std::string_view kColJiGuan = "JiGuan";
inline constexpr std::string_view kColPostCode = "PostCode";
inline constexpr std::string_view kColMenZhenNo = "MenZhenNo";
inline constexpr std::string_view kColBingQu = "BingQu";
inline constexpr std::string_view kColChuangHao = "ChuangHao";
inline constexpr std::string_view kColBingShiSayer = "BingShiSayer";
inline constexpr std::string_view kColKeKaoChengDu = "KeKaoChengDu";
inline constexpr std::string_view kColZhuYuanLeiBie = "ZhuYuanLeiBie";
inline constexpr std::string_view kColRuYuanShiBingQing = "RuYuanShiBingQing";
inline constexpr std::string_view kColFaBingJieQi = "FaBingJieQi";
inline constexpr std::string_view kColZhuZhiYiShengUID = "ZhuZhiYiShengUID";
inline constexpr std::string_view kColZhuZhiYiShengName = "ZhuZhiYiShengName";
inline constexpr std::string_view kColRuYuanZhenDuan = "RuYuanZhenDuan";
inline constexpr std::string_view kColLianXiRenXingMing = "LianXiRenXingMing";
inline constexpr std::string_view kColGuanXi = "GuanXi";
inline constexpr std::string_view kColLianXiRenDianHua = "LianXiRenDianHua";
inline constexpr std::string_view kColLianXiRenZhuZhi = "LianXiRenZhuZhi";
inline constexpr std::string_view kColLianXiRenYouBian = "LianXiRenYouBian";
inline constexpr std::string_view kColNianLingSui = "NianLing_Sui";
inline constexpr std::string_view kColNianLingYue = "NianLing_Yue";
inline constexpr std::string_view kColNianLingTian = "NianLing_Tian";
inline constexpr std::string_view kColRuYuanCount = "RuYuanCount";
inline constexpr std::string_view kColFAge = "F_Age";
inline constexpr std::string_view kColRuYuanDate = "RuYuanDate";
inline constexpr std::string_view kColBingShiCaiJiDate = "BingShiCaiJiDate";
inline constexpr std::string_view kColRuYuanDateStr = "RuYuanDate_Str";
inline constexpr std::string_view kColRuYuanDateInputMode = "RuYuanDate_InputMode";
inline constexpr std::string_view kColBingShiCaiJiDateStr = "BingShiCaiJiDate_Str";
inline constexpr std::string_view kColBingShiCaiJiDateInputMode = "BingShiCaiJiDate_InputMode";
inline constexpr std::string_view kColPeopleEmrStateID = "PeopleEmrStateID";
inline constexpr std::string_view kColTagReciveUnitID = "TagReciveUnitID";
inline constexpr std::string_view kColTagReciveDoctorUid = "TagReciveDoctorUid";
inline constexpr std::string_view kColChuYuanDate = "ChuYuanDate";
inline constexpr std::string_view kColChuYuanZhenDuan = "ChuYuanZhenDuan";
inline constexpr std::string_view kColZhiLiaoChuLi = "ZhiLiaoChuLi";
inline constexpr std::string_view kColZhiLiaoJieGuo = "ZhiLiaoJieGuo";
inline constexpr std::string_view kColShangKouYuHe = "ShangKouYuHe";
inline constexpr std::string_view kColSequenceNumber = "SequenceNumber";
inline constexpr std::string_view kColEventCode = "EventCode";
inline constexpr std::string_view kColEventDate = "EventDate";
inline constexpr std::string_view kColBeginDate = "BeginDate";

// The nine tables of the wider EMR system that hold rows per stay; the library knows of them only
// their ZhuYuanNo column.
inline constexpr std::string_view kWiderSystemTables[] = {
    kDocEmr,   kDocEmrFb,       kDocFuJian,           kBingLiPingFen,     kDocStruct,
    kDocTiWen, kBingLiJianKong, kChaKanBingLiApplyFb, kSimpleClientChange};

// kHostInteger: an integer column that the library fills with the host's text, which the
// database converts (the stay record's UnitID). The other integer columns of its table store the
// empty text as 0; elsewhere an integer column takes integers only.
enum class ColumnKind { kInteger, kHostInteger, kFloat, kText, kDateTime };

struct ColumnDef {
  std::string_view name;
  ColumnKind kind;
  std::string_view defaultValue = {};  // SQL literal; empty for none
};

struct TableDef {
  std::string_view name;
  std::vector<ColumnDef> columns;
  std::vector<std::string_view> uniqueKey;  // the key an operation checks before it adds
  std::vector<std::string_view> index;      // a lookup index (not unique, but see below)
  // The library writes host text to an integer column of this table (the stay record's UnitID):
  // the empty text is stored as 0 here. Elsewhere an integer column takes integers only.
  bool textReachesIntegers = false;
  // SQL Server keeps the lookup index unique as well: a second row with the same values there
  // would be a duplicate that no check of the library can see (the event numbers of a stay).
  bool indexUniqueOnSqlServer = false;
};

// Every table with its columns in declared order (the dictionary tables' order matters: their
// add statement names no columns).
const std::vector<TableDef>& AllTables();

}  // namespace wardlink::schema
