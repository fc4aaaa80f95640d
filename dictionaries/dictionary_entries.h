#pragma once

#include <cstdint>
#include <string_view>

#include "db/query.h"

namespace wardlink {

// One of the five dictionary families: its table and its name column.
struct DictionaryFamily {
  std::string_view table;
  std::string_view nameColumn;
};

// Results: 0 done, 2 the ID exists (add) or does not (update, delete). Nothing is written on 2.
int32_t AddDictionaryEntry(DbQuery& query, const DictionaryFamily& family,
                           std::string_view entryName, int32_t id, int32_t theOrder);
int32_t UpdateDictionaryEntry(DbQuery& query, const DictionaryFamily& family,
                              std::string_view entryName, int32_t id, int32_t theOrder);
int32_t DeleteDictionaryEntry(DbQuery& query, const DictionaryFamily& family, int32_t id);

}  // namespace wardlink
