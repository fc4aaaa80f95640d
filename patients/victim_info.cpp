#include "patients/victim_info.h"

#include <string_view>

#include "db/schema.h"
#include "patients/movement_state.h"
#include "shared/conversions.h"

namespace wardlink {

namespace {

using Field = std::string VictimInfo::*;

// The fields in the host's argument order.
constexpr std::array<Field, kVictimInfoFieldCount> kFieldOrder = {
    &VictimInfo::zhuYuanNo,
    &VictimInfo::peopleName,
    &VictimInfo::unitId,
    &VictimInfo::unitName,
    &VictimInfo::mainMgrDoctorUid,
    &VictimInfo::mainMgrDoctorName,
    &VictimInfo::zhuZhiYiShengUid,
    &VictimInfo::zhuZhiYiShengName,
    &VictimInfo::ruYuanZhenDuan,
    &VictimInfo::helperUidList,
    &VictimInfo::helperNameList,
    &VictimInfo::danwei,
    &VictimInfo::zhiYe,
    &VictimInfo::sex,
    &VictimInfo::nianLingSui,
    &VictimInfo::nianLingYue,
    &VictimInfo::nianLingTian,
    &VictimInfo::minZu,
    &VictimInfo::address,
    &VictimInfo::hunYin,
    &VictimInfo::jiGuan,
    &VictimInfo::postCode,
    &VictimInfo::yiBaoLeiXing,
    &VictimInfo::bingAnHao,
    &VictimInfo::menZhenNo,
    &VictimInfo::ruYuanCount,
    &VictimInfo::bingQu,
    &VictimInfo::chuangHao,
    &VictimInfo::ruYuanDate,
    &VictimInfo::bingShiCaiJiDate,
    &VictimInfo::bingShiSayer,
    &VictimInfo::keKaoChengDu,
    &VictimInfo::zhuYuanLeiBie,
    &VictimInfo::ruYuanShiBingQing,
    &VictimInfo::faBingJieQi,
    &VictimInfo::certificateType,
    &VictimInfo::certificateCode,
    &VictimInfo::lianXiRenXingMing,
    &VictimInfo::guanXi,
    &VictimInfo::lianXiRenDianHua,
    &VictimInfo::lianXiRenZhuZhi,
    &VictimInfo::lianXiRenYouBian,
    &VictimInfo::memo,
    &VictimInfo::bingQingMiaoShu,
};

struct TextColumn {
  std::string_view column;
  Field field;
};

// The fields written to their column as the host passed them. UnitID is among them: the database
// converts the text to the column's type.
const std::array<TextColumn, 37> kTextColumns = {{
    {schema::kColZhuYuanNo, &VictimInfo::zhuYuanNo},
    {schema::kColPeopleName, &VictimInfo::peopleName},
    {schema::kColUnitID, &VictimInfo::unitId},
    {schema::kColUnitName, &VictimInfo::unitName},
    {schema::kColMainMgrDoctorUid, &VictimInfo::mainMgrDoctorUid},
    {schema::kColMainMgrDoctorName, &VictimInfo::mainMgrDoctorName},
    {schema::kColZhuZhiYiShengUID, &VictimInfo::zhuZhiYiShengUid},
    {schema::kColZhuZhiYiShengName, &VictimInfo::zhuZhiYiShengName},
    {schema::kColRuYuanZhenDuan, &VictimInfo::ruYuanZhenDuan},
    {schema::kColHelperUidList, &VictimInfo::helperUidList},
    {schema::kColHelperNameList, &VictimInfo::helperNameList},
    {schema::kColDanwei, &VictimInfo::danwei},
    {schema::kColZhiYe, &VictimInfo::zhiYe},
    {schema::kColSex, &VictimInfo::sex},
    {schema::kColMinZu, &VictimInfo::minZu},
    {schema::kColAddress, &VictimInfo::address},
    {schema::kColHunYin, &VictimInfo::hunYin},
    {schema::kColJiGuan, &VictimInfo::jiGuan},
    {schema::kColPostCode, &VictimInfo::postCode},
    {schema::kColYiBaoLeiXing, &VictimInfo::yiBaoLeiXing},
    {schema::kColBingAnHao, &VictimInfo::bingAnHao},
    {schema::kColMenZhenNo, &VictimInfo::menZhenNo},
    {schema::kColBingQu, &VictimInfo::bingQu},
    {schema::kColChuangHao, &VictimInfo::chuangHao},
    {schema::kColBingShiSayer, &VictimInfo::bingShiSayer},
    {schema::kColKeKaoChengDu, &VictimInfo::keKaoChengDu},
    {schema::kColZhuYuanLeiBie, &VictimInfo::zhuYuanLeiBie},
    {schema::kColRuYuanShiBingQing, &VictimInfo::ruYuanShiBingQing},
    {schema::kColFaBingJieQi, &VictimInfo::faBingJieQi},
    {schema::kColCertificateType, &VictimInfo::certificateType},
    {schema::kColCertificateCode, &VictimInfo::certificateCode},
    {schema::kColLianXiRenXingMing, &VictimInfo::lianXiRenXingMing},
    {schema::kColGuanXi, &VictimInfo::guanXi},
    {schema::kColLianXiRenDianHua, &VictimInfo::lianXiRenDianHua},
    {schema::kColLianXiRenZhuZhi, &VictimInfo::lianXiRenZhuZhi},
    {schema::kColLianXiRenYouBian, &VictimInfo::lianXiRenYouBian},
    {schema::kColMemo, &VictimInfo::memo},
}};

}  // namespace

VictimInfo ReadVictimInfo(const std::array<const char*, kVictimInfoFieldCount>& texts) {
  VictimInfo info;
  for (size_t i = 0; i < kVictimInfoFieldCount; ++i) {
    if (texts[i] != nullptr) info.*kFieldOrder[i] = texts[i];
  }
  return info;
}

double FractionalAge(int32_t years, int32_t months, int32_t days) {
  long double age = static_cast<long double>(years) + static_cast<long double>(months) / 12;
  age += static_cast<long double>(days) / 360;
  return static_cast<double>(age);
}

void BindVictimRecord(DbQuery& query, const VictimInfo& info, const DefaultDateFormat& format,
                      const RegionalSettings& settings) {
  for (const auto& [column, field] : kTextColumns) query.BindText(column, info.*field);

  int32_t years = ParseHostInt(info.nianLingSui, 0);
  int32_t months = ParseHostInt(info.nianLingYue, 0);
  int32_t days = ParseHostInt(info.nianLingTian, 0);
  query.BindInteger(schema::kColNianLingSui, years);
  query.BindInteger(schema::kColNianLingYue, months);
  query.BindInteger(schema::kColNianLingTian, days);
  query.BindFloat(schema::kColFAge, FractionalAge(years, months, days));
  query.BindInteger(schema::kColRuYuanCount, ParseHostInt(info.ruYuanCount, 1));
  query.BindInteger(schema::kColPeopleEmrStateID, kInDepartment);

  // Each date column converts the host's text on its own: an invalid text gives each the moment
  // of its own conversion.
  query.BindDateTime(schema::kColRuYuanDate, ParseHostDate(info.ruYuanDate, settings));
  query.BindText(
      schema::kColRuYuanDateStr,
      FormatDatePattern(format.show, ParseHostDate(info.ruYuanDate, settings), settings));
  query.BindText(schema::kColRuYuanDateInputMode, format.input);
  query.BindDateTime(schema::kColBingShiCaiJiDate, ParseHostDate(info.bingShiCaiJiDate, settings));
  query.BindText(
      schema::kColBingShiCaiJiDateStr,
      FormatDatePattern(format.show, ParseHostDate(info.bingShiCaiJiDate, settings), settings));
  query.BindText(schema::kColBingShiCaiJiDateInputMode, format.input);
}

void BindIndexRow(DbQuery& query, const VictimInfo& info) {
  query.BindText(schema::kColZhuYuanNo, info.zhuYuanNo);
  query.BindText(schema::kColPeopleName, info.peopleName);
  query.BindText(schema::kColBingAnHao, info.bingAnHao);
  query.BindText(schema::kColCertificateType, info.certificateType);
  query.BindText(schema::kColCertificateCode, info.certificateCode);
}

}  // namespace wardlink
