#include "patients/record_deletion.h"

#include <array>

#include "db/connection.h"
#include "db/schema.h"
#include "shared/patient_checks.h"

namespace wardlink {

namespace {

// In this order: the stay record and the index row first.
constexpr std::array<std::string_view, 13> kDeletions = {
    "delete from Emr_Doc_Emr_Info where ZhuYuanNo=:ZhuYuanNo",
    "delete from Emr_Doc_Emr_InfoList where ZhuYuanNo=:ZhuYuanNo",
    "delete from Emr_Doc_Emr where ZhuYuanNo=:ZhuYuanNo",
    "delete from Emr_Doc_Emr_FB where ZhuYuanNo=:ZhuYuanNo",
    "delete from Emr_Doc_Emr_Event where ZhuYuanNo=:ZhuYuanNo",
    "delete from Emr_Doc_Emr_StateInfo where ZhuYuanNo=:ZhuYuanNo",
    "delete from Emr_Doc_FuJian where ZhuYuanNo=:ZhuYuanNo",
    "delete from Emr_BingLiPingFen where ZhuYuanNo=:ZhuYuanNo",
    "Delete from Emr_DocStruct where ZhuYuanNo=:ZhuYuanNo",
    "Delete from Emr_Doc_TiWen where ZhuYuanNo=:ZhuYuanNo",
    "Delete from Emr_BingLiJianKong where ZhuYuanNo=:ZhuYuanNo",
    "Delete from EMR_CHAKANBINGLIAPPLY_Fb where ZhuYuanNo=:ZhuYuanNo",
    "Delete from Emr_SimpleClient_Change where ZhuYuanNo=:ZhuYuanNo",
};

}  // namespace

int32_t DeleteVictimStay(DbConnection& connection, DbQuery& query, std::string_view zhuYuanNo) {
  if (int32_t archive = CheckArchive(zhuYuanNo, query); archive != kStayLive) return archive;

  return RunGuarded(connection, kDeletionRolledBack, [&] {
    query.CloseResult();
    for (std::string_view statement : kDeletions) {
      query.ClearStatement();
      query.AppendStatementLine(statement);
      query.BindText(schema::kColZhuYuanNo, zhuYuanNo);
      query.RunCommand();
    }
  });
}

}  // namespace wardlink
