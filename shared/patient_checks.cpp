#include "shared/patient_checks.h"

#include "db/schema.h"
#include "db/statement_text.h"
#include "shared/text.h"

namespace wardlink {

std::optional<DefaultDateFormat> GetDefaultDateFormat(DbQuery& query) {
  query.SetStatement(
      "Select FormatDateTime_Show,FormatDateTime_Input from dbo.EMR_FORMATDATETYPE "
      "a,dbo.EMR_FORMATDATE b Where a.ID=b.FormatDateTypeID and a.UserDefault=1 and "
      "b.UserDefault=1 ");
  query.RunQuery();
  if (query.HasNoRows()) return std::nullopt;
  return DefaultDateFormat{TrimControl(query.ColumnText(schema::kColFormatDateTimeShow)),
                           TrimControl(query.ColumnText(schema::kColFormatDateTimeInput))};
}

int32_t CheckArchive(std::string_view zhuYuanNo, DbQuery& query) {
  query.CloseResult();
  query.SetStatement("Select GuiDangND from EMR_DOC_EMR_INFOLIST Where ZhuYuanNo=" +
                     QuotedLiteral(zhuYuanNo));
  query.RunQuery();
  if (query.HasNoRows()) return kStayUnknown;
  return query.ColumnInteger(schema::kColGuiDangND) != 0 ? kStayArchived : kStayLive;
}

}  // namespace wardlink
