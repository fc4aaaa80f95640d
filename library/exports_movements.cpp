// Movements of a stay: discharge, transfer, suspension, acceptance, cancellation, bed change,
// hand-over.
#include "library/call_frame.h"
#include "patients/acceptance.h"
#include "patients/bed_handover.h"
#include "patients/discharge.h"
#include "patients/movement_state.h"
#include "patients/transfer.h"
#include "wardlink.h"

using namespace wardlink;

extern "C" {

int32_t VictimChuYuan(const char* server, const char* login, const char* password,
                      const char* zhuYuanNo, const char* chuYuanDate, const char* chuYuanZhenDuan,
                      const char* zhiLiaoChuLi, const char* zhiLiaoJieGuo, const char* shangKouYuHe,
                      const char* memo) {
  return RunWritingExport({server, login, password}, [&](DbConnection& connection, DbQuery& query) {
    return Discharge(
        connection, query,
        {TextView(zhuYuanNo), TextView(chuYuanDate), TextView(chuYuanZhenDuan),
         TextView(zhiLiaoChuLi), TextView(zhiLiaoJieGuo), TextView(shangKouYuHe), TextView(memo)});
  });
}

int32_t VictimZhuanChu(const char* server, const char* login, const char* password,
                       const char* zhuYuanNo, int32_t tagReciveUnitId,
                       const char* tagReciveDoctorUid, const char* zhuanKeDate) {
  return RunWritingExport({server, login, password}, [&](DbConnection& connection, DbQuery& query) {
    return TransferOut(
        connection, query,
        {TextView(zhuYuanNo), tagReciveUnitId, TextView(tagReciveDoctorUid), TextView(zhuanKeDate)},
        "ZhuanChu");
  });
}

int32_t GuaQi(const char* server, const char* login, const char* password, const char* zhuYuanNo) {
  return RunWritingExport({server, login, password}, [&](DbConnection& connection, DbQuery& query) {
    return Suspend(connection, query, TextView(zhuYuanNo));
  });
}

int32_t AcceptZhuanKePeople(const char* server, const char* login, const char* password,
                            const char* zhuYuanNo, const char* mainMgrDoctorUid,
                            const char* mainMgrDoctorName, const char* helperUidList,
                            const char* helperNameList, const char* zhuanKeDate, const char* bingQu,
                            const char* chuangHao) {
  return RunWritingExport({server, login, password}, [&](DbConnection& connection, DbQuery& query) {
    return AcceptTransfer(
        connection, query,
        {TextView(zhuYuanNo), TextView(mainMgrDoctorUid), TextView(mainMgrDoctorName),
         TextView(helperUidList), TextView(helperNameList), TextView(zhuanKeDate), TextView(bingQu),
         TextView(chuangHao)});
  });
}

int32_t CancelZhuanKe(const char* server, const char* login, const char* password,
                      const char* zhuYuanNo) {
  return RunWritingExport({server, login, password}, [&](DbConnection& connection, DbQuery& query) {
    return ReturnToDepartment(connection, query, TextView(zhuYuanNo), kTransferPending);
  });
}

int32_t CancelGuaQi(const char* server, const char* login, const char* password,
                    const char* zhuYuanNo) {
  return RunWritingExport({server, login, password}, [&](DbConnection& connection, DbQuery& query) {
    return ReturnToDepartment(connection, query, TextView(zhuYuanNo), kSuspended);
  });
}

int32_t ZhuanChuang(const char* server, const char* login, const char* password,
                    const char* zhuYuanNo, const char* chuangHao) {
  return RunWritingExport({server, login, password}, [&](DbConnection& connection, DbQuery& query) {
    return ChangeBed(connection, query, TextView(zhuYuanNo), TextView(chuangHao));
  });
}

int32_t JiaoBan(const char* server, const char* login, const char* password, const char* zhuYuanNo,
                const char* mainMgrDoctorUid, const char* mainMgrDoctorName,
                const char* helperUidList, const char* helperNameList, const char* zhuanKeDate) {
  return RunWritingExport({server, login, password}, [&](DbConnection& connection, DbQuery& query) {
    return HandOver(connection, query,
                    {TextView(zhuYuanNo), TextView(mainMgrDoctorUid), TextView(mainMgrDoctorName),
                     TextView(helperUidList), TextView(helperNameList), TextView(zhuanKeDate)});
  });
}

}  // extern "C"
