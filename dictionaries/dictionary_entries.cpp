#include "dictionaries/dictionary_entries.h"

#include <string>

#include "db/statement_text.h"
#include "shared/statements.h"

namespace wardlink {

namespace {

constexpr int32_t kRefused = 2;

bool EntryExists(DbQuery& query, const DictionaryFamily& family, int32_t id) {
  return ReturnsRow(query,
                    "Select ID from " + std::string(family.table) + " Where ID=" + Decimal(id));
}

}  // namespace

int32_t AddDictionaryEntry(DbQuery& query, const DictionaryFamily& family,
                           std::string_view entryName, int32_t id, int32_t theOrder) {
  if (EntryExists(query, family, id)) return kRefused;
  Execute(query, "Insert Into " + std::string(family.table) + " Values(" + Decimal(id) + "," +
                     Decimal(theOrder) + "," + QuotedLiteral(entryName) + ")");
  return 0;
}

int32_t UpdateDictionaryEntry(DbQuery& query, const DictionaryFamily& family,
                              std::string_view entryName, int32_t id, int32_t theOrder) {
  if (!EntryExists(query, family, id)) return kRefused;
  Execute(query, "Update " + std::string(family.table) + " Set " + std::string(family.nameColumn) +
                     "=" + QuotedLiteral(entryName) + ",theOrder=" + Decimal(theOrder) +
                     " Where ID=" + Decimal(id));
  return 0;
}

int32_t DeleteDictionaryEntry(DbQuery& query, const DictionaryFamily& family, int32_t id) {
  if (!EntryExists(query, family, id)) return kRefused;
  Execute(query, "Delete " + std::string(family.table) + " Where ID=" + Decimal(id));
  return 0;
}

}  // namespace wardlink
