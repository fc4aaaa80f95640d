// The stay record: admission, update, query, deletion.
#include "library/call_frame.h"
#include "patients/admission.h"
#include "patients/victim_info.h"
#include "shared/regional_settings.h"
#include "wardlink.h"

using namespace wardlink;

// The 44 names of WARDLINK_VICTIM_INFO_PARAMS, in the same order.
#define WARDLINK_VICTIM_INFO_ARGS                                                                  \
  zhuYuanNo, peopleName, unitId, unitName, mainMgrDoctorUid, mainMgrDoctorName, zhuZhiYiShengUid,  \
      zhuZhiYiShengName, ruYuanZhenDuan, helperUidList, helperNameList, danwei, zhiYe, sex,        \
      nianLingSui, nianLingYue, nianLingTian, minZu, address, hunYin, jiGuan, postCode,            \
      yiBaoLeiXing, bingAnHao, menZhenNo, ruYuanCount, bingQu, chuangHao, ruYuanDate,              \
      bingShiCaiJiDate, bingShiSayer, keKaoChengDu, zhuYuanLeiBie, ruYuanShiBingQing, faBingJieQi, \
      certificateType, certificateCode, lianXiRenXingMing, guanXi, lianXiRenDianHua,               \
      lianXiRenZhuZhi, lianXiRenYouBian, memo, bingQingMiaoShu

extern "C" {

int32_t AddVictim(const char* server, const char* login, const char* password,
                  WARDLINK_VICTIM_INFO_PARAMS) {
  return RunExport({server, login, password}, [&](DbConnection& connection, DbQuery& query) {
    return AdmitVictim(connection, query, ReadVictimInfo({WARDLINK_VICTIM_INFO_ARGS}),
                       EnvironmentRegionalSettings());
  });
}
int32_t UpdateVictim(const char* server, const char* login, const char* password, const char*,
                     const char*, const char*, const char*, const char*, const char*, const char*,
                     const char*, const char*, const char*, const char*, const char*, const char*,
                     const char*, const char*, const char*, const char*, const char*, const char*,
                     const char*, const char*, const char*, const char*, const char*, const char*,
                     const char*, const char*, const char*, const char*, const char*, const char*,
                     const char*, const char*, const char*, const char*, const char*, const char*,
                     const char*, const char*, const char*, const char*, const char*, const char*,
                     const char*) {
  return RunNotImplemented({server, login, password});
}
int32_t GetVictimInfo(const char* server, const char* login, const char* password, const char*,
                      char*, char*, char*, char*, char*, char*, char*, char*, char*, char*, char*,
                      char*, char*, char*, char*, char*, char*, char*, char*, char*, char*, char*,
                      char*, char*, char*, char*, char*, char*, char*, char*, char*, char*, char*,
                      char*, char*, char*, char*, char*, char*, char*, char*, char*, int32_t) {
  return RunNotImplemented({server, login, password});
}
int32_t DeleteVictim(const char* server, const char* login, const char* password, const char*) {
  return RunNotImplemented({server, login, password});
}

}  // extern "C"
