#include "patients/discharge.h"

#include <string>

#include "db/statement_text.h"
#include "patients/event_log.h"
#include "shared/text.h"

namespace wardlink {

namespace {

constexpr int32_t kUnknownStay = 2;
constexpr int32_t kArchived = 3;
constexpr int32_t kDischargeFailed = 4;

}  // namespace

// The number is used exactly as passed in every statement, the event numbering and the record
// update included: a trimmed number would number the event from another stay's log and write the
// discharge into another stay's record.
int32_t Discharge(DbConnection& connection, DbQuery& query, const DischargeRequest& request) {
  const std::string_view number = request.zhuYuanNo;

  // Its own archive check: only a year above 0 refuses.
  query.SetStatement("Select ZhuYuanNo,GuiDangNd from EMR_DOC_EMR_INFOLIST Where ZhuYuanNo=" +
                     QuotedLiteral(number));
  query.RunQuery();
  if (query.HasNoRows()) return kUnknownStay;
  if (query.ColumnInteger("GuiDangNd") > 0) return kArchived;

  return RunGuarded(connection, kDischargeFailed, [&] {
    // The number is taken before the earlier discharge event goes, so it is never used again.
    query.SetStatement("Select Max(SequenceNumber) from Emr_Doc_Emr_Event  Where ZhuYuanNo=" +
                       QuotedLiteral(number));
    query.RunQuery();
    const int32_t sequenceNumber = EventNumberAfter(query.FirstColumnInteger());

    query.SetStatement("Delete from Emr_Doc_Emr_Event Where EventCode='ChuYuan' and ZhuYuanNo=" +
                       QuotedLiteral(number));
    query.RunCommand();

    const DateTime dischargeDate = ParseDischargeDate(request.chuYuanDate, CurrentLocalDateTime());

    query.SetStatement(
        "Insert Into Emr_Doc_Emr_Event(ZhuYuanNo,SequenceNumber,EventCode,EventDate,Memo) values(" +
        QuotedLiteral(number) + "," + Decimal(sequenceNumber) + ",:EventCode,:EventDate,:Memo)");
    query.BindText("EventCode", "ChuYuan");
    query.BindDateTime("EventDate", dischargeDate);
    query.BindText("Memo", TrimControl(request.memo));
    query.RunCommand();

    query.SetStatement(
        "Update Emr_Doc_Emr_Info Set "
        "ChuYuanDate=:ChuYuanDate,ChuYuanZhenDuan=:ChuYuanZhenDuan,ZhiLiaoChuLi=:ZhiLiaoChuLi,"
        "ZhiLiaoJieGuo=:ZhiLiaoJieGuo, ShangKouYuHe=:ShangKouYuHe  Where ZhuYuanNo=:ZhuYuanNo");
    query.BindDateTime("ChuYuanDate", dischargeDate);
    query.BindText("ChuYuanZhenDuan", TrimControl(request.chuYuanZhenDuan));
    query.BindText("ZhiLiaoChuLi", TrimControl(request.zhiLiaoChuLi));
    query.BindText("ZhiLiaoJieGuo", TrimControl(request.zhiLiaoJieGuo));
    query.BindText("ShangKouYuHe", TrimControl(request.shangKouYuHe));
    query.BindText("ZhuYuanNo", number);
    query.RunCommand();
  });
}

}  // namespace wardlink
