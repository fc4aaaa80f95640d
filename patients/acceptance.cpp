#include "patients/acceptance.h"

#include <string>

#include "db/statement_text.h"
#include "patients/event_log.h"
#include "patients/movement.h"
#include "patients/movement_state.h"
#include "shared/text.h"

namespace wardlink {

namespace {
constexpr int32_t kPreconditionFailed = 4;
constexpr int32_t kAcceptanceFailed = 5;
}  // namespace

int32_t AcceptTransfer(DbConnection& connection, DbQuery& query, const AcceptanceRequest& request) {
  int32_t unitId = 0;
  std::string unitName;
  // The new department is the accepting doctor's own, not the target the transfer stored.
  auto lookUpDoctor = [&] {
    query.SetStatement("Select * from Emr_User a,Emr_Unit b Where a.UnitID=b.ID and a.UserID=" +
                       QuotedLiteral(request.mainMgrDoctorUid));
    query.RunQuery();
    if (query.HasNoRows()) return kPreconditionFailed;
    unitId = query.ColumnInteger("UnitID");
    unitName = TrimControl(query.ColumnText("UnitName"));
    return 0;
  };

  return RunMovement(connection, query, request.zhuYuanNo, kAcceptanceFailed, lookUpDoctor, [&] {
    query.SetStatement(
        "update Emr_Doc_Emr_Info set "
        "PeopleEmrStateID=:PeopleEmrStateID,UnitID=:UnitID,UnitName=:UnitName,"
        "MainMgrDoctorUid=:MainMgrDoctorUid,MainMgrDoctorName=:MainMgrDoctorName,"
        "HelperUidList=:HelperUidList,HelperNameList=:HelperNameList,BingQu=:BingQu,"
        "ChuangHao=:ChuangHao,TagReciveUnitID=" +
        QuotedLiteral("") + "," + "TagReciveDoctorUid=" + QuotedLiteral("") +
        " where ZhuYuanNo=:ZhuYuanNo");
    query.BindText("ZhuYuanNo", request.zhuYuanNo);
    query.BindInteger("PeopleEmrStateID", kInDepartment);
    query.BindInteger("UnitID", unitId);
    query.BindText("UnitName", unitName);
    query.BindText("MainMgrDoctorUid", request.mainMgrDoctorUid);
    query.BindText("MainMgrDoctorName", request.mainMgrDoctorName);
    query.BindText("HelperUidList", request.helperUidList);
    query.BindText("HelperNameList", request.helperNameList);
    query.BindText("BingQu", request.bingQu);
    query.BindText("ChuangHao", request.chuangHao);
    query.RunCommand();

    const int32_t sequenceNumber = NextEventNumber(query, request.zhuYuanNo);

    query.SetStatement(
        "Insert Into Emr_Doc_Emr_Event(ZhuYuanNo,SequenceNumber,EventCode,EventDate,Memo ) "
        "values(" +
        QuotedLiteral(request.zhuYuanNo) + "," + Decimal(sequenceNumber) + "," +
        QuotedLiteral("ZhuanRu") + "," + ":ZhuanKeDate," + QuotedLiteral("") + ")");
    query.BindDateTime("ZhuanKeDate", ParseMovementDate(request.zhuanKeDate));
    query.RunCommand();
  });
}

int32_t ReturnToDepartment(DbConnection& connection, DbQuery& query, std::string_view zhuYuanNo,
                           int32_t requiredState) {
  auto inRequiredState = [&] {
    query.SetStatement("Select PeopleEmrStateID from Emr_Doc_Emr_Info Where ZhuYuanNo=" +
                       QuotedLiteral(zhuYuanNo));
    query.RunQuery();
    // A stay without a record reads as InDepartment.
    const int32_t state =
        query.HasNoRows() ? kInDepartment : query.ColumnInteger("PeopleEmrStateID");
    return state == requiredState ? 0 : kPreconditionFailed;
  };

  return RunMovement(connection, query, zhuYuanNo, kAcceptanceFailed, inRequiredState,
                     [&] { WriteMovementState(query, zhuYuanNo, kInDepartment); });
}

}  // namespace wardlink
