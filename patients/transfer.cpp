#include "patients/transfer.h"

#include <string>

#include "db/statement_text.h"
#include "patients/event_log.h"
#include "patients/movement.h"
#include "patients/movement_state.h"

namespace wardlink {

namespace {
constexpr int32_t kTransferFailed = 2;
}  // namespace

int32_t TransferOut(DbConnection& connection, DbQuery& query, const TransferRequest& request,
                    std::string_view eventCode) {
  return RunMovement(connection, query, request.zhuYuanNo, kTransferFailed, {}, [&] {
    query.SetStatement(
        "update Emr_Doc_Emr_Info set "
        "PeopleEmrStateID=:PeopleEmrStateID,TagReciveUnitID=:TagReciveUnitID,"
        "TagReciveDoctorUid=:TagReciveDoctorUid where ZhuYuanNo=:ZhuYuanNo");
    query.BindText("ZhuYuanNo", request.zhuYuanNo);
    query.BindInteger("PeopleEmrStateID", kTransferPending);
    query.BindInteger("TagReciveUnitID", request.tagReciveUnitId);
    query.BindText("TagReciveDoctorUid", request.tagReciveDoctorUid);
    query.RunCommand();

    const int32_t sequenceNumber = NextEventNumber(query, request.zhuYuanNo);

    query.SetStatement(
        "Insert Into Emr_Doc_Emr_Event (ZhuYuanNo,SequenceNumber,EventCode,EventDate,Memo) "
        "values(" +
        QuotedLiteral(request.zhuYuanNo) + "," + Decimal(sequenceNumber) + "," +
        ":EventCode,:ZhuanKeDate,:Memo)");
    query.BindText("EventCode", eventCode);
    query.BindDateTime("ZhuanKeDate", ParseMovementDate(request.zhuanKeDate));
    query.BindText("Memo", "");
    query.RunCommand();
  });
}

int32_t Suspend(DbConnection& connection, DbQuery& query, std::string_view zhuYuanNo) {
  return RunMovement(connection, query, zhuYuanNo, kTransferFailed, {},
                     [&] { WriteMovementState(query, zhuYuanNo, kSuspended); });
}

}  // namespace wardlink
