#include "dictionaries/lookup_lists.h"

#include "shared/text.h"

namespace wardlink {

std::string ReadLookupList(DbQuery& query, std::string_view column, std::string_view table) {
  query.SetStatement("Select " + std::string(column) + " from " + std::string(table));
  query.RunQuery();
  std::string list;
  for (query.GoFirst(); !query.AtEnd(); query.GoNext()) {
    std::string value = TrimControl(query.ColumnText(column));
    // The test is on what was gathered, not on the row's position (see the header).
    if (list.empty()) {
      list = std::move(value);
    } else {
      list += ';';
      list += value;
    }
  }
  return list;
}

}  // namespace wardlink
