#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>

#include "db/schema.h"
#include "db/trial_database.h"

namespace wardlink::testing {
namespace {

const std::filesystem::path kShippedScript =
    std::filesystem::path(WARDLINK_SOURCE_DIR) / "db" / "schema" / "sqlserver.sql";

std::string ReadFile(const std::filesystem::path& path) {
  std::ifstream in(path, std::ios::binary);
  return std::string((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
}

TEST(SqlServerScript, ShippedScriptIsTheGeneratedOne) {
  std::string generated = SqlServerTrialScript();
  std::string shipped = ReadFile(kShippedScript);
  if (shipped != generated) {
    auto fresh = std::filesystem::temp_directory_path() / "sqlserver.sql.generated";
    std::ofstream(fresh, std::ios::binary) << generated;
    FAIL() << kShippedScript << " differs from the generator; the generated script is in " << fresh;
  }
}

// Every table and column the library names, each column inside its own table's definition.
TEST(SqlServerScript, CreatesEveryTableWithEveryColumn) {
  std::string script = SqlServerTrialScript();
  for (const auto& table : schema::AllTables()) {
    std::string head = "CREATE TABLE dbo." + std::string(table.name) + " (\n";
    size_t begin = script.find(head);
    ASSERT_NE(begin, std::string::npos) << table.name;
    size_t end = script.find("\n);\n", begin);
    ASSERT_NE(end, std::string::npos) << table.name;
    std::string body = script.substr(begin + head.size(), end - begin - head.size() + 1);
    size_t lines = 0;
    for (const auto& column : table.columns) {
      EXPECT_NE(body.find("  " + std::string(column.name) + " "), std::string::npos)
          << table.name << "." << column.name;
      ++lines;
    }
    size_t definitions = 0;
    for (size_t pos = body.find("\n  "); pos != std::string::npos; pos = body.find("\n  ", pos + 1))
      ++definitions;
    // One line per column, the first without a line break before it, plus the unique key.
    EXPECT_EQ(definitions + 1, lines + (table.uniqueKey.empty() ? 0 : 1)) << table.name;
  }
}

// What can be checked without a server: balanced parentheses and quotes, every statement ended,
// and nothing of SQLite's dialect.
TEST(SqlServerScript, IsPlainTransactSql) {
  std::string script = SqlServerTrialScript();
  int depth = 0;
  bool inLiteral = false;
  for (char c : script) {
    if (c == '\'') inLiteral = !inLiteral;
    if (inLiteral) continue;
    if (c == '(') ++depth;
    if (c == ')') --depth;
    ASSERT_GE(depth, 0);
  }
  EXPECT_EQ(depth, 0);
  EXPECT_FALSE(inLiteral);
  for (const char* sqliteOnly : {"COLLATE NOCASE", "typeof(", "TRIGGER", "PRAGMA", " TEXT", " REAL",
                                 " INTEGER", "DATETIME "}) {
    EXPECT_EQ(script.find(sqliteOnly), std::string::npos) << sqliteOnly;
  }
  EXPECT_NE(
      script.find("GuiDangND int NULL CONSTRAINT DF_Emr_Doc_Emr_InfoList_GuiDangND DEFAULT 0"),
      std::string::npos);
  // No second event of a stay with the same number, whatever writes it.
  EXPECT_NE(script.find("CREATE UNIQUE INDEX Emr_Doc_Emr_Event_Lookup ON dbo.Emr_Doc_Emr_Event "
                        "(ZhuYuanNo, SequenceNumber);"),
            std::string::npos);
  EXPECT_EQ(script.substr(script.size() - 20), "COMMIT TRANSACTION;\n");
}

// The same lookups as the trial database: a stay's rows by ZhuYuanNo (the unique key where there is
// one) and a department's references by UnitID.
TEST(SqlServerScript, IndexesEveryStayTableAndTheDepartmentReferences) {
  std::string script = SqlServerTrialScript();
  for (const char* index :
       {"Emr_User_Lookup ON dbo.Emr_User (UnitID)",
        "Emr_illArea_Lookup ON dbo.Emr_illArea (UnitID)",
        "Emr_Doc_Emr_Info_Lookup ON dbo.Emr_Doc_Emr_Info (UnitID)",
        "Emr_Doc_Emr_StateInfo_Lookup ON dbo.Emr_Doc_Emr_StateInfo (ZhuYuanNo)"})
    EXPECT_NE(script.find("CREATE INDEX " + std::string(index) + ";"), std::string::npos) << index;
  for (auto table : schema::kWiderSystemTables) {
    std::string name(table);
    EXPECT_NE(script.find("CREATE INDEX " + name + "_Lookup ON dbo." + name + " (ZhuYuanNo);"),
              std::string::npos)
        << name;
  }
  EXPECT_NE(script.find("CONSTRAINT UQ_Emr_Doc_Emr_InfoList UNIQUE (ZhuYuanNo)"),
            std::string::npos);
}

}  // namespace
}  // namespace wardlink::testing
