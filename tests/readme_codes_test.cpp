// The README's table of result codes says what the tool's table says, export by export.
#include <gtest/gtest.h>

#include <fstream>
#include <map>
#include <regex>
#include <string>
#include <vector>

#include "library/export_table.h"

namespace wardlink::testing {
namespace {

std::vector<std::string> Cells(const std::string& row) {
  std::vector<std::string> cells;
  size_t start = 1;
  for (size_t bar = row.find('|', start); bar != std::string::npos; bar = row.find('|', start)) {
    std::string cell = row.substr(start, bar - start);
    cell.erase(0, cell.find_first_not_of(' '));
    cell.erase(cell.find_last_not_of(' ') + 1);
    cells.push_back(cell);
    start = bar + 1;
  }
  return cells;
}

TEST(ReadmeCodes, EveryExportsCodesAgreeWithTheToolsTable) {
  std::ifstream readme(std::string(WARDLINK_SOURCE_DIR) + "/README.md");
  ASSERT_TRUE(readme);
  std::map<std::string, std::map<int32_t, std::string>> documented;
  bool inTable = false;
  for (std::string line; std::getline(readme, line);) {
    if (line.starts_with("| Exports | 2 | 3 | 4 | 5 |")) inTable = true;
    if (!inTable || !line.starts_with("| `")) {
      if (inTable && line.empty()) break;
      continue;
    }
    std::vector<std::string> cells = Cells(line);
    ASSERT_EQ(cells.size(), 5u) << line;
    const std::regex name("`([A-Za-z]+)`");
    for (std::sregex_iterator it(cells[0].begin(), cells[0].end(), name), end; it != end; ++it) {
      auto& codes = documented[(*it)[1].str()];
      EXPECT_TRUE(codes.empty()) << (*it)[1].str() << " documented twice";
      for (int32_t code = 2; code <= 5; ++code) {
        if (!cells[code - 1].empty()) codes[code] = cells[code - 1];
      }
    }
  }
  EXPECT_EQ(documented.size(), host::Exports().size());
  for (const auto& spec : host::Exports()) {
    auto found = documented.find(spec.name());
    ASSERT_NE(found, documented.end()) << spec.name() << " missing from the README";
    EXPECT_EQ(found->second, spec.codes()) << spec.name();
  }
}

}  // namespace
}  // namespace wardlink::testing
