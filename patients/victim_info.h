#pragma once

#include <array>
#include <cstdint>
#include <string>

#include "db/query.h"
#include "shared/patient_checks.h"
#include "shared/regional_settings.h"

namespace wardlink {

// The record of one stay as the host passes it: 44 texts, each named after the column it feeds,
// in the host's argument order.
struct VictimInfo {
  std::string zhuYuanNo;
  std::string peopleName;
  std::string unitId;
  std::string unitName;
  std::string mainMgrDoctorUid;
  std::string mainMgrDoctorName;
  std::string zhuZhiYiShengUid;
  std::string zhuZhiYiShengName;
  std::string ruYuanZhenDuan;
  std::string helperUidList;
  std::string helperNameList;
  std::string danwei;
  std::string zhiYe;
  std::string sex;
  std::string nianLingSui;
  std::string nianLingYue;
  std::string nianLingTian;
  std::string minZu;
  std::string address;
  std::string hunYin;
  std::string jiGuan;
  std::string postCode;
  std::string yiBaoLeiXing;
  std::string bingAnHao;
  std::string menZhenNo;
  std::string ruYuanCount;
  std::string bingQu;
  std::string chuangHao;
  std::string ruYuanDate;
  std::string bingShiCaiJiDate;
  std::string bingShiSayer;
  std::string keKaoChengDu;
  std::string zhuYuanLeiBie;
  std::string ruYuanShiBingQing;
  std::string faBingJieQi;
  std::string certificateType;
  std::string certificateCode;
  std::string lianXiRenXingMing;
  std::string guanXi;
  std::string lianXiRenDianHua;
  std::string lianXiRenZhuZhi;
  std::string lianXiRenYouBian;
  std::string memo;
  std::string bingQingMiaoShu;  // admission's first condition entry; no column of the record
};

inline constexpr size_t kVictimInfoFieldCount = 44;

// The record from the host's 44 texts in argument order; a null pointer reads as empty.
VictimInfo ReadVictimInfo(const std::array<const char*, kVictimInfoFieldCount>& texts);

// Years + months / 12 + days / 360, added in that order in extended precision.
double FractionalAge(int32_t years, int32_t months, int32_t days);

// Sets the 49 named parameters of the record's insert or update statement: 43 from the record's
// fields (texts unchanged, ages and count as integers, the two dates converted) and the six
// derived ones (state 0, F_Age, the dates' display texts and input modes).
void BindVictimRecord(DbQuery& query, const VictimInfo& info, const DefaultDateFormat& format,
                      const RegionalSettings& settings);

// Sets the five named parameters of the index row's insert or update statement: the number, name,
// medical record number and identity document, unchanged.
void BindIndexRow(DbQuery& query, const VictimInfo& info);

}  // namespace wardlink
