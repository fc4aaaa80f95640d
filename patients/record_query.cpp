#include "patients/record_query.h"

#include "db/schema.h"
#include "db/statement_text.h"
#include "patients/victim_info.h"
#include "shared/conversions.h"
#include "shared/text.h"

namespace wardlink {

// The host's buffers in argument order: every field of the record but the number it is read by.
#define WARDLINK_VICTIM_SLOT(member, column, kind) \
  {schema::column, VictimFieldKind::kind == VictimFieldKind::kDate},
#define WARDLINK_VICTIM_NO_SLOT(...)
const std::array<VictimQuerySlot, kVictimQuerySlots> kVictimQuerySlotColumns = {
    {WARDLINK_VICTIM_FIELDS(WARDLINK_VICTIM_NO_SLOT, WARDLINK_VICTIM_SLOT,
                            WARDLINK_VICTIM_NO_SLOT)}};
#undef WARDLINK_VICTIM_SLOT
#undef WARDLINK_VICTIM_NO_SLOT

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
