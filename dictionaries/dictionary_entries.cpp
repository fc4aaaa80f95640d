#include "dictionaries/dictionary_entries.h"

#include <string>

#include "db/statement_text.h"

namespace wardlink {

namespace {

constexpr int32_t kRefused = 2;

bool EntryExists(DbQuery& query, const DictionaryFamily& family, int32_t id) {
  query.Attach();
  query.SetStatement("Select ID from " + std::string(family.table) + " Where ID=" + Decimal(id));
  query.RunQuery();
  return !query.HasNoRows();
}

void Run(DbQuery& query, const std::string& statement) {
  query.Attach();
  query.SetStatement(statement);
  query.RunCommand();
}

}  // namespace

int32_t AddDictionaryEntry(DbQuery& query, const DictionaryFamily& family,
                           std::string_view entryName, int32_t id, int32_t theOrder) {
  if (EntryExists(query, family, id)) return kRefused;
  Run(query, "Insert Into " + std::string(family.table) + " Values(" + Decimal(id) + "," +
                 Decimal(theOrder) + "," + QuotedLiteral(entryName) + ")");
  return 0;
}

int32_t UpdateDictionaryEntry(DbQuery& query, const DictionaryFamily& family,
                              std::string_view entryName, int32_t id, int32_t theOrder) {
  if (!EntryExists(query, family, id)) return kRefused;
  Run(query, "Update " + std::string(family.table) + " Set " + std::string(family.nameColumn) +
                 "=" + QuotedLiteral(entryName) + ",theOrder=" + Decimal(theOrder) +
                 " Where ID=" + Decimal(id));
  return 0;
}

int32_t DeleteDictionaryEntry(DbQuery& query, const DictionaryFamily& family, int32_t id) {
  if (!EntryExists(query, family, id)) return kRefused;
  Run(query, "Delete " + std::string(family.table) + " Where ID=" + Decimal(id));
  return 0;
}

}  // namespace wardlink
