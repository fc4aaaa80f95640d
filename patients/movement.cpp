#include "patients/movement.h"

#include "shared/patient_checks.h"

namespace wardlink {

int32_t RunMovement(DbConnection& connection, DbQuery& query, std::string_view zhuYuanNo,
                    int32_t failureCode, const std::function<int32_t()>& precondition,
                    const std::function<void()>& writes) {
  if (int32_t archive = CheckArchive(zhuYuanNo, query); archive != kStayLive) return archive;
  if (precondition) {
    if (int32_t refusal = precondition(); refusal != 0) return refusal;
  }
  return RunGuarded(connection, failureCode, writes);
}

void WriteMovementState(DbQuery& query, std::string_view zhuYuanNo, int32_t state) {
  query.SetStatement(
      "update Emr_Doc_Emr_Info set PeopleEmrStateID=:PeopleEmrStateID where "
      "ZhuYuanNo=:ZhuYuanNo");
  query.BindText("ZhuYuanNo", zhuYuanNo);
  query.BindInteger("PeopleEmrStateID", state);
  query.RunCommand();
}

}  // namespace wardlink
