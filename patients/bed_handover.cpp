#include "patients/bed_handover.h"

#include <string>

#include "db/statement_text.h"
#include "patients/event_log.h"
#include "patients/movement.h"

namespace wardlink {

namespace {
constexpr int32_t kMovementFailed = 4;
}  // namespace

int32_t ChangeBed(DbConnection& connection, DbQuery& query, std::string_view zhuYuanNo,
                  std::string_view chuangHao) {
  return RunMovement(connection, query, zhuYuanNo, kMovementFailed, {}, [&] {
    query.SetStatement(
        "update Emr_Doc_Emr_Info set ChuangHao=:ChuangHao  Where ZhuYuanNo=:ZhuYuanNo");
    query.BindText("ZhuYuanNo", zhuYuanNo);
    query.BindText("ChuangHao", chuangHao);
    query.RunCommand();
  });
}

int32_t HandOver(DbConnection& connection, DbQuery& query, const HandOverRequest& request) {
  return RunMovement(connection, query, request.zhuYuanNo, kMovementFailed, {}, [&] {
    query.SetStatement(
        "update Emr_Doc_Emr_Info set "
        "MainMgrDoctorUid=:MainMgrDoctorUid,MainMgrDoctorName=:MainMgrDoctorName, "
        "HelperUidList=:HelperUidList, HelperNameList=:HelperNameList where "
        "ZhuYuanNo=:ZhuYuanNo");
    query.BindText("ZhuYuanNo", request.zhuYuanNo);
    query.BindText("MainMgrDoctorUid", request.mainMgrDoctorUid);
    query.BindText("MainMgrDoctorName", request.mainMgrDoctorName);
    query.BindText("HelperUidList", request.helperUidList);
    query.BindText("HelperNameList", request.helperNameList);
    query.RunCommand();

    const int32_t sequenceNumber = NextEventNumber(query, request.zhuYuanNo);

    // One statement, executed twice: handed over as n, taken over as n + 1.
    query.SetStatement(
        "Insert Into Emr_Doc_Emr_Event (ZhuYuanNo,SequenceNumber,EventCode,EventDate,Memo) "
        "values(" +
        QuotedLiteral(request.zhuYuanNo) + "," + ":EventIndex," + ":EventCode," + ":ZhuanKeDate," +
        ":Memo)");
    query.BindInteger("EventIndex", sequenceNumber);
    query.BindText("EventCode", "JiaoBan");
    query.BindDateTime("ZhuanKeDate", ParseMovementDate(request.zhuanKeDate));
    query.BindText("Memo", "");
    query.RunCommand();

    query.CloseResult();
    query.BindInteger("EventIndex", EventNumberAfter(sequenceNumber));
    query.BindText("EventCode", "JieBan");
    query.BindDateTime("ZhuanKeDate", ParseMovementDate(request.zhuanKeDate));
    query.BindText("Memo", "");
    query.RunCommand();
  });
}

}  // namespace wardlink
