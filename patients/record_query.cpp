#include "patients/record_query.h"

#include "db/schema.h"
#include "db/statement_text.h"
#include "shared/conversions.h"
#include "shared/text.h"

namespace wardlink {

// The host's buffers in argument order.
const std::array<VictimQuerySlot, kVictimQuerySlots> kVictimQuerySlotColumns = {{
    {schema::kColPeopleName, false},
    {schema::kColUnitID, false},
    {schema::kColUnitName, false},
    {schema::kColMainMgrDoctorUid, false},
    {schema::kColMainMgrDoctorName, false},
    {schema::kColZhuZhiYiShengUID, false},
    {schema::kColZhuZhiYiShengName, false},
    {schema::kColRuYuanZhenDuan, false},
    {schema::kColHelperUidList, false},
    {schema::kColHelperNameList, false},
    {schema::kColDanwei, false},
    {schema::kColZhiYe, false},
    {schema::kColSex, false},
    {schema::kColNianLingSui, false},
    {schema::kColNianLingYue, false},
    {schema::kColNianLingTian, false},
    {schema::kColMinZu, false},
    {schema::kColAddress, false},
    {schema::kColHunYin, false},
    {schema::kColJiGuan, false},
    {schema::kColPostCode, false},
    {schema::kColYiBaoLeiXing, false},
    {schema::kColBingAnHao, false},
    {schema::kColMenZhenNo, false},
    {schema::kColRuYuanCount, false},
    {schema::kColBingQu, false},
    {schema::kColChuangHao, false},
    {schema::kColRuYuanDate, true},
    {schema::kColBingShiCaiJiDate, true},
    {schema::kColBingShiSayer, false},
    {schema::kColKeKaoChengDu, false},
    {schema::kColZhuYuanLeiBie, false},
    {schema::kColRuYuanShiBingQing, false},
    {schema::kColFaBingJieQi, false},
    {schema::kColCertificateType, false},
    {schema::kColCertificateCode, false},
    {schema::kColLianXiRenXingMing, false},
    {schema::kColGuanXi, false},
    {schema::kColLianXiRenDianHua, false},
    {schema::kColLianXiRenZhuZhi, false},
    {schema::kColLianXiRenYouBian, false},
    {schema::kColMemo, false},
}};

namespace {

constexpr std::string_view kDatePattern = "yyyy-MM-dd HH:mm:ss";

}  // namespace

std::string ArchiveTableName(std::string_view baseTable, int32_t year) {
  if (year == 0) return std::string(baseTable);
  return "G_" + std::string(baseTable) + "_" + Decimal(year);
}

int32_t ReadVictimRecord(DbQuery& query, std::string_view zhuYuanNo, const VictimSlotSink& deliver,
                         const RegionalSettings& settings) {
  query.SetStatement("Select ZhuYuanNo,GuiDangNd from EMR_DOC_EMR_INFOLIST Where ZhuYuanNo=" +
                     QuotedLiteral(zhuYuanNo));
  query.RunQuery();
  if (query.HasNoRows()) return kQueryUnknownNumber;
  std::string table = ArchiveTableName(schema::kInfo, query.ColumnInteger("GuiDangNd"));

  query.SetStatement("Select * from " + table + " Where ZhuYuanNo=" + QuotedLiteral(zhuYuanNo));
  query.RunQuery();
  if (query.HasNoRows()) return kQueryNoRecord;

  // Slot by slot, so that a column missing from an archive table delivers only the slots before
  // it.
  for (size_t i = 0; i < kVictimQuerySlots; ++i) {
    const VictimQuerySlot& slot = kVictimQuerySlotColumns[i];
    std::string text =
        slot.isDate ? FormatDatePattern(kDatePattern, query.ColumnDateTime(slot.column), settings)
                    : query.ColumnText(slot.column);
    deliver(i, TrimControl(text));
  }
  return 0;
}

}  // namespace wardlink
