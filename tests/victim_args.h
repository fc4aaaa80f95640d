#pragma once

#include <array>
#include <cstdint>
#include <ctime>
#include <string>
#include <utility>

#include "db/date_time.h"
#include "shared/conversions.h"
#include "shared/regional_settings.h"
#include "wardlink.h"

namespace wardlink::testing {

// The 44 texts of a stay record in the host's argument order.
enum VictimArg : size_t {
  kZhuYuanNo,
  kPeopleName,
  kUnitID,
  kUnitName,
  kMainMgrDoctorUid,
  kMainMgrDoctorName,
  kZhuZhiYiShengUID,
  kZhuZhiYiShengName,
  kRuYuanZhenDuan,
  kHelperUidList,
  kHelperNameList,
  kDanwei,
  kZhiYe,
  kSex,
  kNianLingSui,
  kNianLingYue,
  kNianLingTian,
  kMinZu,
  kAddress,
  kHunYin,
  kJiGuan,
  kPostCode,
  kYiBaoLeiXing,
  kBingAnHao,
  kMenZhenNo,
  kRuYuanCount,
  kBingQu,
  kChuangHao,
  kRuYuanDate,
  kBingShiCaiJiDate,
  kBingShiSayer,
  kKeKaoChengDu,
  kZhuYuanLeiBie,
  kRuYuanShiBingQing,
  kFaBingJieQi,
  kCertificateType,
  kCertificateCode,
  kLianXiRenXingMing,
  kGuanXi,
  kLianXiRenDianHua,
  kLianXiRenZhuZhi,
  kLianXiRenYouBian,
  kMemo,
  kBingQingMiaoShu,
  kVictimArgCount
};

// A stay record with a distinct text in every field; the two dates are in the environment's
// short date form, so that the library reads them as the dates given here.
struct VictimArgs {
  explicit VictimArgs(const std::string& zhuYuanNo);
  std::string& operator[](VictimArg arg) { return texts[arg]; }
  const std::string& operator[](VictimArg arg) const { return texts[arg]; }
  std::array<std::string, kVictimArgCount> texts;
};

// The admission date of VictimArgs, and the history date.
inline const DateTime kAdmissionDay{2008, 1, 15, 0, 0, 0, 0};
inline const DateTime kHistoryDay{2008, 1, 16, 0, 0, 0, 0};

// `date` written in the environment's short date form.
inline std::string HostDateText(const DateTime& date) {
  RegionalSettings settings = EnvironmentRegionalSettings();
  return FormatDatePattern(settings.shortDateFormat, date, settings);
}

// The column each argument feeds (BingQingMiaoShu feeds the condition history instead).
inline const std::array<const char*, kVictimArgCount> kVictimArgColumns = {"ZhuYuanNo",
                                                                           "PeopleName",
                                                                           "UnitID",
                                                                           "UnitName",
                                                                           "MainMgrDoctorUid",
                                                                           "MainMgrDoctorName",
                                                                           "ZhuZhiYiShengUID",
                                                                           "ZhuZhiYiShengName",
                                                                           "RuYuanZhenDuan",
                                                                           "HelperUidList",
                                                                           "HelperNameList",
                                                                           "Danwei",
                                                                           "ZhiYe",
                                                                           "Sex",
                                                                           "NianLing_Sui",
                                                                           "NianLing_Yue",
                                                                           "NianLing_Tian",
                                                                           "MinZu",
                                                                           "Address",
                                                                           "HunYin",
                                                                           "JiGuan",
                                                                           "PostCode",
                                                                           "YiBaoLeiXing",
                                                                           "BingAnHao",
                                                                           "MenZhenNo",
                                                                           "RuYuanCount",
                                                                           "BingQu",
                                                                           "ChuangHao",
                                                                           "RuYuanDate",
                                                                           "BingShiCaiJiDate",
                                                                           "BingShiSayer",
                                                                           "KeKaoChengDu",
                                                                           "ZhuYuanLeiBie",
                                                                           "RuYuanShiBingQing",
                                                                           "FaBingJieQi",
                                                                           "CertificateType",
                                                                           "CertificateCode",
                                                                           "LianXiRenXingMing",
                                                                           "GuanXi",
                                                                           "LianXiRenDianHua",
                                                                           "LianXiRenZhuZhi",
                                                                           "LianXiRenYouBian",
                                                                           "Memo",
                                                                           "BingQingMiaoShu"};

inline VictimArgs::VictimArgs(const std::string& zhuYuanNo) {
  for (size_t i = 0; i < kVictimArgCount; ++i) texts[i] = std::string("v-") + kVictimArgColumns[i];
  texts[kZhuYuanNo] = zhuYuanNo;
  texts[kUnitID] = "3";
  texts[kNianLingSui] = "35";
  texts[kNianLingYue] = "0";
  texts[kNianLingTian] = "0";
  texts[kRuYuanCount] = "2";
  texts[kRuYuanDate] = HostDateText(kAdmissionDay);
  texts[kBingShiCaiJiDate] = HostDateText(kHistoryDay);
  texts[kBingQingMiaoShu] = "stable";
}

namespace detail {

template <typename Function, size_t... I>
int32_t Call(Function function, const std::string& server, const VictimArgs& args,
             std::index_sequence<I...>) {
  return function(server.c_str(), "", "", args.texts[I].c_str()...);
}

}  // namespace detail

inline int32_t CallAddVictim(const std::string& server, const VictimArgs& args) {
  return detail::Call(AddVictim, server, args, std::make_index_sequence<kVictimArgCount>());
}

inline int32_t CallUpdateVictim(const std::string& server, const VictimArgs& args) {
  return detail::Call(UpdateVictim, server, args, std::make_index_sequence<kVictimArgCount>());
}

inline DateTime Now() { return CurrentLocalDateTime(); }

inline long long SecondsBetween(const DateTime& a, const DateTime& b) {
  auto toSeconds = [](const DateTime& v) {
    std::tm t{};
    t.tm_year = v.year - 1900;
    t.tm_mon = v.month - 1;
    t.tm_mday = v.day;
    t.tm_hour = v.hour;
    t.tm_min = v.minute;
    t.tm_sec = v.second;
    return static_cast<long long>(timegm(&t));
  };
  return toSeconds(b) - toSeconds(a);
}

}  // namespace wardlink::testing
